#include "packet_logic.h"

#include "conversions.h"
#include "main_engine.h"
#include "relay_chain.h"
#include "sjis.h"
#include "../serial/user_text.h"

namespace kd36 {

namespace {

// The length field as the error box quotes it: it came over the air, so it
// is cut short and its control bytes are made visible.
std::string quotedField(const std::string& field)
{
    constexpr size_t kShown = 40;
    std::string t = field.substr(0, sjisSafeCut(field, kShown));
    for (char& c : t)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return sjisToUtf8(t) + (t.size() < field.size() ? "..." : "");
}

} // namespace

std::string composeRoute(const std::string& own, const std::vector<std::string>& relays, const std::string& dest)
{
    std::string r = own;
    for (const std::string& relay : relays)
        if (!relay.empty())
            r += "," + relay;
    return r + "," + dest + ";";
}

std::string composeSendLine(const std::string& route, const std::string& data)
{
    return "$SEND:" + route + std::to_string(data.size()) + ";" + data + "\r\n";
}

std::optional<ReceivedPacket> parseRecePayload(const std::string& payload)
{
    ReceivedPacket p;
    p.route.reserve(kMaxRouteFields + 1);
    std::string acc;
    int semicolons = 0;
    // The last character is never taken as a separator: a payload ending in
    // its second ";" carries no data and is refused.
    for (size_t i = 0; i + 1 < payload.size(); ++i) {
        const char c = payload[i];
        if (c == ',') {
            if (semicolons == 0) {
                p.route.push_back(acc);
                if (p.route.size() > kMaxRouteFields)
                    return std::nullopt;
            }
            acc.clear();
        } else if (c == ';' && semicolons == 0) {
            semicolons = 1;
            p.route.push_back(acc);
            if (p.route.size() > kMaxRouteFields)
                return std::nullopt;
            acc.clear();
        } else if (c == ';') {
            auto length = strToInt(acc);
            if (!length)
                throw ConversionError("'" + quotedField(acc) + "' is not a valid integer value");
            p.data = payload.substr(i + 1);
            if (*length < 0 || size_t(*length) != p.data.size() || p.route.size() < 2)
                return std::nullopt;
            return p;
        } else {
            acc += c;
        }
    }
    return std::nullopt;
}

PacketLogic::PacketLogic(MainEngine& main, View& view) : main_(main), v_(view)
{
    FIn.arrows.fill(true); // as laid out, until the route box is first clicked
}

std::string PacketLogic::stationText(int k, int index)
{
    const bool relay = k >= 1 && k <= 5;
    if (relay && index == 0)
        return "-";
    const int station = relay ? index - 1 : index;
    return station >= 0 && station < 16 ? std::string(1, kHexDigits[station]) : std::string();
}

PacketShown PacketLogic::shown() const
{
    PacketShown s = FIn;
    const auto chain = relayChain(s.route, namedRelays());
    s.routeEnabled.front() = s.routeEnabled.back() = s.route;
    for (int n = 1; n <= 5; ++n)
        s.routeEnabled[size_t(n)] = chain[size_t(n - 1)];
    return s;
}

void PacketLogic::packetChanged()
{
    const PacketShown s = shown();
    if (FShownOnce && s == FShown)
        return;
    FShown = s;
    FShownOnce = true;
    v_.showPacket(s);
}

void PacketLogic::Construct()
{
    FOwnIdIndex = -1;
    FShiftHeld = false;
    for (int n = 1; n <= 5; ++n)
        FIn.stations[size_t(n)] = 0;
    main_.packetFormShown(false);
    packetChanged();
}

void PacketLogic::FormShow()
{
    main_.packetFormShown(true);
    if (FOwnIdIndex != -1) {
        // An ID above F selects nothing, as the list has no such item.
        FIn.stations.front() = FOwnIdIndex < 16 ? FOwnIdIndex : -1;
        packetChanged();
    }
}

void PacketLogic::FormHide()
{
    main_.packetFormShown(false);
}

void PacketLogic::ClearReceiveView()
{
    FIn.received.clear();
    for (std::string& f : FIn.receivedRoute)
        f.clear();
    packetChanged();
}

bool PacketLogic::ShowReceivedPacket(const std::string& payload)
{
    // Read the whole payload first, so that a refused or unreadable one
    // leaves the view untouched.
    auto p = parseRecePayload(payload);
    if (!p)
        return false;
    const int count = int(p->route.size());
    FIn.received = p->data;
    FIn.receivedRoute.front() = p->route.front();
    FIn.receivedRoute.back() = p->route.back();
    for (int n = 1; n <= 5; ++n)
        FIn.receivedRoute[size_t(n)] = n < count - 1 ? p->route[size_t(n)] : std::string("-");
    packetChanged();
    return true;
}

void PacketLogic::ShowPacketError()
{
    main_.boxes().warning(KD36_TR_NOOP("QtBoxes", "自局IDの設定またはユーザー電文を確認してください。"));
}

void PacketLogic::spbPacketClick()
{
    std::string route = ";";
    if (FIn.route) {
        if (FIn.stations.front() < 0 || FIn.stations.back() < 0) {
            main_.boxes().warning(KD36_TR_NOOP("QtBoxes", "ルート設定を確認してください。"));
            return;
        }
        const PacketShown s = shown();
        std::vector<std::string> relays;
        for (int n = 1; n <= 5; ++n)
            if (s.routeEnabled[size_t(n)] && s.stations[size_t(n)] > 0)
                relays.push_back(stationText(n, s.stations[size_t(n)]));
        route = composeRoute(stationText(0, s.stations.front()), relays, stationText(6, s.stations.back()));
    }
    FTxLine = composeSendLine(route, FIn.userData);
    main_.SendCommand(FTxLine);
}

void PacketLogic::chkRouteClick(bool on)
{
    FIn.route = on;
    // The arrows follow the box only, not a later relay change.
    const auto chain = relayChain(on, namedRelays());
    FIn.arrows.front() = FIn.arrows.back() = on;
    for (int n = 1; n <= 5; ++n)
        FIn.arrows[size_t(n)] = chain[size_t(n - 1)];
    packetChanged();
}

std::array<bool, kRelayCount> PacketLogic::namedRelays() const
{
    std::array<bool, kRelayCount> named{};
    for (int n = 1; n <= 5; ++n)
        named[size_t(n - 1)] = FIn.stations[size_t(n)] != 0;
    return named;
}

void PacketLogic::cmbRouteChange(int k, int index)
{
    if (k < 0 || k >= PacketShown::kFields)
        return;
    FIn.stations[size_t(k)] = index;
    packetChanged();
}

void PacketLogic::spbClearClick(PacketMemo which)
{
    if (which == PacketMemo::Send)
        FIn.userData.clear();
    else
        FIn.received.clear();
    packetChanged();
}

void PacketLogic::memUserDataChange(const std::string& sjis)
{
    FIn.userData = sjis;
    packetChanged();
}

void PacketLogic::chkEnterKeyClick(bool on)
{
    FIn.enterSends = on;
    packetChanged();
}

bool PacketLogic::memUserDataKeyPress(int key)
{
    if (key != 13 || !FIn.enterSends)
        return false;
    spbPacketClick();
    return true;
}

void PacketLogic::grpTxDblClick()
{
    if (!FShiftHeld)
        return;
    FIn.enterKeyBox = !FIn.enterKeyBox;
    packetChanged();
}

} // namespace kd36
