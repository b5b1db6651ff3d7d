#include "settings_profile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <system_error>

#include <strings.h>

// Byte strings only: the file is UTF-8 and converted field by field.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include "conversions.h"
#include "main_engine.h"
#include "records_file.h"
#include "sjis.h"
#include "view.h"

namespace kd36 {
namespace {

using List = std::vector<std::string>;

List numbers(int from, int to)
{
    List v;
    for (int i = from; i <= to; ++i)
        v.push_back(std::to_string(i));
    return v;
}

List hexDigits(bool withDash)
{
    List v;
    if (withDash)
        v.push_back("-");
    for (const char* c : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F"})
        v.push_back(c);
    return v;
}

// The items of the panel's lists, as its layout fills them.
const List kGroups = numbers(0, 7);
const List kChannels = numbers(7, 46);
const List kDest = hexDigits(false);
const List kRelays = hexDigits(true);
const List kRates = {"4800", "9600", "19200", "38400"};
const List kDataBits = {"7", "8"};
const List kParity = {"None", "Odd", "Even"};
const List kStopBits = {"1", "2"};
const List kFlow = {"None", "H/w"};

struct Spin {
    const char* key;
    const char* control;
    int lo, hi;
    std::optional<int> SettingsProfile::* field;
};
const Spin kSpins[] = {
    {"ByteLength", "speFRAMByte", 1, 256, &SettingsProfile::frameByte},
    {"IdleTime", "speFRAMIdle", 50, 500, &SettingsProfile::frameIdle},
    {"WaitTime", "speFRAMWait", 3, 100, &SettingsProfile::frameWait},
    {"SendCount", "speFRAMTxNumber", 0, 9, &SettingsProfile::frameTxNumber},
};

struct Tick {
    const char* section;
    const char* key;
    const char* box;
    std::optional<bool> SettingsProfile::* field;
};
const Tick kTicks[] = {
    {"SystemID", "Write", "chkSYID", &SettingsProfile::sysIdOn},
    {"Channel", "Write", "chkCHAN", &SettingsProfile::chanOn},
    {"Route", "Write", "chkROUT", &SettingsProfile::routOn},
    {"Frame", "Write", "chkFRAM", &SettingsProfile::framOn},
    {"DeviceInfo", "Write", "chkINFO", &SettingsProfile::infoOn},
    {"RS232C", "Write", "chkSERI", &SettingsProfile::seriOn},
    {"RS232C", "DataBitsWrite", "chkSERISet", &SettingsProfile::seriSetOn},
};

struct Choice {
    const char* section;
    const char* key;
    const char* control;
    const List* items;
    std::optional<std::string> SettingsProfile::* field;
};
const Choice kChoices[] = {
    {"Channel", "Group", "cmbCHANGroup", &kGroups, &SettingsProfile::group},
    {"Channel", "Channel", "cmbCHANCh", &kChannels, &SettingsProfile::channel},
    {"Route", "Destination", "cmbROUTDest", &kDest, &SettingsProfile::routeDest},
    {"RS232C", "Rate", "cmbSERI", &kRates, &SettingsProfile::rate},
    {"RS232C", "Parity", "cmbSERIParity", &kParity, &SettingsProfile::parity},
    {"RS232C", "StopBits", "cmbSERIStopBits", &kStopBits, &SettingsProfile::stopBits},
    {"RS232C", "Flow", "cmbSERIFlow", &kFlow, &SettingsProfile::flow},
    {"RS232C", "DataBits", "cmbSERIData", &kDataBits, &SettingsProfile::dataBits},
};

constexpr size_t kSystemIdMax = 7;
constexpr size_t kDeviceInfoMax = 8;
// A profile is a few hundred bytes; anything far larger is not one.
constexpr std::uintmax_t kMaxFileBytes = 64 * 1024;

const char* const kBadValue = "値が不正です";
const char* const kUnknownKey = "不明なキーです";
const char* const kUnknownSection = "不明なセクションです";

int indexOf(const List& items, const std::string& s)
{
    auto it = std::find(items.begin(), items.end(), s);
    return it == items.end() ? -1 : int(it - items.begin());
}

std::string relayKey(int n)
{
    return "Relay" + std::to_string(n);
}

std::string relayControl(int n)
{
    return "cmbROUTNode" + std::to_string(n);
}

std::optional<int> strictInt(std::string_view s)
{
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty())
        return std::nullopt;
    return v;
}

std::optional<bool> yesNo(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (s == "yes" || s == "1" || s == "true" || s == "on")
        return true;
    if (s == "no" || s == "0" || s == "false" || s == "off")
        return false;
    return std::nullopt;
}

// Free text that goes into a command line: no control bytes, so a value can
// never end the command or start another.
bool plainText(std::string_view sjis)
{
    return std::none_of(sjis.begin(), sjis.end(), [](char c) {
        auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

bool validSystemId(const std::string& sjis)
{
    return sjis.empty() || (sjis.size() <= kSystemIdMax && strToInt(sjis).has_value());
}

bool validDeviceInfo(const std::string& sjis)
{
    return sjis.size() <= kDeviceInfoMax && plainText(sjis);
}

// UTF-8 from the file to the panel's Shift-JIS; nullopt when a character has
// no Shift-JIS form or the bytes are not UTF-8.
std::optional<std::string> fromFileText(const std::string& utf8)
{
    std::string s = utf8ToSjis(utf8);
    if (sjisToUtf8(s) != utf8)
        return std::nullopt;
    return s;
}

struct Entry {
    std::string section, key, value;
};

// The profile's entries in file order.
std::vector<Entry> entries(const SettingsProfile& p)
{
    std::vector<Entry> out;
    auto yn = [](bool b) { return std::string(b ? "yes" : "no"); };
    auto tick = [&](const char* section, const char* key) {
        for (const Tick& t : kTicks)
            if (std::string_view(t.section) == section && std::string_view(t.key) == key && (p.*t.field))
                out.push_back({section, key, yn(*(p.*t.field))});
    };
    auto choice = [&](const char* key) {
        for (const Choice& c : kChoices)
            if (std::string_view(c.key) == key && (p.*c.field))
                out.push_back({c.section, key, *(p.*c.field)});
    };
    tick("SystemID", "Write");
    if (p.systemId)
        out.push_back({"SystemID", "Value", sjisToUtf8(*p.systemId)});
    tick("Channel", "Write");
    if (p.channelAuto)
        out.push_back({"Channel", "Mode", *p.channelAuto ? "auto" : "fixed"});
    choice("Group");
    choice("Channel");
    tick("Route", "Write");
    choice("Destination");
    for (int n = 1; n <= 5; ++n)
        if (p.relays[size_t(n - 1)])
            out.push_back({"Route", relayKey(n), *p.relays[size_t(n - 1)]});
    tick("Frame", "Write");
    for (const Spin& s : kSpins)
        if (p.*s.field)
            out.push_back({"Frame", s.key, std::to_string(*(p.*s.field))});
    tick("DeviceInfo", "Write");
    if (p.deviceInfo)
        out.push_back({"DeviceInfo", "Value", sjisToUtf8(*p.deviceInfo)});
    tick("RS232C", "Write");
    for (const char* k : {"Rate", "Parity", "StopBits", "Flow"})
        choice(k);
    tick("RS232C", "DataBitsWrite");
    choice("DataBits");
    return out;
}

// Takes one key of the file into the profile; false when it is not a key
// of this format or its value is not acceptable (`known` tells which).
bool takeEntry(SettingsProfile& p, const std::string& section, const std::string& key, const std::string& value,
               bool& known)
{
    auto is = [](const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; };
    known = true;
    for (const Tick& t : kTicks)
        if (is(section, t.section) && is(key, t.key)) {
            auto b = yesNo(value);
            if (b)
                p.*t.field = *b;
            return b.has_value();
        }
    for (const Choice& c : kChoices)
        if (is(section, c.section) && is(key, c.key)) {
            // Lists match as the panel shows them ("h/w" is not an item).
            if (indexOf(*c.items, value) < 0)
                return false;
            p.*c.field = value;
            return true;
        }
    if (is(section, "Route"))
        for (int n = 1; n <= 5; ++n)
            if (is(key, relayKey(n).c_str())) {
                if (indexOf(kRelays, value) < 0)
                    return false;
                p.relays[size_t(n - 1)] = value;
                return true;
            }
    if (is(section, "Frame"))
        for (const Spin& s : kSpins)
            if (is(key, s.key)) {
                auto v = strictInt(value);
                if (!v || *v < s.lo || *v > s.hi)
                    return false;
                p.*s.field = *v;
                return true;
            }
    if (is(section, "Channel") && is(key, "Mode")) {
        if (is(value, "auto"))
            p.channelAuto = true;
        else if (is(value, "fixed"))
            p.channelAuto = false;
        else
            return false;
        return true;
    }
    if ((is(section, "SystemID") || is(section, "DeviceInfo")) && is(key, "Value")) {
        auto s = fromFileText(value);
        bool sys = is(section, "SystemID");
        if (!s || !(sys ? validSystemId(*s) : validDeviceInfo(*s)))
            return false;
        (sys ? p.systemId : p.deviceInfo) = *s;
        return true;
    }
    known = false;
    return false;
}

bool knownSection(const std::string& s)
{
    for (const char* k : {"SystemID", "Channel", "Route", "Frame", "DeviceInfo", "RS232C"})
        if (strcasecmp(s.c_str(), k) == 0)
            return true;
    return false;
}

bool readSmallFile(const std::string& path, std::string& out, std::string& why)
{
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        why = ec.message();
        return false;
    }
    if (size > kMaxFileBytes) {
        why = "ファイルが大きすぎます";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = std::system_category().message(errno);
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    if (out.size() > kMaxFileBytes) {
        why = "ファイルが大きすぎます";
        return false;
    }
    return true;
}

// The panel's read-back fields; a value that cannot be taken is noted.
struct ReadBack {
    const View& v;
    std::vector<ProfileIssue>* notCopied;

    std::string field(int n) const { return v.text("edtRead" + std::to_string(n)); }
    void bad(const char* section, int n, const std::string& value) const
    {
        if (notCopied)
            notCopied->push_back({section, "edtRead" + std::to_string(n), sjisToUtf8(value), kBadValue});
    }
    // The item text the read-back value stands for: the same text, or for
    // parity and flow the item its first letter names (the modem answers "N").
    std::optional<std::string> pick(const char* section, int n, const List& items, bool byInitial) const
    {
        std::string s = field(n);
        if (s.empty())
            return std::nullopt;
        if (indexOf(items, s) >= 0)
            return s;
        if (byInitial && s.size() == 1)
            for (const std::string& it : items)
                if (it[0] == s[0])
                    return it;
        bad(section, n, s);
        return std::nullopt;
    }
};

// Ticks exactly the items whose read-back was complete.
void tickWhatWasRead(SettingsProfile& p)
{
    p.sysIdOn = p.systemId.has_value();
    p.chanOn = p.channelAuto.has_value();
    p.routOn = p.routeDest && std::all_of(p.relays.begin(), p.relays.end(), [](auto& r) { return r.has_value(); });
    p.framOn = p.frameByte && p.frameIdle && p.frameWait && p.frameTxNumber;
    p.infoOn = p.deviceInfo.has_value();
    p.seriOn = p.rate.has_value();
    p.seriSetOn = false;
}

} // namespace

std::string formatProfile(const SettingsProfile& p)
{
    std::string out = "; KD-36 settings profile (UTF-8). Write=yes ticks the item on the setting panel.\n";
    std::string section;
    for (const Entry& e : entries(p)) {
        if (e.section != section) {
            out += "\n[" + e.section + "]\n";
            section = e.section;
        }
        out += e.key + "=" + e.value + "\n";
    }
    return out;
}

ProfileReadResult parseProfile(std::string_view utf8)
{
    ProfileReadResult r;
    CSimpleIniA ini;
    if (ini.LoadData(utf8.data(), utf8.size()) < 0) {
        r.error = "INI として読めません";
        return r;
    }
    r.ok = true;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    sections.sort(CSimpleIniA::Entry::LoadOrder());
    for (const auto& s : sections) {
        std::string section = s.pItem;
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(s.pItem, keys);
        keys.sort(CSimpleIniA::Entry::LoadOrder());
        if (!knownSection(section)) {
            if (keys.empty())
                r.skipped.push_back({section, "", "", kUnknownSection});
            for (const auto& k : keys)
                r.skipped.push_back({section, k.pItem, ini.GetValue(s.pItem, k.pItem, ""), kUnknownSection});
            continue;
        }
        for (const auto& k : keys) {
            std::string value = ini.GetValue(s.pItem, k.pItem, "");
            bool known = false;
            if (!takeEntry(r.profile, section, k.pItem, value, known))
                r.skipped.push_back({section, k.pItem, value, known ? kBadValue : kUnknownKey});
        }
    }
    return r;
}

ProfileReadResult readProfileFile(const std::string& path)
{
    std::string text, why;
    if (!readSmallFile(path, text, why)) {
        ProfileReadResult r;
        r.error = why;
        return r;
    }
    return parseProfile(text);
}

bool writeProfileFile(const std::string& path, const SettingsProfile& p, std::string& why)
{
    std::string old, data;
    std::string ignored;
    if (!readSmallFile(path, old, ignored) || old.empty()) {
        data = formatProfile(p);
    } else {
        // Rewrite in place: comments and foreign keys of the old file stay.
        CSimpleIniA ini;
        ini.SetSpaces(false);
        if (ini.LoadData(old.data(), old.size()) < 0) {
            data = formatProfile(p);
        } else {
            for (const Entry& e : entries(p))
                ini.SetValue(e.section.c_str(), e.key.c_str(), e.value.c_str());
            if (ini.Save(data) < 0) {
                why = "書き出せません";
                return false;
            }
        }
    }
    return replaceFileContents(path, data, why);
}

SettingsProfile profileFromPanel(const View& v)
{
    SettingsProfile p;
    for (const Tick& t : kTicks)
        p.*t.field = v.isChecked(t.box);
    p.systemId = v.text("edtSYIDWrite");
    p.deviceInfo = v.text("edtINFOWrite");
    p.channelAuto = v.isChecked("radChAuto");
    for (const Choice& c : kChoices)
        if (std::string s = v.text(c.control); !s.empty())
            p.*c.field = s;
    for (int n = 1; n <= 5; ++n)
        if (std::string s = v.text(relayControl(n)); !s.empty())
            p.relays[size_t(n - 1)] = s;
    for (const Spin& s : kSpins) {
        // The text as shown is what a write would send.
        auto t = strToInt(v.text(s.control));
        p.*s.field = t ? *t : v.value(s.control);
    }
    return p;
}

bool applyProfile(MainEngine& e, const SettingsProfile& p)
{
    // A running write reads the controls item by item.
    if (e.busy())
        return false;
    View& v = e.mainView();
    if (p.systemId)
        v.setText("edtSYIDWrite", *p.systemId);
    if (p.deviceInfo)
        v.setText("edtINFOWrite", *p.deviceInfo);
    if (p.channelAuto) {
        v.setChecked("radChAuto", *p.channelAuto);
        v.setChecked("radChHand", !*p.channelAuto);
    }
    for (const Choice& c : kChoices)
        if (p.*c.field)
            v.setItemIndex(c.control, indexOf(*c.items, *(p.*c.field)));
    for (int n = 1; n <= 5; ++n)
        if (const auto& r = p.relays[size_t(n - 1)])
            v.setItemIndex(relayControl(n), indexOf(kRelays, *r));
    for (const Spin& s : kSpins)
        if (p.*s.field)
            v.setText(s.control, std::to_string(*(p.*s.field)));
    for (const Tick& t : kTicks)
        if (p.*t.field)
            v.setChecked(t.box, *(p.*t.field));

    // The handlers recompute every enabled state from the ticks and values,
    // in the order a user goes down the panel.
    e.chkSYIDClick();
    e.chkCHANClick();
    e.chkROUTClick();
    e.chkFRAMClick();
    e.chkINFOClick();
    e.chkSERIClick();
    // The hidden data-bits box only narrows what its owner enabled when a
    // user has actually ticked it.
    if (v.isChecked("chkSERISet"))
        e.chkSERISetClick();
    return true;
}

SettingsProfile profileFromReadBack(const View& v, bool tick, std::vector<ProfileIssue>* notCopied)
{
    SettingsProfile p;
    const ReadBack r{v, notCopied};
    if (std::string s = r.field(1); !s.empty()) {
        if (validSystemId(s))
            p.systemId = s;
        else
            r.bad("SystemID", 1, s);
    }
    if (auto g = r.pick("Channel", 3, kGroups, false)) {
        p.channelAuto = true;
        p.group = g;
    } else if (auto c = r.pick("Channel", 4, kChannels, false)) {
        p.channelAuto = false;
        p.channel = c;
    }
    if ((p.routeDest = r.pick("Route", 5, kDest, false))) {
        // A reply without a relay leaves its field empty: no relay there.
        const int relayFields[] = {6, 7, 13, 14, 15};
        for (int n = 0; n < 5; ++n) {
            std::string s = r.field(relayFields[n]);
            p.relays[size_t(n)] = s.empty() ? std::optional<std::string>("-")
                                            : r.pick("Route", relayFields[n], kRelays, false);
        }
    }
    const int frameFields[] = {8, 9, 10, 11};
    for (int i = 0; i < 4; ++i) {
        std::string s = r.field(frameFields[i]);
        if (s.empty())
            continue;
        auto n = strictInt(s);
        if (n && *n >= kSpins[i].lo && *n <= kSpins[i].hi)
            p.*kSpins[i].field = *n;
        else
            r.bad("Frame", frameFields[i], s);
    }
    if (std::string s = r.field(12); !s.empty()) {
        if (validDeviceInfo(s))
            p.deviceInfo = s;
        else
            r.bad("DeviceInfo", 12, s);
    }
    p.rate = r.pick("RS232C", 16, kRates, false);
    p.dataBits = r.pick("RS232C", 17, kDataBits, false);
    p.parity = r.pick("RS232C", 18, kParity, true);
    p.stopBits = r.pick("RS232C", 19, kStopBits, false);
    p.flow = r.pick("RS232C", 20, kFlow, true);

    if (tick)
        tickWhatWasRead(p);
    return p;
}

std::vector<ProfileIssue> copyReadBackToWrite(MainEngine& e)
{
    std::vector<ProfileIssue> notCopied;
    if (e.busy())
        return notCopied;
    SettingsProfile p = profileFromReadBack(e.mainView(), false, &notCopied);
    applyProfile(e, p);
    return notCopied;
}

std::string describeIssues(const std::vector<ProfileIssue>& issues, size_t maxLines)
{
    std::string out;
    size_t shown = 0;
    for (const ProfileIssue& i : issues) {
        if (shown == maxLines)
            break;
        std::string line = "[" + i.section + "]";
        if (!i.key.empty())
            line += " " + i.key + "=" + i.value;
        line += " : " + i.reason;
        out += line + "\n";
        ++shown;
    }
    if (issues.size() > shown)
        out += "ほか " + std::to_string(issues.size() - shown) + " 件\n";
    return out;
}

} // namespace kd36
