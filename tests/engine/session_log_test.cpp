// The session log's line format.
#include "engine_fixture.h"

#include "engine/session_log.h"
#include "engine/session_observer.h"

#include <algorithm>
#include <vector>

namespace kd36 {
namespace {

// 2026-12-08 05:03:05.123 UTC
constexpr int64_t kAt = 1796706185123;

TEST(SessionLogLine, TimeStampsCarryMillisecondsAndTheOffset)
{
    EXPECT_EQ(isoTime({kAt, 9 * 3600}), "2026-12-08T14:03:05.123+09:00");
    EXPECT_EQ(isoTime({kAt, 0}), "2026-12-08T05:03:05.123+00:00");
    // An offset that crosses midnight backwards, and one of half an hour.
    EXPECT_EQ(isoTime({kAt, -(5 * 3600 + 30 * 60)}), "2026-12-07T23:33:05.123-05:30");
    EXPECT_EQ(isoTime({kAt - 123, 0}), "2026-12-08T05:03:05.000+00:00");
    EXPECT_EQ(defaultLogFileName({kAt, 9 * 3600}), "kd36-20261208-140305.log");
}

TEST(SessionLogLine, TextIsUtf8AndEveryOtherByteIsShownAsItsCode)
{
    EXPECT_EQ(renderLogText(sj("送信失敗 ｱｲ")), "送信失敗 ｱｲ");
    EXPECT_EQ(renderLogText(std::string("A\x00\x1b\x7f", 4)), "A[00][1B][7F]");
    // A lead byte without its trail, a lone high byte, a character CP932 lacks.
    EXPECT_EQ(renderLogText("\x82" "A"), "[82]A");
    EXPECT_EQ(renderLogText("\xFF" "B"), "[FF]B");
    EXPECT_EQ(renderLogText("\x85\x40"), "[85]@");
}

TEST(SessionLogLine, PiecesSplitAtCrLfIntoContinuationLines)
{
    LogTime t{kAt, 9 * 3600};
    const std::string ts = "2026-12-08T14:03:05.123+09:00 ";
    EXPECT_EQ(formatLogData(t, "TX", "@INIT\r\n"), ts + "TX @INIT\n");
    EXPECT_EQ(formatLogData(t, "RX", ">INIT:F=128\r\n>EQID:E=5\r\n"),
              ts + "RX >INIT:F=128\n" + ts + "RX+ >EQID:E=5\n");
    // Text collected until a pause need not end in CR LF; lone CR and LF are bytes.
    EXPECT_EQ(formatLogData(t, "RX", "ab\r\ncd\ref\n"), ts + "RX ab\n" + ts + "RX+ cd[0D]ef[0A][-]\n");
    EXPECT_EQ(formatLogNote(t, "ERROR", "送信失敗"), ts + "ERROR 送信失敗\n");
    PortSettings s;
    s.BaudRate = 19200;
    s.Parity = 2;
    s.StopBits = 1;
    EXPECT_EQ(portOpenedText(7, s), "COM7 open 19200 8E1.5 RTS/CTS");
    EXPECT_EQ(portOpenedText(7, PortSettings{}), "COM7 open 9600 8N1 RTS/CTS");
}

using SessionLogPiece = test::EngineTest;

// The window's text still ends at a NUL; the log's lines of the piece do not.
TEST_F(SessionLogPiece, ANulEndsTheWindowsTextButNoLineOfTheLog)
{
    std::string piece;
    for (int i = 0; i < 1000; ++i)
        piece += ">LINE:" + std::to_string(i) + (i == 8 ? std::string("\0", 1) : "") + "\r\n";
    openPort();
    engine.handOver(piece);
    EXPECT_EQ(engine.receivedPending(), piece.find('\0'));
    const std::string log = formatLogData({kAt, 0}, "RX", piece);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1000);
    EXPECT_NE(log.find("RX+ >LINE:8[00]\n"), std::string::npos);
    EXPECT_NE(log.find("RX+ >LINE:999\n"), std::string::npos);
}

// What the engine tells the log, one line per event.
struct NoteTaker : SessionObserver {
    std::vector<std::string> notes;
    void sent(const std::string&) override {}
    void received(const std::string&) override {}
    void portOpened(int n, const PortSettings& s) override { notes.push_back("PORT " + portOpenedText(n, s)); }
    void portClosed(int n) override { notes.push_back("PORT COM" + std::to_string(n) + " closed"); }
    void modeChanged(bool command) override { notes.push_back(command ? "MODE command" : "MODE communication"); }
    void error(const std::string& utf8) override { notes.push_back("ERROR " + utf8); }
};

// A reader of the log learns the mode a session starts in from the lines
// right after its open, not only from a later switch.
TEST_F(SessionLogPiece, EachOpenIsFollowedByTheModeItStartsIn)
{
    NoteTaker log;
    engine.setObserver(&log);
    openPort();
    engine.spbModeClick(0, true);
    engine.mnuCommOpenClick();
    openPort();
    engine.spbModeClick(1, true);
    const std::string open = "PORT " + portOpenedText(engine.portNumber(), engine.portSettings());
    const std::vector<std::string> want{open, "MODE command", "MODE communication",
                                        "PORT COM" + std::to_string(engine.portNumber()) + " closed",
                                        open, "MODE communication", "MODE command"};
    EXPECT_EQ(log.notes, want);
}

} // namespace
} // namespace kd36
