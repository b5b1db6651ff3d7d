#pragma once
// The ファイル menu's records: the session log, settings profiles and the
// clone step from the read-back fields.
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include "session_log_writer.h"

class QAction;
class QWidget;

namespace kd36 {

class MainEngine;
class MessageBoxes;

class RecordsMenu final : public QObject {
    Q_OBJECT
public:
    enum class Ask { Log, ProfileSave, ProfileLoad };
    // Asks the user for a file; empty when cancelled.
    using Chooser = std::function<QString(Ask, const QString& suggested)>;

    struct Actions {
        QAction* log = nullptr;
        QAction* profileSave = nullptr;
        QAction* profileLoad = nullptr;
        QAction* readToWrite = nullptr;
    };

    RecordsMenu(QWidget* window, MainEngine& engine, MessageBoxes& boxes, Actions actions, Chooser chooser = {},
                std::function<int64_t()> wallMs = {});
    ~RecordsMenu() override;

    void mnuLogClick();
    void mnuProfileSaveClick();
    void mnuProfileLoadClick();
    void mnuReadToWriteClick();
    // The window closes: what is pending goes to the file.
    void windowClosing();

    SessionLogWriter& logWriter() { return *FLog; }

private:
    QString ask(Ask kind, const QString& suggested);
    void stopLog();
    void logFailed(const QString& why);

    QPointer<QWidget> FWindow;
    MainEngine& FEngine;
    MessageBoxes& FBoxes;
    Actions FActions;
    Chooser FChooser;
    std::function<int64_t()> FWallMs;
    std::unique_ptr<SessionLogWriter> FLog;
    QString FProfileFolder;
};

} // namespace kd36
