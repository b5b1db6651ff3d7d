#include "main_form.h"

#include <QCheckBox>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>

#include <cstdio>
#include <exception>

#include "port_pins.h"
#include "../dialogs/about_form.h"
#include "../dialogs/link_form.h"
#include "../dialogs/packet_form.h"
#include "../dialogs/qt_boxes.h"
#include "../dialogs/qt_view.h"
#include "../dialogs/settings_form.h"
#include "../engine/sjis.h"
#include "../serial/port_catalog.h"
#include "../serial/gensio_device.h"
#include "../serial/reconnect.h"
#include "../serial/rs_comm_thread.h"
#include "display_library_qt.h"
#include "simulator_factory.h"
#include "settings_file.h"
#include "ui_main_form.h"

namespace kd36 {

namespace {

constexpr QRgb kWriteColour = qRgb(132, 214, 249);
constexpr QRgb kReadColour = qRgb(147, 234, 188);
constexpr int kPanelWidths[4] = {200, 180, 60, 250};

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

bool shiftOf(QEvent* e)
{
    return static_cast<QInputEvent*>(e)->modifiers() & Qt::ShiftModifier;
}

// Sees every key of the application first: the window's key preview.
class KeyPreview final : public QObject {
public:
    KeyPreview(QObject* parent, std::function<bool(QObject*, QKeyEvent*)> f) : QObject(parent), f_(std::move(f)) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return event->type() == QEvent::KeyPress && f_(watched, static_cast<QKeyEvent*>(event));
    }

private:
    std::function<bool(QObject*, QKeyEvent*)> f_;
};

// The port properties dialog as the engine asks for it.
class PortDialog final : public PortDialogRunner {
public:
    PortDialog(QWidget* parent, MessageBoxes& boxes, PortCatalog& catalog, std::string settingsPath,
               bool& autoReconnect)
        : parent_(parent), boxes_(boxes), catalog_(catalog), settingsPath_(std::move(settingsPath)),
          autoReconnect_(autoReconnect)
    {
    }
    void run(int& portNumber, PortSettings& settings, const std::vector<std::string>& portList,
             int extension) override
    {
        TSettingsForm dialog(parent_, portNumber, settings, portList, extension, boxes_,
                             [this](int n) { return catalog_.describe(n); });
        // In the free space between the flow group and OK; the compact
        // layout has none, and keeps the stored choice.
        QCheckBox* autoBox = nullptr;
        if (extension != 0) {
            autoBox = new QCheckBox(QStringLiteral("自動再接続"), &dialog);
            autoBox->setObjectName(QStringLiteral("chkAutoReconnect"));
            autoBox->setGeometry(216, 74, 96, 20);
            autoBox->setChecked(autoReconnect_);
            autoBox->setToolTip(QStringLiteral("抜けたポートが戻ったら開き直します。"));
        }
        if (dialog.exec() == QDialog::Accepted) {
            if (autoBox)
                autoReconnect_ = autoBox->isChecked();
            pinChosenAdapter(portNumber);
        }
    }

private:
    // A chosen USB adapter keeps its number wherever it is plugged in: the
    // number is pinned to its by-id path in [Ports]. A failed write leaves
    // the file whole and the number unpinned for this run.
    void pinChosenAdapter(int n)
    {
        const std::string byId = catalog_.pinCandidate(n);
        if (byId.empty() || settingsPath_.empty())
            return;
        std::string why;
        if (writePortPin(settingsPath_, n, byId, &why))
            catalog_.setPins(readPortPins(settingsPath_));
    }

private:
    QWidget* parent_;
    MessageBoxes& boxes_;
    PortCatalog& catalog_;
    std::string settingsPath_;
    bool& autoReconnect_;
};

} // namespace

TMainForm::TMainForm(Options options, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), FOptions(std::move(options))
{
    // The window and its controls.
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    centralWidget()->setFixedSize(720, 489);
    buildStatusBar();
    applyColoursAndFonts();
    limitToSjisBytes("txtEdit", 1024);
    limitToSjisBytes("txtTerm", 1024);
    ui->pnlCommunication->move(0, ui->pnlCommand->y());
    ui->shpSupplySignal->setStateWords(QStringLiteral("DSR オン"), QStringLiteral("DSR オフ"));
    ui->shpTxableSignal->setStateWords(QStringLiteral("CTS オン"), QStringLiteral("CTS オフ"));
    ui->shpLump->setStateWords(QStringLiteral("ポート 開"), QStringLiteral("ポート 閉"));
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

    FView = std::make_unique<QtView>(this);
    std::array<QLabel*, 4> labels{};
    for (size_t i = 0; i < 4; ++i)
        labels[i] = qobject_cast<QLabel*>(FPanels[i].data());
    FView->setStatusPanels(labels);

    // The answer-back and packet dialogs, kept for the whole run.
    FLinkWindow = std::make_unique<TLinkForm>(this);
    FPacketWindow = std::make_unique<TPacketForm>(this);

    if (FOptions.useSettingsFile) {
        FSettingsPath = FOptions.settingsPath.empty()
            ? settingsFilePath(QCoreApplication::applicationFilePath().toStdString(),
                               QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString())
            : FOptions.settingsPath;
    }
    FCatalog = std::make_unique<PortCatalog>(FSettingsPath.empty() ? std::map<int, std::string>{}
                                                                    : readPortPins(FSettingsPath));
    if (FOptions.simulator) {
        FCatalog->setSimulatorFactory(FOptions.simulator);
    } else {
        Clock* clock = FClock;
        FCatalog->setSimulatorFactory([clock] { return makeSimulatedModem(*clock); });
    }

    QStringList folders = FOptions.displayFolders;
    if (folders.isEmpty())
        folders = QtDisplayLibraryLoader::defaultFolders();
    FDisplayLoader = std::make_unique<QtDisplayLibraryLoader>(folders);

    // The port holder and receive thread.
    FReconnectOpener = std::make_unique<ReconnectOpener>(*FCatalog);
    FCommPort = std::make_unique<RsCommThread>(*FClock, *FBoxes, *FReconnectOpener);
    EngineDeps deps{*FView, FLinkWindow->view(), FPacketWindow->view(), *FBoxes, *FClock, *FCommPort, FDisplayLoader.get(),
                    [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); }};
    FEngine = std::make_unique<MainEngine>(deps);
    FCommPort->bindWindowFlags(FEngine->portOpenFlag(), FEngine->commandModeFlag());
    auto dialogGuard = [this](const std::function<void()>& handler) { guard(handler); };
    FLinkWindow->bind(FEngine->linkForm(), dialogGuard);
    FPacketWindow->bind(FEngine->packetForm(), dialogGuard);
    // Each piece goes to the user-interface thread in arrival order; queued
    // calls to one receiver keep their order.
    FCommPort->setDeliver([this](const std::string& piece) {
        {
            std::lock_guard lock(FPiecesMutex);
            FPieces.emplace_back(piece, FCommPort->pieceSession());
        }
        // The call carries nothing: the piece travels under the mutex, a
        // hand-over the race detector can follow.
        QMetaObject::invokeMethod(this, "takePiece", Qt::QueuedConnection);
    });
    FCommPort->setProcessEvents([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    FCommPort->setDeviceLost([this] { QMetaObject::invokeMethod(this, "takeDeviceLost", Qt::QueuedConnection); });
    setUpReconnect();
    FCommPort->start();

    // The engine's start-up around the templates and the settings file.
    guard([&] {
        FEngine->ConstructBeforeSettings();
        QComboBox* templates = ui->cmbTemplate;
        for (const std::string& item : MainEngine::TemplateItems())
            templates->addItem(QtView::toQt(item));
        templates->setCurrentIndex(-1);
        templates->setEditText(QStringLiteral("テンプレート"));
        loadSettings();
        FEngine->ConstructAfterSettings();
    });

    FRecords = std::make_unique<RecordsMenu>(
        this, *FEngine, *FBoxes,
        RecordsMenu::Actions{ui->mnuLog, ui->mnuProfileSave, ui->mnuProfileLoad, ui->mnuReadToWrite},
        FOptions.chooseFile, FOptions.wallClockMs);
    connectHandlers();
    // The idle hook: every event that can give a pass work runs under
    // guard(), which starts the timer again; an idle window does not wake.
    connect(&FIdleTimer, &QTimer::timeout, this, &TMainForm::idlePass);
    FIdleTimer.setParent(this);
    FIdleTimer.setObjectName(QStringLiteral("idleTimer"));
    FIdleTimer.setInterval(10);
    scheduleIdle();

    adjustSize();
    setFixedSize(size());
}

TMainForm::~TMainForm()
{
    if (FKeyPreview)
        qApp->removeEventFilter(FKeyPreview);
    FIdleTimer.stop();
    FReconnectTimer.stop();
    if (FCommPort) {
        // A box the loop waits on will not be shown now: let it go on.
        if (FQtBoxes)
            FQtBoxes->cancelWaits();
        if (!FClosed && FEngine && FEngine->portOpen())
            FCommPort->ClosePort();
        // Unbinds the engine's flags and the callbacks into this window
        // before anything is freed, then waits a bounded time.
        if (!FCommPort->shutdown(2000)) {
            // Still running: keep what it can reach rather than free it.
            qWarning("kd36: the receive thread did not stop; leaving it its objects");
            (void)FCommPort.release();
            (void)FOwnClock.release();
            (void)FCatalog.release();
            (void)FQtBoxes.release();
        }
    }
    FLinkWindow->unbind();
    FPacketWindow->unbind();
    // The records menu takes its log off the engine as it goes.
    FRecords.reset();
    FEngine.reset();
}

void TMainForm::takePiece()
{
    std::pair<std::string, uint64_t> piece;
    {
        std::lock_guard lock(FPiecesMutex);
        if (FPieces.empty())
            return;
        piece = std::move(FPieces.front());
        FPieces.pop_front();
    }
    // Queued before a close and a new open: not of this port.
    if (!FCommPort || !FCommPort->isCurrentSession(piece.second))
        return;
    guard([&] { FEngine->handOver(piece.first); });
    // As an idle hook would: the pass follows the message at once.
    idlePass();
}

void TMainForm::takeDeviceLost()
{
    guard([&] {
        const bool wasOpen = FEngine->portOpen();
        FEngine->portLost();
        if (wasOpen && !FEngine->portOpen()) {
            FReconnector->portLost(FEngine->portNumber());
            if (FReconnector->watching())
                FReconnectTimer.start(100);
        }
    });
}

void TMainForm::buildStatusBar()
{
    QStatusBar* bar = ui->StatusBar;
    const Qt::Alignment align[4] = {Qt::AlignCenter, Qt::AlignCenter, Qt::AlignCenter,
                                    Qt::AlignRight | Qt::AlignVCenter};
    const char* names[4] = {"StatusPanel0", "StatusPanel1", "StatusPanel2", "StatusPanel3"};
    const char* roles[4] = {"動作モード", "通信ポート", "表示形式", "著作権表示"};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString::fromLatin1(names[i]));
        label->setFixedWidth(kPanelWidths[i]);
        label->setAlignment(align[i]);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        // The panel's text is its name; its role describes it.
        label->setAccessibleDescription(QString::fromUtf8(roles[i]));
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

StoredSettings TMainForm::storedSettings() const
{
    StoredSettings s;
    s.home = FEngine->homeUrl();
    s.port = FEngine->portNumber();
    s.com = FEngine->portSettings();
    s.extension = FEngine->extension();
    s.autoReconnect = FAutoReconnect;
    return s;
}

WindowPlacement TMainForm::placement() const
{
    WindowPlacement wp;
    wp.top = pos().y();
    wp.left = pos().x();
    wp.outerWidth = frameGeometry().width();
    wp.outerHeight = frameGeometry().height();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        wp.screenWidth = screen->availableGeometry().width();
        wp.screenHeight = screen->availableGeometry().height();
    }
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect r = screen->availableGeometry();
        wp.screens.push_back({r.x(), r.y(), r.width(), r.height()});
    }
    return wp;
}

void TMainForm::loadSettings()
{
    if (FSettingsPath.empty())
        return;
    StoredSettings s = storedSettings();
    WindowPlacement wp = placement();
    std::string problem;
    LoadSettings(FSettingsPath, s, *FView, wp, &problem);
    if (!problem.empty()) {
        // Said once, when the window is up; the file is then left alone.
        FSettingsKept = true;
        const std::string detail = FSettingsPath + "\n" + problem;
        QTimer::singleShot(0, this, [this, detail] {
            if (!FClosed)
                FBoxes->warning("設定ファイルを読み取れないため、このファイルは変更しません。", detail);
        });
    }
    FEngine->setHomeUrl(s.home);
    FEngine->setPort(s.port, s.com);
    FEngine->setExtension(s.extension);
    FAutoReconnect = s.autoReconnect;
    if (FReconnector)
        FReconnector->setEnabled(FAutoReconnect);
    move(wp.left, wp.top);
}

void TMainForm::saveSettings()
{
    if (FSettingsPath.empty())
        return;
    const StoredSettings s = storedSettings();
    const WindowPlacement wp = placement();
    std::string error;
    if (SaveSettings(FSettingsPath, s, *FView, wp, &error))
        return;
    if (FSignalClose) {
        std::fprintf(stderr, "kd36setup: the settings were not saved to %s: %s\n", FSettingsPath.c_str(),
                     error.c_str());
        return;
    }
    if (FSettingsKept)
        return; // the box at start said so
    FBoxes->warning("設定ファイルを保存できませんでした。", FSettingsPath + "\n" + error);
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
        showError(QStringLiteral("不明なエラーが発生しました。"));
    }
    scheduleIdle();
}

void TMainForm::scheduleIdle()
{
    if (FClosed || !FEngine)
        return;
    bool needed = true;
    try {
        needed = FEngine->PassCanChange();
    } catch (...) {
    }
    if (!needed)
        FIdleTimer.stop();
    else if (!FIdleTimer.isActive())
        FIdleTimer.start();
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
    if (FClosed || !FEngine)
        return;
    // No pass inside another, inside a write, or while a message box is open.
    if (!FEngine->passAllowed())
        return;
    if (FQtBoxes && FQtBoxes->openCount() > 0)
        return;
    if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        return;
    ++FPasses;
    guard([&] { FEngine->OnIdle(); });
}

void TMainForm::connectHandlers()
{
    MainEngine& e = *FEngine;
    auto onClick = [this](QAbstractButton* b, std::function<void()> f) {
        connect(b, &QAbstractButton::clicked, this, [this, f] { guard(f); });
    };
    // Menu items whose check mark the engine keeps: undo Qt's own toggle first.
    auto onAction = [this](QAction* a, std::function<void()> f) {
        connect(a, &QAction::triggered, this, [this, a, f](bool checked) {
            if (a->isCheckable())
                a->setChecked(!checked);
            guard(f);
        });
    };

    // Mode buttons: one group, one down at a time, both may be up.
    connect(ui->spbMode, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            ui->spbCommunicationMode->setChecked(false);
    });
    connect(ui->spbCommunicationMode, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            ui->spbMode->setChecked(false);
    });
    onClick(ui->spbCommunicationMode, [this, &e] { e.spbModeClick(0, ui->spbCommunicationMode->isChecked()); });
    onClick(ui->spbMode, [this, &e] { e.spbModeClick(1, ui->spbMode->isChecked()); });

    onClick(ui->spbExit, [this] { close(); });
    onAction(ui->mnuExit, [this] { close(); });
    onAction(ui->mnuLog, [this] { FRecords->mnuLogClick(); });
    onAction(ui->mnuProfileSave, [this] { FRecords->mnuProfileSaveClick(); });
    onAction(ui->mnuProfileLoad, [this] { FRecords->mnuProfileLoadClick(); });
    onAction(ui->mnuReadToWrite, [this] { FRecords->mnuReadToWriteClick(); });
    onClick(ui->btnComPort, [&e] { e.mnuCommOpenClick(); });
    onAction(ui->mnuCommOpen, [&e] { e.mnuCommOpenClick(); });
    onClick(ui->btnComSet, [this] { mnuCommSettingsClick(); });
    onAction(ui->mnuCommSettings, [this] { mnuCommSettingsClick(); });
    onAction(ui->mnuAbout, [this] { mnuAboutClick(); });
    onClick(ui->spbAIRM, [&e] { e.mnuAirMonitorClick(); });
    onAction(ui->mnuAirMonitor, [&e] { e.mnuAirMonitorClick(); });
    onClick(ui->spbFICK, [&e] { e.mnuRssiInfoClick(); });
    onAction(ui->mnuRssiInfo, [&e] { e.mnuRssiInfoClick(); });
    onClick(ui->spbPacket, [&e] { e.mnuPacketClick(); });
    onAction(ui->mnuPacket, [&e] { e.mnuPacketClick(); });

    // Command line.
    onClick(ui->spbCommandTx, [&e] { e.spbCommandTxClick(); });
    onClick(ui->spbMonitorClear, [&e] { e.spbMonitorClearClick(); });
    connect(ui->cmbTemplate, &QComboBox::activated, this, [this, &e] { guard([&] { e.cmbTemplateChange(); }); });
    connect(ui->cmbTemplate->lineEdit(), &QLineEdit::textEdited, this,
            [this, &e] { guard([&] { e.cmbTemplateChange(); }); });

    // Setting panel.
    onClick(ui->spbWrite, [&e] { e.spbWriteClick(); });
    onClick(ui->spbRead, [&e] { e.spbReadClick(); });
    onClick(ui->spbDefaultNumber, [&e] { e.spbDefaultNumberClick(); });
    onClick(ui->chkSYID, [&e] { e.chkSYIDClick(); });
    onClick(ui->chkCHAN, [&e] { e.chkCHANClick(); });
    onClick(ui->radChAuto, [&e] { e.radChAutoClick(); });
    onClick(ui->radChHand, [&e] { e.radChHandClick(); });
    onClick(ui->chkROUT, [&e] { e.chkROUTClick(); });
    QComboBox* relays[4] = {ui->cmbROUTNode1, ui->cmbROUTNode2, ui->cmbROUTNode3, ui->cmbROUTNode4};
    for (int k = 1; k <= 4; ++k)
        connect(relays[k - 1], &QComboBox::activated, this, [this, &e, k] { guard([&] { e.cmbROUTNodeChange(k); }); });
    onClick(ui->chkFRAM, [&e] { e.chkFRAMClick(); });
    onClick(ui->chkINFO, [&e] { e.chkINFOClick(); });
    onClick(ui->chkSERI, [&e] { e.chkSERIClick(); });
    onClick(ui->chkSERISet, [&e] { e.chkSERISetClick(); });
    connect(ui->PageControlSetting, &QTabWidget::currentChanged, this,
            [this, &e] { guard([&] { e.PageControlSettingChange(); }); });
    for (QSpinBox* spin : {ui->speFRAMByte, ui->speFRAMIdle, ui->speFRAMWait, ui->speFRAMTxNumber})
        spin->installEventFilter(this);
    ui->grpCommand->installEventFilter(this);
    ui->grpSERI->installEventFilter(this);
    ui->spbDefaultNumber->installEventFilter(this);

    // Development tab.
    onClick(ui->btnDBUG, [&e] { e.btnDBUGClick(); });
    onClick(ui->btnDIF1, [&e] { e.btnDIF1Click(); });
    onClick(ui->btnDIF2, [&e] { e.btnDIF2Click(); });
    onClick(ui->btnTEST, [&e] { e.btnTESTClick(); });
    onClick(ui->btnCMND, [&e] { e.btnCMNDClick(); });
    onClick(ui->btnSEND, [&e] { e.btnSENDClick(); });
    onClick(ui->btnRECV, [&e] { e.btnRECVClick(); });
    onClick(ui->btnSTBY, [&e] { e.btnSTBYClick(); });
    onClick(ui->btnIntervalTx, [&e] { e.btnIntervalTxClick(); });
    connect(ui->cmbIntervalTx, &QComboBox::activated, this, [this, &e] { guard([&] { e.cmbIntervalTxChange(); }); });

    // Terminal.
    onClick(ui->btnTermTx, [&e] { e.btnTermTxClick(); });
    onClick(ui->spbTermClear, [&e] { e.spbTermClearClick(); });
    ui->txtTerm->installEventFilter(this);

    // Timers.
    for (const char* name : {"timRxWait", "timIntervalTx"}) {
        auto* timer = findChild<QTimer*>(QString::fromLatin1(name));
        const std::string n = name;
        connect(timer, &QTimer::timeout, this, [this, &e, n] { guard([&] { e.onTimer(n); }); });
    }

    // Key preview for Enter.
    FKeyPreview = new KeyPreview(this, [this](QObject* watched, QKeyEvent* key) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && widget == QApplication::focusWidget()
            && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
            guard([&] { FEngine->FormKeyPress(13); });
        return false;
    });
    qApp->installEventFilter(FKeyPreview);
}

int TMainForm::statusPanelX(QObject* watched, int localX) const
{
    // x as if the panels sat edge to edge from the bar's left: 380..440 is panel 2.
    int left = 0;
    for (size_t i = 0; i < FPanels.size(); ++i) {
        if (watched == FPanels[i])
            return left + localX;
        left += kPanelWidths[i];
    }
    return localX;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (qobject_cast<QSpinBox*>(watched) && watched->objectName().startsWith(QLatin1String("speFRAM"))) {
            const QString text = key->text();
            if (!text.isEmpty() && text.at(0).unicode() >= 32 && !MainEngine::speFRAMKeyPress(text.at(0).unicode()))
                return true;
        }
        return false;
    }
    if (type == QEvent::Resize && watched == ui->grpSERI) {
        // The compact group shows the rate row only: the data-bit row's field
        // goes with its labels, the rows below lie beyond the cut.
        QWidget* field = ui->edtRead17;
        field->setVisible(ui->grpSERI->height() >= field->geometry().bottom() + 2);
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return QMainWindow::eventFilter(watched, event);
    const bool dbl = type == QEvent::MouseButtonDblClick;
    const bool shift = shiftOf(event);
    if (watched == ui->StatusBar || std::find(FPanels.begin(), FPanels.end(), watched) != FPanels.end()) {
        const int x = statusPanelX(watched, int(static_cast<QMouseEvent*>(event)->position().x()));
        guard([&] {
            FEngine->StatusBarMouseDown(x);
            if (dbl)
                FEngine->StatusBarDblClick();
        });
        // The panels have no use for the mouse: the bar must not see it again.
        return true;
    } else if (watched == ui->grpCommand) {
        guard([&] {
            FEngine->grpCommandMouseDown(shift);
            if (dbl)
                FEngine->grpCommandDblClick();
        });
    } else if (watched == ui->spbDefaultNumber) {
        FEngine->spbDefaultNumberMouseDown(shift);
    } else if (watched == ui->txtTerm) {
        guard([&] {
            FEngine->txtTermMouseDown(shift);
            if (dbl)
                FEngine->txtTermDblClick();
        });
    }
    return false;
}

void TMainForm::mnuAboutClick()
{
    int extension = FEngine->extension();
    TAboutForm about(this, QtView::toQt(FEngine->homeUrl()), extension, *FBoxes);
    connect(&about, &TAboutForm::extensionChanged, this, [this](int on) { FEngine->setExtension(on); });
    about.exec();
    scheduleIdle(); // the extended-mode switch may have changed
}

void TMainForm::setUpReconnect()
{
    PortReconnector::Hooks hooks;
    hooks.reopen = [this] {
        FEngine->mnuCommOpenClick();
        return FEngine->portOpen();
    };
    hooks.announce = [this](const std::string& line) { FEngine->EchoMonitor(sj(line) + "\r\n"); };
    hooks.describe = [this](int n) -> std::optional<LostPort> {
        for (const auto& e : FCatalog->entries()) {
            if (e.number != n || e.simulator)
                continue;
            LostPort p;
            p.path = e.path;
            p.network = isNetworkPortName(e.path);
            if (e.identity) {
                p.byId = e.identity->byId;
                if (e.identity->usb)
                    p.usbSerial = e.identity->serial;
            }
            return p;
        }
        return std::nullopt;
    };
    FReconnector = std::make_unique<PortReconnector>(*FReconnectOpener, *FClock, makeUdevEventSource(), hooks);
    connect(&FReconnectTimer, &QTimer::timeout, this, [this] {
        // A port the user opened or chose meanwhile ends the watch.
        if (FEngine->portOpen() || !FEngine->passAllowed())
            FReconnector->cancel();
        else
            guard([&] { FReconnector->pass(); });
        if (!FReconnector->watching())
            FReconnectTimer.stop();
    });
}

void TMainForm::mnuCommSettingsClick()
{
    FReconnector->cancel(); // the user decides the port now
    PortDialog dialog(this, *FBoxes, *FCatalog, FSettingsPath, FAutoReconnect);
    FEngine->mnuCommSettingsClick(dialog);
    FReconnector->setEnabled(FAutoReconnect);
    scheduleIdle();
}

void TMainForm::closeEvent(QCloseEvent* e)
{
    if (FClosed) {
        e->accept();
        return;
    }
    // A close asked for inside a write waits until the write is over.
    if (FEngine->sending()) {
        FEngine->beginClose(); // no further write starts meanwhile
        e->ignore();
        QTimer::singleShot(50, this, &QWidget::close);
        return;
    }
    guard([&] { FEngine->FormClose(); });
    FRecords->windowClosing(); // after the port's close is logged
    FIdleTimer.stop();
    FClosed = true;
    FCommPort->Terminate();
    if (FQtBoxes)
        FQtBoxes->cancelWaits();
    FLinkWindow->hide();
    FPacketWindow->hide();
    guard([&] { saveSettings(); });
    e->accept();
}

} // namespace kd36
