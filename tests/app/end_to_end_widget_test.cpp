// The whole tool through its widgets, on real time: the main window, its
// dialogs, the display library and the simulated modem on COM1.
// The modem first: its header declares a member that Qt defines as a macro.
#include "sim/simulated_modem.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLibrary>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <memory>

#include "app/main_form.h"
#include "dialogs/link_form.h"
#include "dialogs/packet_form.h"
#include "app/qt_boxes.h"
#include "spectrum/analyze32.h"
#include "ui_main_form.h"

using namespace kd36;

namespace {

QWidget* displayWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("AirMonitorWindow"))
            return w;
    return nullptr;
}

bool hasLine(SimulatedModem* m, const std::string& line)
{
    for (const std::string& l : m->receivedLines())
        if (l == line)
            return true;
    return false;
}

} // namespace

class EndToEndWidgetTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 9)); }
    void init();
    void cleanup();
    void readFillsAllTwentyFields();
    void airMonitorRunsFromTheDisplayWindow();
    void answerBackShowsLevelsOnTheBars();
    void packetToAPresentStationComesBack();
    void packetWithWrongOwnStationShowsErr2Box();
    void communicationModeEchoesTypedLines();

private:
    Ui::TMainForm& ui() { return form->form(); }
    void openPort();
    QString field(int n) { return form->findChild<QLineEdit*>(QStringLiteral("edtRead%1").arg(n))->text(); }
    template <typename W>
    W* in(QWidget* parent, const char* name)
    {
        W* w = parent->findChild<W*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QStringList boxTexts() const
    {
        QStringList t;
        for (const QString& s : boxes)
            t << s;
        return t;
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;
    std::shared_ptr<ModemMemory> memory;
    std::atomic<SimulatedModem*> modem{nullptr};
    SteadyClock clock;
    QStringList boxes;
};

void EndToEndWidgetTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    boxes.clear();
    memory = std::make_shared<ModemMemory>();
    // Every read-back field has something to show.
    ModemSettings s = memory->load();
    s.groupMode = false;
    s.channel = 12;
    s.routeRelays = "1A567";
    memory->store(s);

    TMainForm::Options o;
    o.clock = &clock;
    o.settingsPath = dir->filePath("kd36setup.ini").toStdString();
    o.simulator = [this] {
        auto m = std::make_unique<SimulatedModem>(clock, memory);
        modem = m.get();
        return std::unique_ptr<Device>(std::move(m));
    };
    o.displayFolders << QFileInfo(QString::fromUtf8(ANALYZE32_PATH)).absolutePath();
    form = std::make_unique<TMainForm>(o);
    form->qtBoxes()->onShow = [this](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        boxes << box->text();
        QTimer::singleShot(0, box, [box] { box->buttons().first()->click(); });
    };
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void EndToEndWidgetTest::cleanup()
{
    if (form)
        form->close();
    form.reset();
    modem = nullptr;
    QVERIFY(displayWindow() == nullptr); // unloaded with the main window
}

void EndToEndWidgetTest::openPort()
{
    ui().btnComPort->click();
    QVERIFY(modem.load());
    QTRY_VERIFY(!modem.load()->dtr());
}

void EndToEndWidgetTest::readFillsAllTwentyFields()
{
    openPort();
    ui().spbRead->click();
    QTRY_VERIFY_WITH_TIMEOUT(ui().spbRead->isEnabled() && !field(20).isEmpty(), 5000);
    // A fixed channel: the group field stays blank, every other one fills.
    for (int n = 1; n <= 20; ++n)
        QVERIFY2(n == 3 || !field(n).isEmpty(), qPrintable(QStringLiteral("edtRead%1").arg(n)));
    QCOMPARE(field(3), QString());
    QCOMPARE(field(1), QString("1234567"));
    QCOMPARE(field(2), QString("5"));
    QCOMPARE(field(4), QString("12"));
    QCOMPARE(field(6) + field(7) + field(13) + field(14) + field(15), QString("1A567"));
    QCOMPARE(field(12), QString("KD36SIM1"));
    QCOMPARE(field(16), QString("9600"));
    QVERIFY2(boxes.isEmpty(), qPrintable(boxTexts().join('|')));
}

void EndToEndWidgetTest::airMonitorRunsFromTheDisplayWindow()
{
    openPort();
    ui().spbAIRM->click();
    QTRY_VERIFY(displayWindow() && displayWindow()->isVisible());
    QVERIFY(!ui().spbRead->isEnabled());
    QVERIFY(!ui().btnComPort->isEnabled());
    QWidget* win = displayWindow();
    auto* start = in<QPushButton>(win, "btnStart");
    start->click();
    QTRY_VERIFY(modem.load()->airMonitorRunning());
    QVERIFY(hasLine(modem, "@ANLZ:S"));

    // Two sweeps a second: after about 1.5 s the display has drawn some.
    QLibrary lib(QString::fromUtf8(ANALYZE32_PATH));
    QVERIFY(lib.load());
    auto status = reinterpret_cast<DLLStatusFn>(lib.resolve("DLLStatus"));
    QVERIFY(status);
    DisplayStatus st{};
    QTRY_VERIFY_WITH_TIMEOUT((status(&st), st.Sweeps >= 2), 3000);
    QCOMPARE(st.Running, 1);
    QCOMPARE(st.Shown, 1);
    QVariantList values = in<QWidget>(win, "plot")->property("values").toList();
    QCOMPARE(values.size(), 40);
    int nonZero = 0;
    for (const QVariant& v : values) {
        QVERIFY(v.toInt() >= 0 && v.toInt() <= 3300 * 4); // millivolts, not raw hex
        nonZero += v.toInt() != 0;
    }
    QVERIFY(nonZero > 0);
    QVERIFY(ui().memTxRxMonitor->toPlainText().contains(">ANLZ:07="));

    start->click(); // stop
    QTRY_VERIFY(hasLine(modem, "@ANLZ:Q"));
    QTRY_VERIFY(!modem.load()->airMonitorRunning());
    win->close();
    QTRY_VERIFY(!ui().mnuAirMonitor->isChecked());
    QTRY_VERIFY(ui().spbRead->isEnabled());
    QVERIFY(ui().btnComPort->isEnabled());
    QVERIFY(ui().spbFICK->isEnabled());
    lib.unload();
    QVERIFY2(boxes.isEmpty(), qPrintable(boxTexts().join('|')));
}

void EndToEndWidgetTest::answerBackShowsLevelsOnTheBars()
{
    openPort();
    modem.load()->setStation(2, '7'); // above the scale: the bar stops at 4
    ui().spbFICK->click();
    TLinkForm& link = form->linkForm();
    QTRY_VERIFY(link.isVisible());
    for (const char* c : {"CheckBox1", "CheckBox2", "CheckBox3"})
        in<QCheckBox>(&link, c)->setChecked(true);
    in<QPushButton>(&link, "btnGet")->click();
    QTRY_VERIFY_WITH_TIMEOUT(in<QPlainTextEdit>(&link, "memInfo")->toPlainText().contains("完了しました。"), 5000);
    QCOMPARE(in<QProgressBar>(&link, "prgLevel1")->value(), 3);
    QCOMPARE(in<QProgressBar>(&link, "prgLevel2")->value(), 4);
    QCOMPARE(in<QProgressBar>(&link, "prgLevel3")->value(), 1);
    QCOMPARE(in<QProgressBar>(&link, "prgLevel10")->value(), 0);
    const QString log = in<QPlainTextEdit>(&link, "memInfo")->toPlainText();
    QVERIFY2(log.contains("#1 を確認中･･･ レベル 3 です。"), qPrintable(log));
    QVERIFY2(log.contains("#3 を確認中･･･ レベル 1 です。"), qPrintable(log));
    QVERIFY(in<QPushButton>(&link, "btnGet")->isVisible());
    QVERIFY(!in<QPushButton>(&link, "btnAbort")->isVisible());
    QVERIFY(hasLine(modem, "@AIRC:N=1"));
    QVERIFY(hasLine(modem, "@AIRC:N=3"));
    QVERIFY(!hasLine(modem, "@AIRC:N=0"));
    in<QPushButton>(&link, "btnClose")->click();
    QTRY_VERIFY(!ui().mnuRssiInfo->isChecked());
    QTRY_VERIFY(ui().spbRead->isEnabled());
    QVERIFY2(boxes.isEmpty(), qPrintable(boxTexts().join('|')));
}

void EndToEndWidgetTest::packetToAPresentStationComesBack()
{
    openPort();
    ui().spbPacket->click();
    TPacketForm& pf = form->packetForm();
    QTRY_VERIFY(pf.isVisible());
    auto* own = in<QComboBox>(&pf, "cmbRoute0");
    auto* dest = in<QComboBox>(&pf, "cmbRoute6");
    own->setCurrentIndex(own->findText("5"));
    dest->setCurrentIndex(dest->findText("1"));
    in<QPlainTextEdit>(&pf, "memUserData")->setPlainText("HELLO");
    QVERIFY(in<QCheckBox>(&pf, "chkRoute")->isChecked());
    in<QToolButton>(&pf, "spbPacket")->click();
    QTRY_VERIFY(hasLine(modem, "$SEND:5,1;5;HELLO"));
    QTRY_COMPARE_WITH_TIMEOUT(in<QPlainTextEdit>(&pf, "memUserDataRx")->toPlainText(), QString("HELLO"), 3000);
    QCOMPARE(in<QLineEdit>(&pf, "edtRoute0")->text(), QString("1"));
    QCOMPARE(in<QLineEdit>(&pf, "edtRoute6")->text(), QString("5"));
    QCOMPARE(in<QLineEdit>(&pf, "edtRoute1")->text(), QString("-"));
    QVERIFY(pf.isVisible());
    QVERIFY2(boxes.isEmpty(), qPrintable(boxTexts().join('|')));
}

void EndToEndWidgetTest::packetWithWrongOwnStationShowsErr2Box()
{
    openPort();
    ui().spbPacket->click();
    TPacketForm& pf = form->packetForm();
    QTRY_VERIFY(pf.isVisible());
    auto* own = in<QComboBox>(&pf, "cmbRoute0");
    auto* dest = in<QComboBox>(&pf, "cmbRoute6");
    own->setCurrentIndex(own->findText("3")); // the modem's ID switch reads 5
    dest->setCurrentIndex(dest->findText("1"));
    in<QPlainTextEdit>(&pf, "memUserData")->setPlainText("X");
    in<QToolButton>(&pf, "spbPacket")->click();
    QTRY_VERIFY_WITH_TIMEOUT(boxes.contains("自局IDの設定またはユーザー電文を確認してください。"), 3000);
    QCOMPARE(boxes.size(), 1);
    QVERIFY(in<QPlainTextEdit>(&pf, "memUserDataRx")->toPlainText().isEmpty());
    QVERIFY(ui().memTxRxMonitor->toPlainText().contains(">ERR2"));
}

void EndToEndWidgetTest::communicationModeEchoesTypedLines()
{
    openPort();
    ui().spbCommunicationMode->click();
    QTRY_VERIFY(modem.load()->dtr());
    QVERIFY(ui().pnlCommunication->isVisible());
    ui().txtTerm->setText("hello");
    ui().btnTermTx->click();
    QTRY_VERIFY_WITH_TIMEOUT(ui().memTerm->toPlainText().contains("Rx:hello"), 3000);
    const QStringList lines = ui().memTerm->toPlainText().split('\n');
    QCOMPARE(lines.value(0), QString("Tx:hello"));
    QVERIFY(lines.contains("Rx:hello"));
    QCOMPARE(ui().txtTerm->text(), QString("hello")); // kept for sending again
    // Back in command mode the terminal keeps its lines.
    ui().spbMode->click();
    QTRY_VERIFY(!modem.load()->dtr());
    QVERIFY(ui().memTerm->toPlainText().contains("Tx:hello"));
    QVERIFY2(boxes.isEmpty(), qPrintable(boxTexts().join('|')));
}

QTEST_MAIN(EndToEndWidgetTest)
#include "end_to_end_widget_test.moc"
