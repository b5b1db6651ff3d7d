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

inline std::vector<std::string> numbers(int from, int to)
{
    std::vector<std::string> v;
    for (int i = from; i <= to; ++i)
        v.push_back(std::to_string(i));
    return v;
}

inline std::vector<std::string> hexDigits(bool withDash)
{
    std::vector<std::string> v;
    if (withDash)
        v.push_back("-");
    for (const char* c : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F"})
        v.push_back(c);
    return v;
}

// The lists of the main window as its layout fills them.
inline void setUpMainView(FakeView& v)
{
    v.setItems("cmbCHANGroup", numbers(0, 7), 0);
    v.setItems("cmbCHANCh", numbers(7, 46), 0);
    v.setItems("cmbROUTDest", hexDigits(false), 0);
    for (int n = 1; n <= 5; ++n)
        v.setItems("cmbROUTNode" + std::to_string(n), hexDigits(true), 0);
    v.setItems("cmbSERI", {"4800", "9600", "19200", "38400"}, 1);
    v.setItems("cmbSERIData", {"7", "8"}, 1);
    v.setItems("cmbSERIParity", {"None", "Odd", "Even"}, 0);
    v.setItems("cmbSERIStopBits", {"1", "2"}, 0);
    v.setItems("cmbSERIFlow", {"None", "H/w"}, 1);
    v.setItems("cmbChannel", numbers(7, 46), -1);
    v.setItems("cmbModulation", {sj("無変調"), sj("データパターン"), sj("PN9段")}, -1);
    v.setItems("cmbIntervalTx", numbers(1, 60), -1);
    v.setText("edtIntervalTx", "$SEND:");
    v.c("speFRAMByte").text = "128";
    v.c("speFRAMIdle").text = "100";
    v.c("speFRAMWait").text = "10";
    v.c("speFRAMTxNumber").text = "3";
    v.setChecked("radChAuto", true);
    v.setChecked("chkCRLF", true);
    v.setVisible("chkCRLF", false);
    for (const char* c : {"spbAIRM", "spbFICK", "spbPacket", "spbWrite", "spbRead", "spbCommandTx", "btnTermTx",
                          "mnuFunction", "btnDBUG", "btnDIF1", "btnDIF2", "btnTEST", "btnCMND", "btnSEND",
                          "btnRECV", "btnSTBY"})
        v.setEnabled(c, false);
    v.pages["PageControlSetting"] = "tabBasicSetting";
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest()
    {
        setUpMainView(main);
        for (FakeView* v : {&main, &link, &packet})
            v->nowMs = [this] { return clock.nowMs(); };
        main.onTimer = [this](const std::string& n) { engine.onTimer(n); };
        engine.ConstructBeforeSettings();
        engine.ConstructAfterSettings();
    }

    void openPort()
    {
        engine.mnuCommOpenClick();
        ASSERT_EQ(engine.FPortOpen, 1);
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
    std::vector<std::string> monitor() const { return main.memoLines("memTxRxMonitor"); }

    VirtualClock clock;
    FakeView main, link, packet;
    FakeBoxes boxes;
    FakePort port;
    MainEngine engine{EngineDeps{main, link, packet, boxes, clock, port}};
};

} // namespace kd36::test
