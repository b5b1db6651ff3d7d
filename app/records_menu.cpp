#include "records_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

#include "../engine/main_engine.h"
#include "../engine/session_log.h"
#include "../engine/settings_profile.h"
#include "../serial/message_boxes.h"

namespace kd36 {
namespace {

// The log writer's own reasons in the window's language; the system's
// (errno) texts come as the system words them.
std::string writerReason(const std::string& why)
{
    return QCoreApplication::translate("SessionLogWriter", why.c_str()).toStdString();
}

// The profile reader's own texts in the window's language.
std::string profileWords(const std::string& text)
{
    return QCoreApplication::translate("RecordsMenu", text.c_str()).toStdString();
}

QString documentsFolder()
{
    QString d = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return d.isEmpty() ? QDir::homePath() : d;
}

std::string local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

RecordsMenu::RecordsMenu(QWidget* window, MainEngine& engine, MessageBoxes& boxes, Actions actions, Chooser chooser,
                         std::function<int64_t()> wallMs)
    : QObject(window)
    , FWindow(window)
    , FEngine(engine)
    , FBoxes(boxes)
    , FActions(actions)
    , FChooser(std::move(chooser))
    , FWallMs(wallMs ? std::move(wallMs) : [] { return int64_t(QDateTime::currentMSecsSinceEpoch()); })
    , FLog(std::make_unique<SessionLogWriter>(FWallMs))
{
    connect(FLog.get(), &SessionLogWriter::failed, this, &RecordsMenu::logFailed);
}

RecordsMenu::~RecordsMenu()
{
    // Going away with the window: a last failed write has nobody to tell.
    disconnect(FLog.get(), nullptr, this, nullptr);
    stopLog();
}

QString RecordsMenu::ask(Ask kind, const QString& suggested)
{
    if (FChooser)
        return FChooser(kind, suggested);
    switch (kind) {
    case Ask::Log:
        // The log is appended to: choosing an existing file is not overwriting it.
        return QFileDialog::getSaveFileName(FWindow, tr("ログの記録"), suggested,
                                            tr("ログ (*.log);;すべてのファイル (*)"), nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    case Ask::ProfileSave:
        return QFileDialog::getSaveFileName(FWindow, tr("設定値の保存"), suggested,
                                            tr("設定値 (*.ini);;すべてのファイル (*)"));
    case Ask::ProfileLoad:
        return QFileDialog::getOpenFileName(FWindow, tr("設定値の読込"), suggested,
                                            tr("設定値 (*.ini);;すべてのファイル (*)"));
    }
    return {};
}

void RecordsMenu::stopLog()
{
    if (FEngine.observer() == FLog.get())
        FEngine.setObserver(nullptr);
    FLog->stop();
    if (FActions.log)
        FActions.log->setChecked(false);
}

void RecordsMenu::mnuLogClick()
{
    if (FLog->active()) {
        stopLog();
        return;
    }
    const QString name = QString::fromStdString(defaultLogFileName(localLogTime(FWallMs())));
    const QString path = ask(Ask::Log, QDir(documentsFolder()).filePath(name));
    if (path.isEmpty()) {
        FActions.log->setChecked(false);
        return;
    }
    std::string why;
    if (!FLog->start(local(path), why)) {
        FActions.log->setChecked(false);
        FBoxes.warning(tr("ログファイルを開けません。").toStdString(), writerReason(why));
        return;
    }
    FEngine.setObserver(FLog.get());
    FActions.log->setChecked(true);
}

void RecordsMenu::logFailed(const QString& why)
{
    stopLog();
    FBoxes.warning(tr("ログの記録を停止しました。ログファイルに書き込めません。").toStdString(),
                   writerReason(why.toStdString()));
}

void RecordsMenu::windowClosing()
{
    stopLog();
}

void RecordsMenu::mnuProfileSaveClick()
{
    const QString folder = FProfileFolder.isEmpty() ? documentsFolder() : FProfileFolder;
    const QString path = ask(Ask::ProfileSave, QDir(folder).filePath(QStringLiteral("kd36-profile.ini")));
    if (path.isEmpty())
        return;
    FProfileFolder = QFileInfo(path).absolutePath();
    std::string why;
    if (!writeProfileFile(local(path), profileFromPanel(FEngine.panel()), why))
        FBoxes.warning(tr("設定値を保存できません。").toStdString(), profileWords(why));
}

void RecordsMenu::mnuProfileLoadClick()
{
    if (FEngine.busy()) {
        FBoxes.beep();
        return;
    }
    const QString path = ask(Ask::ProfileLoad, FProfileFolder.isEmpty() ? documentsFolder() : FProfileFolder);
    if (path.isEmpty())
        return;
    FProfileFolder = QFileInfo(path).absolutePath();
    ProfileReadResult r = readProfileFile(local(path));
    if (!r.ok) {
        FBoxes.warning(tr("設定値を読み込めません。").toStdString(), r.error);
        return;
    }
    // An item whose values did not all load stays unticked: a write then
    // never sends what the panel held before in their place.
    const ProfileCheck check = checkProfile(r, FEngine.extension() != 0);
    if (!applyProfile(FEngine, check.profile)) {
        FBoxes.beep();
        return;
    }
    if (check.issues.empty())
        return;
    std::string detail = describeIssues(check.issues, 20, profileWords);
    if (!check.unticked.empty()) {
        detail += tr("書込みのチェックを外した項目:").toStdString();
        for (const std::string& section : check.unticked)
            detail += " [" + section + "]";
        detail += "\n";
    }
    FBoxes.warning(tr("次の項目は読み込みませんでした。").toStdString(), detail);
}

void RecordsMenu::mnuReadToWriteClick()
{
    if (FEngine.busy()) {
        FBoxes.beep();
        return;
    }
    std::vector<ProfileIssue> left = copyReadBackToWrite(FEngine);
    if (!left.empty())
        FBoxes.information(tr("次の読込値は設定値にできませんでした。").toStdString(),
                           describeIssues(left, 20, profileWords));
}

} // namespace kd36
