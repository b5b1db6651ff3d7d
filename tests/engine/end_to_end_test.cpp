// The engine, the real port object and the simulated modem together, on a
// virtual clock: what a user sees happen on COM1.
#include <gtest/gtest.h>

#include "engine/link_logic.h"
#include "engine/packet_logic.h"
#include "engine/sjis.h"
#include "tests/support/headless_rig.h"

namespace kd36::test {
namespace {

class EndToEnd : public ::testing::Test {
protected:
    EndToEnd() { EXPECT_TRUE(rig.open(9600)); }
    std::string f(int n) { return rig.engine.panel().read(n); }
    bool sequenceDone() { return rig.engine.step() == 0; }
    HeadlessRig rig{false};
};

TEST_F(EndToEnd, ReadFillsAllTwentyFieldsInOrder)
{
    ModemSettings s = rig.opener.memory->load();
    s.routeRelays = "1A567";
    s.groupMode = false;
    s.channel = 12;
    rig.modem().setSettings(s);
    rig.engine.spbReadClick();
    ASSERT_TRUE(rig.runUntil([&] { return sequenceDone(); }, 5000));
    std::vector<std::string> lines = rig.modem().receivedLines();
    EXPECT_EQ(lines, (std::vector<std::string>{"@INIT", "@EQID", "@FREQ", "@ROUT", "@INIT", "@INFO", "@COMS"}));
    EXPECT_EQ(f(1), "1234567");
    EXPECT_EQ(f(2), "5");
    EXPECT_EQ(f(3), "");
    EXPECT_EQ(f(4), "12");
    EXPECT_EQ(f(5), "3");
    EXPECT_EQ(f(6) + f(7) + f(13) + f(14) + f(15), "1A567");
    EXPECT_EQ(f(8), "128");
    EXPECT_EQ(f(9), "100");
    EXPECT_EQ(f(10), "10");
    EXPECT_EQ(f(11), "3");
    EXPECT_EQ(f(12), "KD36SIM1");
    EXPECT_EQ(f(16), "9600");
    for (int i : {17, 18, 19, 20})
        EXPECT_FALSE(f(i).empty()) << i;
    EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST_F(EndToEnd, AReplyQueuedBeforeAReopenIsNotHandedOver)
{
    // The reply waits for the user-interface side when the port is closed
    // and opened again: it belongs to the old line, not to the new one.
    rig.engine.commandLineEdited("@EQID");
    rig.engine.spbCommandTxClick();
    for (int i = 0; i < 100 && !rig.host.pieceWaiting(); ++i) {
        static_cast<VirtualClock&>(rig.clock()).advanceMs(10);
        rig.host.receivePass();
    }
    ASSERT_TRUE(rig.host.pieceWaiting());
    rig.close();
    ASSERT_TRUE(rig.open(9600));
    rig.host.step();
    EXPECT_EQ(rig.host.piecesHandedOver(), 0u);
    EXPECT_EQ(rig.main.memoText(Monitor::Commands).find(">EQID"), std::string::npos);
}

TEST_F(EndToEnd, WrittenValuesComeBackOnTheNextRead)
{
    rig.engine.editPanel([](SettingPanel& p) {
        for (PanelTick t : {PanelTick::SystemId, PanelTick::Channel, PanelTick::Route, PanelTick::Frame,
                            PanelTick::DeviceInfo})
            p.setTick(t, true);
        p.systemId = "7654321";
        p.choice(PanelChoice::Group) = 4;
        p.choice(PanelChoice::RouteDest) = 9;
        p.relays[0] = 3;
        p.frameValue(PanelFrame::Byte) = 64;
        p.deviceInfo = "NEWINFO1";
    });
    rig.engine.spbWriteClick();
    ASSERT_TRUE(rig.runUntil([&] { return sequenceDone(); }, 10000));
    rig.engine.spbReadClick();
    ASSERT_TRUE(rig.runUntil([&] { return sequenceDone(); }, 10000));
    EXPECT_EQ(f(1), "7654321");
    EXPECT_EQ(f(3), "4");
    EXPECT_EQ(f(5), "9");
    EXPECT_EQ(f(6), "2");
    EXPECT_EQ(f(8), "64");
    EXPECT_EQ(f(12), "NEWINFO1");
}

TEST_F(EndToEnd, SilentModemEndsTheReadBySevenTimeouts)
{
    rig.modem().setSilent(true);
    rig.engine.spbReadClick();
    uint64_t t0 = rig.clock().nowMs();
    ASSERT_TRUE(rig.runUntil([&] { return sequenceDone(); }, 15000));
    EXPECT_GE(rig.clock().nowMs() - t0, 7u * 1400);
    EXPECT_TRUE(rig.main.window.commandSend);
    EXPECT_EQ(f(1), "");
}

TEST_F(EndToEnd, SplitAndNoisyRepliesStillParse)
{
    rig.modem().setFragments(3, 40);
    rig.engine.spbReadClick();
    ASSERT_TRUE(rig.runUntil([&] { return sequenceDone(); }, 15000));
    EXPECT_EQ(f(2), "5");
    EXPECT_EQ(f(12), "KD36SIM1");
}

TEST_F(EndToEnd, LampsFollowTheModemLines)
{
    rig.run(30);
    EXPECT_EQ(rig.main.line.supplyLamp, 0x00FF00u);
    EXPECT_EQ(rig.main.line.txableLamp, 0x00FF00u);
    rig.modem().setDsrOff(true);
    rig.run(30);
    EXPECT_EQ(rig.main.line.supplyLamp, 0xFF0000u);
}

TEST_F(EndToEnd, AnswerBackShowsTheSimulatedLevels)
{
    rig.engine.mnuRssiInfoClick();
    rig.run(20);
    ASSERT_EQ(rig.engine.linkState(), 1);
    for (int n : {1, 2, 3})
        rig.engine.linkForm().stationTicked(n, true);
    rig.engine.linkForm().btnGetClick();
    // Station 2 is absent: its poll waits the full 10 s.
    ASSERT_TRUE(rig.runUntil([&] { return rig.engine.linkState() == 3; }, 20000));
    EXPECT_EQ(rig.link.linkShown.levels[1], 3);
    std::vector<std::string> log = rig.link.memoLines(Monitor::AnswerBackLog);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[1], sj("#1 を確認中･･･ レベル 3 です。"));
    EXPECT_EQ(log[2], sj("#2 を確認中･･･ 応答がありません。"));
    rig.run(50);
    EXPECT_EQ(rig.modem().receivedLines().back(), "@AIRC:Q");
}

TEST_F(EndToEnd, PacketToAPresentStationComesBackAndOpensTheDialog)
{
    rig.engine.mnuPacketClick();
    rig.run(20);
    rig.engine.packetForm().cmbRouteChange(0, 5);
    rig.engine.packetForm().cmbRouteChange(6, 1);
    rig.engine.packetForm().memUserDataChange("HELLO");
    rig.engine.packetForm().chkRouteClick(true);
    rig.engine.packetForm().spbPacketClick();
    ASSERT_TRUE(rig.runUntil([&] { return rig.packet.packetShown.received == "HELLO"; }, 3000));
    EXPECT_EQ(rig.packet.packetShown.receivedRoute[0], "1");
    EXPECT_EQ(rig.packet.packetShown.receivedRoute[6], "5");
}

TEST_F(EndToEnd, CommunicationModeEchoesTypedLines)
{
    rig.engine.spbModeClick(0, true);
    rig.run(20);
    EXPECT_TRUE(rig.modem().dtr());
    rig.engine.terminalLineEdited("hello");
    rig.engine.btnTermTxClick();
    ASSERT_TRUE(rig.runUntil(
        [&] {
            auto l = rig.main.memoLines(Monitor::Terminal);
            return l.size() >= 2 && l.back().rfind("Rx:", 0) == 0;
        },
        3000));
    EXPECT_EQ(rig.main.memoLines(Monitor::Terminal)[0], "Tx:hello");
    EXPECT_EQ(rig.main.memoLines(Monitor::Terminal)[1], "Rx:hello");
}

TEST_F(EndToEnd, RemovedDeviceIsReportedOnceAndTheWindowStaysUsable)
{
    bool lost = false;
    rig.host.setLostNotify([&] { lost = true; });
    rig.modem().setRemoved(true);
    rig.run(50);
    ASSERT_TRUE(lost);
    EXPECT_FALSE(rig.engine.portOpen());
    EXPECT_EQ(rig.boxes.shown.size(), 1u);
    // It can be opened again.
    EXPECT_TRUE(rig.open(9600));
}

} // namespace
} // namespace kd36::test

namespace kd36::test {
namespace {

// The receive thread and the window's thread at once, on the real clock.
TEST(EndToEndThreaded, ReadAndEchoWithTheReceiveThreadRunning)
{
    HeadlessRig rig(true);
    ASSERT_TRUE(rig.open(38400));
    rig.engine.spbReadClick();
    ASSERT_TRUE(rig.runUntil([&] { return rig.engine.step() == 0; }, 5000));
    EXPECT_EQ(rig.engine.panel().read(12), "KD36SIM1");
    rig.engine.spbModeClick(0, true);
    rig.engine.terminalLineEdited("ping");
    rig.engine.btnTermTxClick();
    ASSERT_TRUE(rig.runUntil([&] { return rig.main.memoLines(Monitor::Terminal).size() >= 2; }, 3000));
    EXPECT_EQ(rig.main.memoLines(Monitor::Terminal)[1], "Rx:ping");
    rig.close();
    EXPECT_FALSE(rig.engine.portOpen());
}

} // namespace
} // namespace kd36::test
