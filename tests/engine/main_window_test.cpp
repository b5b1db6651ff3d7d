// Start state, port toggle, modes, status bar, lamps and the window locks.
#include "engine_fixture.h"

namespace kd36::test {
namespace {

constexpr Usable kPortButtons[] = {{"spbAIRM", &WindowShown::airButton}, {"spbFICK", &WindowShown::answerBackButton}, {"spbPacket", &WindowShown::packetButton}, {"spbWrite", &WindowShown::write}, {"spbRead", &WindowShown::read}, {"spbCommandTx", &WindowShown::commandSend}, {"btnTermTx", &WindowShown::terminalSend}};

class MainWindow : public EngineTest {};

TEST_F(MainWindow, StartsClosedInCommandMode)
{
    EXPECT_TRUE(main.line.commandMode);
    EXPECT_EQ(main.line.port, "");
    EXPECT_FALSE(main.line.hexDisplay);
    EXPECT_TRUE(engine.commandMode());
    EXPECT_FALSE(engine.portOpen());
    EXPECT_TRUE(main.window.commandMode);
    EXPECT_FALSE(main.window.developTab);
    EXPECT_EQ(main.inputs.intervalIndex, 9);
    EXPECT_TRUE(port.escapes.empty()); // no line is touched while closed
    EXPECT_EQ(MainEngine::TemplateItems(),
              (std::vector<std::string>{"@INIT", "@EQID", "@INFO", "@ROUT", "@FREQ", "@COMS", "@AIRC", "@ANLZ",
                                        "@SYID", "$SEND", "$NEWS"}));
}

TEST_F(MainWindow, OpenAndCloseFollowTheStateTable)
{
    engine.setPort(3, engine.portSettings());
    openPort();
    EXPECT_EQ(main.line.portLamp, 0x00FF00u);
    EXPECT_EQ(main.line.port, "COM3: 9600bps D8 PNON S1");
    for (auto [b, usable] : kPortButtons)
        EXPECT_TRUE(main.window.*usable) << b;
    EXPECT_TRUE(main.window.developButtons);
    EXPECT_TRUE(main.window.portMark);
    EXPECT_TRUE(main.window.functionMenu);
    // The open raised DTR; command mode lowers it at once.
    EXPECT_EQ(port.escapes, std::vector<int>{CLRDTR});

    engine.mnuCommOpenClick();
    EXPECT_FALSE(engine.portOpen());
    EXPECT_EQ(main.line.portLamp, 0x93EABCu);
    EXPECT_EQ(main.line.port, "");
    for (auto [b, usable] : kPortButtons)
        EXPECT_FALSE(main.window.*usable) << b;
    EXPECT_FALSE(main.window.developButtons);
    EXPECT_FALSE(main.window.portMark);
    EXPECT_FALSE(main.window.functionMenu);
}

TEST_F(MainWindow, StatusTextNamesTheLineSettings)
{
    struct Case {
        uint8_t parity, stop;
        const char* text;
    } cases[] = {{1, 1, "COM1: 19200bps D7 PODD S1.5"}, {2, 2, "COM1: 19200bps D7 PEVEN S2"},
                 {3, 0, "COM1: 19200bps D7 PMARK S1"}, {4, 7, "COM1: 19200bps D7"}};
    for (const Case& c : cases) {
        PortSettings line = engine.portSettings();
        line.BaudRate = 19200;
        line.ByteSize = 7;
        line.Parity = c.parity;
        line.StopBits = c.stop;
        engine.setPort(engine.portNumber(), line);
        engine.mnuCommOpenClick();
        EXPECT_EQ(main.line.port, c.text);
        engine.mnuCommOpenClick();
    }
}

TEST_F(MainWindow, StatusTooltipSaysWhatTheDeviceTookWhenItDiffers)
{
    openPort();
    EXPECT_EQ(main.line.actualSettings, "");
    engine.mnuCommOpenClick();

    PortSettings taken;
    taken.BaudRate = 9615; // the driver's nearest rate
    port.actual = taken;
    openPort();
    EXPECT_EQ(main.line.port, "COM1: 9600bps D8 PNON S1");
    EXPECT_EQ(main.line.actualSettings, "9615bps D8 PNON S1");
    engine.mnuCommOpenClick();
    EXPECT_EQ(main.line.actualSettings, "");
}

TEST_F(MainWindow, FailedOpenLeavesEverythingClosed)
{
    port.openSucceeds = false;
    engine.mnuCommOpenClick();
    EXPECT_FALSE(engine.portOpen());
    EXPECT_FALSE(main.window.portMark);
    for (auto [b, usable] : kPortButtons)
        EXPECT_FALSE(main.window.*usable) << b;
}

TEST_F(MainWindow, ModeSwitchDrivesDtrOnlyWhileOpen)
{
    engine.spbModeClick(0, true);
    EXPECT_TRUE(port.escapes.empty());
    EXPECT_FALSE(main.line.commandMode);
    EXPECT_TRUE(!main.window.commandMode);
    EXPECT_FALSE(main.window.commandMode);

    openPort();
    EXPECT_TRUE(port.dtr); // communication mode keeps DTR high after the open
    EXPECT_FALSE(main.window.functionMenu);
    engine.spbModeClick(1, true);
    EXPECT_FALSE(port.dtr);
    EXPECT_TRUE(main.window.functionMenu);
    engine.spbModeClick(0, true);
    EXPECT_TRUE(port.dtr);
    // Releasing the pressed button changes nothing.
    engine.spbModeClick(1, false);
    EXPECT_FALSE(engine.commandMode());
}

TEST_F(MainWindow, PortListMarksMissingPorts)
{
    port.present = {2, 5};
    engine.RefreshPortList();
    EXPECT_EQ(engine.portList(), (std::vector<std::string>{"*COM1", " COM2", "*COM3", "*COM4", " COM5"}));
    port.present = {};
    engine.RefreshPortList();
    EXPECT_EQ(engine.portList(), std::vector<std::string>{"*COM1"});
    // A port beyond the flags still counts: the list then runs to COM99.
    port.present = {2, 120};
    engine.RefreshPortList();
    EXPECT_EQ(engine.portList().size(), 99u);
}

struct RecordingDialog : PortDialogRunner {
    void run(int& port, PortSettings& s, const std::vector<std::string>& list, int) override
    {
        seenList = list;
        if (ok) {
            port = 2;
            s.BaudRate = 38400;
        }
    }
    bool ok = true;
    std::vector<std::string> seenList;
};

TEST_F(MainWindow, PortPropertiesCloseAndReopenWhateverTheButton)
{
    openPort();
    RecordingDialog dlg;
    engine.mnuCommSettingsClick(dlg);
    EXPECT_EQ(port.closes, 1);
    EXPECT_EQ(port.lastPort, 2);
    EXPECT_EQ(port.lastSettings.BaudRate, 38400u);
    EXPECT_TRUE(engine.portOpen());
    EXPECT_FALSE(dlg.seenList.empty());

    dlg.ok = false; // Cancel
    engine.mnuCommSettingsClick(dlg);
    EXPECT_EQ(port.closes, 2);
    EXPECT_TRUE(engine.portOpen());
    // Reopen failing leaves the window closed.
    port.openSucceeds = false;
    engine.mnuCommSettingsClick(dlg);
    EXPECT_FALSE(engine.portOpen());
    EXPECT_FALSE(main.window.portMark);
}

TEST_F(MainWindow, StatusPanelTwoTogglesTheDisplayForm)
{
    for (int x : {0, 379, 441, 700}) {
        engine.StatusBarMouseDown(x);
        engine.StatusBarDblClick();
        EXPECT_FALSE(main.line.hexDisplay) << x;
    }
    engine.StatusBarMouseDown(400);
    engine.StatusBarDblClick();
    EXPECT_TRUE(main.line.hexDisplay);
    EXPECT_TRUE(port.hex);
    engine.StatusBarMouseDown(380);
    engine.StatusBarDblClick();
    EXPECT_FALSE(main.line.hexDisplay);
    EXPECT_FALSE(port.hex);
}

TEST_F(MainWindow, ShiftDoubleClickTogglesTheDevelopmentTab)
{
    engine.grpCommandMouseDown(false);
    engine.grpCommandDblClick();
    EXPECT_FALSE(main.window.developTab);
    engine.grpCommandMouseDown(true);
    engine.grpCommandDblClick();
    EXPECT_TRUE(main.window.developTab);
    engine.grpCommandDblClick();
    EXPECT_FALSE(main.window.developTab);
}

TEST_F(MainWindow, LampsFollowTheModemLines)
{
    pass();
    EXPECT_EQ(main.line.txableLamp, 0xFF0000u);
    EXPECT_EQ(main.line.supplyLamp, 0xFF0000u);
    openPort();
    port.status = MS_CTS_ON;
    pass();
    EXPECT_EQ(main.line.txableLamp, 0x00FF00u);
    EXPECT_EQ(main.line.supplyLamp, 0xFF0000u);
    port.status = MS_DSR_ON;
    pass();
    EXPECT_EQ(main.line.supplyLamp, 0x00FF00u);
    EXPECT_EQ(main.line.txableLamp, 0xFF0000u);
}

TEST_F(MainWindow, PacketDialogLocksNineControlsWhileShown)
{
    const Usable nine[] = {{"spbFICK", &WindowShown::answerBackButton}, {"spbAIRM", &WindowShown::airButton}, {"spbCommandTx", &WindowShown::commandSend}, {"spbWrite", &WindowShown::write}, {"spbRead", &WindowShown::read}, {"mnuAirMonitor", &WindowShown::airMenu}, {"mnuRssiInfo", &WindowShown::answerBackMenu}, {"spbMode", &WindowShown::modeButtons}, {"spbCommunicationMode", &WindowShown::modeButtons}};
    openPort();
    engine.packetForm().FormShow();
    EXPECT_TRUE(main.window.packetMark);
    for (auto [c, usable] : nine)
        EXPECT_FALSE(main.window.*usable) << c;
    EXPECT_TRUE(main.window.packetButton); // the same button closes it
    engine.packetForm().FormHide();
    EXPECT_FALSE(main.window.packetMark);
    for (auto [c, usable] : nine)
        EXPECT_TRUE(main.window.*usable) << c;
}

// The locks follow from which functions hold the line, not from the order in
// which they were set and released.
TEST_F(MainWindow, LocksDoNotOutliveTheirCause)
{
    // A dialog shut after the port closed frees no port button.
    openPort();
    engine.packetForm().FormShow();
    engine.mnuCommOpenClick();
    engine.packetForm().FormHide();
    for (auto [b, usable] : kPortButtons)
        EXPECT_FALSE(main.window.*usable) << b;
    EXPECT_TRUE(main.window.modeButtons);

    // A port opened under the dialog keeps its locks.
    engine.packetForm().FormShow();
    openPort();
    EXPECT_FALSE(main.window.write);
    EXPECT_TRUE(main.window.terminalSend);
    engine.packetForm().FormHide();

    // A settings sequence ending while the answer-back check holds the line
    // leaves the check's locks in place.
    engine.spbReadClick();
    EXPECT_FALSE(main.window.commandSend);
    engine.mnuRssiInfoClick();
    for (int i = 0; i < 600 && engine.step() != 0; ++i)
        run(100); // no replies: each step waits out its time
    ASSERT_EQ(engine.step(), 0);
    EXPECT_FALSE(main.window.commandSend);
    EXPECT_FALSE(main.window.airButton);
    EXPECT_TRUE(main.window.answerBackButton);
}

TEST_F(MainWindow, ExtendedRowsFollowTheExtensionSwitch)
{
    engine.setExtension(0);
    EXPECT_FALSE(main.window.extended);
    engine.setExtension(1);
    EXPECT_TRUE(main.window.extended);
}

TEST_F(MainWindow, CloseShutsThePortFirst)
{
    openPort();
    engine.FormClose();
    EXPECT_FALSE(engine.portOpen());
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(main.window.portMark);
    EXPECT_TRUE(engine.closing());
    EXPECT_FALSE(engine.SendText("x"));
    EXPECT_TRUE(boxes.shown.empty()); // a send during the close shows no box
}

TEST_F(MainWindow, VanishedDeviceIsReportedOnceAndClosed)
{
    openPort();
    engine.portLost();
    engine.portLost();
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(engine.portOpen());
}

} // namespace
} // namespace kd36::test
