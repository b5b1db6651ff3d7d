#include "line_wait.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>

namespace kd36 {

void LineWaitTrust::reported(uint64_t nowMs)
{
    std::lock_guard g(mu_);
    lastReportMs_ = nowMs;
    reportedOnce_ = true;
    if (state_ == State::Unproven && changeOpen_)
        state_ = State::Trusted;
}

void LineWaitTrust::read(uint32_t bits, uint64_t nowMs)
{
    std::lock_guard g(mu_);
    if (state_ != State::Unproven)
        return;
    if (haveBits_ && bits != bits_) {
        // The wait may have come just before this read saw the change.
        if (reportedOnce_ && nowMs - lastReportMs_ <= kProofMs) {
            state_ = State::Trusted;
            return;
        }
        if (!changeOpen_) {
            changeOpen_ = true;
            changeMs_ = nowMs;
        }
    }
    haveBits_ = true;
    bits_ = bits;
    if (changeOpen_ && nowMs - changeMs_ > kProofMs)
        state_ = State::Distrusted;
}

void LineWaitTrust::refused()
{
    std::lock_guard g(mu_);
    state_ = State::Distrusted;
}

LineWaitTrust::State LineWaitTrust::state() const
{
    std::lock_guard g(mu_);
    return state_;
}

namespace {

// Interrupts a blocking system call of one thread: a handler that does
// nothing, installed without SA_RESTART, so the call ends with EINTR.
int interruptSignal()
{
    static const int sig = [] {
        const int s = SIGRTMIN + 4;
        struct sigaction sa = {};
        sa.sa_handler = [](int) {};
        sigemptyset(&sa.sa_mask);
        sigaction(s, &sa, nullptr);
        return s;
    }();
    return sig;
}

} // namespace

LineWaiter::LineWaiter(std::function<int()> wait, std::function<void()> moved, std::function<void(int)> done)
    : wait_(std::move(wait)), moved_(std::move(moved)), done_(std::move(done))
{
    interruptSignal();
    thread_ = std::thread([this] { run(); });
}

void LineWaiter::run()
{
    int err = 0;
    while (!stopping_.load()) {
        err = wait_();
        if (err == 0)
            moved_();
        else if (err != EINTR)
            break;
    }
    if (!stopping_.load() && done_)
        done_(err);
    ended_.store(true);
}

void LineWaiter::stop()
{
    if (!thread_.joinable())
        return;
    stopping_.store(true);
    // A signal that comes before the thread enters the wait is lost: send
    // it again until the thread has ended.
    const pthread_t t = thread_.native_handle();
    while (!ended_.load()) {
        pthread_kill(t, interruptSignal());
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    thread_.join();
}

} // namespace kd36
