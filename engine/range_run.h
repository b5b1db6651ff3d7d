#pragma once
// The range test: the answer-back poll of the ticked stations repeated
// every interval, for a count of rounds or until stopped. It keeps each
// station's statistics and a bounded history for the chart; the rows of
// the whole run go to an unnamed temporary file, so a long run holds no
// more memory than a short one.
#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>

#include "../serial/clock.h"
#include "../serial/comm_port.h"
#include "link_logic.h"
#include "view.h"

namespace kd36 {

// One station's figures over the run; polls counts only settled polls.
struct RangeStats {
    int polls = 0;
    int replies = 0;
    int last = -1; // level of the latest poll; -1: it got no level
    int min = -1;
    int max = -1;
    int64_t sum = 0;
    double mean() const { return replies ? double(sum) / replies : 0.0; }
    double percent() const { return polls ? 100.0 * replies / polls : 0.0; }
};

// One poll of the run, once it settled.
struct RangePoll {
    int64_t unixMs = 0;       // wall-clock time of the poll
    uint64_t sinceStartMs = 0; // the run's own clock
    int round = 0;            // 1..
    int station = 0;
    int level = -1;           // 0..4 for ok
    LinkResult result = LinkResult::Pending;
};

// A chart point: when, and the level or -1 for no answer.
struct RangeSample {
    uint64_t sinceStartMs = 0;
    int level = -1;
};

enum class RangeEnd { None, Completed, Stopped, NoLine, PortClosed };

class RangeRun {
public:
    static constexpr int kStations = LinkShown::kStations;
    static constexpr int kMinIntervalS = 1;
    static constexpr int kMaxIntervalS = 3600;
    // Chart points kept per station: ten minutes at one round a second.
    static constexpr size_t kHistory = 600;

    struct Deps {
        CommPort& port;
        Clock& clock;
        View& view; // its RangeTick timer wakes the run
        std::function<void(const std::string&)> send; // a function command, DTR low first
        std::function<int64_t()> wallClockMs;
    };
    explicit RangeRun(Deps deps);
    ~RangeRun();
    RangeRun(const RangeRun&) = delete;
    RangeRun& operator=(const RangeRun&) = delete;

    // Starts at once with the first round; rounds 0 runs until stopped.
    // False (nothing changes) with no station or an interval out of range.
    bool start(const std::array<bool, kStations>& stations, int intervalS, int rounds);
    // The user's stop: a poll in progress is given up with the stop command.
    void stop();
    // The line is gone: the run ends without a word to the modem.
    void portClosed();
    // The RangeTick timer fired.
    void onTimer();
    // An ">AIRC:" payload; true when the run took it.
    bool reply(const std::string& payload);

    bool running() const { return running_; }
    RangeEnd ended() const { return ended_; }
    int round() const { return round_; }
    int rounds() const { return rounds_; }
    int intervalS() const { return intervalS_; }
    uint64_t elapsedMs() const;
    const std::array<bool, kStations>& stations() const { return stations_; }
    const std::array<RangeStats, kStations>& stats() const { return stats_; }
    const std::deque<RangeSample>& history(int station) const { return history_[size_t(station & 15)]; }
    uint64_t pollsSettled() const { return settled_; }
    bool hasRows() const { return settled_ > 0; }
    // The whole run as "time,station,level,result,round" with a header.
    std::string csv() const;
    // "CSV保存" of the run; false with `why` (UTF-8).
    bool saveCsv(const std::string& path, std::string& why) const;

    // Each settled poll, as it settles (kd36ctl prints it).
    std::function<void(const RangePoll&)> onPoll;
    // Anything shown changed: a poll settled, a round began, the run ended.
    std::function<void()> onChange;

private:
    void schedule(uint64_t atMs);
    void step();
    void settle(int level, LinkResult result);
    void finish(RangeEnd why, bool sendStop);
    void changed();

    Deps d;
    bool running_ = false;
    RangeEnd ended_ = RangeEnd::None;
    std::array<bool, kStations> stations_{};
    int intervalS_ = 10;
    int rounds_ = 0;
    int round_ = 0;
    uint64_t startMs_ = 0;
    uint64_t endMs_ = 0;
    uint64_t nextRoundMs_ = 0;
    int nextStation_ = kStations; // the next station of this round to poll
    bool pending_ = false;
    RangePoll poll_;
    uint64_t deadlineMs_ = 0;
    uint64_t settled_ = 0;
    std::array<RangeStats, kStations> stats_{};
    std::array<std::deque<RangeSample>, kStations> history_{};
    std::FILE* spool_ = nullptr;
    std::string spoolFallback_; // only when no temporary file could be made
};

} // namespace kd36
