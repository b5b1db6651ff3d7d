// The air monitor against an in-process display library double.
#include "engine_fixture.h"

#include <cstring>

namespace kd36::test {
namespace {

// One display for the whole test program, as the real library is per process.
struct Display {
    DisplayStatus status{};
    int shows = 0, hides = 0, titles = 0, controls = 0, updates = 0;
    std::vector<int32_t> last;
    std::string windowTitle;
    int32_t control[3]{};
};
Display g;

extern "C" {
void fakeShow() { ++g.shows; g.status.Shown = 1; }
void fakeHide() { ++g.hides; g.status.Shown = 0; }
void fakeTitle(const DisplayTitle* t) { ++g.titles; g.windowTitle = t->Window; }
void fakeStatus(DisplayStatus* s) { *s = g.status; }
void fakeUpdate(const DisplayData* d) { ++g.updates; g.last.assign(d->Values, d->Values + d->Count); }
void fakeControl(const DisplayControl* c)
{
    ++g.controls;
    std::memcpy(g.control, c, sizeof g.control);
}
}

struct FakeLibrary : DisplayLibrary {
    explicit FakeLibrary(bool complete) : complete(complete) {}
    void* resolve(const char* s) override
    {
        std::string n = s;
        if (n == "DLLShow") return reinterpret_cast<void*>(&fakeShow);
        if (n == "DLLHide") return reinterpret_cast<void*>(&fakeHide);
        if (n == "DLLTitle") return reinterpret_cast<void*>(&fakeTitle);
        if (n == "DLLStatus") return reinterpret_cast<void*>(&fakeStatus);
        if (n == "DLLUpdate") return reinterpret_cast<void*>(&fakeUpdate);
        if (n == "DLLControl" && complete) return reinterpret_cast<void*>(&fakeControl);
        return nullptr;
    }
    bool unload(std::string*) override
    {
        ++*unloads;
        return true;
    }
    bool complete;
    int* unloads = nullptr;
};

struct FakeLoader : DisplayLibraryLoader {
    std::unique_ptr<DisplayLibrary> load(std::string* err) override
    {
        ++loads;
        if (missing) {
            if (err) *err = "libanalyze32.so: cannot open shared object file";
            return nullptr;
        }
        auto lib = std::make_unique<FakeLibrary>(complete);
        lib->unloads = &unloads;
        return lib;
    }
    bool missing = false, complete = true;
    int loads = 0, unloads = 0;
};

constexpr Usable kEleven[] = {{"spbFICK", &WindowShown::answerBackButton}, {"spbPacket", &WindowShown::packetButton}, {"mnuRssiInfo", &WindowShown::answerBackMenu}, {"mnuPacket", &WindowShown::packetMenu}, {"spbCommandTx", &WindowShown::commandSend}, {"spbWrite", &WindowShown::write}, {"spbRead", &WindowShown::read}, {"spbMode", &WindowShown::modeButtons}, {"spbCommunicationMode", &WindowShown::modeButtons}, {"btnComPort", &WindowShown::portButtons}, {"btnComSet", &WindowShown::portButtons}};

std::string sweep(bool withLast = true)
{
    std::string s = ">ANLZ:";
    for (int ch = 7; ch <= (withLast ? 46 : 45); ++ch) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%s%02d=%X", ch == 7 ? "" : ",", ch, ch == 7 ? 0x3FF : ch == 8 ? 0x1FF : ch == 9 ? 0x100 : 0);
        s += buf;
    }
    return s + "\r\n";
}

class AirMonitor : public ::testing::Test {
protected:
    AirMonitor()
    {
        g = Display{};
        main.nowMs = [this] { return clock.nowMs(); };
        engine.ConstructBeforeSettings();
        engine.ConstructAfterSettings();
        engine.mnuCommOpenClick();
        port.escapes.clear();
    }
    void switchOn()
    {
        engine.mnuAirMonitorClick();
        engine.OnIdle();
    }
    int count(const std::string& w) const
    {
        int n = 0;
        for (auto& x : port.writes)
            n += x == w;
        return n;
    }
    static std::vector<std::string> monitor(const FakeView& v) { return v.memoLines(Monitor::Commands); }
    VirtualClock clock;
    FakeView main{kd36::WindowKind::Main}, link{kd36::WindowKind::Link}, packet{kd36::WindowKind::Packet};
    FakeBoxes boxes;
    FakePort port;
    FakeLoader loader;
    MainEngine engine{EngineDeps{main, link, packet, boxes, clock, port, &loader}};
};

TEST_F(AirMonitor, SwitchOnLoadsTheDisplayAndLocksElevenControls)
{
    switchOn();
    EXPECT_EQ(g.titles, 1);
    EXPECT_EQ(g.controls, 1);
    EXPECT_EQ(g.shows, 1);
    EXPECT_EQ(g.windowTitle, "Air Monitor");
    EXPECT_EQ(g.control[0], 800);
    EXPECT_EQ(g.control[2], 30);
    for (auto [c, usable] : kEleven)
        EXPECT_FALSE(main.window.*usable) << c;
    EXPECT_TRUE(main.window.airButton);
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(AirMonitor, RunningEdgesSendStartAndStopOnce)
{
    switchOn();
    g.status.Running = 1;
    engine.OnIdle();
    engine.OnIdle();
    EXPECT_EQ(count("@ANLZ:S\r\n"), 1);
    EXPECT_TRUE(engine.busy());
    EXPECT_EQ(port.escapes, std::vector<int>{CLRDTR});
    g.status.Running = 0;
    engine.OnIdle();
    engine.OnIdle();
    EXPECT_EQ(count("@ANLZ:Q\r\n"), 1);
    EXPECT_FALSE(engine.busy());
    EXPECT_EQ(monitor(main), (std::vector<std::string>{"@ANLZ:S", "@ANLZ:Q"}));
}

TEST_F(AirMonitor, ClosingTheDisplayWhileMeasuringStopsIt)
{
    switchOn();
    g.status.Running = 1;
    engine.OnIdle();
    g.status.Shown = 0; // the user closed the window; Running still reads 1
    engine.OnIdle();
    EXPECT_EQ(count("@ANLZ:Q\r\n"), 1);
    EXPECT_FALSE(main.window.airMark);
    for (auto [c, usable] : kEleven)
        EXPECT_TRUE(main.window.*usable) << c;
    // Switching on again shows the loaded library, no second load.
    switchOn();
    EXPECT_EQ(loader.loads, 1);
    EXPECT_EQ(g.shows, 2);
}

TEST_F(AirMonitor, SwitchingOffWhileMeasuringHidesAndStops)
{
    switchOn();
    g.status.Running = 1;
    engine.OnIdle();
    engine.mnuAirMonitorClick();
    engine.OnIdle();
    EXPECT_EQ(g.hides, 1);
    EXPECT_EQ(count("@ANLZ:Q\r\n"), 1);
    EXPECT_FALSE(engine.airMonitorShown());
}

TEST_F(AirMonitor, StartAskedDuringASequenceWaitsForIt)
{
    switchOn();
    engine.spbWriteClick(); // nothing ticked: the write only walks its steps
    g.status.Running = 1;
    for (int i = 0; i < 20 && engine.busy(); ++i)
        engine.OnIdle();
    ASSERT_FALSE(engine.busy());
    EXPECT_EQ(count("@ANLZ:S\r\n"), 0);
    engine.OnIdle();
    EXPECT_EQ(count("@ANLZ:S\r\n"), 1);
}

TEST_F(AirMonitor, SweepLinesBecomeMillivolts)
{
    switchOn();
    engine.handOver(sweep());
    engine.OnIdle(); // not measuring: ignored
    EXPECT_EQ(g.updates, 0);
    g.status.Running = 1;
    engine.OnIdle();
    engine.handOver(sweep());
    engine.OnIdle();
    ASSERT_EQ(g.updates, 1);
    ASSERT_EQ(g.last.size(), 40u);
    EXPECT_EQ(g.last[0], 3300);
    EXPECT_EQ(g.last[1], 1648);
    EXPECT_EQ(g.last[2], 825);
    EXPECT_EQ(g.last[39], 0);
    engine.handOver(sweep(false)); // channel 46 missing: nothing passed
    engine.handOver(">ANLZ:07=FFFFFFFF,garbage\r\n");
    engine.OnIdle();
    EXPECT_EQ(g.updates, 1);
}

TEST_F(AirMonitor, MissingLibraryOrExportSwitchesItselfOff)
{
    loader.missing = true;
    switchOn();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"スペアナ表示用DLLをロードできません。"});
    EXPECT_FALSE(main.window.airMark);
    for (auto [c, usable] : kEleven)
        EXPECT_TRUE(main.window.*usable) << c;

    boxes.shown.clear();
    loader.missing = false;
    loader.complete = false;
    switchOn();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"関数アドレスを解決できませんでした。"});
    EXPECT_EQ(loader.unloads, 1);
    EXPECT_EQ(g.shows, 0);
    EXPECT_FALSE(engine.displayLoaded());
    EXPECT_FALSE(main.window.airMark);
}

TEST_F(AirMonitor, ClosingTheWindowStopsAMeasurementBeforeThePortCloses)
{
    switchOn();
    g.status.Running = 1;
    engine.OnIdle();
    engine.FormClose();
    EXPECT_EQ(count("@ANLZ:Q\r\n"), 1);
    EXPECT_EQ(loader.unloads, 1);
    EXPECT_FALSE(port.open);
    EXPECT_EQ(g.hides, 0);
}

TEST_F(AirMonitor, PortClosedSendsNothing)
{
    switchOn();
    port.open = false;
    g.status.Running = 1;
    engine.OnIdle();
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(monitor(main).empty());
}

} // namespace
} // namespace kd36::test
