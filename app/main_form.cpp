#include "main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStatusBar>

#include <exception>
#include <optional>

#include "../dialogs/about_form.h"
#include "../dialogs/link_form.h"
#include "../dialogs/packet_form.h"
#include "../engine/sjis.h"
#include "../host/engine_host.h"
#include "../serial/port_catalog.h"
#include "../serial/reconnect.h"
#include "../serial/rs_comm_thread.h"
#include "display_library_qt.h"
#include "port_pins.h"
#include "qt_boxes.h"
#include "link_view.h"
#include "packet_view.h"
#include "qt_view.h"
#include "main_window_view.h"
#include "setting_panel_view.h"
#include "settings_file.h"
#include "sim/simulator_factory.h"
#include "ui_main_form.h"

namespace kd36 {

namespace {

constexpr QRgb kWriteColour = qRgb(132, 214, 249);
constexpr QRgb kReadColour = qRgb(147, 234, 188);

const char* const kWriteControls[] = {
    "edtSYIDWrite", "cmbCHANGroup", "cmbCHANCh",     "cmbROUTDest",     "cmbROUTNode1",   "cmbROUTNode2",
    "cmbROUTNode3", "cmbROUTNode4", "cmbROUTNode5",  "speFRAMByte",     "speFRAMIdle",    "speFRAMWait",
    "speFRAMTxNumber", "edtINFOWrite", "cmbSERI",    "cmbSERIParity",   "cmbSERIStopBits", "cmbSERIFlow",
    "cmbSERIData",
};

void paint(QWidget* w, QRgb colour, bool window)
{
    QPalette pal = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, QColor(colour));
        pal.setColor(group, QPalette::Button, QColor(colour));
        if (group == QPalette::Disabled)
            pal.setColor(group, QPalette::Text, QColor(96, 96, 96)); // readable on the colour
        if (window)
            pal.setColor(group, QPalette::Window, QColor(colour));
    }
    w->setPalette(pal);
    if (window)
        w->setAutoFillBackground(true);
}

} // namespace

TMainForm::TMainForm(Options options, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), FOptions(std::move(options))
{
    buildWindow();
    createServices();
    createHost();
    startEngine();
    FRecords = std::make_unique<RecordsMenu>(
        this, *FEngine, *FBoxes,
        RecordsMenu::Actions{ui->mnuLog, ui->mnuProfileSave, ui->mnuProfileLoad, ui->mnuReadToWrite},
        FOptions.chooseFile, FOptions.wallClockMs);
    connectHandlers();
    startIdleHook();

    adjustSize();
    setFixedSize(size());
}

void TMainForm::buildWindow()
{
    ui->setupUi(this);
    // The language in use: the file's or the locale's, chosen before the
    // window was built (main.cpp).
    checkLanguage(languageInUse());
    FPanelView = std::make_unique<SettingPanelView>(*ui);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    centralWidget()->setFixedSize(720, 489);
    buildStatusBar();
    applyColoursAndFonts();
    limitToSjisBytes("txtEdit", 1024);
    limitToSjisBytes("txtTerm", 1024);
    ui->pnlCommunication->move(0, ui->pnlCommand->y());
    ui->shpSupplySignal->setStateWords(tr("DSR オン"), tr("DSR オフ"));
    ui->shpTxableSignal->setStateWords(tr("CTS オン"), tr("CTS オフ"));
    ui->shpLump->setStateWords(tr("ポート 開"), tr("ポート 閉"));
    ui->shpLump->setColor(kReadColour); // pale green: closed
    // Fusion measures a title ending in a full-width letter a little short.
    ui->grpEQID->setTitle(ui->grpEQID->title() + QLatin1Char(' '));
    if (QFile::exists(QStringLiteral(":/icon.png")))
        setWindowIcon(QIcon(QStringLiteral(":/icon.png")));

    auto* timRxWait = new QTimer(this);
    timRxWait->setObjectName(QStringLiteral("timRxWait"));
    timRxWait->setInterval(1400);
    timRxWait->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    auto* timIntervalTx = new QTimer(this);
    timIntervalTx->setObjectName(QStringLiteral("timIntervalTx"));
    timIntervalTx->setInterval(10000);
    timIntervalTx->setTimerType(Qt::PreciseTimer);
}

void TMainForm::createServices()
{
    if (FOptions.clock) {
        FClock = FOptions.clock;
    } else {
        FOwnClock = std::make_unique<SteadyClock>();
        FClock = FOwnClock.get();
    }
    if (FOptions.boxes) {
        FBoxes = FOptions.boxes;
    } else {
        FQtBoxes = std::make_unique<QtBoxes>(this);
        FBoxes = FQtBoxes.get();
    }

    FView = std::make_unique<MainWindowView>(this, *ui);
    std::array<QLabel*, 4> labels{};
    for (size_t i = 0; i < 4; ++i)
        labels[i] = qobject_cast<QLabel*>(FPanels[i].data());
    FView->setStatusPanels(labels);

    // The answer-back and packet dialogs, kept for the whole run.
    FLinkWindow = std::make_unique<TLinkForm>(this);
    FPacketWindow = std::make_unique<TPacketForm>(this);
    FLinkView = std::make_unique<LinkView>(FLinkWindow.get());
    FPacketView = std::make_unique<PacketView>(FPacketWindow.get());

    if (FOptions.useSettingsFile) {
        FSettingsPath = FOptions.settingsPath.empty()
            ? settingsFilePath(QCoreApplication::applicationFilePath().toStdString(), userConfigFolder())
            : FOptions.settingsPath;
    }
    FCatalog = std::make_unique<PortCatalog>(FSettingsPath.empty() ? std::map<int, std::string>{}
                                                                    : readPortPins(FSettingsPath));
    if (FOptions.simulator) {
        FCatalog->setSimulatorFactory(FOptions.simulator);
    } else {
        Clock* clock = FClock;
        const SimulatorSetup sim =
            FSettingsPath.empty() ? SimulatorSetup{} : simulatorSetup(readSection(FSettingsPath, "Simulator"));
        FCatalog->setSimulatorFactory([clock, sim] { return makeSimulatedModem(*clock, sim); });
    }

    QStringList folders = FOptions.displayFolders;
    if (folders.isEmpty())
        folders = QtDisplayLibraryLoader::defaultFolders();
    FDisplayLoader = std::make_unique<QtDisplayLibraryLoader>(folders);
}

void TMainForm::createHost()
{
    // The port holder, the receive thread and the engine, wired once for
    // every user of the engine; the window adds its queued calls.
    FReconnectOpener = std::make_unique<ReconnectOpener>(*FCatalog);
    FHost = std::make_unique<EngineHost>(
        EngineHost::Views{*FView, *FLinkView, *FPacketView, FPanelView.get()}, *FBoxes, *FClock, *FReconnectOpener,
        nullptr, FDisplayLoader.get(), [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    FEngine = &FHost->engine();
    auto dialogGuard = [this](const std::function<void()>& handler) { guard(handler); };
    FLinkWindow->bind(FEngine->linkForm(), dialogGuard);
    FPacketWindow->bind(FEngine->packetForm(), dialogGuard);
    // One queued call per piece, to one receiver: they keep their order.
    // The call carries nothing; the piece waits in the host.
    FHost->setPieceNotify([this] { QMetaObject::invokeMethod(this, "takePiece", Qt::QueuedConnection); });
    FHost->setLostNotify([this] { QMetaObject::invokeMethod(this, "takeDeviceLost", Qt::QueuedConnection); });
    // The line a repeated port fault leaves, in the window's language.
    FHost->setNoteWords([](const std::string& text, unsigned count) {
        const QString t = QCoreApplication::translate("QtBoxes", text.c_str());
        return (count < 2 ? t : tr("%1 (%2回目)").arg(t).arg(count)).toStdString();
    });
    // No pass while a message box is open.
    FHost->setPassGate([this] {
        return !(FQtBoxes && FQtBoxes->openCount() > 0)
            && !qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    });
    setUpReconnect();
    FHost->startReceiving();
}

void TMainForm::startEngine()
{
    QComboBox* templates = ui->cmbTemplate;
    for (const std::string& item : MainEngine::TemplateItems())
        templates->addItem(QtView::toQt(item));
    templates->setCurrentIndex(-1);
    templates->setEditText(tr("テンプレート"));
    // The engine's start, with the settings file when there is one.
    guard([&] {
        if (FSettingsPath.empty())
            FHost->start();
        else
            FHost->start([this](StoredSettings& s, SettingPanel& panel) { loadSettings(s, panel); });
    });
}

void TMainForm::startIdleHook()
{
    // The idle hook: every event that can give a pass work runs under
    // guard(), which asks for one pass; the timer repeats passes only while
    // the engine needs them. An idle window does not wake.
    connect(&FIdleTimer, &QTimer::timeout, this, &TMainForm::idlePass);
    FIdleTimer.setParent(this);
    FIdleTimer.setObjectName(QStringLiteral("idleTimer"));
    FIdleTimer.setInterval(10);
    connect(&FPassSoon, &QTimer::timeout, this, &TMainForm::idlePass);
    FPassSoon.setParent(this);
    FPassSoon.setSingleShot(true);
    FPassSoon.setInterval(0);
    scheduleIdle();
}

TMainForm::~TMainForm()
{
    if (FKeyPreview)
        qApp->removeEventFilter(FKeyPreview);
    FIdleTimer.stop();
    FPassSoon.stop();
    FReconnectTimer.stop();
    if (FHost) {
        // A box the loop waits on will not be shown now: let it go on.
        if (FQtBoxes)
            FQtBoxes->cancelWaits();
        if (!FClosed && FEngine->portOpen())
            FHost->dropLine();
        // Unbinds the engine's flags and the callbacks into this window
        // before anything is freed, then waits a bounded time.
        if (!FHost->release(2000)) {
            // Still running: keep what it can reach rather than free it.
            qWarning("kd36: the receive thread did not stop; leaving it its objects");
            (void)FHost.release();
            (void)FReconnectOpener.release();
            (void)FOwnClock.release();
            (void)FCatalog.release();
            (void)FQtBoxes.release();
        }
    }
    FLinkWindow->unbind();
    FPacketWindow->unbind();
    // The records menu takes its log off the engine as it goes.
    FRecords.reset();
    FHost.reset();
    FEngine = nullptr;
}

void TMainForm::setPieceTap(std::function<void(const std::string&)> tap)
{
    FHost->setPieceTap(std::move(tap));
}

void TMainForm::takePiece()
{
    if (!FHost)
        return;
    guard([&] { FHost->takeNotes(); });
    // Pieces queued before a close and a new open are not of this port.
    std::optional<std::string> piece = FHost->nextPiece();
    if (piece)
        guard([&] { FEngine->handOver(*piece); });
    // As an idle hook would: the pass follows the message at once (a lamp
    // that moved comes without a piece).
    idlePass();
}

void TMainForm::buildStatusBar()
{
    QStatusBar* bar = ui->StatusBar;
    const Qt::Alignment align[4] = {Qt::AlignCenter, Qt::AlignCenter, Qt::AlignCenter,
                                    Qt::AlignRight | Qt::AlignVCenter};
    const char* names[4] = {"StatusPanel0", "StatusPanel1", "StatusPanel2", "StatusPanel3"};
    const QString roles[4] = {tr("動作モード"), tr("通信ポート"), tr("表示形式"), tr("著作権表示")};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString::fromLatin1(names[i]));
        label->setFixedWidth(kPanelWidths[i]);
        label->setAlignment(align[i]);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        // The panel's text is its name; its role describes it.
        label->setAccessibleDescription(roles[i]);
        label->installEventFilter(this);
        bar->addWidget(label);
        FPanels[size_t(i)] = label;
    }
    bar->installEventFilter(this);
}

void TMainForm::applyColoursAndFonts()
{
    for (const char* name : kWriteControls)
        if (auto* w = findChild<QWidget*>(QString::fromLatin1(name)))
            paint(w, kWriteColour, false);
    for (int n = 1; n <= 20; ++n)
        if (auto* w = findChild<QLineEdit*>(QStringLiteral("edtRead%1").arg(n)))
            paint(w, kReadColour, false);
    paint(ui->shpWrite, kWriteColour, true);
    paint(ui->shpRead, kReadColour, true);

    QFont mono(QStringLiteral("IPAGothic"));
    mono.setStyleHint(QFont::Monospace);
    mono.setFixedPitch(true);
    mono.setPixelSize(12);
    ui->memTxRxMonitor->setFont(mono);
    ui->memTerm->setFont(mono);
}

void TMainForm::limitToSjisBytes(const char* editName, int maxBytes)
{
    auto* edit = findChild<QLineEdit*>(QString::fromLatin1(editName));
    if (!edit)
        return;
    // The limit counts Shift-JIS bytes, as they go on the line.
    connect(edit, &QLineEdit::textChanged, this, [edit, maxBytes](const QString& text) {
        std::string sjis = QtView::fromQt(text);
        if (sjis.size() <= size_t(maxBytes))
            return;
        sjis.resize(sjisSafeCut(sjis, size_t(maxBytes)));
        edit->setText(QtView::toQt(sjis));
    });
}

void TMainForm::closeForSignal()
{
    FSignalClose = true;
    close();
    // Every event loop ends, a box's too; main() finishes the close if it
    // had to wait.
    QCoreApplication::exit(0);
}

void TMainForm::guard(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        showError(QString::fromStdString(e.what()));
    } catch (...) {
        showError(tr("不明なエラーが発生しました。"));
    }
    scheduleIdle();
}

void TMainForm::scheduleIdle()
{
    if (FClosed || !FEngine)
        return;
    // Something happened: a pass follows once the event is handled.
    if (!FPassSoon.isActive())
        FPassSoon.start();
    followPassNeed(false);
}

void TMainForm::followPassNeed(bool passRan)
{
    bool needed = true;
    try {
        needed = FEngine->PassCanChange();
    } catch (...) {
    }
    if (!needed)
        FIdleTimer.stop();
    else if (!FIdleTimer.isActive())
        FIdleTimer.start();
    // Work waiting at once follows at once, unless the pass could not run
    // (a box is open): then the timer looks again.
    if (needed && passRan && FEngine->passDueNow() && !FPassSoon.isActive())
        FPassSoon.start();
}

void TMainForm::showError(const QString& text)
{
    try {
        FBoxes->warning(text.toStdString());
    } catch (...) {
        qWarning("kd36: %s", qPrintable(text));
    }
}

void TMainForm::idlePass()
{
    // The host runs none inside another, inside a write, or while a message box is open.
    if (FClosed || !FHost)
        return;
    FPassSoon.stop();
    bool ran = false;
    try {
        ran = FHost->idlePass();
        FPasses += ran ? 1 : 0;
    } catch (const std::exception& e) {
        showError(QString::fromStdString(e.what()));
    } catch (...) {
        showError(tr("不明なエラーが発生しました。"));
    }
    followPassNeed(ran);
}

void TMainForm::mnuAboutClick()
{
    int extension = FEngine->extension();
    TAboutForm about(this, QtView::toQt(FEngine->homeUrl()), extension, *FBoxes);
    connect(&about, &TAboutForm::extensionChanged, this, [this](int on) { FEngine->setExtension(on); });
    about.exec();
    scheduleIdle(); // the extended-mode switch may have changed
}

void TMainForm::closeEvent(QCloseEvent* e)
{
    if (FClosed) {
        e->accept();
        return;
    }
    // An open still waiting on the network is given up; the close follows
    // once the open has returned.
    if (FHost->opening()) {
        FHost->cancelOpen();
        e->ignore();
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    // A close asked for inside a write waits until the write is over.
    if (FEngine->sending()) {
        FEngine->beginClose(); // no further write starts meanwhile
        e->ignore();
        QTimer::singleShot(50, this, &QWidget::close);
        return;
    }
    FHost->beginClosing(); // no box from here on: nobody may be left to answer it
    guard([&] { FEngine->FormClose(); });
    FRecords->windowClosing(); // after the port's close is logged
    FIdleTimer.stop();
    FPassSoon.stop();
    FClosed = true;
    FHost->terminate();
    if (FQtBoxes)
        FQtBoxes->cancelWaits();
    FLinkWindow->hide();
    FPacketWindow->hide();
    guard([&] { saveSettings(); });
    e->accept();
}

} // namespace kd36
