#pragma once
// The modem's command language: the word table and the framing of lines.
#include <array>
#include <string>
#include <string_view>

namespace kd36 {

inline constexpr std::array<std::string_view, 17> CommandWords = {
    "SYID", "CHAN", "ROUT", "FRAM", "INFO", "EQID", "AIRM", "FICK", "INIT",
    "FREQ", "ANLZ", "AIRC", "ERR2", "RECE", "SERI", "COMS", "NEWS",
};

enum CommandWordIndex {
    W_SYID, W_CHAN, W_ROUT, W_FRAM, W_INFO, W_EQID, W_AIRM, W_FICK, W_INIT,
    W_FREQ, W_ANLZ, W_AIRC, W_ERR2, W_RECE, W_SERI, W_COMS, W_NEWS,
};

inline constexpr std::string_view CRLF = "\r\n";

// "@" + word [+ ":" + params] + CR LF.
inline std::string command(CommandWordIndex w, std::string_view params = {})
{
    std::string s = "@";
    s += CommandWords[w];
    if (!params.empty()) {
        s += ':';
        s += params;
    }
    s += CRLF;
    return s;
}

} // namespace kd36
