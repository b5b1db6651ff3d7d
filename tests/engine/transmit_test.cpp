// The command line and the transmit operations every sender uses.
#include "engine_fixture.h"

namespace kd36::test {
namespace {

class Transmit : public EngineTest {};

TEST_F(Transmit, TemplateGoesToTheCommandLineAndIsSentAsTyped)
{
    openPort();
    main.setText("cmbTemplate", "@FREQ");
    engine.cmbTemplateChange();
    EXPECT_EQ(main.text("txtEdit"), "@FREQ");
    EXPECT_TRUE(main.hasFocus("txtEdit"));
    engine.spbCommandTxClick();
    EXPECT_EQ(port.written, "@FREQ\r\n");
    EXPECT_EQ(monitor(), std::vector<std::string>{"@FREQ"});
    EXPECT_EQ(main.text("txtEdit"), "@FREQ"); // the line keeps its text
}

TEST_F(Transmit, NothingIsSentWhenEmptyOrBusy)
{
    openPort();
    engine.spbCommandTxClick();
    engine.spbReadClick(); // a settings sequence now runs
    main.setText("txtEdit", "@EQID");
    engine.spbCommandTxClick();
    EXPECT_TRUE(port.written.empty());
    EXPECT_TRUE(monitor().empty());
}

TEST_F(Transmit, EnterSendsOnlyFromTheFocusedLineWhileTheButtonIsEnabled)
{
    main.setText("txtEdit", "@EQID");
    main.setFocus("txtEdit");
    engine.FormKeyPress(13); // port closed: button disabled
    EXPECT_TRUE(port.written.empty());
    openPort();
    main.setFocus("cmbTemplate");
    engine.FormKeyPress(13);
    EXPECT_TRUE(port.written.empty());
    main.setFocus("txtEdit");
    engine.FormKeyPress('A');
    EXPECT_TRUE(port.written.empty());
    engine.FormKeyPress(13);
    EXPECT_EQ(port.written, "@EQID\r\n");
    // In communication mode Enter in the terminal line sends that line.
    engine.spbModeClick(0, true);
    main.setText("txtTerm", "hi");
    main.setFocus("txtTerm");
    engine.FormKeyPress(13);
    EXPECT_EQ(port.written, "@EQID\r\nhi\r\n");
}

TEST_F(Transmit, FailedWriteShowsTheBoxThenTheMonitorLine)
{
    main.setText("txtEdit", "@INIT");
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
    EXPECT_EQ(main.memoLines("memTerm"), std::vector<std::string>{"term"});
    engine.spbModeClick(1, true);
    engine.spbMonitorClearClick();
    EXPECT_TRUE(monitor().empty());
    EXPECT_EQ(main.memoLines("memTerm"), std::vector<std::string>{"term"});
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
    setUpMainView(main);
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
