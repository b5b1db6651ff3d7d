// Reading and writing the modem's settings step by step.
#include "engine_fixture.h"

namespace kd36::test {
namespace {

class Sequencer : public EngineTest {
protected:
    Sequencer() { openPort(); }
    // Runs passes, answering nothing, until the sequence ends (bounded).
    void runToEnd(int maxMs = 20000)
    {
        for (int t = 0; t < maxMs && engine.step() != 0; t += 10) {
            clock.advanceMs(10);
            pass();
        }
    }
};

TEST_F(Sequencer, ReadSendsSevenCommandsInOrderAndFillsFields)
{
    engine.editPanel([](SettingPanel& p) { p.readBack.fill("old"); });
    engine.spbReadClick();
    for (int i = 1; i <= 20; ++i)
        EXPECT_EQ(engine.panel().read(i), "") << i;
    EXPECT_FALSE(main.window.commandSend);
    EXPECT_TRUE(main.window.read);
    const char* replies[] = {">INIT:F=128/I=100/S=1234567/T=3/W=10\r\n", ">EQID:E=5\r\n", ">FREQ:M=12\r\n",
                             ">ROUT:D=3;N=1,A\r\n", ">INIT:F=128/I=100/S=1234567/T=3/W=10\r\n",
                             ">INFO:U=ABCDEFGH/N=5\r\n", ">COMS:R=9600/D=8/P=N/S=1/F=H\r\n"};
    for (const char* r : replies) {
        pass(); // sends
        clock.advanceMs(50);
        reply(r);
    }
    pass();
    EXPECT_EQ(port.writes, (std::vector<std::string>{"@INIT\r\n", "@EQID\r\n", "@FREQ\r\n", "@ROUT\r\n",
                                                     "@INIT\r\n", "@INFO\r\n", "@COMS\r\n"}));
    EXPECT_EQ(engine.step(), 0);
    EXPECT_FALSE(engine.busy());
    EXPECT_TRUE(main.window.commandSend);
    EXPECT_EQ(engine.panel().read(1), "1234567");
    EXPECT_EQ(engine.panel().read(4), "12");
    EXPECT_EQ(engine.panel().read(20), "H");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Sequencer, SilentModemEndsBySevenTimeouts)
{
    engine.spbReadClick();
    uint64_t start = clock.nowMs();
    runToEnd();
    EXPECT_EQ(engine.step(), 0);
    EXPECT_EQ(port.writes.size(), 7u);
    uint64_t took = clock.nowMs() - start;
    EXPECT_GE(took, 7u * 1400);
    EXPECT_LE(took, 7u * 1400 + 200);
    EXPECT_TRUE(main.window.modeButtons);
}

TEST_F(Sequencer, WriteWithNothingTickedEndsAfterSevenPasses)
{
    engine.editPanel([](SettingPanel& p) { p.read(3) = "keep"; });
    engine.spbWriteClick();
    int passes = 0;
    while (engine.step() != 0 && passes < 20) {
        pass();
        ++passes;
    }
    EXPECT_EQ(passes, 7);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(engine.panel().read(3), "keep");
}

TEST_F(Sequencer, WriteOfEveryItemSendsTheirCommands)
{
    // Through the handlers, as the window hands the user's edits over.
    for (auto click : {&MainEngine::chkSYIDClick, &MainEngine::chkCHANClick, &MainEngine::chkROUTClick,
                       &MainEngine::chkFRAMClick, &MainEngine::chkINFOClick, &MainEngine::chkSERIClick})
        (engine.*click)(true);
    engine.systemIdEdited("1234567");
    engine.radChHandClick();
    engine.panelChoiceChanged(PanelChoice::Channel, 5);
    engine.panelChoiceChanged(PanelChoice::RouteDest, 3);
    engine.cmbROUTNodeChange(1, 2);
    engine.cmbROUTNodeChange(2, 11);
    engine.panelFrameChanged(PanelFrame::Byte, 256);
    engine.deviceInfoEdited("ABCDEFGH");
    engine.panelChoiceChanged(PanelChoice::Rate, 1);
    engine.panelChoiceChanged(PanelChoice::Parity, 2);
    engine.panelChoiceChanged(PanelChoice::Flow, 1);
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(port.writes,
              (std::vector<std::string>{"@INIT:S=1234567\r\n", "@FREQ:M=12\r\n", "@ROUT:D=3;N=1,A\r\n",
                                        "@INIT:F=256/I=100/W=10/T=3\r\n", "@INFO:U=ABCDEFGH\r\n",
                                        "@COMS:R=9600/P=E/S=1/F=H\r\n"}));
}

TEST_F(Sequencer, RouteStopsAtTheFirstUnusedRelay)
{
    engine.editPanel([](SettingPanel& p) {
        p.setTick(PanelTick::Route, true);
        p.choice(PanelChoice::RouteDest) = 3;
        p.relays = {2, 0, 5, 0, 0};
    });
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(port.writes, std::vector<std::string>{"@ROUT:D=3;N=1\r\n"});
    port.writes.clear();
    engine.cmbROUTNodeChange(1, 0);
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(port.writes, std::vector<std::string>{"@ROUT:D=3\r\n"});
}

TEST_F(Sequencer, SerialAttributesWithoutExtensionSendTheRateAlone)
{
    engine.chkSERIClick(true);
    engine.panelChoiceChanged(PanelChoice::Rate, 1);
    engine.setExtension(0);
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(port.writes, std::vector<std::string>{"@COMS:R=9600\r\n"});
    // With the extension and empty lists the command stays well formed.
    port.writes.clear();
    engine.setExtension(1);
    engine.panelChoiceChanged(PanelChoice::Parity, -1);
    engine.panelChoiceChanged(PanelChoice::Flow, -1);
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(port.writes, std::vector<std::string>{"@COMS:R=9600/P=N/S=1/F=H\r\n"});
}

TEST_F(Sequencer, SystemIdIsValidatedBeforeItIsWritten)
{
    struct Case {
        const char* id;
        std::vector<bool> answers;
        std::string box;
        bool sent;
    } cases[] = {
        {"", {}, "システムIDが設定されていません。", false},
        {"12A", {}, "システムIDには整数をセットしてください。", false},
        {"0", {false}, "システムIDを 0 に設定しようとしています。\r\nよろしいですか？", false},
        {"0", {true}, "システムIDを 0 に設定しようとしています。\r\nよろしいですか？", true},
        {" $1F", {}, "", true},
    };
    engine.chkSYIDClick(true);
    for (const Case& c : cases) {
        boxes.shown.clear();
        port.writes.clear();
        boxes.answers.assign(c.answers.begin(), c.answers.end());
        engine.systemIdEdited(c.id);
        engine.spbWriteClick();
        runToEnd();
        if (c.box.empty())
            EXPECT_TRUE(boxes.shown.empty()) << c.id;
        else
            EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.box}) << c.id;
        if (c.sent)
            EXPECT_EQ(port.writes, std::vector<std::string>{"@INIT:S=" + std::string(c.id) + "\r\n"});
        else
            EXPECT_TRUE(port.writes.empty()) << c.id;
        EXPECT_EQ(engine.step(), 0);
    }
}

TEST_F(Sequencer, FailedWriteWaitsForTheTimeout)
{
    engine.chkINFOClick(true);
    engine.deviceInfoEdited("X");
    port.failWrites = true;
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"送信失敗"});
    EXPECT_EQ(monitor(), (std::vector<std::string>{"@INFO:U=X", sj("送信失敗")}));
}

// The window waits out a failed write (above); a script's run ends there,
// and names the command from the sequence's own state, not the monitor's.
TEST_F(Sequencer, AFailedWriteCanEndTheSequenceAndNamesItsCommand)
{
    engine.setStopSequenceOnWriteFailure(true);
    engine.spbReadClick();
    pass();
    clock.advanceMs(50);
    reply(">INIT:F=128/I=100/S=1234567/T=3/W=10\r\n");
    pass(); // @EQID goes out
    EXPECT_EQ(engine.sequenceCommand(), "@EQID");
    EXPECT_FALSE(engine.sequenceWriteFailed());
    port.failWrites = true;
    clock.advanceMs(50);
    reply(">EQID:E=5\r\n");
    pass(); // @FREQ fails
    EXPECT_EQ(engine.step(), 0);
    EXPECT_FALSE(engine.busy());
    EXPECT_TRUE(engine.sequenceWriteFailed());
    EXPECT_EQ(engine.sequenceCommand(), "@FREQ");
    run(3000);
    EXPECT_EQ(port.writes.size(), 2u); // nothing after the failure
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"送信失敗"});

    // A new run starts clean.
    port.failWrites = false;
    engine.spbReadClick();
    pass();
    EXPECT_FALSE(engine.sequenceWriteFailed());
    EXPECT_EQ(engine.sequenceCommand(), "@INIT");
}

TEST_F(Sequencer, SecondClickIsIgnoredWhileBusy)
{
    engine.spbReadClick();
    pass();
    engine.spbWriteClick();
    EXPECT_EQ(engine.step(), 2);
    run(1500); // the wait runs out: the read, not a write, goes on
    EXPECT_EQ(port.written, "@INIT\r\n@EQID\r\n");
}

TEST_F(Sequencer, DefaultsAskFirstAndShiftClearsReadBack)
{
    engine.editPanel([](SettingPanel& p) {
        p.choice(PanelChoice::Rate) = 3;
        p.frameValue(PanelFrame::Byte) = 7;
        p.relays = {2, 3, 0, 0, 0};
        p.systemId = "42";
        p.setTick(PanelTick::Route, true);
    });
    boxes.answers = {false};
    engine.spbDefaultNumberMouseDown(false);
    engine.spbDefaultNumberClick();
    EXPECT_EQ(engine.panel().choice(PanelChoice::Rate), 3);
    boxes.answers = {true};
    engine.spbDefaultNumberClick();
    const SettingPanel& p = engine.panel();
    EXPECT_EQ(p.choiceText(PanelChoice::Rate), "9600");
    EXPECT_EQ(p.choiceText(PanelChoice::Flow), "H/w");
    EXPECT_EQ(p.frameValue(PanelFrame::Byte), 128);
    EXPECT_EQ(p.relayText(1), "-");
    // What the user typed and ticked stays.
    EXPECT_EQ(p.systemId, "42");
    EXPECT_TRUE(p.tick(PanelTick::Route));
    EXPECT_EQ(boxes.texts().back(), "書き込み欄を初期値にします。");

    boxes.shown.clear();
    engine.editPanel([](SettingPanel& q) { q.read(7) = "x"; });
    engine.spbDefaultNumberMouseDown(true);
    engine.spbDefaultNumberClick();
    EXPECT_EQ(engine.panel().read(7), "");
    EXPECT_TRUE(boxes.shown.empty());
}

// Which controls take input follows from the panel alone, whatever order
// the values arrived in.
TEST(PanelEnables, FollowTheTicksAndTheRelayChain)
{
    SettingPanel p;
    EXPECT_EQ(panelEnables(p), PanelEnables{});
    p.setTick(PanelTick::Route, true);
    p.relays = {2, 3, 0, 5, 0};
    PanelEnables e = panelEnables(p);
    EXPECT_TRUE(e.route);
    EXPECT_EQ(e.relays, (std::array<bool, 5>{true, true, true, false, false}));
    p.relays[1] = 0; // a disabled list keeps its value
    EXPECT_EQ(panelEnables(p).relays, (std::array<bool, 5>{true, true, false, false, false}));
    EXPECT_EQ(p.relays[3], 5);
    p.setTick(PanelTick::Route, false);
    EXPECT_EQ(panelEnables(p).relays, (std::array<bool, 5>{}));

    p.setTick(PanelTick::Channel, true);
    e = panelEnables(p);
    EXPECT_TRUE(e.channelMode && e.group && !e.channel);
    p.channelAuto = false;
    e = panelEnables(p);
    EXPECT_TRUE(!e.group && e.channel);
    p.setTick(PanelTick::Channel, false);
    e = panelEnables(p);
    EXPECT_FALSE(e.channelMode || e.group || e.channel);

    // The hidden data-bits box alone opens nothing: without the rate's tick
    // no attribute is written.
    p.setTick(PanelTick::SerialSet, true);
    EXPECT_FALSE(panelEnables(p).serialDetail);
    p.setTick(PanelTick::Serial, true);
    EXPECT_TRUE(panelEnables(p).serial && panelEnables(p).serialDetail);
}

TEST(PanelEnables, FrameEditsTakeDigitsAndBackspaceOnly)
{
    EXPECT_TRUE(MainEngine::speFRAMKeyPress('7'));
    EXPECT_TRUE(MainEngine::speFRAMKeyPress(8));
    EXPECT_FALSE(MainEngine::speFRAMKeyPress('-'));
    EXPECT_FALSE(MainEngine::speFRAMKeyPress('a'));
}

} // namespace
} // namespace kd36::test
