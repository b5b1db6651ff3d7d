#include "range_run.h"

#include <algorithm>

#include "records_file.h"

namespace kd36 {

RangeRun::RangeRun(Deps deps) : d(std::move(deps)) {}

RangeRun::~RangeRun()
{
    if (spool_)
        std::fclose(spool_);
}

bool RangeRun::start(const std::array<bool, kStations>& stations, int intervalS, int rounds)
{
    if (running_ || intervalS < kMinIntervalS || intervalS > kMaxIntervalS || rounds < 0 ||
        std::none_of(stations.begin(), stations.end(), [](bool b) { return b; }))
        return false;
    stations_ = stations;
    intervalS_ = intervalS;
    rounds_ = rounds;
    round_ = 0;
    settled_ = 0;
    stats_ = {};
    for (auto& h : history_)
        h.clear();
    if (spool_)
        std::fclose(spool_);
    spool_ = std::tmpfile();
    spoolFallback_.clear();
    running_ = true;
    ended_ = RangeEnd::None;
    pending_ = false;
    startMs_ = d.clock.nowMs();
    nextRoundMs_ = startMs_;
    nextStation_ = kStations;
    step();
    changed();
    return true;
}

uint64_t RangeRun::elapsedMs() const
{
    if (round_ == 0 && !running_)
        return 0;
    return (running_ ? d.clock.nowMs() : endMs_) - startMs_;
}

void RangeRun::schedule(uint64_t atMs)
{
    const uint64_t now = d.clock.nowMs();
    d.view.stopTimer(TimerId::RangeTick);
    // At least 1 ms: a window's timer takes 0 as "the interval it had".
    d.view.startTimer(TimerId::RangeTick, int(atMs > now ? atMs - now : 1));
}

void RangeRun::onTimer()
{
    d.view.stopTimer(TimerId::RangeTick);
    if (!running_)
        return;
    if (pending_) {
        if (d.clock.nowMs() < deadlineMs_) {
            schedule(deadlineMs_);
            return;
        }
        settle(-1, LinkResult::NoReply);
    }
    step();
}

void RangeRun::step()
{
    if (!running_ || pending_)
        return;
    const uint64_t now = d.clock.nowMs();
    while (nextStation_ < kStations && !stations_[size_t(nextStation_)])
        ++nextStation_;
    if (nextStation_ >= kStations) {
        if (rounds_ > 0 && round_ >= rounds_) {
            finish(RangeEnd::Completed, false);
            return;
        }
        if (now < nextRoundMs_) {
            schedule(nextRoundMs_);
            return;
        }
        ++round_;
        // Rounds keep their grid; one that overran starts the next at once.
        nextRoundMs_ = std::max(nextRoundMs_ + uint64_t(intervalS_) * 1000, now);
        nextStation_ = 0;
        while (!stations_[size_t(nextStation_)])
            ++nextStation_;
        changed();
    }
    poll_ = RangePoll{d.wallClockMs(), now - startMs_, round_, nextStation_, -1, LinkResult::Pending};
    ++nextStation_;
    uint32_t bits = 0;
    if (!d.port.GetModemStatus(bits) || !(bits & 0x10)) {
        pending_ = true;
        settle(-1, LinkResult::NoLine);
        finish(RangeEnd::NoLine, false);
        return;
    }
    pending_ = true;
    deadlineMs_ = now + LinkLogic::kWaitMs;
    schedule(deadlineMs_);
    // The write lets events run: a stop may come before it returns.
    d.send(aircPollCommand(poll_.station));
}

bool RangeRun::reply(const std::string& payload)
{
    if (!running_)
        return false;
    if (!pending_)
        return true;
    const auto r = parseAircPayload(payload);
    if (!r && payload == "Q")
        return true;
    if (r && r->level && r->station == poll_.station)
        settle(std::min(*r->level, 4), LinkResult::Ok);
    else
        settle(-1, LinkResult::Invalid);
    // The next poll goes out from the timer, not from inside the parser.
    schedule(d.clock.nowMs());
    return true;
}

void RangeRun::settle(int level, LinkResult result)
{
    if (!pending_)
        return;
    pending_ = false;
    poll_.level = level;
    poll_.result = result;
    ++settled_;
    const size_t n = size_t(poll_.station);
    if (result != LinkResult::Aborted) {
        RangeStats& s = stats_[n];
        ++s.polls;
        s.last = level;
        if (result == LinkResult::Ok) {
            ++s.replies;
            s.sum += level;
            s.min = s.min < 0 ? level : std::min(s.min, level);
            s.max = std::max(s.max, level);
        }
        history_[n].push_back({poll_.sinceStartMs, level});
        if (history_[n].size() > kHistory)
            history_[n].pop_front();
    }
    std::vector<std::string> fields = stationResultFields({poll_.unixMs, poll_.station, level, result});
    fields.push_back(std::to_string(poll_.round));
    const std::string row = csvRecord(fields);
    if (!spool_ || std::fwrite(row.data(), 1, row.size(), spool_) != row.size())
        spoolFallback_ += row;
    if (onPoll)
        onPoll(poll_);
    changed();
}

void RangeRun::finish(RangeEnd why, bool sendStop)
{
    if (!running_)
        return;
    d.view.stopTimer(TimerId::RangeTick);
    settle(-1, LinkResult::Aborted);
    running_ = false;
    ended_ = why;
    endMs_ = d.clock.nowMs();
    changed();
    if (sendStop)
        d.send(kAircStopCommand);
}

void RangeRun::stop()
{
    finish(RangeEnd::Stopped, true);
}

void RangeRun::portClosed()
{
    finish(RangeEnd::PortClosed, false);
}

void RangeRun::changed()
{
    if (onChange)
        onChange();
}

std::string RangeRun::csv() const
{
    std::string out = csvRecord({"time", "station", "level", "result", "round"});
    if (spool_) {
        std::fflush(spool_);
        const long end = std::ftell(spool_);
        std::rewind(spool_);
        std::string rows(size_t(std::max(end, 0L)), '\0');
        rows.resize(std::fread(rows.data(), 1, rows.size(), spool_));
        std::fseek(spool_, 0, SEEK_END);
        out += rows;
    }
    return out + spoolFallback_;
}

bool RangeRun::saveCsv(const std::string& path, std::string& why) const
{
    return replaceFileContents(path, csv(), why);
}

} // namespace kd36
