// The receive loop on its own thread, on the real clock: closing, reopening
// and shutting down while it is busy, waits on a box or is flooded.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "serial/rs_comm_thread.h"
#include "tests/serial/fake_device.h"

using namespace kd36;
using namespace kd36::test;
using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

namespace {

// A box on the receive thread blocks it until released, as a box shown on
// the window's thread does.
class BlockingBoxes final : public MessageBoxes {
public:
    void warning(const std::string&, const std::string&, const std::string&) override { block(); }
    void information(const std::string&, const std::string&) override { block(); }
    bool question(const std::string&, bool) override { return false; }
    void beep() override {}

    bool waitAsked(std::chrono::milliseconds within)
    {
        std::unique_lock l(m_);
        return cv_.wait_for(l, within, [&] { return asked_ > 0; });
    }
    void release()
    {
        {
            std::lock_guard l(m_);
            released_ = true;
        }
        cv_.notify_all();
    }

private:
    void block()
    {
        std::unique_lock l(m_);
        ++asked_;
        cv_.notify_all();
        cv_.wait(l, [&] { return released_; });
    }
    std::mutex m_;
    std::condition_variable cv_;
    int asked_ = 0;
    bool released_ = false;
};

// What the window holds for the loop: its flags and the pieces handed over.
struct Window {
    std::atomic<uint8_t> portOpen{0};
    std::atomic<uint8_t> commandMode{1};
    std::mutex m;
    std::vector<std::string> pieces;

    void bind(RsCommThread& port)
    {
        port.bindWindowFlags(&portOpen, &commandMode);
        port.setDeliver([this](const std::string& p) {
            std::lock_guard g(m);
            pieces.push_back(p);
        });
    }
    bool waitFor(const std::string& piece)
    {
        for (auto until = std::chrono::steady_clock::now() + 3s; std::chrono::steady_clock::now() < until;) {
            {
                std::lock_guard g(m);
                if (std::find(pieces.begin(), pieces.end(), piece) != pieces.end())
                    return true;
            }
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }
};

PortSettings noFlow()
{
    PortSettings s;
    s.FlowCtrl = 0;
    return s;
}

Ms since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - t0);
}

// Context switches of the receive thread (named after its object); -1 when
// it is not found.
long receiveThreadWakeUps()
{
    long switches = -1;
    for (const QString& tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "RsCommThread")
            continue;
        QFile f(QStringLiteral("/proc/self/task/%1/status").arg(tid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:"))
                switches = line.mid(24).trimmed().toLong();
    }
    return switches;
}

} // namespace

// With no port open the loop sleeps until one opens: no wake-ups at all.
TEST(ReceiveThread, SleepsWhileNoPortIsOpen)
{
    SteadyClock clock;
    BlockingBoxes boxes;
    FakeOpener opener;
    auto line = opener.add(2);
    Window window;
    RsCommThread port(clock, boxes, opener);
    window.bind(port);
    port.start();
    std::this_thread::sleep_for(50ms);
    const long before = receiveThreadWakeUps();
    ASSERT_GE(before, 0) << "no thread named RsCommThread";
    std::this_thread::sleep_for(500ms);
    EXPECT_LE(receiveThreadWakeUps() - before, 2) << "the loop wakes while no port is open";

    // A device whose configuration was refused is held but never read.
    {
        std::lock_guard g(line->m);
        line->configureOk = false;
    }
    EXPECT_FALSE(port.OpenPort(2, noFlow()));
    window.portOpen = 1;
    std::this_thread::sleep_for(100ms);
    {
        std::lock_guard g(line->m);
        EXPECT_EQ(line->readCalls, 0);
        line->configureOk = true;
    }
    window.portOpen = 0;

    // Opening wakes it at once.
    ASSERT_TRUE(port.OpenPort(2, noFlow()));
    window.portOpen = 1;
    {
        std::lock_guard g(line->m);
        line->reads.push_back("up\n");
    }
    EXPECT_TRUE(window.waitFor("up\n"));
}

// Open and quiet, the loop sleeps on the line: it wakes for bytes, for a
// piece's silence and for the lines, not on a clock.
TEST(ReceiveThread, WakesOnlyWhenSomethingHappens)
{
    SteadyClock clock;
    BlockingBoxes boxes;
    FakeOpener opener;
    auto line = opener.add(2);
    line->eventDriven = true;
    Window window;
    RsCommThread port(clock, boxes, opener);
    window.bind(port);
    std::atomic<int> lineReports{0};
    port.setLinesChanged([&] { ++lineReports; });
    port.start();
    ASSERT_TRUE(port.OpenPort(2, noFlow()));
    window.portOpen = 1;
    line->arrive(">OK\r\n");
    ASSERT_TRUE(window.waitFor(">OK\r\n"));
    EXPECT_EQ(lineReports.load(), 1); // the lamps' first look after the open

    const long before = receiveThreadWakeUps();
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(receiveThreadWakeUps() - before, 2) << "the loop polls an idle line";

    // A reply goes over as soon as its terminator is in.
    auto t0 = std::chrono::steady_clock::now();
    line->arrive(">EQID:E=5\r\n");
    ASSERT_TRUE(window.waitFor(">EQID:E=5\r\n"));
    EXPECT_LT(since(t0), 100ms);

    // Text without one goes over after 200 ms of silence, not before.
    t0 = std::chrono::steady_clock::now();
    line->arrive("partial");
    ASSERT_TRUE(window.waitFor("partial"));
    EXPECT_GE(since(t0), 200ms);
    EXPECT_LT(since(t0), 400ms);

    // A line that moves is reported once per change.
    line->setStatus(0x10);
    for (auto until = std::chrono::steady_clock::now() + 1s; lineReports < 2 && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(lineReports.load(), 2);
    line->arrive(">ACK\r\n"); // bytes with the lines unchanged: no report
    ASSERT_TRUE(window.waitFor(">ACK\r\n"));
    EXPECT_EQ(lineReports.load(), 2);
    window.portOpen = 0;
    EXPECT_TRUE(port.ClosePort());
}

TEST(ReceiveThread, CloseAndReopenWhileTheLoopWaitsOnABox)
{
    SteadyClock clock;
    BlockingBoxes boxes;
    FakeOpener opener;
    auto line = opener.add(2);
    Window window;
    RsCommThread port(clock, boxes, opener);
    window.bind(port);
    port.start();
    ASSERT_TRUE(port.OpenPort(2, noFlow()));
    window.portOpen = 1;

    // A line error and a reply in one pass: the loop stops on the box with
    // the reply read but not yet handed over.
    {
        std::lock_guard g(line->m);
        line->errors = CE_FRAME;
        line->reads.push_back("OLD\r\n");
    }
    ASSERT_TRUE(boxes.waitAsked(3s));

    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(port.ClosePort());
    const Ms closeTook = since(t0);
    EXPECT_LT(closeTook, 100ms) << "close took " << closeTook.count() << " ms";
    window.portOpen = 0;

    ASSERT_TRUE(port.OpenPort(2, noFlow()));
    window.portOpen = 1;
    {
        std::lock_guard g(line->m);
        line->reads.push_back("NEW\r\n");
    }
    boxes.release();
    ASSERT_TRUE(window.waitFor("NEW\r\n"));
    std::lock_guard g(window.m);
    EXPECT_EQ(window.pieces, (std::vector<std::string>{"NEW\r\n"})) << "a piece of the closed port came through";
    port.Terminate();
    EXPECT_TRUE(port.wait(2000));
}

// Each state the window can be in when it goes: the port object is freed,
// then at once what the loop was given (flags, the deliver target), so a
// loop still reaching them shows under the sanitizers. Bounded throughout.
TEST(ReceiveThread, ShutdownInEveryState)
{
    enum class State { Idle, Open, Flood, BoxPending };
    for (State state : {State::Idle, State::Open, State::Flood, State::BoxPending}) {
        SCOPED_TRACE(int(state));
        SteadyClock clock;
        BlockingBoxes boxes;
        FakeOpener opener;
        auto line = opener.add(2);
        auto window = std::make_unique<Window>();
        auto port = std::make_unique<RsCommThread>(clock, boxes, opener);
        window->bind(*port);
        port->start();
        std::atomic<bool> flooding{state == State::Flood};
        std::thread feeder([&] {
            while (flooding) {
                {
                    std::lock_guard g(line->m);
                    if (line->reads.size() < 8)
                        line->reads.push_back(std::string(1000, 'x') + "\r\n");
                }
                std::this_thread::yield();
            }
        });
        if (state != State::Idle) {
            ASSERT_TRUE(port->OpenPort(2, noFlow()));
            window->portOpen = 1;
        }
        if (state == State::BoxPending) {
            {
                std::lock_guard g(line->m);
                line->errors = CE_OVERRUN;
                line->reads.push_back("late\r\n");
            }
            ASSERT_TRUE(boxes.waitAsked(3s));
        } else {
            std::this_thread::sleep_for(50ms);
        }

        const auto t0 = std::chrono::steady_clock::now();
        // The window's order: close, then let the thread go within a bound.
        EXPECT_TRUE(port->ClosePort());
        const bool ended = port->shutdown(300);
        EXPECT_LT(since(t0), 500ms);
        EXPECT_EQ(ended, state != State::BoxPending);
        window.reset(); // nothing of it may be reached any more
        boxes.release();
        port->wait(2000);
        port.reset();
        flooding = false;
        feeder.join();
    }
}
