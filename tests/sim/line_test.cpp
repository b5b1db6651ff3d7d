// The line of the simulated modem: pacing, framing, modes, fault knobs.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "sim_fixture.h"

namespace kd36::test {
namespace {

using SimLine = SimFixture;

TEST_F(SimLine, BytesTravelAtTheLineRate)
{
    struct Case {
        uint32_t rate;
        char parity;
        uint8_t stopBits;
        double bitsPerByte;
    };
    const Case cases[] = {{9600, 'N', 1, 10}, {4800, 'N', 1, 10}, {38400, 'N', 1, 10}, {9600, 'E', 2, 12}};
    commandMode();
    const std::string reply = ">INIT:F=128/I=100/S=1234567/T=3/W=10\r\n";
    for (const auto& c : cases) {
        ModemSettings s = modem.settings();
        s.line.rate = c.rate;
        s.line.parity = c.parity;
        s.line.stopBits = c.stopBits;
        modem.setSettings(s);
        PortSettings ps;
        ps.BaudRate = c.rate;
        ps.Parity = c.parity == 'E' ? 2 : 0;
        ps.StopBits = c.stopBits == 2 ? 2 : 0;
        ASSERT_TRUE(modem.configure(ps));

        rx.clear();
        arrivedUs.clear();
        markUs = clock.nowUs();
        send("@INIT\r\n");
        const double byteUs = c.bitsPerByte * 1e6 / c.rate;
        runUs(uint64_t(3.5 * byteUs), uint64_t(3.5 * byteUs));
        EXPECT_EQ(modem.outQueue(), 4) << c.rate; // three bytes are out
        runUs(uint64_t(50 * byteUs) + 10'000, 20);
        ASSERT_EQ(rx, reply) << c.rate;
        const double delayUs = double(SimulatedModem::kReplyDelayUs);
        EXPECT_NEAR(double(arrivedUs.front()), 8 * byteUs + delayUs, 60) << c.rate;
        EXPECT_NEAR(double(arrivedUs.back()), double(7 + reply.size()) * byteUs + delayUs, 60) << c.rate;
        EXPECT_EQ(modem.takeErrors(), 0u) << c.rate;
    }
}

TEST_F(SimLine, SevenByteCommandAndItsReplyTakeAbout49Ms)
{
    commandMode();
    ask("@INIT\r\n", 60);
    ASSERT_EQ(rx.size(), 38u);
    EXPECT_NEAR(double(arrivedUs.back()) / 1000.0, 49.0, 1.0);
}

TEST_F(SimLine, WrongRateGivesGarbageAndFramingErrors)
{
    commandMode();
    PortSettings fast;
    fast.BaudRate = 19200;
    ASSERT_TRUE(modem.configure(fast));
    EXPECT_EQ(ask("@EQID\r\n", 500), "");
    EXPECT_EQ(modem.receivedBytes().find("EQID"), std::string::npos);

    ASSERT_TRUE(modem.configure(PortSettings{}));
    ask("@ANLZ:S\r\n", 700);
    ASSERT_TRUE(rx.starts_with(">ANLZ:07="));
    EXPECT_EQ(modem.takeErrors(), 0u);
    PortSettings slow;
    slow.BaudRate = 4800;
    ASSERT_TRUE(modem.configure(slow));
    rx.clear();
    runMs(1000);
    EXPECT_GT(rx.size(), 200u);
    EXPECT_EQ(rx.find("ANLZ"), std::string::npos);
    EXPECT_TRUE(modem.takeErrors() & CE_FRAME);
}

TEST_F(SimLine, ParityMustMatch)
{
    commandMode();
    ModemSettings s = modem.settings();
    s.line.parity = 'E';
    modem.setSettings(s);
    // The PC without parity: the modem sees bad characters and does not answer.
    EXPECT_EQ(ask("@EQID\r\n", 300), "");
    PortSettings even;
    even.Parity = 2;
    ASSERT_TRUE(modem.configure(even));
    EXPECT_EQ(ask("@EQID\r\n", 300), ">EQID:E=5\r\n");
    EXPECT_EQ(modem.takeErrors(), 0u);
    // Back without parity: a 0 parity bit lands where the stop bit belongs.
    ASSERT_TRUE(modem.configure(PortSettings{}));
    modem.takeErrors();
    rx.clear();
    modem.injectBytes("D"); // 0x44: even parity bit 0
    runMs(5);
    EXPECT_EQ(rx, "D");
    EXPECT_TRUE(modem.takeErrors() & CE_FRAME);
}

TEST_F(SimLine, ComsWriteChangesTheRateAfterItsReply)
{
    commandMode();
    EXPECT_EQ(ask("@COMS:R=19200\r\n", 100), ">COMS:R=19200/D=8/P=N/S=1/F=H\r\n");
    EXPECT_EQ(modem.takeErrors(), 0u);
    EXPECT_EQ(ask("@EQID\r\n", 300), ""); // still talking 9600 to a 19200 modem
    PortSettings fast;
    fast.BaudRate = 19200;
    ASSERT_TRUE(modem.configure(fast));
    EXPECT_EQ(ask("@EQID\r\n", 100), ">EQID:E=5\r\n");
    EXPECT_NEAR(double(arrivedUs.back()), 18 * 1e7 / 19200 + 2000, 1100);
    EXPECT_EQ(modem.settings().line.rate, 19200u);
}

TEST_F(SimLine, DtrSelectsTheMode)
{
    EXPECT_TRUE(modem.dtr()); // high right after the open
    uint32_t bits = 0;
    ASSERT_TRUE(modem.modemStatus(bits));
    EXPECT_EQ(bits, uint32_t(MS_CTS_ON | MS_DSR_ON));
    // Communication mode: a command is only data, echoed by the remote.
    EXPECT_EQ(ask("@EQID\r\n", 300), "@EQID\r\n");
    EXPECT_TRUE(modem.receivedLines().empty());
    commandMode();
    EXPECT_FALSE(modem.dtr());
    EXPECT_EQ(ask("@EQID\r\n", 300), ">EQID:E=5\r\n");
}

TEST_F(SimLine, RemoteEchoesAfterADelayInPieces)
{
    ask("HELLO\r\n", 100);
    EXPECT_EQ(rx, ""); // the remote waits for the idle time
    runMs(100);
    EXPECT_EQ(rx, "HELLO\r\n");

    std::string text;
    for (int i = 0; i < 300; ++i)
        text += char('a' + i % 26);
    ask(text, 1500);
    EXPECT_EQ(rx, text);
    int gaps = 0;
    for (size_t i = 1; i < arrivedUs.size(); ++i)
        gaps += arrivedUs[i] - arrivedUs[i - 1] > 5000;
    EXPECT_GE(gaps, 1);
    EXPECT_EQ(modem.receivedBytes(), "HELLO\r\n" + text);
}

TEST_F(SimLine, SilenceAndExtraDelay)
{
    commandMode();
    modem.setSilent(true);
    EXPECT_EQ(ask("@EQID\r\n", 2000), "");
    EXPECT_EQ(modem.receivedLines().back(), "@EQID");
    modem.setSilent(false);
    modem.setExtraDelayMs(500);
    EXPECT_EQ(ask("@EQID\r\n", 400), "");
    runMs(200);
    EXPECT_EQ(rx, ">EQID:E=5\r\n");
}

TEST_F(SimLine, FragmentsGarbageAndInjectedBytes)
{
    commandMode();
    modem.setFragments(4, 50);
    EXPECT_EQ(ask("@EQID\r\n", 300), ">EQID:E=5\r\n");
    EXPECT_LT(arrivedUs[1] - arrivedUs[0], 2000u);
    EXPECT_GE(arrivedUs[4] - arrivedUs[3], 50'000u);
    EXPECT_GE(arrivedUs[8] - arrivedUs[7], 50'000u);
    modem.setFragments(0, 0);

    const std::string junk("\0\xFF\x1B", 3);
    modem.setReplyPrefix(junk);
    EXPECT_EQ(ask("@EQID\r\n"), junk + ">EQID:E=5\r\n");
    modem.setReplyPrefix("");

    rx.clear();
    modem.injectBytes(std::string("\0AB\0", 4));
    runMs(10);
    EXPECT_EQ(rx, std::string("\0AB\0", 4));
}

TEST_F(SimLine, LineErrorFlagsAreTakenOnce)
{
    modem.raiseLineErrors(CE_RXPARITY | CE_OVERRUN);
    EXPECT_EQ(modem.takeErrors(), uint32_t(CE_RXPARITY | CE_OVERRUN));
    EXPECT_EQ(modem.takeErrors(), 0u);
}

TEST_F(SimLine, CtsHeldLowStallsTheOutput)
{
    commandMode();
    modem.setCtsHeld(true);
    uint32_t bits = 0;
    ASSERT_TRUE(modem.modemStatus(bits));
    EXPECT_EQ(bits, uint32_t(MS_DSR_ON));
    EXPECT_EQ(ask("@EQID\r\n", 1000), "");
    EXPECT_EQ(modem.outQueue(), 7);
    EXPECT_TRUE(modem.receivedLines().empty());
    // The queue holds what the driver holds; more is refused, not lost.
    std::string big(3000, 'x');
    EXPECT_EQ(modem.write(reinterpret_cast<const uint8_t*>(big.data()), big.size()), kDriverQueueSize - 7);
    EXPECT_EQ(modem.write(reinterpret_cast<const uint8_t*>(big.data()), 1), 0);
    modem.purge();
    EXPECT_EQ(modem.outQueue(), 0);

    send("@EQID\r\n");
    modem.setCtsHeld(false);
    runMs(50);
    EXPECT_EQ(rx, ">EQID:E=5\r\n");
    EXPECT_EQ(modem.outQueue(), 0);
}

TEST_F(SimLine, CtsIsIgnoredWithoutHardwareFlowControl)
{
    commandMode();
    PortSettings noFlow;
    noFlow.FlowCtrl = 0;
    ASSERT_TRUE(modem.configure(noFlow));
    modem.setCtsHeld(true);
    EXPECT_EQ(ask("@EQID\r\n", 100), ">EQID:E=5\r\n");
}

TEST_F(SimLine, DsrOff)
{
    modem.setDsrOff(true);
    uint32_t bits = 0;
    ASSERT_TRUE(modem.modemStatus(bits));
    EXPECT_EQ(bits, uint32_t(MS_CTS_ON));
}

TEST_F(SimLine, RemovedDeviceFailsEveryCall)
{
    modem.setRemoved(true);
    uint8_t b = 'x';
    uint32_t bits = 0;
    EXPECT_EQ(modem.read(&b, 1), -1);
    EXPECT_EQ(modem.errorCode(), EIO);
    EXPECT_EQ(modem.write(&b, 1), -1);
    EXPECT_FALSE(modem.modemStatus(bits));
    EXPECT_FALSE(modem.setDtr(false));
    EXPECT_FALSE(modem.configure(PortSettings{}));
    EXPECT_EQ(modem.inQueue(), -1);
    EXPECT_EQ(modem.outQueue(), -1);
    modem.setRemoved(true, ENODEV);
    EXPECT_EQ(modem.write(&b, 1), -1);
    EXPECT_EQ(modem.errorCode(), ENODEV);
    modem.setRemoved(false);
    EXPECT_EQ(modem.write(&b, 1), 1);
    EXPECT_TRUE(modem.close());
}

TEST_F(SimLine, ClosedAndRefusedSettings)
{
    PortSettings bad;
    bad.ByteSize = 9;
    EXPECT_FALSE(modem.configure(bad));
    EXPECT_EQ(modem.errorCode(), EINVAL);
    bad = PortSettings{};
    bad.BaudRate = 0;
    EXPECT_FALSE(modem.configure(bad));
    EXPECT_TRUE(modem.close());
    uint8_t b = 0;
    EXPECT_EQ(modem.read(&b, 1), -1);
    EXPECT_EQ(modem.errorCode(), EBADF);
    EXPECT_FALSE(modem.close());
}

TEST_F(SimLine, PurgeDropsWhatWasNotRead)
{
    modem.injectBytes(std::string(100, 'z'));
    clock.advanceMs(200);
    EXPECT_EQ(modem.inQueue(), 100);
    modem.purge();
    EXPECT_EQ(modem.inQueue(), 0);
}

TEST_F(SimLine, StreamArrivesWholeAtItsRate)
{
    modem.setStreamRate(800);
    runMs(3000);
    EXPECT_NEAR(double(rx.size()), 2400, 30);
    EXPECT_EQ(rx, SimulatedModem::streamText(0, rx.size()));
    EXPECT_EQ(rx.substr(0, 32), "00000000 ABCDEFGHIJKLMNOPQRSTU\r\n");

    // Faster than the line: the line sets the pace, nothing is skipped.
    modem.setStreamRate(5000);
    runMs(3000);
    EXPECT_NEAR(double(rx.size()) - 2400, 2880, 60);
    EXPECT_EQ(rx, SimulatedModem::streamText(0, rx.size()));
    EXPECT_GE(modem.streamPosition(), rx.size()); // the rest is still on the line
    EXPECT_LE(modem.streamPosition(), rx.size() + 100);

    // Command mode pauses it.
    commandMode();
    runMs(100);
    const size_t paused = rx.size();
    runMs(1000);
    EXPECT_EQ(rx.size(), paused);
}

TEST_F(SimLine, InputQueueOverflowIsReported)
{
    modem.setStreamRate(900);
    clock.advanceMs(6000);
    EXPECT_EQ(modem.inQueue(), int(SimulatedModem::kInputQueueSize));
    EXPECT_TRUE(modem.takeErrors() & CE_RXOVER);
    EXPECT_GT(modem.stats().bytesDropped, 0u);
}

TEST_F(SimLine, StatsCountBothWays)
{
    commandMode();
    ask("@EQID\r\n");
    const SimulatorStats s = modem.stats();
    EXPECT_EQ(s.bytesFromPc, 7u);
    EXPECT_EQ(s.bytesToPc, 11u);
    EXPECT_EQ(s.linesReceived, 1u);
    EXPECT_EQ(s.repliesSent, 1u);
}

// The receive thread and the user-interface thread use the device at once.
TEST(SimThreads, ConcurrentCallsLoseNothing)
{
    SteadyClock clock;
    SimulatedModem modem(clock);
    ModemSettings s = modem.settings();
    s.line.rate = 115200;
    modem.setSettings(s);
    PortSettings ps;
    ps.BaudRate = 115200;
    ASSERT_TRUE(modem.configure(ps));
    modem.setStreamRate(10000);
    std::atomic<bool> stop{false};
    std::thread other([&] {
        uint32_t bits = 0;
        while (!stop) {
            modem.modemStatus(bits);
            modem.outQueue();
            modem.takeErrors();
            modem.stats();
        }
    });
    std::string got;
    const uint64_t end = clock.nowMs() + 300;
    while (clock.nowMs() < end) {
        uint8_t buf[256];
        int n = modem.read(buf, sizeof buf);
        ASSERT_GE(n, 0);
        got.append(reinterpret_cast<char*>(buf), size_t(n));
        clock.sleepMs(1);
    }
    stop = true;
    other.join();
    EXPECT_GT(got.size(), 1000u);
    EXPECT_EQ(got, SimulatedModem::streamText(0, got.size()));
}

} // namespace
} // namespace kd36::test

namespace kd36::test {
namespace {

TEST(SimMemory, SettingsSurviveReopening)
{
    VirtualClock clock;
    auto memory = std::make_shared<ModemMemory>();
    {
        SimulatedModem modem(clock, memory);
        modem.setDtr(false);
        const std::string cmd = "@INFO:U=KEPT\r\n@COMS:R=19200\r\n";
        modem.write(reinterpret_cast<const uint8_t*>(cmd.data()), cmd.size());
        clock.advanceMs(200);
        modem.close();
    }
    SimulatedModem reopened(clock, memory);
    EXPECT_EQ(reopened.settings().line.rate, 19200u);
    EXPECT_EQ(reopened.settings().info, "KEPT");
    // A modem without memory starts from the factory settings.
    SimulatedModem fresh(clock);
    EXPECT_EQ(fresh.settings(), ModemSettings{});
}


// The receive loop sleeps on the modem between events: whatever may change
// what it reads (bytes due, a knob, the lines) ends the wait, nothing else does.
TEST_F(SimLine, TheReceiveLoopsWaitEndsOnlyWhenSomethingHappens)
{
    using namespace std::chrono;
    EventFd wake;
    auto waited = [&](int64_t timeoutUs) {
        const auto t0 = steady_clock::now();
        modem.waitForEvent(wake.fd(), timeoutUs);
        return duration_cast<milliseconds>(steady_clock::now() - t0).count();
    };
    EXPECT_GE(waited(60'000), 50); // idle: the whole time-out
    modem.write(reinterpret_cast<const uint8_t*>("@EQID\r\n"), 7);
    EXPECT_LT(waited(2'000'000), 500); // its bytes are due on the line

    std::vector<uint8_t> drop(64);
    for (int knob = 0; knob < 4; ++knob) {
        // The reply and the last knob's bytes are in and read; the clock
        // then stands still, so only the knob can end the wait.
        clock.advanceMs(1000);
        (void)modem.read(drop.data(), drop.size());
        wake.drain();
        modem.waitForEvent(wake.fd(), 0);
        std::thread later([&, knob] {
            std::this_thread::sleep_for(milliseconds(20));
            switch (knob) {
            case 0: modem.setCtsHeld(true); break;
            case 1: modem.setDsrOff(true); break;
            case 2: modem.injectBytes("x"); break;
            default: wake.signal(); break;
            }
        });
        const auto ms = waited(3'000'000);
        EXPECT_GE(ms, 15) << "knob " << knob; // not before it
        EXPECT_LT(ms, 1500) << "knob " << knob;
        later.join();
    }
}

} // namespace
} // namespace kd36::test
