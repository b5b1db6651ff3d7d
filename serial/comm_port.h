#pragma once
// What the command engine needs of the open port. RsCommThread implements
// it; engine tests may implement it directly.
#include <array>
#include <cstdint>

#include "port_settings.h"

namespace kd36 {

inline constexpr int kMaxPorts = 99;
// Flag n-1 is set when COMn is present.
using PortPresentFlags = std::array<uint8_t, kMaxPorts>;

inline constexpr int SETDTR = 5;
inline constexpr int CLRDTR = 6;

class CommPort {
public:
    virtual ~CommPort() = default;
    // Bytes written, -1 on failure.
    virtual int WritePort(const char* bytes, uint32_t length) = 0;
    // SETDTR or CLRDTR. False when no device is held or the driver refused.
    virtual bool EscapeLine(int code) = 0;
    // False when no device is held or the lines cannot be read.
    virtual bool GetModemStatus(uint32_t& bits) = 0;
    virtual bool OpenPort(int n, const PortSettings& settings) = 0;
    virtual bool ClosePort() = 0;
    // The line settings in force since the last successful open: the device
    // may have taken a rate or format other than the one asked for.
    virtual PortSettings actualSettings() const = 0;
    // Number of ports the system lists; sets their flags.
    virtual int EnumeratePorts(PortPresentFlags& flags) = 0;
    virtual void setHexDisplay(bool on) = 0;
    virtual bool hexDisplay() const = 0;
};

} // namespace kd36
