// Replies taken from the receive queue: echo, line cutting and the settings rules.
#include "engine_fixture.h"

#include <chrono>

namespace kd36::test {
namespace {

class Parser : public EngineTest {
protected:
    std::string f(int n) { return engine.panel().read(n); }
    void take(const std::string& text)
    {
        reply(text);
        engine.ResponseParser();
    }
    // Walks a read to `step` as the idle pass would, each reply wait running out.
    void readTo(int step)
    {
        engine.spbReadClick();
        for (int i = 0; i < 30 && engine.step() != step; ++i) {
            if (engine.step() % 2) {
                engine.SettingsSequencer();
            } else {
                engine.timRxWaitTimer();
                engine.ResponseParser();
            }
        }
        ASSERT_EQ(engine.step(), step);
    }
};

TEST_F(Parser, SettingsRepliesFillTheirFields)
{
    struct Case {
        const char* line;
        std::vector<std::pair<int, const char*>> fields;
    } cases[] = {
        {">INIT:F=128/I=100/S=1234567/T=3/W=10", {{8, "128"}, {9, "100"}, {1, "1234567"}, {11, "3"}, {10, "10"}}},
        {">INIT:F=0128", {{8, "128"}}},
        {">EQID:E=5", {{2, "5"}}},
        {">FREQ:A=3", {{3, "3"}, {4, ""}}},
        {">FREQ:M=12", {{4, "12"}, {3, ""}}},
        {">ROUT:D=3", {{5, "3"}, {6, ""}, {7, ""}}},
        {">ROUT:D=3;N=1,A,5,6,7", {{5, "3"}, {6, "1"}, {7, "A"}, {13, "5"}, {14, "6"}, {15, "7"}}},
        {">INFO:U=ABCDEFGH/N=5", {{12, "ABCDEFGH"}, {2, "5"}}},
        {">INFO:U=HELLO", {{12, "HELLO"}}},
        {">COMS:R=9600/D=8/P=N/S=1/F=H", {{16, "9600"}, {17, "8"}, {18, "N"}, {19, "1"}, {20, "H"}}},
        {">COMS:R=9600/D=8/S=1/F=N", {{16, "9600"}, {17, "8/S=1/F=N"}, {19, "1"}, {20, "N"}}},
    };
    for (const Case& c : cases) {
        engine.editPanel([](SettingPanel& p) { p.readBack.fill("?"); });
        take(std::string(c.line) + "\r\n");
        for (auto [n, text] : c.fields)
            EXPECT_EQ(f(n), text) << c.line << " field " << n;
    }
}

TEST_F(Parser, PartialAndForeignRepliesLeaveOtherFields)
{
    take(">ROUT:D=3;N=1,A,5,6,7\r\n");
    take(">ROUT:D=3;N=1,A\r\n");
    EXPECT_EQ(f(6), "1");
    EXPECT_EQ(f(7), "A");
    EXPECT_EQ(f(13), "5"); // relays 3 to 5 keep their old texts
    take(">COMS:R=9600/D=8/S=1/F=N\r\n");
    take(">COMS:R=4800\r\n");
    EXPECT_EQ(f(16), "4800");
    EXPECT_EQ(f(17), "8/S=1/F=N");
    take(">INIT:F=64/I=80\r\n");
    EXPECT_EQ(f(8), "64");
    EXPECT_EQ(f(9), "80");
    for (const char* ignored : {">EQID=5\r\n", ">FREQ:X=1\r\n", ">ROUT:N=1\r\n", ">INFO:N=1\r\n", ">XXXX:E=1\r\n",
                                "EQID:E=9\r\n", "\r\n", ">\r\n", ">EQ\r\n"})
        take(ignored);
    EXPECT_EQ(f(2), "");
}

TEST_F(Parser, TextWithoutLineEndIsShownButNotParsed)
{
    take(">EQID:E=7");
    EXPECT_EQ(f(2), "");
    EXPECT_EQ(monitor(), std::vector<std::string>{">EQID:E=7"});
    // Nothing of it is kept for the next take.
    take("\r\n");
    EXPECT_EQ(f(2), "");
}

TEST_F(Parser, CommunicationModeOnlyShowsWithPrefix)
{
    engine.spbModeClick(0, true);
    take(">INIT:F=1\r\n");
    EXPECT_EQ(main.memoLines(Monitor::Terminal), std::vector<std::string>{"Rx:>INIT:F=1"});
    EXPECT_EQ(f(8), "");
    take("12\r\n34\r\n");
    EXPECT_EQ(main.memoLines(Monitor::Terminal).back(), "34");
    take("\r\n");
    EXPECT_EQ(main.memoLines(Monitor::Terminal).back(), "Rx:");
}

TEST_F(Parser, CodeDisplayCodesBecomePartOfValues)
{
    take(">FREQ:A=3[0D][0A]\r\n");
    EXPECT_EQ(f(3), "3[0D][0A]");
}

TEST_F(Parser, StepAdvancesOncePerPass)
{
    readTo(6);
    ASSERT_TRUE(main.timerActive(TimerId::RxWait));
    take(">FREQ:A=3\r\n>ROUT:D=2\r\n");
    EXPECT_EQ(engine.step(), 7);
    EXPECT_EQ(f(3), "3");
    EXPECT_EQ(f(5), "2");
    EXPECT_FALSE(main.timerActive(TimerId::RxWait));
    // A reply and an expired wait in one pass: still one step.
    engine.SettingsSequencer();
    ASSERT_EQ(engine.step(), 8);
    engine.timRxWaitTimer();
    take(">EQID:E=1\r\n");
    EXPECT_EQ(engine.step(), 9);
}

TEST_F(Parser, LateReplyAtAnOddStepDoesNotStallTheSequence)
{
    engine.spbWriteClick();
    engine.SettingsSequencer(); // nothing ticked: the first items are skipped
    engine.SettingsSequencer();
    ASSERT_EQ(engine.step(), 5); // nothing awaits a reply
    take(">EQID:E=1\r\n");
    EXPECT_EQ(engine.step(), 5);
    EXPECT_EQ(f(2), "1");
}

TEST_F(Parser, RepliesOutsideASequenceFillFieldsOnly)
{
    take(">FREQ:M=20\r\n");
    EXPECT_EQ(f(4), "20");
    EXPECT_EQ(engine.step(), 0);
}

TEST_F(Parser, LastStepEndsTheSequence)
{
    readTo(14);
    take(">COMS:R=9600\r\n");
    EXPECT_EQ(engine.step(), 0);
    EXPECT_FALSE(engine.busy());
    EXPECT_TRUE(main.window.modeButtons);
}

TEST_F(Parser, HostileInputNeverBreaksThePass)
{
    std::string flood(100000, 'A');
    take(flood);
    take(std::string("\0\0>EQID:E=1\r\n", 13));
    take(">INIT:F=99999999999999999999/I=-\r\n");
    EXPECT_EQ(f(8), "2147483647");
    take(">ROUT:D=;N=\r\n");
    take(">COMS:/D=/P=/S=/F=\r\n");
    take(std::string(">EQID:E=\x82\xA0\xFF\r\n"));
    EXPECT_EQ(f(2), "\x82\xA0\xFF");
    take("$");
    take("$\r\n");
    take("$RECE\r\n");
    take("$XXXX:1,2;1;a\r\n");
}

TEST_F(Parser, BacklogIsReadOnceAndTheMonitorStaysSmall)
{
    // 2 MB queued while a box held the idle loop, in pieces as they came.
    std::string line, last;
    size_t lines = 0;
    for (int i = 0; i < 2'000'000 / 40; ++i) {
        last = std::to_string(1'000'000 + i);
        line += (i % 2 ? ">INFO:U=" + last : "noise noise noise noise noise noise") + "\r\n";
        ++lines;
        if (line.size() > 200) {
            reply(line);
            line.clear();
        }
    }
    reply(line + ">EQID:E=7\r\n");
    const auto t0 = std::chrono::steady_clock::now();
    engine.ResponseParser();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(seconds, 2.0) << lines << " lines";
    EXPECT_EQ(f(12), last);
    EXPECT_EQ(f(2), "7");
    EXPECT_EQ(engine.receivedPending(), 0u);
    EXPECT_LE(engine.txRxMonitor().text().size(), MonitorBuffer::kLimit + 2);
    EXPECT_EQ(monitor().back(), ">EQID:E=7");
}

} // namespace
} // namespace kd36::test
