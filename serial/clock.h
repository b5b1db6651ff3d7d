#pragma once
// Monotonic time source. Everything that waits or times out reads one of
// these, so tests can run 1.4 s and 10 s time-outs on a virtual clock.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace kd36 {

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t nowUs() const = 0;
    uint64_t nowMs() const { return nowUs() / 1000; }
    // Waits (real clock) or advances time (virtual clock).
    virtual void sleepUs(uint64_t us) = 0;
    void sleepMs(uint64_t ms) { sleepUs(ms * 1000); }
};

class SteadyClock final : public Clock {
public:
    uint64_t nowUs() const override
    {
        using namespace std::chrono;
        return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void sleepUs(uint64_t us) override { std::this_thread::sleep_for(std::chrono::microseconds(us)); }
};

// Time moves only when a test (or a sleeper) advances it.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(uint64_t startUs = 1'000'000) : t_(startUs) {}
    uint64_t nowUs() const override { return t_.load(); }
    void sleepUs(uint64_t us) override { t_ += us; }
    void advanceUs(uint64_t us) { t_ += us; }
    void advanceMs(uint64_t ms) { t_ += ms * 1000; }

private:
    std::atomic<uint64_t> t_;
};

} // namespace kd36
