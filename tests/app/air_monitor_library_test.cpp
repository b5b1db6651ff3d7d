// The engine's air monitor with the display library loaded for real, through
// the same QLibrary loader as the tool: the recording double as a shared
// object, a double missing an export, an empty folder, and libanalyze32.so
// itself with its window.
#include <QApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/display_library_qt.h"
#include "engine/main_engine.h"
#include "engine/sjis.h"
#include "serial/clock.h"
#include "spectrum/analyze32.h"
#include "spectrum/fake_analyze32.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_view.h"

using namespace kd36;
using namespace kd36::test;

namespace {

constexpr Usable kEleven[] = {{"spbFICK", &WindowShown::answerBackButton}, {"spbPacket", &WindowShown::packetButton}, {"mnuRssiInfo", &WindowShown::answerBackMenu}, {"mnuPacket", &WindowShown::packetMenu}, {"spbCommandTx", &WindowShown::commandSend}, {"spbWrite", &WindowShown::write}, {"spbRead", &WindowShown::read}, {"spbMode", &WindowShown::modeButtons}, {"spbCommunicationMode", &WindowShown::modeButtons}, {"btnComPort", &WindowShown::portButtons}, {"btnComSet", &WindowShown::portButtons}};

QString folderOf(const char* path) { return QFileInfo(QString::fromUtf8(path)).absolutePath(); }

// One sweep line; `raw` holds the readings of channels 7..46 as text, so a
// test can put blanks in front or leave a channel out (an empty entry).
std::string sweepLine(const std::vector<std::string>& raw)
{
    std::string s = ">ANLZ:";
    bool first = true;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i].empty())
            continue;
        char head[16];
        std::snprintf(head, sizeof head, "%s%02d=", first ? "" : ",", int(i) + 7);
        s += head + raw[i];
        first = false;
    }
    return s + "\r\n";
}

// The readings used throughout: 3FF, 1FF, 100, then a spread ending in 0.
std::vector<std::string> readings()
{
    std::vector<std::string> r(40, "0");
    r[0] = "3FF";
    r[1] = "1FF";
    r[2] = "100";
    r[3] = "1";
    r[4] = " 2A"; // a leading blank is allowed
    r[5] = "200";
    r[6] = "3fe";
    return r;
}
const std::vector<int32_t> kMillivolts = [] {
    std::vector<int32_t> v(40, 0);
    v[0] = 3300;
    v[1] = 1648;
    v[2] = 825;
    v[3] = 3;
    v[4] = 135;
    v[5] = 1651;
    v[6] = 3296;
    return v;
}();

// The engine on fake windows and a fake port, with the Qt loader.
struct Rig {
    Rig(QStringList folders, QString baseName) : loader(std::move(folders), std::move(baseName))
    {
        for (FakeView* v : {&main, &link, &packet})
            v->nowMs = [this] { return clock.nowMs(); };
        main.onTimer = [this](TimerId n) { engine.onTimer(n); };
        engine.ConstructBeforeSettings();
        engine.ConstructAfterSettings();
        engine.mnuCommOpenClick();
        port.writes.clear();
    }
    void pass(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            clock.advanceMs(10);
            main.fireDueTimers(clock.nowMs());
            engine.OnIdle();
        }
    }
    void switchAirMonitor()
    {
        engine.mnuAirMonitorClick();
        pass();
    }
    int sent(const std::string& line) const
    {
        int n = 0;
        for (const std::string& w : port.writes)
            n += w == line;
        return n;
    }
    bool elevenEnabled(bool on) const
    {
        for (auto [c, usable] : kEleven)
            if (main.window.*usable != on)
                return false;
        return true;
    }

    VirtualClock clock;
    FakeView main{kd36::WindowKind::Main}, link{kd36::WindowKind::Link}, packet{kd36::WindowKind::Packet};
    FakeBoxes boxes;
    FakePort port;
    QtDisplayLibraryLoader loader;
    MainEngine engine{EngineDeps{main, link, packet, boxes, clock, port, &loader}};
};

QWidget* displayWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("AirMonitorWindow"))
            return w;
    return nullptr;
}

} // namespace

class AirMonitorLibraryTest : public QObject {
    Q_OBJECT

    // Our own handle on the double: keeps its recorder reachable and its
    // state across the engine's load and unload.
    QLibrary fake_{QString::fromUtf8(FAKE_ANALYZE32_PATH)};
    FakeResetFn reset_ = nullptr;
    FakeSetStatusFn setStatus_ = nullptr;
    FakeCallsFn calls_ = nullptr;
    FakeCallCountFn callCount_ = nullptr;
    FakeTitleFn title_ = nullptr;
    FakeLastControlFn lastControl_ = nullptr;
    FakeLastDataFn lastData_ = nullptr;

    std::string calls()
    {
        char buf[512];
        calls_(buf, sizeof buf);
        return buf;
    }
    std::unique_ptr<Rig> fakeRig()
    {
        return std::make_unique<Rig>(QStringList{folderOf(FAKE_ANALYZE32_PATH)}, QStringLiteral("fake_analyze32"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(fake_.load(), qPrintable(fake_.errorString()));
        reset_ = reinterpret_cast<FakeResetFn>(fake_.resolve("FakeReset"));
        setStatus_ = reinterpret_cast<FakeSetStatusFn>(fake_.resolve("FakeSetStatus"));
        calls_ = reinterpret_cast<FakeCallsFn>(fake_.resolve("FakeCalls"));
        callCount_ = reinterpret_cast<FakeCallCountFn>(fake_.resolve("FakeCallCount"));
        title_ = reinterpret_cast<FakeTitleFn>(fake_.resolve("FakeTitle"));
        lastControl_ = reinterpret_cast<FakeLastControlFn>(fake_.resolve("FakeLastControl"));
        lastData_ = reinterpret_cast<FakeLastDataFn>(fake_.resolve("FakeLastData"));
        QVERIFY(reset_ && setStatus_ && calls_ && callCount_ && title_ && lastControl_ && lastData_);
    }
    void init() { reset_(); }

    void doubleStartsAndStopsOnRunningEdges()
    {
        auto r = fakeRig();
        r->switchAirMonitor();
        QVERIFY(r->engine.displayLoaded());
        QCOMPARE(calls(), std::string("DLLTitle,DLLControl,DLLShow"));
        QCOMPARE(std::string(title_(0)), std::string("RSSI [mV]"));
        QCOMPARE(std::string(title_(1)), std::string("Channel"));
        QVERIFY(title_(2) == nullptr);
        QCOMPARE(std::string(title_(3)), std::string("Air Monitor"));
        DisplayControl c{};
        lastControl_(&c);
        QCOMPARE(c.PeakDecayMvPerSecond, 800);
        QCOMPARE(c.RefreshMs, 100);
        QCOMPARE(c.PeakHoldSweeps, 30);
        QVERIFY(r->elevenEnabled(false));
        QVERIFY(r->main.window.airButton);
        QVERIFY(r->port.writes.empty());

        setStatus_(1, 1);
        r->pass(5);
        QCOMPARE(r->sent("@ANLZ:S\r\n"), 1);
        QVERIFY(r->engine.busy());
        setStatus_(0, 1);
        r->pass(5);
        QCOMPARE(r->sent("@ANLZ:Q\r\n"), 1);
        QVERIFY(!r->engine.busy());
        QCOMPARE(r->port.writes.size(), size_t(2));
        // The library is polled on every pass.
        QVERIFY(callCount_("DLLStatus") >= 10);
        r->engine.FormClose();
        QVERIFY(!r->engine.displayLoaded());
    }

    void closingTheDoubleWhileMeasuringStopsAndUnlocks()
    {
        auto r = fakeRig();
        r->switchAirMonitor();
        setStatus_(1, 1);
        r->pass(2);
        QCOMPARE(r->sent("@ANLZ:S\r\n"), 1);
        setStatus_(1, 0); // the window closed; Running still reads 1
        r->pass(3);
        QCOMPARE(r->sent("@ANLZ:Q\r\n"), 1);
        QVERIFY(!r->engine.busy());
        QVERIFY(!r->main.window.airMark);
        QVERIFY(r->elevenEnabled(true));
        QVERIFY(r->boxes.shown.empty());

        // On again: shown once more from the loaded library, no new title.
        r->switchAirMonitor();
        QCOMPARE(callCount_("DLLTitle"), 1);
        QCOMPARE(callCount_("DLLShow"), 2);
        r->engine.FormClose();
    }

    void closeOfTheMainWindowWhileMeasuringStops()
    {
        auto r = fakeRig();
        r->switchAirMonitor();
        setStatus_(1, 1);
        r->pass(2);
        r->engine.FormClose();
        QCOMPARE(r->sent("@ANLZ:Q\r\n"), 1);
        QVERIFY(!r->engine.displayLoaded());
        QCOMPARE(callCount_("DLLHide"), 0);
    }

    void missingExportIsReportedAndUnloaded()
    {
        Rig r({folderOf(FAKE_ANALYZE32_NOCONTROL_PATH)}, QStringLiteral("fake_analyze32_nocontrol"));
        r.switchAirMonitor();
        QCOMPARE(r.boxes.texts(), std::vector<std::string>{"関数アドレスを解決できませんでした。"});
        QCOMPARE(r.boxes.shown[0].kind, std::string("warning"));
        QVERIFY(!r.engine.displayLoaded());
        QVERIFY(!r.main.window.airMark);
        QVERIFY(r.elevenEnabled(true));
        QVERIFY(!r.engine.airMonitorShown());
        r.pass(3);
        QCOMPARE(r.boxes.shown.size(), size_t(1));
        QVERIFY(r.port.writes.empty());
    }

    void folderWithoutLibraryIsReported()
    {
        QTemporaryDir empty;
        Rig r({empty.path()}, QStringLiteral("analyze32"));
        r.switchAirMonitor();
        QCOMPARE(r.boxes.texts(), std::vector<std::string>{"スペアナ表示用DLLをロードできません。"});
        QVERIFY(!r.engine.displayLoaded());
        QVERIFY(!r.main.window.airMark);
        QVERIFY(r.elevenEnabled(true));
        r.pass(3);
        QCOMPARE(r.boxes.shown.size(), size_t(1));
        // A second try reports again, still without a crash.
        r.switchAirMonitor();
        QCOMPARE(r.boxes.shown.size(), size_t(2));
    }

    void sweepReachesTheDoubleInMillivolts()
    {
        auto r = fakeRig();
        r->switchAirMonitor();
        std::array<int32_t, 40> got{};
        // Not measuring yet: ignored.
        r->engine.handOver(sweepLine(readings()));
        r->pass();
        QCOMPARE(lastData_(got.data(), 40), -1);

        setStatus_(1, 1);
        r->pass();
        r->engine.handOver(sweepLine(readings()));
        r->pass();
        QCOMPARE(lastData_(got.data(), 40), 40);
        QCOMPARE(std::vector<int32_t>(got.begin(), got.end()), kMillivolts);

        // Channel 46 missing: nothing passed on.
        const int before = callCount_("DLLUpdate");
        std::vector<std::string> short39 = readings();
        short39[39].clear();
        r->engine.handOver(sweepLine(short39));
        // A channel out of order breaks the pattern too.
        std::string swapped = sweepLine(readings());
        swapped.replace(swapped.find(",08="), 4, ",09=");
        r->engine.handOver(swapped);
        r->pass(2);
        QCOMPARE(callCount_("DLLUpdate"), before);
        r->engine.FormClose();
    }

    void realLibraryRunsFromItsWindow()
    {
        QLibrary real(QString::fromUtf8(ANALYZE32_PATH));
        QVERIFY2(real.load(), qPrintable(real.errorString()));
        auto status = reinterpret_cast<DLLStatusFn>(real.resolve("DLLStatus"));
        QVERIFY(status);
        auto read = [&] {
            DisplayStatus s{};
            status(&s);
            return s;
        };

        Rig r({folderOf(ANALYZE32_PATH)}, QStringLiteral("analyze32"));
        r.switchAirMonitor();
        QVERIFY(r.engine.displayLoaded());
        QVERIFY(r.boxes.shown.empty());
        QCOMPARE(read().Shown, 1);
        QWidget* win = displayWindow();
        QVERIFY(win);
        QVERIFY(win->isVisible());
        auto* start = win->findChild<QPushButton*>(QStringLiteral("btnStart"));
        QVERIFY(start);

        start->click();
        QCOMPARE(read().Running, 1);
        r.pass(2);
        QCOMPARE(r.sent("@ANLZ:S\r\n"), 1);
        QVERIFY(r.engine.busy());

        for (int i = 0; i < 3; ++i) {
            r.engine.handOver(sweepLine(readings()));
            r.pass();
        }
        QCOMPARE(read().Sweeps, 3);
        QVariantList values = win->findChild<QWidget*>(QStringLiteral("plot"))->property("values").toList();
        QCOMPARE(values.size(), 40);
        QCOMPARE(values[0].toInt(), 3300);
        QCOMPARE(values[2].toInt(), 825);
        QCOMPARE(values[39].toInt(), 0);

        win->close();
        QCOMPARE(read().Shown, 0);
        r.pass(2);
        QCOMPARE(r.sent("@ANLZ:Q\r\n"), 1);
        QVERIFY(!r.engine.busy());
        QVERIFY(!r.main.window.airMark);
        QVERIFY(r.elevenEnabled(true));

        // Let go of our handle so the close step's unload is the last one.
        real.unload();
        r.engine.FormClose();
        QVERIFY(!r.engine.displayLoaded());
        QCoreApplication::processEvents();
        QVERIFY(displayWindow() == nullptr);
    }
};

QTEST_MAIN(AirMonitorLibraryTest)
#include "air_monitor_library_test.moc"
