#include "session_log.h"

#include <cstdio>
#include <ctime>

#include "sjis.h"

namespace kd36 {
namespace {

void hexByte(std::string& out, unsigned char b)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "[%02X]", b);
    out += buf;
}

bool isTrail(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

} // namespace

int localUtcOffsetSeconds(int64_t unixMs)
{
    std::time_t secs = std::time_t(unixMs / 1000);
    std::tm local{};
    if (!localtime_r(&secs, &local))
        return 0;
    return int(local.tm_gmtoff);
}

LogTime localLogTime(int64_t unixMs)
{
    return {unixMs, localUtcOffsetSeconds(unixMs)};
}

namespace {

std::tm shifted(const LogTime& t)
{
    int64_t ms = t.unixMs;
    int64_t secs = (ms >= 0 ? ms / 1000 : (ms - 999) / 1000) + t.utcOffsetSeconds;
    std::time_t tt = std::time_t(secs);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    return tm;
}

} // namespace

std::string isoTime(const LogTime& t)
{
    std::tm tm = shifted(t);
    int ms = int(((t.unixMs % 1000) + 1000) % 1000);
    int off = t.utcOffsetSeconds;
    char sign = off < 0 ? '-' : '+';
    if (off < 0)
        off = -off;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms, sign, off / 3600, (off / 60) % 60);
    return buf;
}

std::string defaultLogFileName(const LogTime& t)
{
    std::tm tm = shifted(t);
    char buf[64];
    std::snprintf(buf, sizeof buf, "kd36-%04d%02d%02d-%02d%02d%02d.log", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string renderLogText(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 8);
    for (size_t i = 0; i < s.size(); ++i) {
        auto b = static_cast<unsigned char>(s[i]);
        if (b >= 0x20 && b < 0x7F && b != '[') {
            out += char(b);
            continue;
        }
        if (b >= 0xA1 && b <= 0xDF) { // half-width katakana
            out += sjisToUtf8(s.substr(i, 1));
            continue;
        }
        if (isSjisLead(b) && i + 1 < s.size() && isTrail(static_cast<unsigned char>(s[i + 1]))) {
            std::string u = sjisToUtf8(s.substr(i, 2));
            if (u.find(kReplacement) == std::string::npos && !u.empty()) {
                out += u;
                ++i;
                continue;
            }
        }
        hexByte(out, b);
    }
    return out;
}

std::string formatLogData(const LogTime& t, std::string_view tag, std::string_view sjis)
{
    const std::string stamp = isoTime(t);
    std::string out;
    size_t pos = 0;
    bool first = true;
    for (;;) {
        size_t e = sjis.find("\r\n", pos);
        std::string_view line = sjis.substr(pos, e == std::string_view::npos ? std::string_view::npos : e - pos);
        out += stamp;
        out += ' ';
        out += tag;
        if (!first)
            out += '+';
        out += ' ';
        out += renderLogText(line);
        first = false;
        if (e == std::string_view::npos) {
            out += "[-]\n";
            break;
        }
        out += '\n';
        pos = e + 2;
        if (pos == sjis.size())
            break;
    }
    return out;
}

std::string formatLogNote(const LogTime& t, std::string_view tag, std::string_view utf8)
{
    std::string out = isoTime(t);
    out += ' ';
    out += tag;
    out += ' ';
    for (char c : utf8) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || b == '[')
            hexByte(out, b);
        else
            out += c;
    }
    out += '\n';
    return out;
}

std::string portOpenedText(int portNumber, const PortSettings& s)
{
    static const char parity[] = {'N', 'O', 'E', 'M', 'S'};
    static const char* const stop[] = {"1", "1.5", "2"};
    static const char* const flow[] = {"none", "XON/XOFF", "RTS/CTS"};
    std::string t = "COM" + std::to_string(portNumber) + " open " + std::to_string(s.BaudRate) + " "
        + std::to_string(unsigned(s.ByteSize)) + (s.Parity < 5 ? parity[s.Parity] : '?')
        + (s.StopBits < 3 ? stop[s.StopBits] : "?") + " "
        + (s.FlowCtrl >= 0 && s.FlowCtrl < 3 ? flow[s.FlowCtrl] : "none");
    return t;
}

} // namespace kd36
