#include "main_form.h"

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

#include <exception>

#include "../dialogs/about_form.h"
#include "../dialogs/link_form.h"
#include "../dialogs/packet_form.h"
#include "../dialogs/qt_boxes.h"
#include "../dialogs/qt_view.h"
#include "../dialogs/settings_form.h"
#include "../engine/sjis.h"
#include "../serial/port_catalog.h"
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
    PortDialog(QWidget* parent, MessageBoxes& boxes, PortCatalog& catalog)
        : parent_(parent), boxes_(boxes), catalog_(catalog)
    {
    }
    void run(int& portNumber, PortSettings& settings, const std::vector<std::string>& portList,
             int extension) override
    {
        TSettingsForm dialog(parent_, portNumber, settings, portList, extension, boxes_,
                             [this](int n) { return catalog_.describe(n); });
        dialog.exec();
    }

private:
    QWidget* parent_;
    MessageBoxes& boxes_;
    PortCatalog& catalog_;
};

} // namespace

TMainForm::TMainForm(Options options, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()), FOptions(std::move(options))
{
    // 1. The window and its controls.
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
    auto* timIntervalTx = new QTimer(this);
    timIntervalTx->setObjectName(QStringLiteral("timIntervalTx"));
    timIntervalTx->setInterval(10000);

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

    // 13, 14. The answer-back and packet dialogs, kept for the whole run.
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

    // 11. The port holder and receive thread.
    FCommPort = std::make_unique<RsCommThread>(*FClock, *FBoxes, *FCatalog);
    EngineDeps deps{*FView, FLinkWindow->view(), FPacketWindow->view(), *FBoxes, *FClock, *FCommPort, FDisplayLoader.get(),
                    [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); }};
    FEngine = std::make_unique<MainEngine>(deps);
    FCommPort->bindWindowFlags(&FEngine->FPortOpen, &FEngine->FCommandMode);
    auto dialogGuard = [this](const std::function<void()>& handler) { guard(handler); };
    FLinkWindow->bind(FEngine->linkForm(), dialogGuard);
    FPacketWindow->bind(FEngine->packetForm(), dialogGuard);
    // Each piece goes to the user-interface thread in arrival order; queued
    // calls to one receiver keep their order.
    FCommPort->setDeliver([this](const std::string& piece) {
        QMetaObject::invokeMethod(
            this,
            [this, piece] {
                guard([&] { FEngine->handOver(piece); });
                // As an idle hook would: the pass follows the message at once.
                idlePass();
            },
            Qt::QueuedConnection);
    });
    FCommPort->setProcessEvents([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    FCommPort->setDeviceLost([this] {
        QMetaObject::invokeMethod(
            this, [this] { guard([&] { FEngine->portLost(); }); }, Qt::QueuedConnection);
    });
    FCommPort->start();

    // 2..9, 15; 10 the templates; 16 the settings file; 17..22.
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

    connectHandlers();
    // 23. The idle hook: every event that can give a pass work runs under
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
    if (FCommPort) {
        if (!FClosed && FEngine && FEngine->portButtonTag)
            FCommPort->ClosePort();
        FCommPort->Terminate();
        FCommPort->wait(3000);
    }
    FLinkWindow->unbind();
    FPacketWindow->unbind();
    FEngine.reset();
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
    s.home = FEngine->FHomeUrl;
    s.port = FEngine->FPortNumber;
    s.com = FEngine->portSettings;
    s.extension = FEngine->FExtension;
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
    return wp;
}

void TMainForm::loadSettings()
{
    if (FSettingsPath.empty())
        return;
    StoredSettings s = storedSettings();
    WindowPlacement wp = placement();
    LoadSettings(FSettingsPath, s, *FView, wp);
    FEngine->FHomeUrl = s.home;
    FEngine->FPortNumber = s.port;
    FEngine->portSettings = s.com;
    FEngine->FExtension = s.extension;
    move(wp.left, wp.top);
}

void TMainForm::saveSettings()
{
    if (FSettingsPath.empty())
        return;
    const StoredSettings s = storedSettings();
    const WindowPlacement wp = placement();
    std::string error;
    if (!SaveSettings(FSettingsPath, s, *FView, wp, &error))
        FBoxes->warning("設定ファイルを保存できませんでした。", FSettingsPath + "\n" + error);
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
    if (FEngine->idleDepth > 0 || FEngine->FSending)
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
    TAboutForm about(this, QtView::toQt(FEngine->FHomeUrl), FEngine->FExtension, *FBoxes);
    about.exec();
    scheduleIdle(); // the extended-mode switch may have changed
}

void TMainForm::mnuCommSettingsClick()
{
    PortDialog dialog(this, *FBoxes, *FCatalog);
    FEngine->mnuCommSettingsClick(dialog);
    scheduleIdle();
}

void TMainForm::closeEvent(QCloseEvent* e)
{
    if (FClosed) {
        e->accept();
        return;
    }
    // A close asked for inside a write waits until the write is over.
    if (FEngine->FSending) {
        FEngine->FClosing = true; // no further write starts meanwhile
        e->ignore();
        QTimer::singleShot(50, this, &QWidget::close);
        return;
    }
    guard([&] { FEngine->FormClose(); });
    FIdleTimer.stop();
    FClosed = true;
    FCommPort->Terminate();
    FLinkWindow->hide();
    FPacketWindow->hide();
    guard([&] { saveSettings(); });
    e->accept();
}

} // namespace kd36
