// Start state, port toggle, modes, status bar, lamps and the window locks.
#include "engine_fixture.h"

namespace kd36::test {
namespace {

constexpr const char* kPortButtons[] = {"spbAIRM", "spbFICK", "spbPacket", "spbWrite",
                                        "spbRead", "spbCommandTx", "btnTermTx"};

class MainWindow : public EngineTest {};

TEST_F(MainWindow, StartsClosedInCommandMode)
{
    EXPECT_EQ(main.statusText(0), sj("コマンドモード"));
    EXPECT_EQ(main.statusText(1), "");
    EXPECT_EQ(main.statusText(2), sj("テキスト"));
    EXPECT_FALSE(main.statusText(3).empty());
    EXPECT_TRUE(engine.commandMode());
    EXPECT_FALSE(engine.portOpen());
    EXPECT_TRUE(main.isVisible("pnlCommand"));
    EXPECT_FALSE(main.isVisible("pnlCommunication"));
    EXPECT_FALSE(main.isTabVisible("tabDevelop"));
    EXPECT_EQ(main.itemIndex("cmbIntervalTx"), 9);
    EXPECT_TRUE(port.escapes.empty()); // no line is touched while closed
    EXPECT_EQ(MainEngine::TemplateItems(),
              (std::vector<std::string>{"@INIT", "@EQID", "@INFO", "@ROUT", "@FREQ", "@COMS", "@AIRC", "@ANLZ",
                                        "@SYID", "$SEND", "$NEWS"}));
}

TEST_F(MainWindow, OpenAndCloseFollowTheStateTable)
{
    engine.setPort(3, engine.portSettings());
    openPort();
    EXPECT_EQ(main.get("shpLump").color, 0x00FF00u);
    EXPECT_EQ(main.statusText(1), "COM3: 9600bps D8 PNON S1");
    for (const char* b : kPortButtons)
        EXPECT_TRUE(main.isEnabled(b)) << b;
    EXPECT_TRUE(main.isEnabled("btnSTBY"));
    EXPECT_TRUE(main.isChecked("mnuCommOpen"));
    EXPECT_TRUE(main.isEnabled("mnuFunction"));
    // The open raised DTR; command mode lowers it at once.
    EXPECT_EQ(port.escapes, std::vector<int>{CLRDTR});

    engine.mnuCommOpenClick();
    EXPECT_FALSE(engine.portOpen());
    EXPECT_EQ(main.get("shpLump").color, 0x93EABCu);
    EXPECT_EQ(main.statusText(1), "");
    for (const char* b : kPortButtons)
        EXPECT_FALSE(main.isEnabled(b)) << b;
    EXPECT_FALSE(main.isEnabled("btnDBUG"));
    EXPECT_FALSE(main.isChecked("mnuCommOpen"));
    EXPECT_FALSE(main.isEnabled("mnuFunction"));
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
        EXPECT_EQ(main.statusText(1), c.text);
        engine.mnuCommOpenClick();
    }
}

TEST_F(MainWindow, StatusTooltipSaysWhatTheDeviceTookWhenItDiffers)
{
    openPort();
    EXPECT_EQ(main.statusHints[1], "");
    engine.mnuCommOpenClick();

    PortSettings taken;
    taken.BaudRate = 9615; // the driver's nearest rate
    port.actual = taken;
    openPort();
    EXPECT_EQ(main.statusText(1), "COM1: 9600bps D8 PNON S1");
    EXPECT_EQ(main.statusHints[1], sj("実際の設定: 9615bps D8 PNON S1"));
    engine.mnuCommOpenClick();
    EXPECT_EQ(main.statusHints[1], "");
}

TEST_F(MainWindow, FailedOpenLeavesEverythingClosed)
{
    port.openSucceeds = false;
    engine.mnuCommOpenClick();
    EXPECT_FALSE(engine.portOpen());
    EXPECT_NE(main.text("btnComPort"), sj("通信ポート OFF"));
    for (const char* b : kPortButtons)
        EXPECT_FALSE(main.isEnabled(b)) << b;
}

TEST_F(MainWindow, ModeSwitchDrivesDtrOnlyWhileOpen)
{
    engine.spbModeClick(0, true);
    EXPECT_TRUE(port.escapes.empty());
    EXPECT_EQ(main.statusText(0), sj("オンラインモード"));
    EXPECT_TRUE(main.isVisible("pnlCommunication"));
    EXPECT_FALSE(main.isVisible("pnlCommand"));

    openPort();
    EXPECT_TRUE(port.dtr); // communication mode keeps DTR high after the open
    EXPECT_FALSE(main.isEnabled("mnuFunction"));
    engine.spbModeClick(1, true);
    EXPECT_FALSE(port.dtr);
    EXPECT_TRUE(main.isEnabled("mnuFunction"));
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
    EXPECT_FALSE(main.isChecked("mnuCommOpen"));
}

TEST_F(MainWindow, StatusPanelTwoTogglesTheDisplayForm)
{
    for (int x : {0, 379, 441, 700}) {
        engine.StatusBarMouseDown(x);
        engine.StatusBarDblClick();
        EXPECT_EQ(main.statusText(2), sj("テキスト")) << x;
    }
    engine.StatusBarMouseDown(400);
    engine.StatusBarDblClick();
    EXPECT_EQ(main.statusText(2), sj("コード"));
    EXPECT_TRUE(port.hex);
    engine.StatusBarMouseDown(380);
    engine.StatusBarDblClick();
    EXPECT_EQ(main.statusText(2), sj("テキスト"));
    EXPECT_FALSE(port.hex);
}

TEST_F(MainWindow, ShiftDoubleClickTogglesTheDevelopmentTab)
{
    engine.grpCommandMouseDown(false);
    engine.grpCommandDblClick();
    EXPECT_FALSE(main.isTabVisible("tabDevelop"));
    engine.grpCommandMouseDown(true);
    engine.grpCommandDblClick();
    EXPECT_TRUE(main.isTabVisible("tabDevelop"));
    engine.grpCommandDblClick();
    EXPECT_FALSE(main.isTabVisible("tabDevelop"));
}

TEST_F(MainWindow, LampsFollowTheModemLines)
{
    pass();
    EXPECT_EQ(main.get("shpTxableSignal").color, 0xFF0000u);
    EXPECT_EQ(main.get("shpSupplySignal").color, 0xFF0000u);
    EXPECT_EQ(main.text("lblTxableSignal"), sj("送信不可    ［CTS信号］"));
    openPort();
    port.status = MS_CTS_ON;
    pass();
    EXPECT_EQ(main.get("shpTxableSignal").color, 0x00FF00u);
    EXPECT_EQ(main.text("lblTxableSignal"), sj("送信可能    ［CTS信号］"));
    EXPECT_EQ(main.get("shpSupplySignal").color, 0xFF0000u);
    port.status = MS_DSR_ON;
    pass();
    EXPECT_EQ(main.get("shpSupplySignal").color, 0x00FF00u);
    EXPECT_EQ(main.get("shpTxableSignal").color, 0xFF0000u);
}

TEST_F(MainWindow, PacketDialogLocksNineControlsWhileShown)
{
    const char* nine[] = {"spbFICK", "spbAIRM", "spbCommandTx", "spbWrite", "spbRead",
                          "mnuAirMonitor", "mnuRssiInfo", "spbMode", "spbCommunicationMode"};
    openPort();
    engine.packetForm().FormShow();
    EXPECT_TRUE(main.isChecked("mnuPacket"));
    for (const char* c : nine)
        EXPECT_FALSE(main.isEnabled(c)) << c;
    EXPECT_TRUE(main.isEnabled("spbPacket")); // the same button closes it
    engine.packetForm().FormHide();
    EXPECT_FALSE(main.isChecked("mnuPacket"));
    for (const char* c : nine)
        EXPECT_TRUE(main.isEnabled(c)) << c;
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
    for (const char* b : kPortButtons)
        EXPECT_FALSE(main.isEnabled(b)) << b;
    EXPECT_TRUE(main.isEnabled("spbMode"));

    // A port opened under the dialog keeps its locks.
    engine.packetForm().FormShow();
    openPort();
    EXPECT_FALSE(main.isEnabled("spbWrite"));
    EXPECT_TRUE(main.isEnabled("btnTermTx"));
    engine.packetForm().FormHide();

    // A settings sequence ending while the answer-back check holds the line
    // leaves the check's locks in place.
    engine.spbReadClick();
    EXPECT_FALSE(main.isEnabled("spbCommandTx"));
    engine.mnuRssiInfoClick();
    for (int i = 0; i < 600 && engine.step() != 0; ++i)
        run(100); // no replies: each step waits out its time
    ASSERT_EQ(engine.step(), 0);
    EXPECT_FALSE(main.isEnabled("spbCommandTx"));
    EXPECT_FALSE(main.isEnabled("spbAIRM"));
    EXPECT_TRUE(main.isEnabled("spbFICK"));
}

TEST_F(MainWindow, ExtendedRowsFollowTheExtensionSwitch)
{
    engine.setExtension(0);
    EXPECT_EQ(main.get("grpSERI").height, 49);
    EXPECT_FALSE(main.isVisible("lblSERIData"));
    EXPECT_FALSE(main.isVisible("Label2"));
    engine.setExtension(1);
    EXPECT_EQ(main.get("grpSERI").height, 121);
    EXPECT_TRUE(main.isVisible("Label2"));
}

TEST_F(MainWindow, CloseShutsThePortFirst)
{
    openPort();
    engine.FormClose();
    EXPECT_FALSE(engine.portOpen());
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(main.isChecked("mnuCommOpen"));
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
