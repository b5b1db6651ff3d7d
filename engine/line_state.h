#pragma once
// The line as the window shows it: whether the port is open and with what,
// the mode, the display form and the modem lines last read. The status bar
// and the three lamps are a function of it.
#include <array>
#include <cstdint>
#include <string>

#include "../serial/port_settings.h"

namespace kd36 {

struct LineState {
    bool open = false;
    int port = 0;          // the open port's number
    PortSettings asked;    // what it was opened with
    PortSettings actual;   // what the device took
    bool commandMode = false;
    bool hexDisplay = false;
    uint32_t modemBits = 0; // CTS 0x10, DSR 0x20
    bool operator==(const LineState&) const = default;
};

inline constexpr uint32_t kLampOn = 0x00FF00;
inline constexpr uint32_t kLampOff = 0xFF0000;
inline constexpr uint32_t kLampClosed = 0x93EABC; // the port lamp of a closed port

// What the status bar and the lamps say; the window words it. Colours as
// 0xRRGGBB.
struct LineShown {
    bool commandMode = false;   // status panel 0
    std::string port;           // status panel 1 ("COM3: 9600bps D8 PNON S1"); empty: closed
    std::string actualSettings; // what runs when the device took other settings ("9615bps D8 PNON S1")
    bool hexDisplay = false;    // status panel 2: code or text
    uint32_t portLamp = kLampClosed;
    uint32_t supplyLamp = kLampOff; // DSR
    uint32_t txableLamp = kLampOff; // CTS: the modem takes data
    bool operator==(const LineShown&) const = default;
};

LineShown lineShown(const LineState& s);
// Status panel 1 of an open port ("COM3: 9600bps D8 PNON S1").
std::string portStatusText(int port, const PortSettings& s);

} // namespace kd36
