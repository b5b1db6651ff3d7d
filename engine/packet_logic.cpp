#include "packet_logic.h"

#include "conversions.h"
#include "main_engine.h"
#include "relay_chain.h"
#include "sjis.h"

namespace kd36 {

namespace {

std::string numbered(const char* base, int n) { return base + std::to_string(n); }

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

std::string counterText(size_t length)
{
    return std::to_string(length) + sj(" 文字 / 残 ") + std::to_string(long(kUserDataMax) - long(length));
}

PacketLogic::PacketLogic(MainEngine& main, View& view) : main_(main), v_(view) {}

void PacketLogic::Construct()
{
    FOwnIdIndex = -1;
    FShiftHeld = false;
    for (int n = 1; n <= 5; ++n)
        v_.setItemIndex(numbered("cmbRoute", n), 0);
    cmbRouteChange(1);
    main_.packetFormShown(false);
    memUserDataChange();
}

void PacketLogic::FormShow()
{
    main_.packetFormShown(true);
    if (FOwnIdIndex != -1)
        v_.setItemIndex("cmbRoute0", FOwnIdIndex);
}

void PacketLogic::FormHide()
{
    main_.packetFormShown(false);
}

void PacketLogic::ClearReceiveView()
{
    v_.setText("memUserDataRx", "");
    for (int n = 0; n <= 6; ++n)
        v_.setText(numbered("edtRoute", n), "");
}

bool PacketLogic::ShowReceivedPacket(const std::string& payload)
{
    // Read the whole payload first, so that a refused or unreadable one
    // leaves the view untouched.
    auto p = parseRecePayload(payload);
    if (!p)
        return false;
    const int count = int(p->route.size());
    v_.setText("memUserDataRx", p->data);
    v_.setText("edtRoute0", p->route.front());
    v_.setText("edtRoute6", p->route.back());
    for (int n = 1; n <= 5; ++n)
        v_.setText(numbered("edtRoute", n), n < count - 1 ? p->route[size_t(n)] : std::string("-"));
    return true;
}

void PacketLogic::ShowPacketError()
{
    main_.boxes().warning("自局IDの設定またはユーザー電文を確認してください。");
}

void PacketLogic::spbPacketClick()
{
    std::string route = ";";
    if (v_.isChecked("chkRoute")) {
        if (v_.itemIndex("cmbRoute0") < 0 || v_.itemIndex("cmbRoute6") < 0) {
            main_.boxes().warning("ルート設定を確認してください。");
            return;
        }
        std::vector<std::string> relays;
        for (int n = 1; n <= 5; ++n) {
            const std::string name = numbered("cmbRoute", n);
            if (v_.isEnabled(name) && v_.itemIndex(name) > 0)
                relays.push_back(v_.text(name));
        }
        route = composeRoute(v_.text("cmbRoute0"), relays, v_.text("cmbRoute6"));
    }
    FTxLine = composeSendLine(route, v_.text("memUserData"));
    main_.SendCommand(FTxLine);
}

void PacketLogic::setRelayEnabled(int n, bool on)
{
    v_.setEnabled(numbered("cmbRoute", n), on);
    v_.setEnabled(numbered("lblRoute", n), on);
    v_.setEnabled(numbered("lblArrow", n), on);
}

void PacketLogic::chkRouteClick()
{
    const bool on = v_.isChecked("chkRoute");
    setRelayEnabled(0, on);
    const auto chain = relayChain(on, namedRelays());
    for (int n = 1; n <= 5; ++n)
        setRelayEnabled(n, chain[size_t(n - 1)]);
    setRelayEnabled(6, on);
}

std::array<bool, kRelayCount> PacketLogic::namedRelays() const
{
    std::array<bool, kRelayCount> named{};
    for (int n = 1; n <= 5; ++n)
        named[size_t(n - 1)] = v_.text(numbered("cmbRoute", n)) != "-";
    return named;
}

void PacketLogic::cmbRouteChange(int k)
{
    if (k < 1 || k > 4)
        return;
    // The relays after the changed one follow the rule; their arrows stay.
    const auto chain = relayChain(true, namedRelays());
    for (int n = k + 1; n <= 5; ++n) {
        v_.setEnabled(numbered("cmbRoute", n), chain[size_t(n - 1)]);
        v_.setEnabled(numbered("lblRoute", n), chain[size_t(n - 1)]);
    }
}

void PacketLogic::spbClearClick(const std::string& senderName)
{
    if (senderName == "spbClear") {
        v_.setText("memUserData", "");
        memUserDataChange();
    } else {
        v_.setText("memUserDataRx", "");
    }
}

void PacketLogic::memUserDataChange()
{
    v_.setText("lblMemInfo", counterText(v_.text("memUserData").size()));
}

bool PacketLogic::memUserDataKeyPress(int key)
{
    if (key != 13 || !v_.isChecked("chkEnterKey"))
        return false;
    spbPacketClick();
    return true;
}

void PacketLogic::grpTxDblClick()
{
    if (FShiftHeld)
        v_.setVisible("chkEnterKey", !v_.isVisible("chkEnterKey"));
}

} // namespace kd36
