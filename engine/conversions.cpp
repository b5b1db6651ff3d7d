#include "conversions.h"

#include <cctype>
#include <limits>

namespace kd36 {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void skipBlanks(std::string_view in, size_t& i)
{
    while (i < in.size() && isBlank(in[i]))
        ++i;
}

// One number of a %d (decimal, saturating at 32 bits) or %X (hex, optional
// 0x, low 32 bits kept as an unsigned read into an int does) at in[i], with
// an optional sign; false, `i` where it was, when no digit follows.
bool scanNumber(std::string_view in, size_t& i, bool hex, int64_t& out)
{
    const size_t start = i;
    bool neg = false;
    if (i < in.size() && (in[i] == '+' || in[i] == '-')) {
        neg = in[i] == '-';
        ++i;
    }
    const int base = hex ? 16 : 10;
    if (hex && i + 1 < in.size() && in[i] == '0' && (in[i + 1] == 'x' || in[i + 1] == 'X')
        && hexDigit(i + 2 < in.size() ? in[i + 2] : 'g') >= 0)
        i += 2;
    size_t digits = 0;
    int64_t v = 0;
    while (i < in.size()) {
        int dgt = hex ? hexDigit(in[i]) : (in[i] >= '0' && in[i] <= '9' ? in[i] - '0' : -1);
        if (dgt < 0)
            break;
        if (v <= (int64_t(1) << 40))
            v = v * base + dgt;
        ++digits;
        ++i;
    }
    if (digits == 0) {
        i = start;
        return false;
    }
    if (neg)
        v = -v;
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    if (hex)
        out = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
    else
        out = v > kMax ? kMax : (v < kMin ? kMin : v);
    return true;
}

} // namespace

std::optional<int32_t> strToInt(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return std::nullopt;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        int dgt = base == 16 ? hexDigit(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
        if (dgt < 0)
            return std::nullopt;
        v = v * uint64_t(base) + uint64_t(dgt);
        if (v > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (base == 16) {
        // A hexadecimal text may fill all 32 bits.
        int32_t r = static_cast<int32_t>(static_cast<uint32_t>(v));
        return neg ? static_cast<int32_t>(0u - static_cast<uint32_t>(r)) : r;
    }
    if (neg) {
        if (v > 0x80000000ull)
            return std::nullopt;
        return static_cast<int32_t>(-static_cast<int64_t>(v));
    }
    if (v > 0x7FFFFFFFull)
        return std::nullopt;
    return static_cast<int32_t>(v);
}

int32_t strToIntOrThrow(std::string_view text)
{
    if (auto v = strToInt(text))
        return *v;
    throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
}

int scanLite(std::string_view in, std::string_view fmt, std::vector<ScanValue>& out)
{
    out.clear();
    size_t i = 0;
    int done = 0;
    // As sscanf: an input that ends before the first conversion is -1.
    auto ended = [&] { return done == 0 ? -1 : done; };
    for (size_t f = 0; f < fmt.size(); ++f) {
        char fc = fmt[f];
        if (isBlank(fc)) {
            skipBlanks(in, i);
            continue;
        }
        if (fc != '%') {
            if (i >= in.size())
                return ended();
            if (in[i] != fc)
                return done;
            ++i;
            continue;
        }
        if (++f >= fmt.size())
            return done;
        char conv = fmt[f];
        ScanValue v;
        if (conv == 'c') {
            if (i >= in.size())
                return ended();
            v.ch = in[i++];
        } else if (conv == 'd' || conv == 'X' || conv == 'x') {
            skipBlanks(in, i);
            if (i >= in.size())
                return ended();
            if (!scanNumber(in, i, conv != 'd', v.number))
                return done;
        } else {
            return done;
        }
        out.push_back(v);
        ++done;
    }
    return done;
}

} // namespace kd36
