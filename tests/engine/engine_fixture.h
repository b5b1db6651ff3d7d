#pragma once
// A main engine on fake windows, a fake port and a virtual clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/main_engine.h"
#include "engine/sjis.h"
#include "serial/clock.h"
#include "serial/device.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_view.h"

namespace kd36::test {

class EngineTest : public ::testing::Test {
protected:
    EngineTest()
    {
        for (FakeView* v : {&main, &link, &packet})
            v->nowMs = [this] { return clock.nowMs(); };
        main.onTimer = [this](TimerId n) { engine.onTimer(n); };
        engine.ConstructBeforeSettings();
        engine.ConstructAfterSettings();
    }

    void openPort()
    {
        engine.mnuCommOpenClick();
        ASSERT_TRUE(engine.portOpen());
    }
    // One idle pass after the timers due by now.
    void pass()
    {
        main.fireDueTimers(clock.nowMs());
        link.fireDueTimers(clock.nowMs());
        engine.OnIdle();
    }
    // Idle passes every 10 ms for `ms` of virtual time.
    void run(int ms)
    {
        for (int t = 0; t < ms; t += 10) {
            clock.advanceMs(10);
            pass();
        }
    }
    void reply(const std::string& text)
    {
        engine.handOver(text);
    }
    std::vector<std::string> monitor() const { return main.memoLines(Monitor::Commands); }

    VirtualClock clock;
    FakeView main{kd36::WindowKind::Main}, link{kd36::WindowKind::Link}, packet{kd36::WindowKind::Packet};
    FakeBoxes boxes;
    FakePort port;
    MainEngine engine{EngineDeps{main, link, packet, boxes, clock, port}};
};

} // namespace kd36::test
