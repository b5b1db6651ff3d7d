#pragma once
#include "tests/support/main_view_setup.h"
// A main engine on fake windows with both modeless dialogs wired the way
// the real dialogs wire them: show/hide events and the dialog timer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/link_logic.h"
#include "engine/main_engine.h"
#include "engine/packet_logic.h"
#include "engine/sjis.h"
#include "serial/clock.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_view.h"

namespace kd36::test {

class DialogEngineTest : public ::testing::Test {
protected:
    DialogEngineTest()
    {
        for (FakeView* v : {&main, &link, &packet})
            v->nowMs = [this] { return clock.nowMs(); };
        main.onTimer = [this](const std::string& n) { engine.onTimer(n); };
        main.pages["PageControlSetting"] = "tabBasicSetting";
        wireDialogViews(engine, link, packet);
        engine.ConstructBeforeSettings();
        engine.ConstructAfterSettings();
        engine.packetForm().Construct();
        engine.mnuCommOpenClick();
    }

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
    void reply(const std::string& text) { engine.handOver(text); }
    std::vector<std::string> log() const { return link.memoLines("memInfo"); }
    int count(const std::string& written) const
    {
        int k = 0;
        for (auto& w : port.writes)
            k += w == written;
        return k;
    }

    VirtualClock clock;
    FakeView main, link, packet;
    FakeBoxes boxes;
    FakePort port;
    MainEngine engine{EngineDeps{main, link, packet, boxes, clock, port}};
};

} // namespace kd36::test
