// Long runs of everything the tool does against the simulated modem with its
// fault knobs turned, on a stepped virtual clock (about half an hour of
// modem time in seconds of wall time), then a short threaded phase.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/link_logic.h"
#include "engine/packet_logic.h"
#include "engine/sjis.h"
#include "serial/device.h"
#include "tests/soak/soak_rig.h"

namespace kd36::test {
namespace {

using WallClock = std::chrono::steady_clock;

enum class Fault { None, Split, Garbage, Nul, LineErrors, SlowReplies, Silent, CtsHeld, Count };

const char* name(Fault f)
{
    switch (f) {
    case Fault::None: return "none";
    case Fault::Split: return "split";
    case Fault::Garbage: return "garbage";
    case Fault::Nul: return "nul";
    case Fault::LineErrors: return "line errors";
    case Fault::SlowReplies: return "slow replies";
    case Fault::Silent: return "silent";
    case Fault::CtsHeld: return "cts held";
    default: return "?";
    }
}

// Faults after which every reply still arrives intact.
bool repliesIntact(Fault f) { return f == Fault::None || f == Fault::Split || f == Fault::SlowReplies; }

void apply(SimulatedModem& m, Fault f)
{
    m.setFragments(0, 0);
    m.setReplyPrefix({});
    m.setExtraDelayMs(0);
    m.setSilent(false);
    m.setCtsHeld(false);
    switch (f) {
    case Fault::Split: m.setFragments(7, 8); break;
    case Fault::Garbage: m.setReplyPrefix("\x01\xFFzz\x7F"); break;
    case Fault::Nul: m.setReplyPrefix(std::string("\0\0", 2)); break;
    case Fault::LineErrors: m.raiseLineErrors(CE_FRAME | CE_RXPARITY); break;
    case Fault::SlowReplies: m.setExtraDelayMs(700); break;
    case Fault::Silent: m.setSilent(true); break;
    case Fault::CtsHeld: m.setCtsHeld(true); break;
    default: break;
    }
}

std::vector<std::string> tail(const std::vector<std::string>& v, size_t n)
{
    return {v.end() - std::ptrdiff_t(std::min(n, v.size())), v.end()};
}

class Soak : public ::testing::Test {
protected:
    Soak() { g_display = SoakDisplay{}; }
    std::string f(int n) { return rig.engine.panel().read(n); }
    bool idle() { return rig.engine.step() == 0 && !rig.engine.busy(); }

    // Each sequence must end within its bound: a hang fails here.
    void read(const char* why)
    {
        rig.engine.spbReadClick();
        ASSERT_TRUE(rig.runUntil([&] { return rig.engine.step() == 0; }, 20000)) << "read hangs: " << why;
    }
    void write(int frameBytes, const char* why)
    {
        rig.engine.chkFRAMClick(true);
        rig.engine.panelFrameChanged(PanelFrame::Byte, frameBytes);
        rig.engine.spbWriteClick();
        ASSERT_TRUE(rig.runUntil([&] { return rig.engine.step() == 0; }, 30000)) << "write hangs: " << why;
        rig.engine.chkFRAMClick(false);
    }
    void answerBack(bool intact, bool withAbsent, const char* why)
    {
        rig.engine.mnuRssiInfoClick();
        ASSERT_TRUE(rig.runUntil([&] { return rig.engine.linkState() == 1; }, 1000)) << why;
        for (int n = 0; n < 16; ++n)
            rig.engine.linkForm().stationTicked(n, n == 1 || n == 3 || n == 10 || (withAbsent && n == 2));
        rig.engine.linkForm().btnGetClick();
        ASSERT_TRUE(rig.runUntil([&] { return rig.engine.linkState() == 3; }, 40000)) << "answer-back hangs: " << why;
        // A station that does not answer ends the run by its time-out.
        if (intact && withAbsent) {
            EXPECT_EQ(rig.link.linkShown.levels[1], 3) << why;
            EXPECT_EQ(rig.link.linkShown.levels[3], 0) << why;
        } else if (intact) {
            EXPECT_EQ(rig.link.linkShown.levels[1], 3) << why;
            EXPECT_EQ(rig.link.linkShown.levels[3], 1) << why;
            EXPECT_EQ(rig.link.linkShown.levels[10], 4) << why;
        }
        rig.run(50);
        rig.link.hideForm();
        ASSERT_TRUE(rig.runUntil([&] { return !rig.main.window.answerBackMark; }, 1000)) << why;
        EXPECT_TRUE(rig.main.window.read) << why;
    }
    void packet(bool intact, int round, const char* why)
    {
        rig.engine.mnuPacketClick();
        rig.run(20);
        rig.engine.packetForm().cmbRouteChange(0, 5);
        rig.engine.packetForm().cmbRouteChange(6, 1);
        rig.engine.packetForm().spbClearClick(PacketMemo::Received);
        const std::string data = "SOAK" + std::to_string(round);
        rig.engine.packetForm().memUserDataChange(data);
        rig.engine.packetForm().spbPacketClick();
        const bool back = rig.runUntil([&] { return rig.packet.packetShown.received == data; }, 3000);
        if (intact) {
            EXPECT_TRUE(back) << why;
        }
        rig.run(300);
        if (rig.engine.packetShown())
            rig.engine.mnuPacketClick();
        rig.run(20);
    }
    void airMonitor(bool intact, const char* why)
    {
        const int before = g_display.updates;
        rig.engine.mnuAirMonitorClick();
        rig.run(20);
        ASSERT_EQ(g_display.status.Shown, 1) << why;
        g_display.status.Running = 1;
        const bool swept = rig.runUntil([&] { return g_display.updates >= before + 3; }, 4000);
        if (intact) {
            EXPECT_TRUE(swept) << why;
        }
        g_display.status.Running = 0;
        rig.run(100);
        EXPECT_FALSE(rig.engine.busy()) << why;
        rig.engine.mnuAirMonitorClick(); // off: hidden, then seen as closed
        ASSERT_TRUE(rig.runUntil([&] { return !rig.engine.airMonitorShown(); }, 1000)) << why;
        rig.run(600); // late sweeps drain while nobody measures
        EXPECT_FALSE(rig.modem().airMonitorRunning()) << why;
        EXPECT_EQ(g_display.bad, 0) << why;
    }
    // The code display, switched as the user does: a double click on its panel.
    void showCodes(bool on)
    {
        if (rig.engine.lineState().hexDisplay == on)
            return;
        rig.engine.StatusBarMouseDown(420);
        rig.engine.StatusBarDblClick();
    }
    // Communication mode: typed lines echo; a stream arrives byte for byte.
    void communication(int round, bool stream)
    {
        const bool hex = round % 7 == 3; // code display now and then
        showCodes(hex);
        rig.engine.spbModeClick(0, true);
        rig.run(50);
        rig.engine.terminalLineEdited("line" + std::to_string(round));
        rig.engine.btnTermTxClick();
        ASSERT_TRUE(rig.runUntil(
            [&] {
                // A late reply of command mode may share the echo's chunk.
                auto l = rig.main.memoLines(Monitor::Terminal);
                const std::string echo = "line" + std::to_string(round);
                if (hex) { // one chunk per read, control bytes as [0D]: join what came after the send
                    std::string joined;
                    for (auto it = std::find(l.rbegin(), l.rend(), "Tx:" + echo).base(); it != l.end(); ++it)
                        joined += it->rfind("Rx:", 0) == 0 ? it->substr(3) : *it;
                    return joined.find(echo + "[0D][0A]") != std::string::npos;
                }
                return std::find(l.begin(), l.end(), "Rx:" + echo) != l.end() ||
                       std::find(l.begin(), l.end(), echo) != l.end();
            },
            3000))
            << "round " << round << " memTerm tail: " << testing::PrintToString(tail(rig.main.memoLines(Monitor::Terminal), 6))
            << " modem got: " << testing::PrintToString(rig.modem().receivedBytes().substr(
                   rig.modem().receivedBytes().size() > 80 ? rig.modem().receivedBytes().size() - 80 : 0));
        showCodes(false);
        if (stream) {
            rig.run(300);
            rig.commReceived.clear();
            SimulatedModem& m = rig.modem();
            const uint64_t from = m.streamPosition();
            m.setFragments(5, 20); // no effect on bytes, only on their grouping
            m.setStreamRate(700);
            rig.run(8000);
            m.setStreamRate(0);
            rig.run(600); // drains: the receive chunk ends after 200 ms of silence
            const uint64_t to = m.streamPosition();
            ASSERT_GT(to, from + 4000);
            EXPECT_EQ(rig.commReceived.size(), to - from) << "round " << round;
            EXPECT_TRUE(rig.commReceived == SimulatedModem::streamText(from, size_t(to - from)))
                << "stream bytes differ, round " << round;
            EXPECT_EQ(m.stats().bytesDropped, 0u);
            m.setFragments(0, 0);
        }
        rig.engine.spbModeClick(1, true);
        rig.run(50);
        EXPECT_FALSE(rig.modem().dtr());
    }
    void removeAndReturn(int round)
    {
        const int boxesBefore = int(rig.boxes.shown.size());
        rig.modem().setRemoved(true);
        ASSERT_TRUE(rig.runUntil([&] { return !rig.engine.portOpen(); }, 2000)) << "round " << round;
        rig.run(200);
        EXPECT_EQ(int(rig.boxes.shown.size()), boxesBefore + 1) << "the loss is reported once";
        // Operations on a closed port end at once and harmlessly.
        rig.engine.spbReadClick();
        rig.run(100);
        EXPECT_TRUE(rig.open(9600)) << "round " << round;
        rig.run(100);
    }

    SoakRig rig;
};

TEST_F(Soak, EverythingUnderFaultsThenACleanRead)
{
    const auto wallStart = WallClock::now();
    ASSERT_TRUE(rig.open(9600));
    int lastFrame = 128;
    const int kRounds = 40 * int(Fault::Count);
    for (int round = 0; round < kRounds; ++round) {
        const Fault fault = Fault(round % int(Fault::Count));
        const std::string why = std::string("round ") + std::to_string(round) + " fault " + name(fault);
        SCOPED_TRACE(why);
        apply(rig.modem(), fault);
        const bool intact = repliesIntact(fault);

        read(why.c_str());
        if (intact) {
            EXPECT_EQ(f(2), "5");
        }
        lastFrame = 32 + 8 * (round % 10);
        write(lastFrame, why.c_str());
        if (fault == Fault::LineErrors)
            rig.modem().raiseLineErrors(CE_OVERRUN);
        answerBack(intact, round % 4 == 1, why.c_str());
        packet(intact, round, why.c_str());
        airMonitor(intact, why.c_str());

        // Back to a healthy line for the terminal, whose bytes are compared.
        apply(rig.modem(), Fault::None);
        communication(round, round % 3 == 0 && round % 7 != 3);
        if (round % 5 == 4)
            removeAndReturn(round);
        ASSERT_LT(WallClock::now() - wallStart, std::chrono::seconds(150)) << "too slow at " << why;
        if (HasFatalFailure())
            return;
    }

    // Usable at the end: a clean read fills every field with what was written.
    apply(rig.modem(), Fault::None);
    rig.run(1500);
    rig.engine.ClearReadFields();
    read("final");
    EXPECT_EQ(f(1), "1234567");
    EXPECT_EQ(f(2), "5");
    EXPECT_EQ(f(8), std::to_string(rig.opener.memory->load().frameBytes));
    // And a clean write still lands.
    write(lastFrame + 1, "final");
    read("final again");
    EXPECT_EQ(f(8), std::to_string(lastFrame + 1));
    EXPECT_EQ(f(12), "KD36SIM1");
    EXPECT_EQ(f(16), "9600");
    for (int n : {1, 2, 3, 5, 8, 9, 10, 11, 12, 16, 17, 18, 19, 20})
        EXPECT_FALSE(f(n).empty()) << "edtRead" << n;
    EXPECT_TRUE(idle());
    EXPECT_TRUE(rig.main.window.read);
    EXPECT_TRUE(rig.main.window.airButton);
    // The monitors stay bounded however long the run.
    EXPECT_LE(rig.engine.txRxMonitor().text().size(), 16383u + 2048u);
    EXPECT_LE(rig.engine.terminalMonitor().text().size(), 16383u + 2048u);
    std::printf("soak: %llu s of modem time in %lld ms\n", (unsigned long long)(rig.clock.nowMs() / 1000),
                (long long)std::chrono::duration_cast<std::chrono::milliseconds>(WallClock::now() - wallStart)
                    .count());
}

// The same path with the receive thread on real time, briefly.
TEST(SoakThreaded, ReadsPacketsAndTerminalOnRealTime)
{
    HeadlessRig rig(true);
    ASSERT_TRUE(rig.open(9600));
    rig.modem().setFragments(4, 15);
    for (int i = 0; i < 3; ++i) {
        rig.engine.spbReadClick();
        ASSERT_TRUE(rig.runUntil([&] { return rig.engine.step() == 0; }, 8000)) << "read " << i;
        EXPECT_EQ(rig.engine.panel().read(2), "5");
    }
    rig.modem().setReplyPrefix(std::string("\0\x01", 2));
    rig.engine.spbReadClick();
    ASSERT_TRUE(rig.runUntil([&] { return rig.engine.step() == 0; }, 15000));
    rig.modem().setReplyPrefix({});

    rig.engine.mnuPacketClick();
    rig.run(30);
    rig.engine.packetForm().cmbRouteChange(0, 5);
    rig.engine.packetForm().cmbRouteChange(6, 1);
    rig.engine.packetForm().memUserDataChange("THREADED");
    rig.engine.packetForm().spbPacketClick();
    EXPECT_TRUE(rig.runUntil([&] { return rig.packet.packetShown.received == "THREADED"; }, 3000));
    rig.engine.mnuPacketClick();

    rig.engine.spbModeClick(0, true);
    rig.run(50);
    for (int i = 0; i < 5; ++i) {
        const std::string line = "echo" + std::to_string(i);
        rig.engine.terminalLineEdited(line);
        rig.engine.btnTermTxClick();
        ASSERT_TRUE(rig.runUntil(
            [&] {
                auto l = rig.main.memoLines(Monitor::Terminal);
                return !l.empty() && l.back() == "Rx:" + line;
            },
            3000))
            << line;
    }
    rig.engine.spbModeClick(1, true);
    rig.run(50);
    rig.engine.spbReadClick();
    ASSERT_TRUE(rig.runUntil([&] { return rig.engine.step() == 0; }, 8000));
    EXPECT_EQ(rig.engine.panel().read(12), "KD36SIM1");
    // The window never waits long on a pass.
    EXPECT_LT(rig.host.longestPassUs(), 500'000u);
}

} // namespace
} // namespace kd36::test
