// Receive assembly: PollPort driven by hand on a virtual clock.
#include <gtest/gtest.h>

#include "serial/rs_comm_thread.h"
#include "tests/serial/fake_device.h"
#include "tests/support/fake_boxes.h"

using namespace kd36;
using namespace kd36::test;

namespace {

struct Delivery {
    std::string text;
    uint64_t atMs;
};

struct ReceiveFixture : ::testing::Test {
    VirtualClock clock;
    FakeBoxes boxes;
    FakeOpener opener;
    RsCommThread port{clock, boxes, opener};
    std::shared_ptr<FakeLine> line = opener.add(2);
    std::atomic<uint8_t> portOpen{1};
    std::atomic<uint8_t> commandMode{1};
    std::vector<Delivery> got;

    void open(int8_t evtChar = 10)
    {
        port.bindWindowFlags(&portOpen, &commandMode);
        port.setDeliver([this](const std::string& s) { got.push_back({s, clock.nowMs()}); });
        PortSettings s;
        s.EvtChar = evtChar;
        ASSERT_TRUE(port.OpenPort(2, s));
    }
    void arrive(const std::string& bytes) { line->reads.push_back(bytes); }
    // One pass, then the 10 ms pause of the loop.
    void pass()
    {
        port.PollPort();
        clock.advanceMs(10);
    }
    void passes(int n)
    {
        for (int i = 0; i < n; ++i)
            pass();
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> t;
        for (const auto& d : got)
            t.push_back(d.text);
        return t;
    }
    std::string joined() const
    {
        std::string all;
        for (const auto& d : got)
            all += d.text;
        return all;
    }
};

using Texts = std::vector<std::string>;

} // namespace

TEST_F(ReceiveFixture, LineSplitOverTwoReadsIsHandedOverOnceWhole)
{
    open();
    arrive("OK\r");
    pass();
    EXPECT_TRUE(got.empty());
    arrive("\n");
    pass();
    EXPECT_EQ(texts(), (Texts{"OK\r\n"}));
    passes(30);
    EXPECT_EQ(got.size(), 1u);
}

TEST_F(ReceiveFixture, BytesAfterTheTerminatorAreKept)
{
    open();
    arrive(">INIT:1\r\n>EQID:2\r\n>RO");
    pass();
    EXPECT_EQ(texts(), (Texts{">INIT:1\r\n", ">EQID:2\r\n"}));
    arrive("UT:3\r\n");
    pass();
    EXPECT_EQ(texts(), (Texts{">INIT:1\r\n", ">EQID:2\r\n", ">ROUT:3\r\n"}));
}

TEST_F(ReceiveFixture, UncutLinesWaitForTwoHundredMillisecondsOfSilence)
{
    struct Case {
        const char* name;
        uint8_t mode;
        std::vector<std::string> reads;
        std::string piece;
    } cases[] = {
        {"dollar block", 1, {"$RECE:0-1,5\r\n", "HELLO\r\n"}, "$RECE:0-1,5\r\nHELLO\r\n"},
        {"second byte D", 1, {">DVER:1\r\n", "2\r\n"}, ">DVER:1\r\n2\r\n"},
        {"no terminator yet", 1, {">ANLZ:07=1", "0,08=2"}, ">ANLZ:07=10,08=2"},
        {"communication mode", 0, {"abc\r\n", "def\r\n"}, "abc\r\ndef\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        got.clear();
        commandMode = c.mode;
        open();
        uint64_t last = 0;
        for (const auto& r : c.reads) {
            arrive(r);
            last = clock.nowMs();
            pass();
            passes(5); // 50 ms gaps are not silence
        }
        EXPECT_TRUE(got.empty());
        passes(30);
        ASSERT_EQ(texts(), (Texts{c.piece}));
        EXPECT_GE(got[0].atMs - last, 200u);
        EXPECT_LE(got[0].atMs - last, 210u);
        ASSERT_TRUE(port.ClosePort());
    }
}

TEST_F(ReceiveFixture, CodeDisplayRendersControlBytesAndCutsAtTheTerminator)
{
    port.setHexDisplay(true);
    open();
    arrive("A\r\n");
    pass();
    EXPECT_EQ(texts(), (Texts{"A[0D][0A]\r\n"}));

    got.clear();
    arrive(std::string("x\0y\x1b", 4));
    pass();
    EXPECT_EQ(texts(), (Texts{"x[00]y[1B]"})); // no terminator: the read as it stands

    got.clear();
    arrive("a\nb\n");
    pass();
    EXPECT_EQ(texts(), (Texts{"a[0A]\r\n", "b[0A]\r\n"}));
}

// The engine ends the window's text at a NUL; the piece itself keeps every
// byte for the session log.
TEST_F(ReceiveFixture, ANulTravelsWithThePiece)
{
    open();
    arrive(std::string("AB\0CD\r\n", 7));
    pass();
    EXPECT_EQ(texts(), (Texts{std::string("AB\0CD\r\n", 7)}));
    arrive("next\n");
    pass();
    EXPECT_EQ(texts(), (Texts{std::string("AB\0CD\r\n", 7), "next\n"}));
}

TEST_F(ReceiveFixture, FullBufferIsHandedOverWithoutLoss)
{
    open();
    std::string long1(1024, 'x');
    arrive(long1);
    arrive(long1);
    arrive("yz\r\n");
    passes(3);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].text, std::string(2048, 'x'));
    EXPECT_EQ(got[1].text, "yz\r\n");

    // Code display: nothing is dropped near the end of the buffer either.
    got.clear();
    port.setHexDisplay(true);
    std::string raw = std::string(500, 'a') + std::string(524, '\x01');
    std::string rendered = std::string(500, 'a');
    for (int i = 0; i < 524; ++i)
        rendered += "[01]";
    arrive(raw);
    passes(3);
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(joined(), rendered);
    for (const auto& d : got)
        EXPECT_LE(d.text.size(), 2048u);
}

TEST_F(ReceiveFixture, HighEventCharacterComparesAsAByte)
{
    open(int8_t(-1)); // 0xFF
    arrive("ab\xff" "cd");
    pass();
    EXPECT_EQ(texts(), (Texts{"ab\xff"}));
    passes(25);
    EXPECT_EQ(texts(), (Texts{"ab\xff", "cd"}));
}

TEST_F(ReceiveFixture, LineErrorsAreShownAndReadingGoesOn)
{
    open();
    line->errors = CE_FRAME;
    arrive("ok\n");
    pass();
    EXPECT_EQ(boxes.texts(), (Texts{"フレーミング エラーを検出しました。"}));
    EXPECT_EQ(texts(), (Texts{"ok\n"}));
}

TEST_F(ReceiveFixture, NoDeviceNoCalls)
{
    port.setDeliver([this](const std::string& s) { got.push_back({s, 0}); });
    passes(3);
    EXPECT_EQ(line->readCalls, 0);
    EXPECT_TRUE(got.empty());
}

TEST_F(ReceiveFixture, VanishedDeviceHandsOverWhatCameAndReportsOnce)
{
    int lost = 0;
    port.setDeviceLost([&] { ++lost; });
    open();
    arrive(">PART");
    pass();
    line->readError = EIO;
    passes(5);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(texts(), (Texts{">PART"}));
    int calls = line->readCalls;
    passes(5);
    EXPECT_EQ(line->readCalls, calls); // polling stopped
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ReceiveFixture, OpenStartsWithAnEmptyLine)
{
    open();
    arrive("stale");
    pass();
    ASSERT_TRUE(port.ClosePort());
    open();
    arrive("fresh\n");
    pass();
    EXPECT_EQ(texts(), (Texts{"fresh\n"}));
}
