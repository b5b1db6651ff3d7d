#include "link_fixture.h"

#include "engine/records_file.h"

namespace kd36::test {
namespace {

const Usable kLocked[] = {{"spbAIRM", &WindowShown::airButton}, {"spbPacket", &WindowShown::packetButton}, {"mnuAirMonitor", &WindowShown::airMenu}, {"mnuPacket", &WindowShown::packetMenu}, {"spbCommandTx", &WindowShown::commandSend}, {"spbWrite", &WindowShown::write}, {"spbRead", &WindowShown::read}, {"spbMode", &WindowShown::modeButtons}, {"spbCommunicationMode", &WindowShown::modeButtons}};

class AnswerBackTest : public DialogEngineTest {
protected:
    // Opens the check from the menu: the next pass shows the dialog.
    void openCheck()
    {
        engine.mnuRssiInfoClick();
        pass();
        ASSERT_TRUE(link.shown);
        ASSERT_EQ(engine.linkState(), 1);
    }
    void tick(std::initializer_list<int> stations)
    {
        for (int n : stations)
            engine.linkForm().stationTicked(n, true);
    }
    void startRun(std::initializer_list<int> stations)
    {
        openCheck();
        tick(stations);
        engine.linkForm().btnGetClick();
        pass();
    }
    void expectLogMirrorsMemo() { EXPECT_EQ(link.memoText(Monitor::AnswerBackLog), engine.linkForm().memInfo.text()); }
};

TEST_F(AnswerBackTest, OpeningLocksTheOtherFunctionsAndClosingFreesThem)
{
    openCheck();
    EXPECT_TRUE(main.window.answerBackMark);
    for (auto [c, usable] : kLocked)
        EXPECT_FALSE(main.window.*usable) << c;
    EXPECT_TRUE(main.window.answerBackButton);

    engine.mnuRssiInfoClick(); // same button closes it
    pass();
    EXPECT_FALSE(link.shown);
    EXPECT_EQ(engine.linkState(), 0);
    for (auto [c, usable] : kLocked)
        EXPECT_TRUE(main.window.*usable) << c;
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(AnswerBackTest, PollsTickedStationsInTurnAndCompletesWithoutStop)
{
    startRun({0, 3});
    ASSERT_EQ(port.writes, std::vector<std::string>{"@AIRC:N=0\r\n"});
    EXPECT_EQ(port.escapes.back(), CLRDTR);
    EXPECT_TRUE(link.timerActive(TimerId::WaitTime));
    EXPECT_EQ(link.timerInterval(TimerId::WaitTime), 10000);

    reply(">AIRC:0=3\r\n");
    pass(); // the reply and the next poll share one pass
    EXPECT_EQ(port.writes.back(), "@AIRC:N=3\r\n");
    reply(">AIRC:3=-\r\n");
    pass();
    run(200);

    EXPECT_EQ(port.writes, (std::vector<std::string>{"@AIRC:N=0\r\n", "@AIRC:N=3\r\n"}));
    EXPECT_EQ(log(), (std::vector<std::string>{sj("開始します。"), sj("#0 を確認中･･･ レベル 3 です。"),
                                               sj("#3 を確認中･･･ レベル 0 です。"), sj("完了しました。"), ""}));
    EXPECT_EQ(link.linkShown.levels[0], 3);
    EXPECT_EQ(link.linkShown.levels[3], 0);
    EXPECT_EQ(engine.linkState(), 3);
    EXPECT_TRUE(!link.linkShown.polling);
    EXPECT_FALSE(link.linkShown.polling);
    EXPECT_FALSE(link.timerActive(TimerId::WaitTime));
    // Polls and replies show in the command monitor too.
    auto mon = main.memoLines(Monitor::Commands);
    EXPECT_NE(std::find(mon.begin(), mon.end(), "@AIRC:N=3"), mon.end());
    EXPECT_NE(std::find(mon.begin(), mon.end(), ">AIRC:3=-"), mon.end());
    expectLogMirrorsMemo();
}

struct ReplyCase {
    const char* reply;
    int bar5;          // expected bar of station 5 (-1: left at the run's 0)
    const char* tail;  // expected end of station 5's line
};

class ReplyFormTest : public AnswerBackTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyFormTest, ShowsWhatIsValidAndAlwaysPollsTheNextStation)
{
    const ReplyCase& c = GetParam();
    startRun({5, 6});
    ASSERT_EQ(port.writes.back(), "@AIRC:N=5\r\n");

    reply(c.reply);
    pass();
    EXPECT_EQ(port.writes.back(), "@AIRC:N=6\r\n");
    EXPECT_EQ(link.linkShown.levels[5], c.bar5 < 0 ? 0 : c.bar5);
    for (int n = 0; n < 16; ++n) {
        if (n != 5) {
            EXPECT_EQ(link.linkShown.levels[size_t(n)], 0) << n;
        }
    }
    EXPECT_EQ(log()[1], sj("#5 を確認中･･･ ") + sj(c.tail));
    expectLogMirrorsMemo();
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyFormTest,
                         ::testing::Values(ReplyCase{">AIRC:5=7\r\n", 4, "レベル 4 です。"}, // above the scale
                                           ReplyCase{">AIRC:5=9\r\n", 4, "レベル 4 です。"},
                                           ReplyCase{">AIRC:5=2\r\n", 2, "レベル 2 です。"},
                                           ReplyCase{">AIRC: 5=1\r\n", 1, "レベル 1 です。"},
                                           ReplyCase{">AIRC:5=x\r\n", -1, ""}, // invalid level
                                           ReplyCase{">AIRC:1F=2\r\n", -1, ""}, // no such station
                                           ReplyCase{">AIRC:-1=2\r\n", -1, ""},
                                           ReplyCase{">AIRC:5=\r\n", -1, ""}, // level missing
                                           ReplyCase{">AIRC:garbage\r\n", -1, ""}));

TEST_F(AnswerBackTest, StopAnswerIsIgnored)
{
    startRun({1, 2});
    reply(">AIRC:Q\r\n");
    pass();
    run(100);
    EXPECT_EQ(port.writes, std::vector<std::string>{"@AIRC:N=1\r\n"});
}

TEST_F(AnswerBackTest, SilenceEndsTheRunAndSendsOneStop)
{
    startRun({2});
    run(9990);
    EXPECT_EQ(engine.linkState(), 2);
    run(20);
    run(500);
    EXPECT_EQ(log(), (std::vector<std::string>{sj("開始します。"), sj("#2 を確認中･･･ 応答がありません。"), ""}));
    EXPECT_EQ(count("@AIRC:Q\r\n"), 1);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_TRUE(!link.linkShown.polling);
    EXPECT_FALSE(link.linkShown.polling);
    // The modem's answer to the stop changes nothing.
    reply(">AIRC:Q\r\n");
    run(100);
    EXPECT_EQ(port.writes.size(), 2u);
}

TEST_F(AnswerBackTest, ClosingDuringARunStopsAndUnlocks)
{
    startRun({0, 1});
    link.hideForm(); // close box
    run(100);
    EXPECT_EQ(log(), (std::vector<std::string>{sj("開始します。"), sj("#0 を確認中･･･ "), sj("中止しました。"), ""}));
    EXPECT_EQ(count("@AIRC:Q\r\n"), 1);
    EXPECT_FALSE(main.window.answerBackMark);
    for (auto [c, usable] : kLocked)
        EXPECT_TRUE(main.window.*usable) << c;
    EXPECT_FALSE(link.timerActive(TimerId::WaitTime));
    // A late reply polls nothing more.
    reply(">AIRC:0=2\r\n");
    run(100);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(link.linkShown.levels[0], 0);
}

TEST_F(AnswerBackTest, ClosingWithoutARunWritesNothing)
{
    openCheck();
    link.hideForm();
    run(50);
    EXPECT_FALSE(main.window.answerBackMark);
    for (auto [c, usable] : kLocked)
        EXPECT_TRUE(main.window.*usable) << c;
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(log(), std::vector<std::string>{""});
    // The menu opens it again.
    engine.mnuRssiInfoClick();
    pass();
    EXPECT_TRUE(link.shown);
}

TEST_F(AnswerBackTest, EnterStartsAndEndsARun)
{
    openCheck();
    tick({4});
    engine.linkForm().FormKeyPress(13);
    pass();
    EXPECT_EQ(port.writes, std::vector<std::string>{"@AIRC:N=4\r\n"});
    engine.linkForm().FormKeyPress('a'); // other keys do nothing
    engine.linkForm().FormKeyPress(13);
    run(100);
    EXPECT_EQ(count("@AIRC:Q\r\n"), 1);
    EXPECT_EQ(log().back(), "");
    EXPECT_EQ(log()[log().size() - 2], sj("中止しました。"));
    // Enter again starts a fresh run.
    engine.linkForm().FormKeyPress(13);
    pass();
    EXPECT_EQ(port.writes.back(), "@AIRC:N=4\r\n");
}

TEST_F(AnswerBackTest, AbortButtonSendsOneStop)
{
    startRun({7, 8});
    engine.linkForm().btnAbortClick(EndReason::UserAbort);
    run(100);
    EXPECT_EQ(count("@AIRC:Q\r\n"), 1);
    EXPECT_EQ(log()[log().size() - 2], sj("中止しました。"));
}

TEST_F(AnswerBackTest, StationF)
{
    startRun({15});
    EXPECT_EQ(port.writes, std::vector<std::string>{"@AIRC:N=F\r\n"});
    EXPECT_EQ(log().back(), sj("#F を確認中･･･ "));
    reply(">AIRC:F=4\r\n");
    pass();
    EXPECT_EQ(link.linkShown.levels[15], 4);
}

TEST_F(AnswerBackTest, NoLineWhenCtsIsOff)
{
    openCheck();
    tick({1});
    port.status = 0x20;
    engine.linkForm().btnGetClick();
    run(100);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(log(), (std::vector<std::string>{sj("開始します。"), sj("通信ができません。"), ""}));
    EXPECT_EQ(engine.linkState(), 3);
}

TEST_F(AnswerBackTest, NoLineWhenThePortIsClosed)
{
    openCheck();
    tick({1});
    port.open = false;
    engine.linkForm().btnGetClick();
    run(50);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(log()[1], sj("通信ができません。"));
}

TEST_F(AnswerBackTest, NothingTickedAsksForAStation)
{
    openCheck();
    engine.linkForm().btnGetClick();
    run(50);
    EXPECT_EQ(log(), std::vector<std::string>{sj("IDを選択してください。")});
    EXPECT_EQ(engine.linkState(), 1);
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(AnswerBackTest, RefusedDtrSendsNothingAndTheRunTimesOut)
{
    openCheck();
    tick({3});
    port.failEscape = true;
    engine.linkForm().btnGetClick();
    run(10100);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(log()[1], sj("#3 を確認中･･･ 応答がありません。"));
    auto mon = main.memoLines(Monitor::Commands);
    EXPECT_TRUE(std::find(mon.begin(), mon.end(), "@AIRC:N=3") == mon.end());
}

TEST_F(AnswerBackTest, FailedWriteIsReportedAndTheRunGoesOn)
{
    openCheck();
    tick({3});
    port.failWrites = true;
    engine.linkForm().btnGetClick();
    pass();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"送信失敗"});
    auto mon = main.memoLines(Monitor::Commands);
    ASSERT_GE(mon.size(), 2u);
    EXPECT_EQ(mon[mon.size() - 2], "@AIRC:N=3");
    EXPECT_EQ(mon.back(), sj("送信失敗"));
    EXPECT_EQ(engine.linkState(), 2);
}

TEST_F(AnswerBackTest, TickingDuringARunCountsForStationsNotYetReached)
{
    startRun({1});
    tick({9});
    engine.linkForm().stationTicked(1, false);
    reply(">AIRC:1=1\r\n");
    pass();
    EXPECT_EQ(port.writes.back(), "@AIRC:N=9\r\n");
}

TEST_F(AnswerBackTest, RunResetsBarsButHidingKeepsLogAndBars)
{
    startRun({2});
    reply(">AIRC:2=3\r\n");
    pass();
    link.hideForm();
    run(20);
    engine.mnuRssiInfoClick();
    pass();
    EXPECT_EQ(link.linkShown.levels[2], 3);
    EXPECT_EQ(log()[0], sj("開始します。"));
    engine.linkForm().btnGetClick();
    EXPECT_EQ(link.linkShown.levels[2], 0);
}

TEST_F(AnswerBackTest, AllButtonAlternates)
{
    LinkLogic::CheckAllNext = true;
    auto ticked = [&] {
        int k = 0;
        for (int n = 0; n < 16; ++n)
            k += link.linkShown.ticked[size_t(n)];
        return k;
    };
    engine.linkForm().stationTicked(4, true);
    engine.linkForm().btnAllClick();
    EXPECT_EQ(ticked(), 16);
    engine.linkForm().btnAllClick();
    EXPECT_EQ(ticked(), 0);
    link.hideForm(); // not reset by closing
    engine.linkForm().btnAllClick();
    EXPECT_EQ(ticked(), 16);
}

TEST_F(AnswerBackTest, ClearEmptiesTheLog)
{
    openCheck();
    engine.linkForm().btnGetClick();
    engine.linkForm().spbMemClearClick();
    EXPECT_TRUE(log().empty());
    EXPECT_TRUE(engine.linkForm().memInfo.text().empty());
}

TEST_F(AnswerBackTest, MessagesTrimTheLogButStationLinesDoNot)
{
    LinkLogic& f = engine.linkForm();
    const std::string big(16384, 'a');
    f.memInfo.mutableText() = big + "\r\n";
    link.monitorText(Monitor::AnswerBackLog, f.memInfo.text());
    engine.linkForm().stationTicked(0, true);
    f.NextStation();
    f.ShowLevel(0, 1);
    EXPECT_GT(f.memInfo.text().size(), big.size());
    f.AddMessage(sj("完了しました。"));
    EXPECT_LT(f.memInfo.text().size(), 16384u - 8000u);
    expectLogMirrorsMemo();
}

TEST(AircPayload, Reading)
{
    auto r = parseAircPayload("A=3");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->station, 10);
    EXPECT_EQ(r->level, 3);
    EXPECT_EQ(parseAircPayload("0=-")->level, 0);
    EXPECT_FALSE(parseAircPayload("0=*")->level);
    EXPECT_FALSE(parseAircPayload("Q"));
    EXPECT_FALSE(parseAircPayload(""));
    EXPECT_EQ(aircPollCommand(10), "@AIRC:N=A\r\n");
}


// The last run's results for the CSV export: one row per station polled.
TEST_F(AnswerBackTest, ResultsNameWhatBecameOfEachStation)
{
    int64_t wall = 1796706185123; // 2026-12-08 05:03:05.123 UTC
    engine.linkForm().wallClockMs = [&] { return wall++; };
    startRun({0, 3, 5, 9});
    reply(">AIRC:0=7\r\n"); // above 4: shown as 4
    pass();
    reply(">AIRC:3=x\r\n");
    pass();
    reply(">AIRC:6=2\r\n"); // another station's level is not 5's answer
    pass();
    run(10010); // 9 stays silent
    auto name = [](const StationResult& r) { return std::string(linkResultName(r.result)); };
    const auto& r = engine.linkForm().results();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(name(r[0]) + std::to_string(r[0].level), "ok4");
    EXPECT_EQ(name(r[1]), "invalid");
    EXPECT_EQ(name(r[2]), "invalid");
    EXPECT_EQ(name(r[3]) + std::to_string(r[3].station), "no-reply9");
    EXPECT_TRUE(link.linkShown.csvSave);

    std::string csv = engine.linkForm().resultsCsv();
    ASSERT_EQ(csv.substr(0, 28), "time,station,level,result\r\n2");
    EXPECT_NE(csv.find(":05.123"), std::string::npos);
    EXPECT_NE(csv.find(",0,4,ok\r\n"), std::string::npos);
    EXPECT_NE(csv.find(",3,,invalid\r\n"), std::string::npos);
    EXPECT_NE(csv.find(",9,,no-reply\r\n"), std::string::npos);

    // A new run starts a new list; an abort and a closed line say so.
    engine.linkForm().btnGetClick();
    EXPECT_FALSE(link.linkShown.csvSave); // not while a run goes on
    pass();
    engine.linkForm().btnAbortClick(EndReason::UserAbort);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(name(r[0]), "aborted");
    run(100);
    port.status = 0x20;
    engine.linkForm().btnGetClick();
    run(100);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(name(r[0]) + std::to_string(r[0].station), "no-line0");
}

TEST_F(AnswerBackTest, CsvSaveFailureIsReportedInABox)
{
    startRun({1});
    reply(">AIRC:1=2\r\n");
    pass();
    EXPECT_FALSE(engine.linkForm().btnCsvSaveClick("/nonexistent-dir/x.csv"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "CSVファイルを保存できません。");
}

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBe)
{
    EXPECT_EQ(csvRecord({"a", "b,c", "say \"hi\"", "x\ny", ""}), "a,\"b,c\",\"say \"\"hi\"\"\",\"x\ny\",\r\n");
}

} // namespace
} // namespace kd36::test
