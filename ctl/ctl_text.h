#pragma once
// Text from the modem is data: shown as plain text, never as terminal
// control sequences or as JSON syntax.
#include <cstdio>
#include <string>

namespace kd36 {

// UTF-8 text with every control character written as \xNN (and "\" as "\\").
inline std::string plainText(const std::string& utf8)
{
    std::string out;
    for (unsigned char c : utf8) {
        if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += char(c);
        }
    }
    return out;
}

// A JSON string literal of UTF-8 text.
inline std::string jsonString(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

} // namespace kd36
