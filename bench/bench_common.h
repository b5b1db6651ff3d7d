#pragma once
// Shared helpers of the benchmarks: the figure line, process CPU and memory.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace kd36::bench {

inline uint64_t nowUs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

// User + system CPU of the whole process, seconds.
inline double cpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    auto sec = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return sec(ru.ru_utime) + sec(ru.ru_stime);
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when absent.
inline long statusKb(const std::string& field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    return -1;
}

// Milliseconds of one run of kd36ctl with `args` (stdout to /dev/null);
// -1 when it did not exit with 0 (ctl_bench.cpp).
double timedRun(std::vector<std::string> args);

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One figure: BENCH <name> value=<v> unit=<u> limit=<l> ratio=<r> target=<t>.
// limit <= 0: no limit (printed as "-"). The target applies to the ratio
// where there is a limit, else to the value.
inline void figure(const std::string& name, double value, const std::string& unit, double limit,
                   const std::string& target)
{
    if (limit > 0)
        std::printf("BENCH %s value=%.4g unit=%s limit=%.4g ratio=%.3f target=%s\n", name.c_str(), value,
                    unit.c_str(), limit, value / limit, target.c_str());
    else
        std::printf("BENCH %s value=%.4g unit=%s limit=- ratio=- target=%s\n", name.c_str(), value, unit.c_str(),
                    target.c_str());
    std::fflush(stdout);
}

} // namespace kd36::bench
