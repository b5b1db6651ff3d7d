#pragma once
// What `kd36ctl watch` prints: a line per poll as it settles and a summary
// per station at the end, as text or one JSON object per line.
#include <cstdio>
#include <string>
#include <vector>

#include "ctl/ctl_text.h"
#include "engine/range_run.h"
#include "engine/session_log.h"

namespace kd36::ctl {

inline std::string stationDigit(int n)
{
    return std::string(1, "0123456789ABCDEF"[n & 15]);
}

// "2026-12-09T21:40:01.250 round 3 5=2" (or the status in place of the level).
inline std::string watchLine(const RangePoll& p, bool json)
{
    const std::string time = isoTime(localLogTime(p.unixMs));
    const bool ok = p.result == LinkResult::Ok;
    if (json)
        return "{\"time\":" + jsonString(time) + ",\"round\":" + std::to_string(p.round) + ",\"station\":\"" +
               stationDigit(p.station) + "\",\"level\":" + (ok ? std::to_string(p.level) : "null") +
               ",\"status\":\"" + linkResultName(p.result) + "\"}\n";
    return time + " round " + std::to_string(p.round) + " " + stationDigit(p.station) + "=" +
           (ok ? std::to_string(p.level) : linkResultName(p.result)) + "\n";
}

inline std::string fixed2(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

// One line per station polled: polls, replies, min/mean/max of the levels.
inline std::string watchSummary(const RangeRun& run, bool json)
{
    std::string out;
    for (int n = 0; n < RangeRun::kStations; ++n) {
        if (!run.stations()[size_t(n)])
            continue;
        const RangeStats& s = run.stats()[size_t(n)];
        const bool any = s.replies > 0;
        auto num = [&](const std::string& v) { return any ? v : std::string(json ? "null" : "-"); };
        if (json)
            out += "{\"summary\":{\"station\":\"" + stationDigit(n) + "\",\"polls\":" + std::to_string(s.polls) +
                   ",\"replies\":" + std::to_string(s.replies) + ",\"min\":" + num(std::to_string(s.min)) +
                   ",\"mean\":" + num(fixed2(s.mean())) + ",\"max\":" + num(std::to_string(s.max)) + "}}\n";
        else
            out += "station " + stationDigit(n) + ": polls " + std::to_string(s.polls) + ", replies " +
                   std::to_string(s.replies) + " (" + fixed2(s.percent()) + "%), min " + num(std::to_string(s.min)) +
                   ", mean " + num(fixed2(s.mean())) + ", max " + num(std::to_string(s.max)) + "\n";
    }
    return out;
}

// Every station answered every poll it was sent (and was sent at least one).
inline bool watchAllAnswered(const RangeRun& run)
{
    bool polled = false;
    for (int n = 0; n < RangeRun::kStations; ++n) {
        if (!run.stations()[size_t(n)])
            continue;
        const RangeStats& s = run.stats()[size_t(n)];
        if (s.replies != s.polls)
            return false;
        polled = polled || s.polls > 0;
    }
    return polled;
}

} // namespace kd36::ctl
