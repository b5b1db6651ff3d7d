#include "engine/conversions.h"
#include "link_fixture.h"

namespace kd36::test {
namespace {

// ---------------------------------------------------------------- codec

TEST(SendLine, LengthCountsShiftJisBytesAndLineBreaks)
{
    EXPECT_EQ(composeSendLine("1,3,5,7;", "ABC"), "$SEND:1,3,5,7;3;ABC\r\n");
    EXPECT_EQ(composeSendLine(";", "ABC"), "$SEND:;3;ABC\r\n");
    EXPECT_EQ(composeSendLine("1,2;", ""), "$SEND:1,2;0;\r\n");
    EXPECT_EQ(composeSendLine(";", sj("あA")), "$SEND:;3;" + sj("あA") + "\r\n");
    EXPECT_EQ(composeSendLine(";", "AB\r\nC"), "$SEND:;5;AB\r\nC\r\n");
    EXPECT_EQ(composeRoute("1", {"3", "", "5"}, "7"), "1,3,5,7;");
    EXPECT_EQ(composeRoute("1", {}, "2"), "1,2;");
}

struct ReceCase {
    const char* payload;
    bool valid;
    std::vector<std::string> route;
    const char* data;
};

class RecePayload : public ::testing::TestWithParam<ReceCase> {};

TEST_P(RecePayload, Reads)
{
    const ReceCase& c = GetParam();
    auto p = parseRecePayload(c.payload);
    ASSERT_EQ(p.has_value(), c.valid);
    if (c.valid) {
        EXPECT_EQ(p->route, c.route);
        EXPECT_EQ(p->data, c.data);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, RecePayload,
    ::testing::Values(ReceCase{"7,5,3,1;3;ABC", true, {"7", "5", "3", "1"}, "ABC"},
                      ReceCase{"0,1;5;hello", true, {"0", "1"}, "hello"},
                      ReceCase{"0,1;0;", false, {}, ""}, // its second ";" is the last character
                      ReceCase{"0,1;1;;", true, {"0", "1"}, ";"},
                      ReceCase{"1,2,3,4,5,6,7,8,9,A;1;x", false, {}, ""}, // ten fields
                      ReceCase{"1,2,3,4,5,6,7,8,9;1;x", true, {"1", "2", "3", "4", "5", "6", "7", "8", "9"}, "x"},
                      ReceCase{"0;1;x", false, {}, ""}, // one field
                      ReceCase{"0,1;4;x", false, {}, ""}, // length differs
                      ReceCase{"0,1;-1;x", false, {}, ""},
                      ReceCase{"0,1;2", false, {}, ""}, // no second ";"
                      ReceCase{"", false, {}, ""},
                      ReceCase{"0,1;9,2;ab", true, {"0", "1"}, "ab"}, // "," between ";" restarts the length
                      ReceCase{"0,1;$3;abc", true, {"0", "1"}, "abc"},
                      ReceCase{" 0,,12;4;a\r\nb", true, {" 0", "", "12"}, "a\r\nb"}, // fields taken as they stand
                      ReceCase{"0,1;2;\x82\xa0", true, {"0", "1"}, "\x82\xa0"}));

TEST(RecePayloadErrors, NonNumericLengthIsAConversionError)
{
    EXPECT_THROW(parseRecePayload("0,1;abc;x"), ConversionError);
    EXPECT_THROW(parseRecePayload("0,1;;x"), ConversionError);
    // The message stays readable text even for Shift-JIS bytes.
    try {
        parseRecePayload("0,1;" + sj("あ") + ";x");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_NE(std::string(e.what()).find("あ"), std::string::npos);
    }
}

// ---------------------------------------------------------------- dialog

class PacketTest : public DialogEngineTest {
protected:
    PacketLogic& form() { return engine.packetForm(); }
    void choose(int n, const std::string& digit)
    {
        // Relay lists lead with "-"; the ends list the stations only.
        const bool relay = n >= 1 && n <= 5;
        form().cmbRouteChange(n, digit == "-" ? 0 : std::stoi(digit, nullptr, 16) + (relay ? 1 : 0));
    }
    bool relayOn(int n) const
    {
        return packet.packetShown.routeEnabled[size_t(n)];
    }
    void openDialog(const std::string& own = "")
    {
        engine.editPanel([&](SettingPanel& p) { p.read(2) = own; });
        engine.mnuPacketClick();
        ASSERT_TRUE(packet.shown);
    }
};

TEST_F(PacketTest, CreationState)
{
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(packet.packetShown.stations[size_t(n)], 0);
    EXPECT_TRUE(relayOn(1));
    for (int n = 2; n <= 5; ++n)
        EXPECT_FALSE(relayOn(n)) << n;
    EXPECT_FALSE(engine.packetShown());
    // No own station is preset: showing leaves the list's choice.
    form().cmbRouteChange(0, 5);
    form().FormShow();
    EXPECT_EQ(packet.packetShown.stations[0], 5);
}

TEST_F(PacketTest, RelayChain)
{
    choose(1, "3");
    EXPECT_TRUE(relayOn(2));
    EXPECT_FALSE(relayOn(3));
    choose(2, "5");
    choose(3, "6");
    choose(4, "8");
    EXPECT_TRUE(relayOn(5));
    choose(2, "-"); // relays 3 to 5 grey out whatever they show
    EXPECT_TRUE(relayOn(2));
    for (int n = 3; n <= 5; ++n)
        EXPECT_FALSE(relayOn(n)) << n;
    EXPECT_EQ(relayItems()[size_t(packet.packetShown.stations[3])], "6"); // values are kept
    choose(2, "5"); // back on: relay 3, and 4 and 5 too as 3 and 4 show digits
    for (int n = 3; n <= 5; ++n)
        EXPECT_TRUE(relayOn(n)) << n;
    choose(4, "-");
    choose(2, "5");
    EXPECT_TRUE(relayOn(4));
    EXPECT_FALSE(relayOn(5));
}

TEST_F(PacketTest, RouteCheckBoxGreysAndRestores)
{
    choose(1, "3");
    form().chkRouteClick(false);
    for (int n = 0; n <= 6; ++n) {
        EXPECT_FALSE(packet.packetShown.routeEnabled[size_t(n)]) << n;
        EXPECT_FALSE(packet.packetShown.arrows[size_t(n)]) << n;
    }
    form().chkRouteClick(true);
    for (int n : {0, 1, 2, 6}) {
        EXPECT_TRUE(relayOn(n)) << n;
        EXPECT_TRUE(packet.packetShown.arrows[size_t(n)]) << n;
    }
    for (int n : {3, 4, 5}) {
        EXPECT_FALSE(relayOn(n)) << n;
        EXPECT_FALSE(packet.packetShown.arrows[size_t(n)]) << n;
    }
}

TEST_F(PacketTest, SendsTheRouteOfEnabledRelaysOnly)
{
    choose(0, "1");
    choose(1, "3");
    choose(2, "4");
    choose(3, "9");
    choose(2, "-"); // relay 3 still shows 9 but is greyed
    choose(6, "7");
    form().memUserDataChange("ABC");
    form().spbPacketClick();
    EXPECT_EQ(port.writes, std::vector<std::string>{"$SEND:1,3,7;3;ABC\r\n"});
    EXPECT_EQ(main.memoLines(Monitor::Commands).back(), "$SEND:1,3,7;3;ABC");
}

TEST_F(PacketTest, SendsWithoutRouteAndWithMultiLineData)
{
    form().chkRouteClick(false);
    form().memUserDataChange("AB\r\nC");
    form().spbPacketClick();
    form().memUserDataChange(sj("あA"));
    form().spbPacketClick();
    EXPECT_EQ(port.writes, (std::vector<std::string>{"$SEND:;5;AB\r\nC\r\n", "$SEND:;3;" + sj("あA") + "\r\n"}));
}

TEST_F(PacketTest, MissingOwnOrDestinationIsRefused)
{
    choose(6, "7");
    form().spbPacketClick();
    form().cmbRouteChange(6, -1);
    choose(0, "1");
    form().spbPacketClick();
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"ルート設定を確認してください。", "ルート設定を確認してください。"}));
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(main.memoLines(Monitor::Commands).empty());
}

TEST_F(PacketTest, FailedWriteShowsInTheMonitor)
{
    form().chkRouteClick(false);
    port.failWrites = true;
    form().spbPacketClick();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"送信失敗"});
    EXPECT_EQ(main.memoLines(Monitor::Commands), (std::vector<std::string>{"$SEND:;0;", sj("送信失敗")}));
}

TEST_F(PacketTest, EnterKeyFollowsTheHiddenCheckBox)
{
    form().chkRouteClick(false);
    EXPECT_TRUE(form().memUserDataKeyPress(13));
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_FALSE(form().memUserDataKeyPress('A'));
    form().chkEnterKeyClick(false);
    EXPECT_FALSE(form().memUserDataKeyPress(13));
    EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(PacketTest, ShiftDoubleClickTogglesTheEnterOption)
{
    form().grpTxMouseDown(false);
    form().grpTxDblClick();
    EXPECT_FALSE(packet.packetShown.enterKeyBox);
    form().grpTxMouseDown(true);
    form().grpTxDblClick();
    EXPECT_TRUE(packet.packetShown.enterKeyBox);
    form().grpTxDblClick();
    EXPECT_FALSE(packet.packetShown.enterKeyBox);
}

TEST_F(PacketTest, CounterAndClearButtons)
{
    form().memUserDataChange("ABCDEFGHIJ" + sj("あ"));
    ASSERT_TRUE(form().ShowReceivedPacket("0,1;3;xyz"));
    form().spbClearClick(PacketMemo::Received);
    EXPECT_EQ(packet.packetShown.received, "");
    EXPECT_EQ(packet.packetShown.userData, "ABCDEFGHIJ" + sj("あ"));
    form().spbClearClick(PacketMemo::Send);
    EXPECT_EQ(packet.packetShown.userData, "");
}

TEST_F(PacketTest, MenuTogglesAndPresetsTheOwnStation)
{
    openDialog("5");
    EXPECT_TRUE(engine.packetShown());
    EXPECT_EQ(packet.packetShown.stations[0], 5);
    pass();
    EXPECT_TRUE(main.window.packetMark);
    EXPECT_FALSE(main.window.answerBackButton);
    engine.mnuPacketClick();
    EXPECT_FALSE(packet.shown);
    EXPECT_FALSE(engine.packetShown());
    pass();
    EXPECT_FALSE(main.window.packetMark);
    EXPECT_TRUE(main.window.answerBackButton);

    openDialog(""); // unknown: the list keeps its choice
    EXPECT_EQ(packet.packetShown.stations[0], 5);
    engine.mnuPacketClick();
    openDialog("zz");
    EXPECT_EQ(packet.packetShown.stations[0], 5);
    engine.mnuPacketClick();
    openDialog("1F"); // above F: the list loses its selection
    EXPECT_EQ(packet.packetShown.stations[0], -1);
    form().spbPacketClick();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"ルート設定を確認してください。"});
}

TEST_F(PacketTest, CloseBoxClearsTheFlag)
{
    openDialog("2");
    packet.hideForm();
    EXPECT_FALSE(engine.packetShown());
    engine.mnuPacketClick();
    EXPECT_TRUE(packet.shown);
}

TEST_F(PacketTest, ReceivedPacketOpensTheDialog)
{
    engine.editPanel([](SettingPanel& p) { p.read(2) = "1"; });
    reply("$RECE:7,5,3,1;3;ABC\r\n");
    pass();
    EXPECT_TRUE(packet.shown);
    EXPECT_TRUE(engine.packetShown());
    EXPECT_EQ(packet.packetShown.stations[0], 1);
    EXPECT_EQ(packet.packetShown.received, "ABC");
    const char* expect[] = {"7", "5", "3", "-", "-", "-", "1"};
    for (int n = 0; n <= 6; ++n)
        EXPECT_EQ(packet.packetShown.receivedRoute[size_t(n)], expect[n]) << n;
}

TEST_F(PacketTest, ReceivedPacketWhileShownBlanksFirst)
{
    openDialog("1");
    form().cmbRouteChange(0, 4);
    reply("$RECE:2,1;3;old\r\n");
    pass();
    const int repaints = packet.repaints;
    const uint64_t before = clock.nowMs();
    reply("$RECE:9,8,7,6,5,4,3,2,1;6;new\r\nX\r\n");
    pass();
    EXPECT_EQ(packet.repaints, repaints + 1);
    EXPECT_GE(clock.nowMs() - before, 100u);
    EXPECT_EQ(packet.packetShown.received, "new\r\nX");
    const char* expect[] = {"9", "8", "7", "6", "5", "4", "1"};
    for (int n = 0; n <= 6; ++n)
        EXPECT_EQ(packet.packetShown.receivedRoute[size_t(n)], expect[n]) << n;
    // Already shown: the own-station preset is not applied again.
    EXPECT_EQ(packet.packetShown.stations[0], 4);
    EXPECT_TRUE(packet.shown);
}

TEST_F(PacketTest, InvalidPacketLeavesTheViewBlankAndTheDialogClosed)
{
    ASSERT_TRUE(form().ShowReceivedPacket("7,1;3;old"));
    const uint64_t before = clock.nowMs();
    reply("$RECE:0,1;0;\r\n");
    pass();
    EXPECT_FALSE(packet.shown);
    EXPECT_LT(clock.nowMs() - before, 100u); // no wait while hidden
    EXPECT_EQ(packet.packetShown.receivedRoute[0], "");
    EXPECT_EQ(packet.packetShown.received, "");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PacketTest, NonNumericLengthRaisesAndDropsTheBlock)
{
    ASSERT_TRUE(form().ShowReceivedPacket("0,1;3;old"));
    reply("$RECE:0,1;abc;x\r\n");
    EXPECT_THROW(pass(), ConversionError);
    EXPECT_FALSE(packet.shown);
    EXPECT_EQ(packet.packetShown.received, "");
    EXPECT_EQ(engine.receivedPending(), 0u);
    // The next pass runs normally and the block does not come back.
    EXPECT_NO_THROW(run(50));
    reply("$RECE:0,1;1;y\r\n");
    pass();
    EXPECT_TRUE(packet.shown);
    EXPECT_EQ(packet.packetShown.received, "y");
}

TEST_F(PacketTest, ModemErrorOnlyWhileShown)
{
    reply(">ERR2:1\r\n");
    pass();
    EXPECT_TRUE(boxes.shown.empty());
    openDialog("1");
    reply(">ERR2:1\r\n");
    pass();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"自局IDの設定またはユーザー電文を確認してください。"});
}

} // namespace
} // namespace kd36::test
