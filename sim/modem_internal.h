#pragma once
// Shared by the simulator's own files only: time units, the limits more
// than one part of the model keeps to, the modem's way of reading numbers
// and lists, and one received command as the handlers get it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sim/simulated_modem.h"

namespace kd36 {
namespace simdetail {

inline constexpr uint64_t kNsPerUs = 1'000;
inline constexpr uint64_t kNsPerMs = 1'000'000;
inline constexpr uint64_t kNsPerS = 1'000'000'000;
inline constexpr size_t kMaxPacketData = 256;

inline bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
inline int hexValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// Plain decimal digits only, as the modem reads them.
inline bool decimal(const std::string& s, size_t maxDigits, long& out)
{
    if (s.empty() || s.size() > maxDigits)
        return false;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

inline bool inRange(const std::string& s, long lo, long hi, int& out)
{
    long v = 0;
    if (!decimal(s, 7, v) || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
}

inline std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        parts.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos)
            return parts;
        start = p + 1;
    }
}

// "K=V/K=V" with one-letter keys; false on any other shape.
inline bool keyValues(const std::string& params, char sep, std::vector<std::pair<char, std::string>>& out)
{
    for (const std::string& item : split(params, sep)) {
        if (item.size() < 2 || item[1] != '=')
            return false;
        out.emplace_back(item[0], item.substr(2));
    }
    return true;
}

inline const std::string kBadParams = ">ERR1:PRM";

} // namespace simdetail

// "@WORD" or "@WORD:params", taken apart once for the per-word handlers.
struct SimulatedModem::Command {
    std::string word;
    bool hasParams;   // a ':' followed the word, even with nothing after it
    std::string params;
    uint64_t t;       // when the line's LF arrived
};

} // namespace kd36
