// The driver's wait for a modem-line change: trusted only once it reported
// a change the regular reads saw, and stopped out of a blocking call.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "serial/line_wait.h"

namespace kd36 {
namespace {

using State = LineWaitTrust::State;
using namespace std::chrono;

TEST(LineWaitTrust, TheWaitIsTrustedOnlyAfterReportingAChangeTheReadsSaw)
{
    {
        LineWaitTrust t; // read first, reported soon after
        t.read(0x30, 0);
        t.read(0x30, 50);
        t.reported(60); // a report without a change read proves nothing yet
        t.read(0x10, 400);
        EXPECT_EQ(t.state(), State::Unproven);
        t.reported(450);
        EXPECT_EQ(t.state(), State::Trusted);
    }
    {
        LineWaitTrust t; // reported just before the read saw it
        t.read(0x30, 0);
        t.reported(100);
        t.read(0x10, 150);
        EXPECT_EQ(t.state(), State::Trusted);
    }
    {
        LineWaitTrust t; // a driver that takes the wait and never ends it
        t.read(0x30, 0);
        t.read(0x10, 50);
        t.read(0x10, 50 + LineWaitTrust::kProofMs);
        EXPECT_EQ(t.state(), State::Unproven);
        t.read(0x10, 51 + LineWaitTrust::kProofMs);
        EXPECT_EQ(t.state(), State::Distrusted);
        t.reported(300);
        EXPECT_EQ(t.state(), State::Distrusted);
    }
    {
        LineWaitTrust t;
        t.refused();
        t.read(0x30, 0);
        t.read(0x10, 1);
        t.reported(2);
        EXPECT_EQ(t.state(), State::Distrusted);
    }
}

template <typename Pred>
bool within(milliseconds limit, Pred pred)
{
    const auto end = steady_clock::now() + limit;
    while (!pred() && steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    return pred();
}

TEST(LineWaiter, ReportsEachReturnAndStopsOutOfABlockingCall)
{
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    std::atomic<int> moved{0};
    std::atomic<int> ended{-1};
    {
        // A blocking read stands in for the driver's wait.
        LineWaiter w([&] {
            char c;
            return ::read(p[0], &c, 1) == 1 ? 0 : errno;
        },
                     [&] { ++moved; }, [&](int e) { ended = e; });
        ASSERT_EQ(::write(p[1], "ab", 2), 2);
        EXPECT_TRUE(within(2s, [&] { return moved == 2; }));
        std::this_thread::sleep_for(20ms); // blocked in the read again
        const auto t0 = steady_clock::now();
        w.stop();
        EXPECT_LT(steady_clock::now() - t0, 500ms);
    }
    EXPECT_EQ(ended, -1) << "a stop is not the driver's answer";
    ::close(p[0]);
    ::close(p[1]);

    LineWaiter refused([] { return ENOTTY; }, [] {}, [&](int e) { ended = e; });
    EXPECT_TRUE(within(2s, [&] { return ended == ENOTTY; }));
}

} // namespace
} // namespace kd36
