// Development commands, interval transmission and the terminal.
#include "engine_fixture.h"

namespace kd36::test {
namespace {

class Develop : public EngineTest {
protected:
    Develop() { openPort(); }
};

TEST_F(Develop, ButtonsSendTheirFixedCommands)
{
    engine.btnDBUGClick();
    engine.btnDIF1Click();
    engine.btnDIF2Click();
    engine.btnTESTClick();
    engine.btnCMNDClick();
    engine.btnSTBYClick();
    engine.btnSENDClick();
    engine.btnRECVClick();
    EXPECT_EQ(port.writes, (std::vector<std::string>{"@DBUG\r\n", "@DIF1\r\n", "@DIF2\r\n", "@TEST:K=XJ52\r\n",
                                                     "@CMND\r\n", "@STBY\r\n", "@SEND:F=7;M=0\r\n",
                                                     "@RECV:F=7;M=0\r\n"}));
    EXPECT_TRUE(port.escapes.size() == 1); // only the open's mode line: buttons leave DTR alone
}

TEST_F(Develop, ModulationCodesAndThePn9Refusal)
{
    engine.testChannelChanged(5);
    engine.testModulationChanged(2);
    engine.btnSENDClick();
    EXPECT_EQ(port.writes.back(), "@SEND:F=12;M=9\r\n");
    port.writes.clear();
    engine.btnRECVClick();
    EXPECT_TRUE(port.writes.empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "モジュレーション異常");
    EXPECT_EQ(boxes.shown[0].title, "デバッグ");
    engine.testModulationChanged(1);
    engine.btnRECVClick();
    EXPECT_EQ(port.writes.back(), "@RECV:F=12;M=1\r\n");
}

TEST_F(Develop, IntervalTransmissionRepeatsEverySecond)
{
    engine.cmbIntervalTxChange(0);
    engine.btnIntervalTxClick();
    EXPECT_TRUE(main.window.intervalRunning);
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], "$SEND:\r\n");
    run(3000);
    EXPECT_EQ(port.writes.size(), 4u);
    engine.intervalCommandEdited("");
    run(1000);
    EXPECT_EQ(port.writes.back(), "\r\n"); // read anew each tick
    engine.btnIntervalTxClick();
    EXPECT_FALSE(main.window.intervalRunning);
    size_t n = port.writes.size();
    run(3000);
    EXPECT_EQ(port.writes.size(), n);
}

TEST_F(Develop, IntervalChangeOnlyRetimesARunningTimer)
{
    engine.cmbIntervalTxChange(4);
    EXPECT_FALSE(main.timerActive(TimerId::IntervalTx));
    engine.btnIntervalTxClick();
    EXPECT_EQ(main.timerInterval(TimerId::IntervalTx), 5000);
    engine.cmbIntervalTxChange(1);
    EXPECT_EQ(main.timerInterval(TimerId::IntervalTx), 2000);
}

TEST_F(Develop, IntervalTicksWithThePortClosedReportEachFailure)
{
    engine.cmbIntervalTxChange(0);
    engine.btnIntervalTxClick();
    engine.mnuCommOpenClick(); // close; the timer goes on
    run(2000);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"送信失敗", "送信失敗"}));
}

class Terminal : public EngineTest {
protected:
    Terminal()
    {
        openPort();
        engine.spbModeClick(0, true);
    }
    std::vector<std::string> term() const { return main.memoLines(Monitor::Terminal); }
};

TEST_F(Terminal, SendsWithOrWithoutLineEnd)
{
    engine.terminalLineEdited("ABC");
    engine.btnTermTxClick();
    engine.chkCRLFClick(false);
    engine.btnTermTxClick();
    EXPECT_EQ(port.writes, (std::vector<std::string>{"ABC\r\n", "ABC"}));
    EXPECT_EQ(term(), (std::vector<std::string>{"Tx:ABC", "Tx:ABC"}));
    engine.terminalLineEdited("");
    engine.btnTermTxClick();
    EXPECT_EQ(port.writes.size(), 2u);
}

TEST_F(Terminal, JapaneseGoesOutAsShiftJis)
{
    engine.terminalLineEdited(sj("あA"));
    engine.btnTermTxClick();
    EXPECT_EQ(port.writes.back(), "\x82\xA0" "A\r\n");
}

TEST_F(Terminal, ReceivedChunksShowWithPrefixAndSurviveModeChanges)
{
    reply("12\r\n34\r\n");
    pass();
    EXPECT_EQ(term(), (std::vector<std::string>{"Rx:12", "34"}));
    engine.spbModeClick(1, true);
    engine.EchoMonitor("cmd");
    engine.spbModeClick(0, true);
    EXPECT_EQ(term(), (std::vector<std::string>{"Rx:12", "34"}));
    engine.spbTermClearClick();
    EXPECT_TRUE(term().empty());
}

TEST_F(Terminal, FailedSendShowsTheBoxAndTheLine)
{
    port.failWrites = true;
    engine.terminalLineEdited("X");
    engine.btnTermTxClick();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"送信失敗"});
    EXPECT_EQ(term(), (std::vector<std::string>{"Tx:X", sj("送信失敗")}));
}

TEST_F(Terminal, ShiftDoubleClickTogglesTheLineEndOption)
{
    engine.txtTermMouseDown(false);
    engine.txtTermDblClick();
    EXPECT_FALSE(main.window.crLfBox);
    engine.txtTermMouseDown(true);
    engine.txtTermDblClick();
    EXPECT_TRUE(main.window.crLfBox);
    engine.txtTermDblClick();
    EXPECT_FALSE(main.window.crLfBox);
}

} // namespace
} // namespace kd36::test
