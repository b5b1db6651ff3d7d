#pragma once
// Following a UART's or USB adapter's modem lines without reading them 20
// times a second. The driver's wait for a line change (TIOCMIWAIT) blocks a
// thread of its own; some drivers accept that wait and never end it (the
// change interrupt is missing), so the wait is trusted only once a change
// the regular reads saw was also reported by it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "event_fd.h"

namespace kd36 {

class LineWaitTrust {
public:
    enum class State { Unproven, Trusted, Distrusted };
    // How long after a change the reads saw the wait may report it.
    static constexpr uint64_t kProofMs = 200;

    // The wait ended: a line moved.
    void reported(uint64_t nowMs);
    // A regular read of the lines.
    void read(uint32_t bits, uint64_t nowMs);
    // The driver refused the wait.
    void refused();
    State state() const;

private:
    mutable std::mutex mu_;
    State state_ = State::Unproven;
    bool haveBits_ = false;
    uint32_t bits_ = 0;
    bool changeOpen_ = false;      // a change read and not yet reported
    uint64_t changeMs_ = 0;
    uint64_t lastReportMs_ = 0;
    bool reportedOnce_ = false;
};

// A thread blocked in `wait` (the driver's line-change wait) that signals
// `moved` after each return. Stopping interrupts the wait with a signal.
class LineWaiter {
public:
    // `wait` returns 0 when a line moved, else an errno. `done` is told the
    // errno that ended the thread (not EINTR of a stop).
    LineWaiter(std::function<int()> wait, std::function<void()> moved, std::function<void(int)> done);
    ~LineWaiter() { stop(); }
    LineWaiter(const LineWaiter&) = delete;
    LineWaiter& operator=(const LineWaiter&) = delete;

    // Returns once the thread has ended (a few milliseconds).
    void stop();

private:
    void run();

    std::function<int()> wait_;
    std::function<void()> moved_;
    std::function<void(int)> done_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

} // namespace kd36
