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

#include "../serial/user_text.h"
#include "conversions.h"
#include "main_engine.h"
#include "profile_format.h"
#include "records_file.h"
#include "sjis.h"

namespace kd36 {
namespace profile_format {

namespace {

// Free text that goes into a command line: no control bytes, so a value can
// never end the command or start another.
bool plainText(std::string_view sjis)
{
    return std::none_of(sjis.begin(), sjis.end(), [](char c) {
        auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

} // namespace

const Spin kSpins[4] = {
    {"ByteLength", PanelFrame::Byte, &SettingsProfile::frameByte},
    {"IdleTime", PanelFrame::Idle, &SettingsProfile::frameIdle},
    {"WaitTime", PanelFrame::Wait, &SettingsProfile::frameWait},
    {"SendCount", PanelFrame::TxNumber, &SettingsProfile::frameTxNumber},
};

const Tick kTicks[7] = {
    {"SystemID", "Write", PanelTick::SystemId, &SettingsProfile::sysIdOn},
    {"Channel", "Write", PanelTick::Channel, &SettingsProfile::chanOn},
    {"Route", "Write", PanelTick::Route, &SettingsProfile::routOn},
    {"Frame", "Write", PanelTick::Frame, &SettingsProfile::framOn},
    {"DeviceInfo", "Write", PanelTick::DeviceInfo, &SettingsProfile::infoOn},
    {"RS232C", "Write", PanelTick::Serial, &SettingsProfile::seriOn},
    {"RS232C", "DataBitsWrite", PanelTick::SerialSet, &SettingsProfile::seriSetOn},
};

const Choice kChoices[8] = {
    {"Channel", "Group", PanelChoice::Group, &SettingsProfile::group},
    {"Channel", "Channel", PanelChoice::Channel, &SettingsProfile::channel},
    {"Route", "Destination", PanelChoice::RouteDest, &SettingsProfile::routeDest},
    {"RS232C", "Rate", PanelChoice::Rate, &SettingsProfile::rate},
    {"RS232C", "Parity", PanelChoice::Parity, &SettingsProfile::parity},
    {"RS232C", "StopBits", PanelChoice::StopBits, &SettingsProfile::stopBits},
    {"RS232C", "Flow", PanelChoice::Flow, &SettingsProfile::flow},
    {"RS232C", "DataBits", PanelChoice::DataBits, &SettingsProfile::dataBits},
};

int indexOf(const List& items, const std::string& s)
{
    auto it = std::find(items.begin(), items.end(), s);
    return it == items.end() ? -1 : int(it - items.begin());
}

std::string relayKey(int n)
{
    return "Relay" + std::to_string(n);
}

std::optional<int> strictInt(std::string_view s)
{
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || s.empty())
        return std::nullopt;
    return v;
}

bool validSystemId(const std::string& sjis)
{
    return sjis.empty() || (sjis.size() <= kSystemIdMax && strToInt(sjis).has_value());
}

bool validDeviceInfo(const std::string& sjis)
{
    return sjis.size() <= kDeviceInfoMax && plainText(sjis);
}

std::optional<std::string> fromFileText(const std::string& utf8)
{
    std::string s = utf8ToSjis(utf8);
    if (sjisToUtf8(s) != utf8)
        return std::nullopt;
    return s;
}

} // namespace profile_format

namespace {

using namespace profile_format;

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
    out.push_back({"Profile", "Model", kProfileModel});
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

// The panel's read-back fields; a value that cannot be taken is noted.
struct ReadBack {
    const SettingPanel& panel;
    std::vector<ProfileIssue>* notCopied;

    std::string field(int n) const { return panel.read(n); }
    void bad(const char* section, int n, const std::string& value) const
    {
        if (notCopied)
            notCopied->push_back(issue(ProfileProblem::BadValue, section, "edtRead" + std::to_string(n),
                                       sjisToUtf8(value)));
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

bool writeProfileFile(const std::string& path, const SettingsProfile& p, std::string& why)
{
    const FileRead file = readRegularFile(path, kMaxFileBytes);
    if (file.state == FileRead::NotWhole || file.state == FileRead::Folder) {
        why = file.state == FileRead::Folder ? "a folder" : file.why;
        return false;
    }
    const std::string& old = file.data;
    if (!old.empty()) {
        // What the reader cannot take whole would be lost by a rewrite.
        const ProfileReadResult r = parseProfile(old);
        if (!r.ok) {
            why = r.error;
            return false;
        }
    }
    std::string data;
    if (old.empty()) {
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
                why = KD36_TR_NOOP("RecordsMenu", "書き出せません");
                return false;
            }
        }
    }
    return replaceFileContents(path, data, why);
}

SettingsProfile profileFromPanel(const SettingPanel& panel)
{
    SettingsProfile p;
    for (const Tick& t : kTicks)
        p.*t.field = panel.tick(t.tick);
    p.systemId = panel.systemId;
    p.deviceInfo = panel.deviceInfo;
    p.channelAuto = panel.channelAuto;
    for (const Choice& c : kChoices)
        if (std::string s = panel.choiceText(c.choice); !s.empty())
            p.*c.field = s;
    for (int n = 1; n <= 5; ++n)
        if (std::string s = panel.relayText(n); !s.empty())
            p.relays[size_t(n - 1)] = s;
    for (const Spin& s : kSpins)
        p.*s.field = panel.frameValue(s.frame);
    return p;
}

void untickAbsent(SettingsProfile& p)
{
    for (const Tick& t : kTicks)
        p.*t.field = (p.*t.field).value_or(false);
}

void applyProfileTo(SettingPanel& panel, const SettingsProfile& p)
{
    if (p.systemId)
        panel.systemId = *p.systemId;
    if (p.deviceInfo)
        panel.deviceInfo = *p.deviceInfo;
    if (p.channelAuto)
        panel.channelAuto = *p.channelAuto;
    for (const Choice& c : kChoices)
        if (p.*c.field)
            panel.choice(c.choice) = indexOf(c.items(), *(p.*c.field));
    for (int n = 1; n <= 5; ++n)
        if (const auto& r = p.relays[size_t(n - 1)])
            panel.relays[size_t(n - 1)] = indexOf(relayItems(), *r);
    for (const Spin& s : kSpins)
        if (p.*s.field)
            panel.frameValue(s.frame) = *(p.*s.field);
    for (const Tick& t : kTicks)
        if (p.*t.field)
            panel.setTick(t.tick, *(p.*t.field));
}

bool applyProfile(MainEngine& e, const SettingsProfile& p)
{
    // A running write reads the panel item by item.
    if (e.busy())
        return false;
    e.editPanel([&p](SettingPanel& panel) { applyProfileTo(panel, p); });
    return true;
}

SettingsProfile profileFromReadBack(const SettingPanel& panel, bool tick, std::vector<ProfileIssue>* notCopied)
{
    SettingsProfile p;
    const ReadBack r{panel, notCopied};
    if (std::string s = r.field(1); !s.empty()) {
        if (validSystemId(s))
            p.systemId = s;
        else
            r.bad("SystemID", 1, s);
    }
    if (auto g = r.pick("Channel", 3, panelItems(PanelChoice::Group), false)) {
        p.channelAuto = true;
        p.group = g;
    } else if (auto c = r.pick("Channel", 4, panelItems(PanelChoice::Channel), false)) {
        p.channelAuto = false;
        p.channel = c;
    }
    if ((p.routeDest = r.pick("Route", 5, panelItems(PanelChoice::RouteDest), false))) {
        // A reply without a relay leaves its field empty: no relay there.
        const int relayFields[] = {6, 7, 13, 14, 15};
        for (int n = 0; n < 5; ++n) {
            std::string s = r.field(relayFields[n]);
            p.relays[size_t(n)] = s.empty() ? std::optional<std::string>("-")
                                            : r.pick("Route", relayFields[n], relayItems(), false);
        }
    }
    const int frameFields[] = {8, 9, 10, 11};
    for (int i = 0; i < 4; ++i) {
        std::string s = r.field(frameFields[i]);
        if (s.empty())
            continue;
        auto n = strictInt(s);
        if (n && *n >= kSpins[i].lo() && *n <= kSpins[i].hi())
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
    p.rate = r.pick("RS232C", 16, panelItems(PanelChoice::Rate), false);
    p.dataBits = r.pick("RS232C", 17, panelItems(PanelChoice::DataBits), false);
    p.parity = r.pick("RS232C", 18, panelItems(PanelChoice::Parity), true);
    p.stopBits = r.pick("RS232C", 19, panelItems(PanelChoice::StopBits), false);
    p.flow = r.pick("RS232C", 20, panelItems(PanelChoice::Flow), true);

    if (tick)
        tickWhatWasRead(p);
    return p;
}

std::vector<ProfileIssue> copyReadBackToWrite(MainEngine& e)
{
    std::vector<ProfileIssue> notCopied;
    if (e.busy())
        return notCopied;
    SettingsProfile p = profileFromReadBack(e.panel(), false, &notCopied);
    applyProfile(e, p);
    return notCopied;
}

} // namespace kd36
