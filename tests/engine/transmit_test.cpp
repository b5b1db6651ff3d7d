// The command line and the transmit operations every sender uses.
#include "engine_fixture.h"

namespace kd36::test {
namespace {

class Transmit : public EngineTest {};

TEST_F(Transmit, TemplateGoesToTheCommandLineAndIsSentAsTyped)
{
    openPort();
    engine.cmbTemplateChange("@FREQ");
    EXPECT_EQ(main.inputs.commandLine, "@FREQ");
    EXPECT_EQ(main.commandLineFocus, 1);
    engine.spbCommandTxClick();
    EXPECT_EQ(port.written, "@FREQ\r\n");
    EXPECT_EQ(monitor(), std::vector<std::string>{"@FREQ"});
    EXPECT_EQ(main.inputs.commandLine, "@FREQ"); // the line keeps its text
}

TEST_F(Transmit, NothingIsSentWhenEmptyOrBusy)
{
    openPort();
    engine.spbCommandTxClick();
    engine.spbReadClick(); // a settings sequence now runs
    engine.commandLineEdited("@EQID");
    engine.spbCommandTxClick();
    EXPECT_TRUE(port.written.empty());
    EXPECT_TRUE(monitor().empty());
}

TEST_F(Transmit, EnterSendsOnlyFromTheFocusedLineWhileTheButtonIsEnabled)
{
    engine.commandLineEdited("@EQID");
    engine.FormKeyPress(13, InputLine::Command); // port closed: button disabled
    EXPECT_TRUE(port.written.empty());
    openPort();
    engine.FormKeyPress(13, InputLine::Other);
    EXPECT_TRUE(port.written.empty());
    engine.FormKeyPress('A', InputLine::Command);
    EXPECT_TRUE(port.written.empty());
    engine.FormKeyPress(13, InputLine::Command);
    EXPECT_EQ(port.written, "@EQID\r\n");
    // In communication mode Enter in the terminal line sends that line.
    engine.spbModeClick(0, true);
    engine.terminalLineEdited("hi");
    engine.FormKeyPress(13, InputLine::Command);
    EXPECT_EQ(port.written, "@EQID\r\n"); // the command line is not on show
    engine.FormKeyPress(13, InputLine::Terminal);
    EXPECT_EQ(port.written, "@EQID\r\nhi\r\n");
}

TEST_F(Transmit, FailedWriteShowsTheBoxThenTheMonitorLine)
{
    engine.commandLineEdited("@INIT");
    engine.SendCommand("@INIT\r\n"); // port closed
    ASSERT_EQ(boxes.texts(), std::vector<std::string>{"送信失敗"});
    EXPECT_EQ(monitor(), (std::vector<std::string>{"@INIT", sj("送信失敗")}));
}

TEST_F(Transmit, EchoTargetsTheMonitorOfTheMode)
{
    engine.EchoMonitor("cmd\r\n");
    engine.spbModeClick(0, true);
    engine.EchoMonitor("term");
    EXPECT_EQ(monitor(), std::vector<std::string>{"cmd"});
    EXPECT_EQ(main.memoLines(Monitor::Terminal), std::vector<std::string>{"term"});
    engine.spbModeClick(1, true);
    engine.spbMonitorClearClick();
    EXPECT_TRUE(monitor().empty());
    EXPECT_EQ(main.memoLines(Monitor::Terminal), std::vector<std::string>{"term"});
}

// A write that lets the window run a handler which itself sends.
struct ReentrantPort : FakePort {
    std::function<void()> during;
    int WritePort(const char* b, uint32_t n) override
    {
        if (during) {
            auto f = std::move(during);
            during = nullptr;
            f();
        }
        return FakePort::WritePort(b, n);
    }
};

TEST(TransmitNesting, InnerSendDoesNotClearTheOuterSendingFlag)
{
    VirtualClock clock;
    FakeView main{kd36::WindowKind::Main}, link{kd36::WindowKind::Link}, packet{kd36::WindowKind::Packet};
    FakeBoxes boxes;
    ReentrantPort port;
    MainEngine engine{EngineDeps{main, link, packet, boxes, clock, port}};
    engine.ConstructBeforeSettings();
    engine.ConstructAfterSettings();
    engine.mnuCommOpenClick();
    bool sendingAfterInner = false;
    port.during = [&] {
        engine.SendText("inner");
        sendingAfterInner = engine.sending();
    };
    EXPECT_TRUE(engine.SendText("outer"));
    EXPECT_TRUE(sendingAfterInner);
    EXPECT_FALSE(engine.sending());
}

} // namespace
} // namespace kd36::test
