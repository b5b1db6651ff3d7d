// The main window against the simulated modem on COM1.
// The modem first: its header declares a member that Qt defines as a macro.
#include "sim/simulated_modem.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <memory>

#include "app/main_form.h"
#include "dialogs/link_form.h"
#include "dialogs/packet_form.h"
#include "app/lamp_widget.h"
#include "app/qt_boxes.h"
#include "app/qt_view.h"
#include "engine/profile_format.h"
#include "engine/setting_panel.h"
#include "engine/window_state.h"
#include "engine/sjis.h"
#include "ui_main_form.h"

using namespace kd36;

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kPaleGreen = qRgb(147, 234, 188);

struct Shown {
    QString text;
    QString title;
    QString monitorAtBox;
};

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startState();
    void everyTimerTheEngineRunsExists();
    void openAndCloseFollowTheStateTable();
    void passesRunOnlyWhenSomethingHappens();
    void modeSwitchDrivesDtr();
    void typedCommandReachesTheModem();
    void failedWriteShowsBoxThenMonitorLine();
    void statusPanelDoubleClickTogglesDisplay();
    void shiftDoubleClickTogglesDevelopTab();
    void spinEditsTakeDigitsOnly();
    void panelLayoutStartsAsTheModel();
    void windowLayoutStartsAsTheModel();
    void panelShowsTheEngineAndHandsOverEdits();
    void closeWithPortOpenClosesAndSaves();
    void packetDialogLocksTheWindow();
    void screenshots();

private:
    Ui::TMainForm& ui() { return form->form(); }
    QLabel* panel(int n) { return form->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(n)); }
    QString label(int n) { return panel(n)->text(); }
    QRgb lamp(const char* name) { return form->findChild<LampWidget*>(name)->color(); }
    void openPort();
    void idle(int ms = 60) { QTest::qWait(ms); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;
    std::atomic<SimulatedModem*> modem{nullptr};
    SteadyClock clock;
    std::vector<Shown> boxes;
};

void MainFormTest::initTestCase()
{
    QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 9));
}

void MainFormTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    boxes.clear();
    TMainForm::Options o;
    o.clock = &clock;
    o.settingsPath = dir->filePath("kd36setup.ini").toStdString();
    o.simulator = [this] {
        auto m = std::make_unique<SimulatedModem>(clock);
        modem = m.get();
        return std::unique_ptr<Device>(std::move(m));
    };
    o.displayFolders << dir->path(); // no display library here
    form = std::make_unique<TMainForm>(o);
    form->qtBoxes()->onShow = [this](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        boxes.push_back({box->text(), box->windowTitle(), ui().memTxRxMonitor->toPlainText()});
        QTimer::singleShot(0, box, [box] { box->buttons().first()->click(); });
    };
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void MainFormTest::cleanup()
{
    if (form)
        form->close();
    form.reset();
    modem = nullptr;
}

void MainFormTest::openPort()
{
    ui().btnComPort->click();
    QCOMPARE(ui().btnComPort->text(), QString("通信ポート OFF"));
    QVERIFY(modem.load());
}

void MainFormTest::everyTimerTheEngineRunsExists()
{
    // Timers are the one thing the window still finds by name.
    QVERIFY(form->view().timer(kd36::TimerId::RxWait));
    QVERIFY(form->view().timer(kd36::TimerId::IntervalTx));
    QVERIFY(form->linkView().timer(kd36::TimerId::WaitTime));
}

void MainFormTest::startState()
{
    QCOMPARE(form->windowTitle(), QString("KD-36 セットアップ"));
    QCOMPARE(label(0), QString("コマンドモード"));
    QCOMPARE(label(1), QString());
    QCOMPARE(label(2), QString("テキスト"));
    QVERIFY(!label(3).isEmpty());
    QCOMPARE(ui().btnComPort->text(), QString("通信ポート ON"));
    QCOMPARE(ui().spbCommunicationMode->text(), QString("オンラインモード"));
    QVERIFY(ui().spbMode->isChecked());
    QVERIFY(!ui().spbCommunicationMode->isChecked());
    QVERIFY(ui().pnlCommand->isVisible());
    QVERIFY(!ui().pnlCommunication->isVisible());
    idle();
    QCOMPARE(lamp("shpSupplySignal"), kRed);
    QCOMPARE(lamp("shpTxableSignal"), kRed);
    QCOMPARE(lamp("shpLump"), kPaleGreen);
    QCOMPARE(ui().lblTxableSignal->text(), QString("送信不可    ［CTS信号］"));
    QCOMPARE(ui().lblSupplySignal->text(), QString("KD-36 電源［DSR信号］"));
    for (QWidget* w : std::initializer_list<QWidget*>{ui().spbAIRM, ui().spbFICK, ui().spbPacket, ui().spbWrite,
                                                      ui().spbRead, ui().spbCommandTx, ui().btnTermTx, ui().btnDBUG,
                                                      ui().btnTEST, ui().btnSTBY})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(!ui().mnuFunction->menuAction()->isEnabled());
    QVERIFY(!ui().mnuCommOpen->isChecked());
    QVERIFY(!ui().PageControlSetting->isTabVisible(2));
    QCOMPARE(ui().cmbTemplate->currentText(), QString("テンプレート"));
    QCOMPARE(ui().cmbTemplate->count(), 11);
    QCOMPARE(ui().cmbTemplate->itemText(0), QString("@INIT"));
    QCOMPARE(ui().cmbTemplate->itemText(10), QString("$NEWS"));
    QCOMPARE(ui().cmbIntervalTx->currentText(), QString("10"));
    QCOMPARE(ui().cmbChannel->currentText(), QString("7"));
    QCOMPARE(ui().cmbModulation->currentText(), QString("無変調"));
    QVERIFY(ui().chkCRLF->isChecked());
    QVERIFY(ui().chkCRLF->isHidden());
    QCOMPARE(form->centralWidget()->size(), QSize(720, 489));
    QVERIFY(boxes.empty());
}

void MainFormTest::openAndCloseFollowTheStateTable()
{
    openPort();
    QCOMPARE(lamp("shpLump"), kGreen);
    QCOMPARE(label(1), QString("COM1: 9600bps D8 PNON S1"));
    for (QWidget* w : std::initializer_list<QWidget*>{ui().spbAIRM, ui().spbFICK, ui().spbPacket, ui().spbWrite,
                                                      ui().spbRead, ui().spbCommandTx, ui().btnTermTx, ui().btnDBUG,
                                                      ui().btnDIF1, ui().btnDIF2, ui().btnTEST, ui().btnCMND,
                                                      ui().btnSEND, ui().btnRECV, ui().btnSTBY})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(ui().mnuCommOpen->isChecked());
    QVERIFY(ui().mnuFunction->menuAction()->isEnabled());
    QTRY_VERIFY(!modem.load()->dtr()); // command mode lowers DTR at once
    QTRY_COMPARE(lamp("shpSupplySignal"), kGreen);
    QTRY_COMPARE(lamp("shpTxableSignal"), kGreen);
    QCOMPARE(ui().lblTxableSignal->text(), QString("送信可能    ［CTS信号］"));

    // The menu item closes it again.
    ui().mnuCommOpen->trigger();
    QCOMPARE(ui().btnComPort->text(), QString("通信ポート ON "));
    QCOMPARE(lamp("shpLump"), kPaleGreen);
    QCOMPARE(label(1), QString());
    QVERIFY(!ui().mnuCommOpen->isChecked());
    QVERIFY(!ui().mnuFunction->menuAction()->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{ui().spbAIRM, ui().spbWrite, ui().spbCommandTx,
                                                      ui().btnTermTx, ui().btnDBUG, ui().btnSTBY})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QTRY_COMPARE(lamp("shpSupplySignal"), kRed);
    QTRY_COMPARE(lamp("shpTxableSignal"), kRed);
    QVERIFY(ui().btnIntervalTx->isEnabled());
    QVERIFY(boxes.empty());
}

void MainFormTest::passesRunOnlyWhenSomethingHappens()
{
    auto* timer = form->findChild<QTimer*>(QStringLiteral("idleTimer"));
    QVERIFY(timer);
    QTRY_VERIFY(!timer->isActive()); // closed, lamps at rest: nothing to do
    const uint64_t passes = form->passCount();
    idle(100);
    QCOMPARE(form->passCount(), passes);

    // Open and quiet, the window does not wake either...
    openPort();
    QTRY_COMPARE(lamp("shpTxableSignal"), kGreen);
    QTRY_VERIFY(!timer->isActive());
    idle(100); // the open's own passes are over
    const uint64_t openPasses = form->passCount();
    idle(200);
    QCOMPARE(form->passCount(), openPasses);
    // ...yet the lamps follow the lines as they move.
    modem.load()->setCtsHeld(true);
    QTRY_COMPARE_WITH_TIMEOUT(lamp("shpTxableSignal"), kRed, 100);
    modem.load()->setDsrOff(true);
    QTRY_COMPARE_WITH_TIMEOUT(lamp("shpSupplySignal"), kRed, 100);
    modem.load()->setCtsHeld(false);
    QTRY_COMPARE_WITH_TIMEOUT(lamp("shpTxableSignal"), kGreen, 100);

    // Closing puts the lamps at rest in the pass that follows it.
    ui().btnComPort->click();
    QTRY_COMPARE_WITH_TIMEOUT(lamp("shpTxableSignal"), kRed, 100);
    QVERIFY(!timer->isActive());
    QCOMPARE(ui().lblTxableSignal->text(), QString("送信不可    ［CTS信号］"));

    // A layout still owed to the extended page is applied with the port closed.
    form->engine().setExtension(0);
    ui().PageControlSetting->setCurrentIndex(1);
    QCOMPARE(ui().grpSERI->height(), 49);
    form->engine().setExtension(1);
    ui().spbMode->click(); // any handled event looks again
    QTRY_COMPARE(ui().grpSERI->height(), 121);
    QTRY_VERIFY(!timer->isActive());
}

void MainFormTest::modeSwitchDrivesDtr()
{
    // Closed: the mode changes, no line is touched, no box.
    ui().spbCommunicationMode->click();
    QVERIFY(ui().pnlCommunication->isVisible());
    QVERIFY(!ui().pnlCommand->isVisible());
    QVERIFY(!ui().spbMode->isChecked());
    QCOMPARE(label(0), QString("オンラインモード"));
    ui().spbMode->click();
    QCOMPARE(label(0), QString("コマンドモード"));

    openPort();
    QTRY_VERIFY(!modem.load()->dtr());
    ui().spbCommunicationMode->click();
    QVERIFY(modem.load()->dtr());
    QVERIFY(!ui().mnuFunction->menuAction()->isEnabled());
    QVERIFY(ui().btnTermTx->isEnabled());
    ui().spbMode->click();
    QVERIFY(!modem.load()->dtr());
    QVERIFY(ui().mnuFunction->menuAction()->isEnabled());
    // A click on the button that is down releases it and changes nothing.
    ui().spbMode->click();
    QVERIFY(!ui().spbMode->isChecked());
    QVERIFY(!modem.load()->dtr());
    QCOMPARE(label(0), QString("コマンドモード"));
    QVERIFY(boxes.empty());
}

void MainFormTest::typedCommandReachesTheModem()
{
    openPort();
    const int freq = ui().cmbTemplate->findText("@FREQ");
    ui().cmbTemplate->setCurrentIndex(freq);
    emit ui().cmbTemplate->activated(freq);
    QCOMPARE(ui().txtEdit->text(), QString("@FREQ"));
    QCOMPARE(ui().txtEdit->cursorPosition(), 5);
    QCOMPARE(QApplication::focusWidget(), ui().txtEdit);
    ui().spbCommandTx->click();
    QTRY_VERIFY(modem.load()->receivedBytes().find("@FREQ\r\n") != std::string::npos);
    QVERIFY(ui().memTxRxMonitor->toPlainText().startsWith("@FREQ"));
    QTRY_VERIFY(ui().memTxRxMonitor->toPlainText().contains(">FREQ:"));

    // Enter in the command line sends it too; in the template box it does not.
    QTest::keyClick(ui().txtEdit, Qt::Key_Return);
    QTRY_COMPARE(modem.load()->receivedLines().size(), size_t(2));
    ui().cmbTemplate->setFocus();
    QTest::keyClick(ui().cmbTemplate, Qt::Key_Return);
    idle(100);
    QCOMPARE(modem.load()->receivedLines().size(), size_t(2));
    QVERIFY(boxes.empty());
}

void MainFormTest::failedWriteShowsBoxThenMonitorLine()
{
    // The interval transmission runs with the port closed.
    ui().cmbIntervalTx->setCurrentIndex(0);
    ui().btnIntervalTx->click();
    QCOMPARE(ui().btnIntervalTx->text(), QString("ストップ"));
    QCOMPARE(int(boxes.size()), 1);
    QCOMPARE(boxes[0].text, QString("送信失敗"));
    QCOMPARE(boxes[0].title, QString("KD-36 セットアップ"));
    QCOMPARE(boxes[0].monitorAtBox, QString("$SEND:"));
    QCOMPARE(ui().memTxRxMonitor->toPlainText(), QString("$SEND:\n送信失敗"));
    ui().btnIntervalTx->click();
    QCOMPARE(ui().btnIntervalTx->text(), QString("スタート"));
}

void MainFormTest::statusPanelDoubleClickTogglesDisplay()
{
    QTest::mouseDClick(panel(2), Qt::LeftButton, {}, QPoint(30, 5));
    QCOMPARE(label(2), QString("コード"));
    QTest::mouseDClick(panel(0), Qt::LeftButton, {}, QPoint(30, 5));
    QTest::mouseDClick(panel(3), Qt::LeftButton, {}, QPoint(30, 5));
    QCOMPARE(label(2), QString("コード"));
    QTest::mouseDClick(panel(2), Qt::LeftButton, {}, QPoint(2, 5));
    QCOMPARE(label(2), QString("テキスト"));
}

void MainFormTest::shiftDoubleClickTogglesDevelopTab()
{
    QWidget* grp = ui().grpCommand;
    const QPoint frame(grp->width() / 2, 6); // on the caption row
    QTest::mouseDClick(grp, Qt::LeftButton, {}, frame);
    QVERIFY(!ui().PageControlSetting->isTabVisible(2));
    QTest::mouseDClick(grp, Qt::LeftButton, Qt::ShiftModifier, frame);
    QVERIFY(ui().PageControlSetting->isTabVisible(2));
    QTest::mouseDClick(grp, Qt::LeftButton, Qt::ShiftModifier, frame);
    QVERIFY(!ui().PageControlSetting->isTabVisible(2));
}

void MainFormTest::spinEditsTakeDigitsOnly()
{
    ui().chkFRAM->click();
    QVERIFY(ui().speFRAMByte->isEnabled());
    ui().PageControlSetting->setCurrentIndex(1);
    ui().speFRAMByte->setFocus();
    ui().speFRAMByte->selectAll();
    QTest::keyClicks(ui().speFRAMByte, "2x-5");
    QCOMPARE(ui().speFRAMByte->text(), QString("25"));
    QTest::keyClick(ui().speFRAMByte, Qt::Key_Backspace);
    QCOMPARE(ui().speFRAMByte->text(), QString("2"));
}

// The layout and the engine's panel start alike: the same lists, values,
// ticks and enabled controls, so that neither can drift from the other.
void MainFormTest::panelLayoutStartsAsTheModel()
{
    QMainWindow bare;
    Ui::TMainForm layout;
    layout.setupUi(&bare);
    const SettingPanel start;
    auto items = [](QComboBox* c) {
        ItemList v;
        for (int i = 0; i < c->count(); ++i)
            v.push_back(c->itemText(i).toStdString());
        return v;
    };
    QComboBox* lists[] = {layout.cmbCHANGroup,  layout.cmbCHANCh,       layout.cmbROUTDest, layout.cmbSERI,
                          layout.cmbSERIParity, layout.cmbSERIStopBits, layout.cmbSERIFlow, layout.cmbSERIData};
    for (size_t i = 0; i < kPanelChoices; ++i) {
        QVERIFY2(items(lists[i]) == panelItems(PanelChoice(i)), qPrintable(lists[i]->objectName()));
        QCOMPARE(lists[i]->currentIndex(), start.choices[i]);
    }
    QComboBox* relays[] = {layout.cmbROUTNode1, layout.cmbROUTNode2, layout.cmbROUTNode3, layout.cmbROUTNode4,
                           layout.cmbROUTNode5};
    for (size_t i = 0; i < kRelayCount; ++i) {
        QVERIFY(items(relays[i]) == relayItems());
        QCOMPARE(relays[i]->currentIndex(), start.relays[i]);
    }
    QSpinBox* spins[] = {layout.speFRAMByte, layout.speFRAMIdle, layout.speFRAMWait, layout.speFRAMTxNumber};
    for (size_t i = 0; i < kPanelFrames; ++i) {
        const FrameRange& r = frameRange(PanelFrame(i));
        QCOMPARE(spins[i]->minimum(), r.lo);
        QCOMPARE(spins[i]->maximum(), r.hi);
        QCOMPARE(spins[i]->value(), start.frame[i]);
        QCOMPARE(r.start, start.frame[i]);
    }
    QCheckBox* ticks[] = {layout.chkSYID, layout.chkCHAN, layout.chkROUT, layout.chkFRAM,
                          layout.chkINFO, layout.chkSERI, layout.chkSERISet};
    for (size_t i = 0; i < kPanelTicks; ++i)
        QCOMPARE(ticks[i]->isChecked(), start.ticks[i]);
    QCOMPARE(layout.radChAuto->isChecked(), start.channelAuto);
    QCOMPARE(layout.edtSYIDWrite->maxLength(), int(profile_format::kSystemIdMax));
    QCOMPARE(layout.edtINFOWrite->maxLength(), int(profile_format::kDeviceInfoMax));
    const PanelEnables e = panelEnables(start);
    QCOMPARE(layout.edtSYIDWrite->isEnabled(), e.systemId);
    QCOMPARE(layout.radChAuto->isEnabled(), e.channelMode);
    QCOMPARE(layout.cmbCHANGroup->isEnabled(), e.group);
    QCOMPARE(layout.cmbROUTDest->isEnabled(), e.route);
    for (size_t i = 0; i < kRelayCount; ++i)
        QCOMPARE(relays[i]->isEnabled(), e.relays[i]);
    QCOMPARE(layout.speFRAMByte->isEnabled(), e.frame);
    QCOMPARE(layout.edtINFOWrite->isEnabled(), e.deviceInfo);
    QCOMPARE(layout.cmbSERI->isEnabled(), e.serial);
    QCOMPARE(layout.cmbSERIParity->isEnabled(), e.serialDetail);
}

namespace {

// Where the widgets of `u` differ from what `w` says they show.
QStringList windowDiffers(Ui::TMainForm& u, const WindowShown& w)
{
    QStringList off;
    auto usable = [&](QWidget* b, bool on) {
        if (b->testAttribute(Qt::WA_ForceDisabled) == on)
            off << b->objectName();
    };
    for (auto [b, on] : {std::pair<QWidget*, bool>{u.spbAIRM, w.airButton}, {u.spbFICK, w.answerBackButton},
                         {u.spbPacket, w.packetButton}, {u.spbWrite, w.write}, {u.spbRead, w.read},
                         {u.spbCommandTx, w.commandSend}, {u.btnTermTx, w.terminalSend}})
        usable(b, on);
    for (QWidget* b : {u.btnDBUG, u.btnDIF1, u.btnDIF2, u.btnTEST, u.btnCMND, u.btnSEND, u.btnRECV, u.btnSTBY})
        usable(b, w.developButtons);
    for (QWidget* b : {u.spbMode, u.spbCommunicationMode})
        usable(b, w.modeButtons);
    for (QWidget* b : {u.btnComPort, u.btnComSet})
        usable(b, w.portButtons);
    auto action = [&](QAction* a, bool on, bool mark) {
        if (a->isEnabled() != on || a->isChecked() != mark)
            off << a->objectName();
    };
    action(u.mnuFunction->menuAction(), w.functionMenu, false);
    action(u.mnuAirMonitor, w.airMenu, w.airMark);
    action(u.mnuRssiInfo, w.answerBackMenu, w.answerBackMark);
    action(u.mnuPacket, w.packetMenu, w.packetMark);
    action(u.mnuCommOpen, true, w.portMark);
    if (u.lblSERIData->isHidden() == w.extended || u.Label2->isHidden() == w.extended)
        off << "extended rows";
    return off;
}

} // namespace

// The window's locks and marks start as the model's start state says, in
// the bare layout and in the running window.
void MainFormTest::windowLayoutStartsAsTheModel()
{
    QMainWindow bare;
    Ui::TMainForm layout;
    layout.setupUi(&bare);
    QCOMPARE(windowDiffers(layout, windowShown(WindowState{})), QStringList());

    const WindowShown w = windowShown(form->engine().windowState());
    QCOMPARE(windowDiffers(ui(), w), QStringList());
    QVERIFY(w.commandMode && ui().spbMode->isChecked() && !ui().spbCommunicationMode->isChecked());
    QCOMPARE(ui().pnlCommand->isHidden(), false);
    QCOMPARE(ui().pnlCommunication->isHidden(), true);
    QCOMPARE(ui().PageControlSetting->isTabVisible(ui().PageControlSetting->indexOf(ui().tabDevelop)), w.developTab);

    // The fields the engine reads: the layout's texts, the running window's picks.
    const WindowInputs start, &in = form->engine().inputs();
    QCOMPARE(QtView::fromQt(layout.edtIntervalTx->text()), start.intervalCommand);
    QCOMPARE(layout.chkCRLF->isChecked(), start.terminalCrLf);
    QCOMPARE(layout.chkCRLF->isHidden(), !windowShown(WindowState{}).crLfBox);
    QVERIFY(layout.txtEdit->text().isEmpty() && layout.txtTerm->text().isEmpty());
    QCOMPARE(ui().cmbChannel->currentIndex(), in.testChannel);
    QCOMPARE(ui().cmbModulation->currentIndex(), in.testModulation);
    QCOMPARE(ui().cmbIntervalTx->currentIndex(), in.intervalIndex);
    QCOMPARE(ui().cmbIntervalTx->currentText(), QString::number(in.intervalIndex + 1)); // seconds
    // The test commands name channel index + 7.
    QCOMPARE(ui().cmbChannel->count(), 40);
    QCOMPARE(ui().cmbChannel->itemText(0), QStringLiteral("7"));
}

void MainFormTest::panelShowsTheEngineAndHandsOverEdits()
{
    MainEngine& e = form->engine();
    // The engine's changes reach the widgets.
    e.editPanel([](SettingPanel& p) {
        p.setTick(PanelTick::Route, true);
        p.relays = {3, 0, 4, 0, 0};
        p.read(12) = "KD36";
        p.systemId = "42";
    });
    QVERIFY(ui().chkROUT->isChecked());
    QCOMPARE(ui().cmbROUTNode1->currentText(), QString("2"));
    QVERIFY(ui().cmbROUTNode2->isEnabled());
    QVERIFY(!ui().cmbROUTNode3->isEnabled());
    QCOMPARE(ui().cmbROUTNode3->currentText(), QString("3"));
    QCOMPARE(ui().edtRead12->text(), QString("KD36"));
    QCOMPARE(ui().edtSYIDWrite->text(), QString("42"));

    // And the user's reach the engine, by mouse, key or program.
    ui().chkFRAM->click();
    QVERIFY(e.panel().tick(PanelTick::Frame));
    ui().cmbROUTNode2->setCurrentText("A");
    QCOMPARE(e.panel().relayText(2), std::string("A"));
    QVERIFY(ui().cmbROUTNode3->isEnabled());
    ui().radChHand->setChecked(true);
    QVERIFY(!e.panel().channelAuto);
    ui().edtINFOWrite->setText("SITE-7");
    QCOMPARE(e.panel().deviceInfo, std::string("SITE-7"));

    // A value still being typed is settled before a write, so that what goes
    // out is what the panel shows.
    openPort();
    ui().PageControlSetting->setCurrentIndex(1);
    ui().speFRAMIdle->setFocus();
    ui().speFRAMIdle->selectAll();
    QTest::keyClicks(ui().speFRAMIdle, "7");
    QCOMPARE(ui().speFRAMIdle->text(), QString("7"));
    ui().spbWrite->click();
    QCOMPARE(ui().speFRAMIdle->text(), QString::number(e.panel().frameValue(PanelFrame::Idle)));
    QTRY_VERIFY_WITH_TIMEOUT(e.step() == 0, 15000);
}

void MainFormTest::closeWithPortOpenClosesAndSaves()
{
    openPort();
    const QString ini = dir->filePath("kd36setup.ini");
    form->close();
    QVERIFY(!form->isVisible());
    QVERIFY(!form->engine().portOpen());
    QVERIFY(QFile::exists(ini));
    QFile f(ini);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.contains("[Com]") || text.contains("[COM]"));
    QVERIFY(boxes.empty());
}

void MainFormTest::packetDialogLocksTheWindow()
{
    openPort();
    ui().spbPacket->click();
    QTRY_VERIFY(form->packetForm().isVisible());
    QTRY_VERIFY(ui().mnuPacket->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{ui().spbFICK, ui().spbAIRM, ui().spbCommandTx, ui().spbWrite,
                                                      ui().spbRead, ui().spbMode, ui().spbCommunicationMode})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(!ui().mnuAirMonitor->isEnabled());
    form->packetForm().close();
    QTRY_VERIFY(!ui().mnuPacket->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{ui().spbFICK, ui().spbAIRM, ui().spbCommandTx, ui().spbWrite,
                                                      ui().spbRead, ui().spbMode, ui().spbCommunicationMode})
        QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(boxes.empty());
}

void MainFormTest::screenshots()
{
    // Pictures go where KD36_SHOT_DIR says; the checks run either way.
    const QString dir = qEnvironmentVariable("KD36_SHOT_DIR");
    if (!dir.isEmpty())
        QDir().mkpath(dir);
    auto shot = [&](const char* name) {
        idle(30);
        if (!dir.isEmpty())
            QVERIFY(form->grab().save(QStringLiteral("%1/main_%2.png").arg(dir, name)));
    };
    ui().PageControlSetting->setTabVisible(2, true);
    openPort();
    ui().cmbTemplate->setCurrentIndex(4);
    ui().spbRead->click();
    QTRY_VERIFY_WITH_TIMEOUT(form->engine().step() == 0 && !ui().edtRead20->text().isEmpty(), 5000);
    shot("command_basic");
    ui().PageControlSetting->setCurrentIndex(1);
    form->engine().setExtension(1);
    shot("command_extend");
    QCOMPARE(ui().grpSERI->height(), 121);
    QVERIFY(ui().edtRead17->isVisible());
    form->engine().setExtension(0);
    shot("command_extend_compact");
    QCOMPARE(ui().grpSERI->height(), 49);
    QVERIFY(!ui().edtRead17->isVisible());
    QVERIFY(ui().cmbSERIParity->geometry().top() >= 49); // beyond the cut
    ui().PageControlSetting->setCurrentIndex(2);
    shot("command_develop");
    ui().spbCommunicationMode->click();
    ui().chkCRLF->show();
    ui().txtTerm->setText(QStringLiteral("こんにちは KD-36"));
    ui().btnTermTx->click();
    QTRY_VERIFY_WITH_TIMEOUT(ui().memTerm->toPlainText().contains(QStringLiteral("Rx:")), 3000);
    shot("communication");
}

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
