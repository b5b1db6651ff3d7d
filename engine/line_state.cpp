#include "line_state.h"

#include <cstdio>


namespace kd36 {
namespace {

// The panel shows what was asked for; when the device took something else
// (a rate it rounded, a format it refused) its tooltip says what runs.
std::string actualSettings(int port, const PortSettings& asked, const PortSettings& actual)
{
    if (actual.BaudRate == asked.BaudRate && actual.ByteSize == asked.ByteSize && actual.Parity == asked.Parity
        && actual.StopBits == asked.StopBits)
        return {};
    const std::string t = portStatusText(port, actual);
    return t.substr(t.find(": ") + 2);
}

} // namespace

std::string portStatusText(int port, const PortSettings& s)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "COM%d: %lubps D%u", port, static_cast<unsigned long>(s.BaudRate),
                  static_cast<unsigned>(s.ByteSize));
    std::string t = buf;
    switch (s.Parity) {
    case 0: t += " PNON"; break;
    case 1: t += " PODD"; break;
    case 2: t += " PEVEN"; break;
    case 3: t += " PMARK"; break;
    default: break;
    }
    switch (s.StopBits) {
    case 0: t += " S1"; break;
    case 1: t += " S1.5"; break;
    case 2: t += " S2"; break;
    default: break;
    }
    return t;
}

LineShown lineShown(const LineState& s)
{
    LineShown v;
    v.commandMode = s.commandMode;
    if (s.open) {
        v.port = portStatusText(s.port, s.asked);
        v.actualSettings = actualSettings(s.port, s.asked, s.actual);
        v.portLamp = kLampOn;
    }
    v.hexDisplay = s.hexDisplay;
    v.txableLamp = (s.modemBits & 0x10) ? kLampOn : kLampOff;
    v.supplyLamp = (s.modemBits & 0x20) ? kLampOn : kLampOff;
    return v;
}

} // namespace kd36
