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
    for (int i = 1; i <= 20; ++i)
        main.setText("edtRead" + std::to_string(i), "old");
    engine.spbReadClick();
    for (int i = 1; i <= 20; ++i)
        EXPECT_EQ(main.text("edtRead" + std::to_string(i)), "") << i;
    EXPECT_FALSE(main.isEnabled("spbCommandTx"));
    EXPECT_TRUE(main.isEnabled("spbRead"));
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
    EXPECT_TRUE(main.isEnabled("spbCommandTx"));
    EXPECT_EQ(main.text("edtRead1"), "1234567");
    EXPECT_EQ(main.text("edtRead4"), "12");
    EXPECT_EQ(main.text("edtRead20"), "H");
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
    EXPECT_TRUE(main.isEnabled("spbMode"));
}

TEST_F(Sequencer, WriteWithNothingTickedEndsAfterSevenPasses)
{
    main.setText("edtRead3", "keep");
    engine.spbWriteClick();
    int passes = 0;
    while (engine.step() != 0 && passes < 20) {
        pass();
        ++passes;
    }
    EXPECT_EQ(passes, 7);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(main.text("edtRead3"), "keep");
}

TEST_F(Sequencer, WriteOfEveryItemSendsTheirCommands)
{
    for (const char* c : {"chkSYID", "chkCHAN", "chkROUT", "chkFRAM", "chkINFO", "chkSERI"})
        main.setChecked(c, true);
    main.setText("edtSYIDWrite", "1234567");
    main.setChecked("radChAuto", false);
    main.setChecked("radChHand", true);
    main.setItemIndex("cmbCHANCh", 5);
    main.setItemIndex("cmbROUTDest", 3);
    main.setItemIndex("cmbROUTNode1", 2);
    main.setItemIndex("cmbROUTNode2", 11);
    main.c("speFRAMByte").text = "300"; // sent as shown
    main.setText("edtINFOWrite", "ABCDEFGH");
    main.setItemIndex("cmbSERIParity", 2);
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(port.writes,
              (std::vector<std::string>{"@INIT:S=1234567\r\n", "@FREQ:M=12\r\n", "@ROUT:D=3;N=1,A\r\n",
                                        "@INIT:F=300/I=100/W=10/T=3\r\n", "@INFO:U=ABCDEFGH\r\n",
                                        "@COMS:R=9600/P=E/S=1/F=H\r\n"}));
}

TEST_F(Sequencer, RouteStopsAtTheFirstUnusedRelay)
{
    main.setChecked("chkROUT", true);
    main.setItemIndex("cmbROUTDest", 3);
    main.setItemIndex("cmbROUTNode1", 2);
    main.setItemIndex("cmbROUTNode2", 0);
    main.setItemIndex("cmbROUTNode3", 5);
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(port.writes, std::vector<std::string>{"@ROUT:D=3;N=1\r\n"});
    port.writes.clear();
    main.setItemIndex("cmbROUTNode1", 0);
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(port.writes, std::vector<std::string>{"@ROUT:D=3\r\n"});
}

TEST_F(Sequencer, SerialAttributesWithoutExtensionSendTheRateAlone)
{
    main.setChecked("chkSERI", true);
    engine.setExtension(0);
    engine.spbWriteClick();
    runToEnd();
    EXPECT_EQ(port.writes, std::vector<std::string>{"@COMS:R=9600\r\n"});
    // With the extension and empty lists the command stays well formed.
    port.writes.clear();
    engine.setExtension(1);
    main.setItemIndex("cmbSERIParity", -1);
    main.setItemIndex("cmbSERIFlow", -1);
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
    main.setChecked("chkSYID", true);
    for (const Case& c : cases) {
        boxes.shown.clear();
        port.writes.clear();
        boxes.answers.assign(c.answers.begin(), c.answers.end());
        main.setText("edtSYIDWrite", c.id);
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
    main.setChecked("chkINFO", true);
    main.setText("edtINFOWrite", "X");
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
    main.setItemIndex("cmbSERI", 3);
    main.setValue("speFRAMByte", 7);
    boxes.answers = {false};
    engine.spbDefaultNumberMouseDown(false);
    engine.spbDefaultNumberClick();
    EXPECT_EQ(main.itemIndex("cmbSERI"), 3);
    boxes.answers = {true};
    engine.spbDefaultNumberClick();
    EXPECT_EQ(main.itemIndex("cmbSERI"), 1);
    EXPECT_EQ(main.value("speFRAMByte"), 128);
    EXPECT_EQ(boxes.texts().back(), "書き込み欄を初期値にします。");

    boxes.shown.clear();
    main.setText("edtRead7", "x");
    engine.spbDefaultNumberMouseDown(true);
    engine.spbDefaultNumberClick();
    EXPECT_EQ(main.text("edtRead7"), "");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Sequencer, RelayListsEnableUpToTheFirstDash)
{
    main.setChecked("chkROUT", true);
    main.setItemIndex("cmbROUTNode1", 2);
    main.setItemIndex("cmbROUTNode2", 3);
    main.setItemIndex("cmbROUTNode3", 0);
    main.setItemIndex("cmbROUTNode4", 5);
    engine.chkROUTClick();
    EXPECT_TRUE(main.isEnabled("cmbROUTNode3"));
    EXPECT_FALSE(main.isEnabled("cmbROUTNode4"));
    EXPECT_FALSE(main.isEnabled("lblROUTNode5"));
    main.setItemIndex("cmbROUTNode2", 0);
    engine.cmbROUTNodeChange(2);
    EXPECT_FALSE(main.isEnabled("cmbROUTNode3"));
    EXPECT_EQ(main.itemIndex("cmbROUTNode4"), 5); // a disabled list keeps its value
    main.setChecked("chkROUT", false);
    engine.chkROUTClick();
    EXPECT_FALSE(main.isEnabled("cmbROUTNode1"));
    EXPECT_FALSE(main.isEnabled("cmbROUTDest"));
}

TEST_F(Sequencer, ChannelControlsFollowTheirTicks)
{
    engine.chkCHANClick();
    EXPECT_FALSE(main.isEnabled("radChAuto"));
    EXPECT_FALSE(main.isEnabled("cmbCHANGroup"));
    main.setChecked("chkCHAN", true);
    engine.chkCHANClick();
    EXPECT_TRUE(main.isEnabled("cmbCHANGroup"));
    EXPECT_FALSE(main.isEnabled("cmbCHANCh"));
    engine.radChHandClick();
    EXPECT_FALSE(main.isEnabled("cmbCHANGroup"));
    EXPECT_TRUE(main.isEnabled("cmbCHANCh"));
    EXPECT_TRUE(MainEngine::speFRAMKeyPress('7'));
    EXPECT_TRUE(MainEngine::speFRAMKeyPress(8));
    EXPECT_FALSE(MainEngine::speFRAMKeyPress('-'));
    EXPECT_FALSE(MainEngine::speFRAMKeyPress('a'));
}

} // namespace
} // namespace kd36::test
