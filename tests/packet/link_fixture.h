#pragma once
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

inline std::vector<std::string> stationDigits(bool withDash)
{
    std::vector<std::string> v;
    if (withDash)
        v.push_back("-");
    for (const char* c : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F"})
        v.push_back(c);
    return v;
}

class DialogEngineTest : public ::testing::Test {
protected:
    DialogEngineTest()
    {
        for (FakeView* v : {&main, &link, &packet})
            v->nowMs = [this] { return clock.nowMs(); };
        main.onTimer = [this](const std::string& n) { engine.onTimer(n); };
        main.pages["PageControlSetting"] = "tabBasicSetting";
        link.onTimer = [this](const std::string& n) { engine.linkForm().onTimer(n); };
        link.onShow = [this] { engine.linkForm().FormShow(); };
        link.onHide = [this] { engine.linkForm().FormHide(); };
        link.setVisible("btnAbort", false);
        packet.onShow = [this] { engine.packetForm().FormShow(); };
        packet.onHide = [this] { engine.packetForm().FormHide(); };
        packet.setItems("cmbRoute0", stationDigits(false));
        packet.setItems("cmbRoute6", stationDigits(false));
        for (int n = 1; n <= 5; ++n)
            packet.setItems("cmbRoute" + std::to_string(n), stationDigits(true));
        packet.setChecked("chkRoute", true);
        packet.setChecked("chkEnterKey", true);
        packet.setVisible("chkEnterKey", false);
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
