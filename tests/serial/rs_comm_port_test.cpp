// Port operations of RsCommThread on a scripted device and a virtual clock.
#include <gtest/gtest.h>

#include <system_error>

#include "serial/incident_boxes.h"
#include "serial/rs_comm_thread.h"
#include "tests/serial/fake_device.h"
#include "tests/support/fake_boxes.h"

using namespace kd36;
using namespace kd36::test;

namespace {

const char* const kOpenFailed = "Comポートオープンの失敗";
const char* const kFraming = "フレーミング エラーを検出しました。";
const char* const kParity = "ハードウェアがパリティ エラーを検出しました。";

struct PortFixture : ::testing::Test {
    VirtualClock clock;
    FakeBoxes boxes;
    FakeOpener opener;
    RsCommThread port{clock, boxes, opener};
    std::shared_ptr<FakeLine> line = opener.add(3);
    int hookCalls = 0;

    void SetUp() override
    {
        port.setProcessEvents([this] { ++hookCalls; });
    }
};

std::vector<int> flagged(const PortPresentFlags& f)
{
    std::vector<int> out;
    for (size_t i = 0; i < f.size(); ++i)
        if (f[i])
            out.push_back(int(i) + 1);
    return out;
}

} // namespace

TEST(EnumeratePortsRule, Table)
{
    struct Case {
        std::vector<std::string> names;
        std::vector<int> present; // COM numbers flagged
        int result;
    } cases[] = {
        {{"COM2", "COM5"}, {2, 5}, 2},
        {{"COM2", "COM120", "COM5"}, {2}, 3}, // scan stops at a number above 99
        {{"COM99", "COM100", "COM1"}, {99}, 3},
        {{}, {}, 0},
        // Odd names are counted but flag nothing; the scan goes on.
        {{"COMx", "COM0", "COM", "COM-3", "COM 4", "COM7"}, {7}, 6},
        {{"COM99999999999999999999", "COM1"}, {}, 2},
    };
    for (const auto& c : cases) {
        PortPresentFlags flags{};
        EXPECT_EQ(RsCommThread::EnumeratePorts(c.names, flags), c.result);
        EXPECT_EQ(flagged(flags), c.present);
    }
}

TEST_F(PortFixture, EnumerateAsksTheOpener)
{
    opener.names = {"COM1", "COM4"};
    PortPresentFlags flags{};
    EXPECT_EQ(port.EnumeratePorts(flags), 2);
    EXPECT_EQ(flagged(flags), (std::vector<int>{1, 4}));
}

TEST_F(PortFixture, CommErrorsOneBoxEachInTableOrder)
{
    port.ReportCommErrors(CE_RXPARITY | CE_FRAME);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{kFraming, kParity}));
    for (const auto& b : boxes.shown)
        EXPECT_EQ(b.kind, "warning");

    boxes.shown.clear();
    port.ReportCommErrors(0xFFFF);
    ASSERT_EQ(boxes.shown.size(), 11u);
    EXPECT_EQ(boxes.shown[0].text, "要求されたモードがサポートされていません。");
    EXPECT_EQ(boxes.shown[2].text, kFraming);
    EXPECT_EQ(boxes.shown[7].text, kParity);
    EXPECT_EQ(boxes.shown[10].text, "パラレル デバイス上でタイムアウトになりました。");
}

TEST_F(PortFixture, SystemErrorShowsTheSystemText)
{
    port.ShowSystemError(ENOENT);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, "information");
    EXPECT_EQ(boxes.shown[0].text, std::system_category().message(ENOENT));
}

TEST_F(PortFixture, OpenConfiguresSettlesAndPurges)
{
    line->errors = CE_BREAK; // pending from before the open
    uint64_t t0 = clock.nowMs();
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    EXPECT_GE(clock.nowMs() - t0, 200u);
    EXPECT_LT(clock.nowMs() - t0, 250u);
    EXPECT_EQ(line->configures, 1);
    EXPECT_EQ(line->purges, 1);
    uint32_t bits = 0;
    EXPECT_TRUE(port.GetModemStatus(bits));
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"ハードウェアがブレーク条件を検出しました。"}));
}

TEST_F(PortFixture, ActualSettingsAreWhatTheDeviceTook)
{
    PortSettings asked;
    asked.BaudRate = 31250;
    asked.ByteSize = 7;
    line->takenRate = 31348; // the divisor's nearest rate
    ASSERT_TRUE(port.OpenPort(3, asked));
    PortSettings expected = asked;
    expected.BaudRate = 31348;
    EXPECT_EQ(port.actualSettings(), expected);
}

TEST_F(PortFixture, OpenFailuresAndRefusals)
{
    // No device: one box with the system's reason, nothing held.
    EXPECT_FALSE(port.OpenPort(7, PortSettings{}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, kOpenFailed);
    EXPECT_NE(boxes.shown[0].detail.find(std::system_category().message(ENOENT)), std::string::npos);
    uint32_t bits = 0;
    EXPECT_FALSE(port.GetModemStatus(bits));

    // Configuration refused: no box, the device stays held.
    boxes.shown.clear();
    line->configureOk = false;
    EXPECT_FALSE(port.OpenPort(3, PortSettings{}));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(port.GetModemStatus(bits));

    // Port above 99: refused silently, the held device untouched.
    int opens = opener.opens;
    EXPECT_FALSE(port.OpenPort(100, PortSettings{}));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(opener.opens, opens);
    EXPECT_EQ(line->closes, 0);
    EXPECT_TRUE(port.GetModemStatus(bits));

    // The next open closes the held device first.
    line->configureOk = true;
    EXPECT_TRUE(port.OpenPort(3, PortSettings{}));
    EXPECT_EQ(line->closes, 1);
}

TEST_F(PortFixture, CloseWithNothingHeldAndAfterOpen)
{
    EXPECT_TRUE(port.ClosePort());
    EXPECT_EQ(line->closes, 0);

    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    line->errors = CE_OVERRUN;
    uint64_t t0 = clock.nowMs();
    EXPECT_TRUE(port.ClosePort());
    // The loop is not running, so there is nobody to wait for.
    EXPECT_LT(clock.nowMs() - t0, 10u);
    EXPECT_EQ(line->closes, 1);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"文字バッファがいっぱいです。次に送られる文字は失われます。"}));
    EXPECT_FALSE(port.EscapeLine(SETDTR));
    uint32_t bits = 0;
    EXPECT_FALSE(port.GetModemStatus(bits));
    EXPECT_EQ(port.WritePort("x", 1), -1);
}

TEST_F(PortFixture, WriteLimits)
{
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));

    std::string big(2049, 'a');
    uint64_t t0 = clock.nowMs();
    EXPECT_EQ(port.WritePort(big.data(), uint32_t(big.size())), -1);
    EXPECT_EQ(clock.nowMs(), t0);
    EXPECT_EQ(line->writeCalls, 0);
    EXPECT_EQ(hookCalls, 0);

    // A full 2048 goes out when the output queue is empty.
    std::string full(2048, 'b');
    EXPECT_EQ(port.WritePort(full.data(), 2048), 2048);
    EXPECT_EQ(line->written, full);
    EXPECT_GE(hookCalls, 1);
}

TEST_F(PortFixture, WriteGivesUpAfterThreeSecondsWhenTheQueueStaysFull)
{
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    line->outQueue = 2048; // CTS low: nothing drains
    uint64_t t0 = clock.nowMs();
    EXPECT_EQ(port.WritePort("@INIT\r\n", 7), -1);
    uint64_t spent = clock.nowMs() - t0;
    EXPECT_GE(spent, 3000u);
    EXPECT_LE(spent, 3020u);
    EXPECT_EQ(line->writeCalls, 0);
    // The window was given its events throughout.
    EXPECT_GT(hookCalls, 100);
}

TEST_F(PortFixture, WriteInTwoPiecesReturnsTheFullLength)
{
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    line->writeLimits = {3, 0, 100};
    EXPECT_EQ(port.WritePort("@EQID\r\n", 7), 7);
    EXPECT_EQ(line->written, "@EQID\r\n");
    EXPECT_EQ(line->writeCalls, 3);
}

TEST_F(PortFixture, WriteStopsWhenTheModemStatusFails)
{
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    line->statusError = EPERM;
    EXPECT_EQ(port.WritePort("x", 1), -1);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{std::system_category().message(EPERM)}));
    EXPECT_EQ(line->writeCalls, 0);
}

TEST_F(PortFixture, WriteStopsWhenTheEventsClosedThePort)
{
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    port.setProcessEvents([this] { port.ClosePort(); });
    EXPECT_EQ(port.WritePort("x", 1), -1);
    EXPECT_EQ(line->writeCalls, 0);
    EXPECT_EQ(line->closes, 1);
}

TEST_F(PortFixture, VanishedDeviceIsReportedOnceAndWithoutBoxes)
{
    int lost = 0;
    port.setDeviceLost([&] { ++lost; });
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    line->writeError = ENXIO;
    line->statusError = 0;
    EXPECT_EQ(port.WritePort("x", 1), -1);
    EXPECT_EQ(lost, 1);
    line->statusError = EIO;
    uint32_t bits = 0;
    EXPECT_FALSE(port.GetModemStatus(bits));
    EXPECT_FALSE(port.EscapeLine(CLRDTR));
    EXPECT_EQ(port.WritePort("x", 1), -1);
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(port.deviceLost());

    // The window closes the port and may open it again.
    EXPECT_TRUE(port.ClosePort());
    line->writeError = 0;
    line->statusError = 0;
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    EXPECT_FALSE(port.deviceLost());
    EXPECT_EQ(port.WritePort("y", 1), 1);
}

TEST_F(PortFixture, DtrAndModemStatus)
{
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    EXPECT_TRUE(port.EscapeLine(CLRDTR));
    EXPECT_FALSE(line->dtr);
    EXPECT_TRUE(port.EscapeLine(SETDTR));
    EXPECT_TRUE(line->dtr);
    EXPECT_FALSE(port.EscapeLine(3)); // only the two DTR codes exist here
    line->status = MS_DSR_ON;
    uint32_t bits = 0;
    EXPECT_TRUE(port.GetModemStatus(bits));
    EXPECT_EQ(bits, uint32_t(MS_DSR_ON));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PortFixture, NoBoxOnceTheEndHasBegun)
{
    // Errors still waiting when the owner goes: the close during teardown
    // must not raise a box nobody is left to answer.
    ASSERT_TRUE(port.OpenPort(3, PortSettings{}));
    line->errors = CE_FRAME;
    port.Terminate();
    EXPECT_TRUE(port.ClosePort());
    port.ShowSystemError(EIO);
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
}

TEST(IncidentBoxes, FirstReportIsABoxRepeatsAreCountedLinesUntilQuiet)
{
    VirtualClock clock;
    FakeBoxes inner;
    IncidentBoxes boxes(inner, clock);
    boxes.watch(kFraming);
    std::vector<std::string> lines;
    boxes.setNote([&](const std::string& t, unsigned n) { lines.push_back(IncidentBoxes::repeatLine(t, n)); });

    for (int i = 0; i < 75; ++i) {
        boxes.warning(kFraming);
        clock.advanceMs(260);
    }
    boxes.warning("設定値エラー"); // not watched: every one is a box
    boxes.warning("設定値エラー");
    EXPECT_EQ(inner.texts(), (std::vector<std::string>{kFraming, "設定値エラー", "設定値エラー"}));
    ASSERT_EQ(lines.size(), 74u);
    EXPECT_EQ(lines[0], std::string(kFraming) + " (2回目)");
    EXPECT_EQ(lines[73], std::string(kFraming) + " (75回目)");

    // Quiet long enough: the next report is a new incident, a box again.
    clock.advanceMs(IncidentBoxes::kQuietMs);
    boxes.warning(kFraming);
    EXPECT_EQ(inner.shown.size(), 4u);
    EXPECT_EQ(lines.size(), 74u);

    // A group is one incident: whichever comes first is the box.
    boxes.watch("送信失敗", "link");
    boxes.watch("lost", "link");
    for (const char* t : {"送信失敗", "送信失敗", "lost", "送信失敗"})
        boxes.warning(t);
    EXPECT_EQ(inner.shown.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"送信失敗 (2回目)", "lost", "送信失敗 (3回目)"}));

    // Closing: nothing more is shown, questions are answered No.
    boxes.beginClosing();
    boxes.warning("設定値エラー");
    boxes.information("x");
    EXPECT_FALSE(boxes.question("?", false));
    EXPECT_EQ(inner.shown.size(), 5u);
}
