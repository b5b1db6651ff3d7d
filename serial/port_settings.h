#pragma once
#include <cstdint>

namespace kd36 {

// Line settings of the PC port; field names are the settings-file keys.
struct PortSettings {
    uint32_t BaudRate = 9600;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    int8_t FlowCtrl = 2;  // 0 none, 1 Xon/Xoff, 2 RTS/CTS, other: none
    int8_t EvtChar = 10;  // line terminator of received text
    bool operator==(const PortSettings&) const = default;
};

} // namespace kd36
