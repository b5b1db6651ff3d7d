#pragma once
// The main window: builds the widgets from main_form.ui, owns the engine
// host (engine, port and receive thread) and forwards every event to the
// engine's handler of the same name.
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../engine/main_engine.h"
#include "../serial/clock.h"
#include "../serial/device.h"
#include "../serial/message_boxes.h"
#include "language.h"
#include "records_menu.h"
#include "settings_file.h"

namespace Ui {
class TMainForm;
}
class QAbstractButton;
class QAction;
class TLinkForm;
class TPacketForm;

namespace kd36 {

class EngineHost;
class QtBoxes;
class QtView;
class PortCatalog;
class RsCommThread;
class QtDisplayLibraryLoader;
class ReconnectOpener;
class PortReconnector;
class SettingPanelView;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        Clock* clock = nullptr;          // none: the steady clock
        MessageBoxes* boxes = nullptr;   // none: QMessageBox
        // The settings file; empty: beside the executable (or the user's folder).
        std::string settingsPath;
        bool useSettingsFile = true;
        // What COM1 opens; none: the simulated modem on the clock.
        std::function<std::unique_ptr<Device>()> simulator;
        // Folders searched first for the display library; none: the executable's.
        QStringList displayFolders;
        // Asks for the log and profile files; none: the file dialogs.
        RecordsMenu::Chooser chooseFile;
        // Wall clock of the log's time stamps (ms since 1970); none: the system's.
        std::function<int64_t()> wallClockMs;
    };

    explicit TMainForm(QWidget* parent = nullptr) : TMainForm(Options(), parent) {}
    explicit TMainForm(Options options, QWidget* parent = nullptr);
    ~TMainForm() override;

    MainEngine& engine() { return *FEngine; }
    QtView& view() { return *FView; }
    Ui::TMainForm& form() { return *ui; }
    // Sees each piece the window hands to the engine, in order (benchmarks).
    void setPieceTap(std::function<void(const std::string&)> tap);
    QtBoxes* qtBoxes() { return FQtBoxes.get(); }
    TLinkForm& linkForm() { return *FLinkWindow; }
    QtView& linkView() { return *FLinkView; }
    TPacketForm& packetForm() { return *FPacketWindow; }
    RecordsMenu& records() { return *FRecords; }
    const std::string& settingsPath() const { return FSettingsPath; }
    // One idle pass, as the 10 ms timer runs it (skipped where a pass may not run).
    void idlePass();
    // A close asked for by a signal: a failed save goes to standard error,
    // not to a box, and any box open meanwhile is left so the process ends.
    void closeForSignal();
    bool isClosed() const { return FClosed; }
    // Something happened: one pass soon, and the idle timer runs on only
    // while the engine needs passes without an outside event.
    void scheduleIdle();
    // Passes run so far (for the idle benchmark).
    uint64_t passCount() const { return FPasses; }

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Run by queued calls from the receive thread (carrying nothing).
    Q_INVOKABLE void takePiece();
    Q_INVOKABLE void takeDeviceLost();
    // The steps of construction, in order.
    void buildWindow();
    void createServices();
    void createHost();
    void startEngine();
    void startIdleHook();
    // Starts or stops the idle timer by whether the engine needs passes;
    // after a pass that ran, work due at once gets its pass at once.
    void followPassNeed(bool passRan);

    void buildStatusBar();
    void applyColoursAndFonts();
    void limitToSjisBytes(const char* editName, int maxBytes);
    // Every widget's event to its handler, under guard().
    void connectHandlers();
    void connectCommands(MainEngine& e);
    void connectSettingPanel(MainEngine& e);
    void connectDevelopment(MainEngine& e);
    void connectKeysAndTimers(MainEngine& e);
    void onClick(QAbstractButton* b, std::function<void()> f);
    void onAction(QAction* a, std::function<void()> f);
    // The engine's and the window's part of the settings file.
    WindowPlacement placement() const;
    void loadSettings(StoredSettings& s, SettingPanel& panel);
    void saveSettings();
    void mnuAboutClick();
    void mnuCommSettingsClick();
    // The language chosen in the menu, stored for the next start.
    void chooseLanguage(Language language);
    void checkLanguage(Language language);
    // Takes a vanished port up again when it is back (udev, network retries).
    void setUpReconnect();
    // Runs a handler; an exception that escapes it is shown in a box.
    void guard(const std::function<void()>& handler);
    void showError(const QString& text);
    int statusPanelX(QObject* watched, int localX) const;

    static constexpr int kPanelWidths[4] = {200, 180, 60, 250};

    std::unique_ptr<Ui::TMainForm> ui;
    Options FOptions;
    std::unique_ptr<Clock> FOwnClock;
    Clock* FClock = nullptr;
    std::unique_ptr<QtBoxes> FQtBoxes;
    MessageBoxes* FBoxes = nullptr;
    std::unique_ptr<QtView> FView;
    std::unique_ptr<SettingPanelView> FPanelView;
    std::unique_ptr<TLinkForm> FLinkWindow;     // the answer-back dialog, modeless
    std::unique_ptr<TPacketForm> FPacketWindow; // the packet dialog, modeless
    std::unique_ptr<QtView> FLinkView;          // the views over the dialogs
    std::unique_ptr<QtView> FPacketView;
    std::unique_ptr<PortCatalog> FCatalog;
    std::unique_ptr<ReconnectOpener> FReconnectOpener;
    std::unique_ptr<PortReconnector> FReconnector;
    QTimer FReconnectTimer;
    bool FAutoReconnect = true;
    std::string FLanguage; // [Form] Language as read, or as chosen
    std::unique_ptr<QtDisplayLibraryLoader> FDisplayLoader;
    std::unique_ptr<EngineHost> FHost;     // the engine, the port and the receive thread
    MainEngine* FEngine = nullptr;         // the host's
    std::unique_ptr<RecordsMenu> FRecords; // after FHost: gone before the engine
    std::array<QPointer<QWidget>, 4> FPanels{};
    QTimer FIdleTimer;
    QTimer FPassSoon;
    QObject* FKeyPreview = nullptr;
    std::string FSettingsPath;
    bool FSettingsKept = false; // the file could not be read whole: it is left alone
    bool FSignalClose = false;
    bool FClosed = false;
    uint64_t FPasses = 0;
};

} // namespace kd36
