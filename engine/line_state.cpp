#include "line_state.h"

#include <cstdio>

#include "main_engine.h"
#include "sjis.h"

namespace kd36 {
namespace {

// The panel shows what was asked for; when the device took something else
// (a rate it rounded, a format it refused) its tooltip says what runs.
std::string actualSettingsHint(int port, const PortSettings& asked, const PortSettings& actual)
{
    if (actual.BaudRate == asked.BaudRate && actual.ByteSize == asked.ByteSize && actual.Parity == asked.Parity
        && actual.StopBits == asked.StopBits)
        return {};
    const std::string t = portStatusText(port, actual);
    return sj("実際の設定: ") + t.substr(t.find(": ") + 2);
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
    // Converted once: the lamps are looked at on every pass.
    static const std::string online = sj("オンラインモード"), command = sj("コマンドモード");
    static const std::string code = sj("コード"), text = sj("テキスト");
    static const std::string supply = sj("KD-36 電源［DSR信号］");
    static const std::string ctsOn = sj("送信可能    ［CTS信号］"), ctsOff = sj("送信不可    ［CTS信号］");
    LineShown v;
    v.status[0] = s.commandMode ? command : online;
    if (s.open) {
        v.status[1] = portStatusText(s.port, s.asked);
        v.portHint = actualSettingsHint(s.port, s.asked, s.actual);
        v.portLamp = kLampOn;
    }
    v.status[2] = s.hexDisplay ? code : text;
    v.status[3] = MainEngine::RightsNotice();
    const bool cts = (s.modemBits & 0x10) != 0;
    v.txableLamp = cts ? kLampOn : kLampOff;
    v.txableCaption = cts ? ctsOn : ctsOff;
    v.supplyLamp = (s.modemBits & 0x20) ? kLampOn : kLampOff;
    v.supplyCaption = supply;
    return v;
}

} // namespace kd36
