#pragma once
// The session log's lines: time stamp, kind, text. Text from the line is
// Shift-JIS and written as UTF-8; a byte that is not printable text is
// written as [HH] (a literal "[" too, so every byte can be read back).
#include <cstdint>
#include <string>
#include <string_view>

#include "../serial/port_settings.h"

namespace kd36 {

// A wall-clock instant and the local offset from UTC in force then.
struct LogTime {
    int64_t unixMs = 0;
    int utcOffsetSeconds = 0;
};

// The local offset from UTC at `unixMs` (the system's time zone).
int localUtcOffsetSeconds(int64_t unixMs);
LogTime localLogTime(int64_t unixMs);

// 2026-12-08T14:03:05.123+09:00
std::string isoTime(const LogTime& t);
// kd36-20261208-140305.log
std::string defaultLogFileName(const LogTime& t);

// One line's text from Shift-JIS bytes.
std::string renderLogText(std::string_view sjis);

// Lines for bytes of the line (tag "TX" or "RX"): split at each CR LF, the
// first line tagged as given and the rest tagged with a "+"; a piece that
// does not end in CR LF ends its last line with "[-]". Every line ends in LF.
std::string formatLogData(const LogTime& t, std::string_view tag, std::string_view sjis);
// A line of the tool's own (PORT, MODE, ERROR) from UTF-8 text.
std::string formatLogNote(const LogTime& t, std::string_view tag, std::string_view utf8);

// "COM7 open 9600 8N1 RTS/CTS"
std::string portOpenedText(int portNumber, const PortSettings& s);

} // namespace kd36
