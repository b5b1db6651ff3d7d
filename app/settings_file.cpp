#include "settings_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// Only the byte-string class is used; the file's text is kept as bytes.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include "../engine/conversions.h"
#include "settings_io.h"

namespace kd36 {

const char* const kDefaultHomeUrl = "https://www.example.jp/kd36/";

using namespace settings_io;

namespace {

// CSimpleIniA matches section and key names without regard to case, as the
// profile calls did (CSimpleIniCaseA would not).
using Ini = CSimpleIniA;

// The profile calls read a value through a 2048-byte buffer.
constexpr size_t kValueBuffer = 2048;

enum class Kind { Home, Top, Left, ChSelect, Combo, Relay, Spin, Port, BaudRate, Unsigned8, Signed8, Extension };

enum class Field { None, ByteSize, Parity, StopBits, FlowCtrl, EvtChar };

struct Key {
    const char* section;
    const char* key;
    Kind kind;
    int def;                 // default (Top/Left: computed; the panel's: its own tables)
    int slot;                // the panel's list, relay (0..4) or frame value
    Field field = Field::None;
};

// The file's 29 keys in reading and writing order.
const std::array<Key, 29> kKeys{{
    {"URL", "Home", Kind::Home, 0, 0},
    {"Form", "Top", Kind::Top, 0, 0},
    {"Form", "Left", Kind::Left, 0, 0},
    {"Form", "Ch-Select", Kind::ChSelect, 0, 0},
    {"Form", "Ch-Group", Kind::Combo, 0, int(PanelChoice::Group)},
    {"Form", "Ch-Ch", Kind::Combo, 0, int(PanelChoice::Channel)},
    {"Form", "Route-Dest", Kind::Combo, 0, int(PanelChoice::RouteDest)},
    {"Form", "Route-Node1", Kind::Relay, 0, 0},
    {"Form", "Route-Node2", Kind::Relay, 0, 1},
    {"Form", "Route-Node3", Kind::Relay, 0, 2},
    {"Form", "Route-Node4", Kind::Relay, 0, 3},
    {"Form", "Route-Node5", Kind::Relay, 0, 4},
    {"Form", "bps", Kind::Combo, 0, int(PanelChoice::Rate)},
    {"Form", "DataBits", Kind::Combo, 0, int(PanelChoice::DataBits)},
    {"Form", "Parity", Kind::Combo, 0, int(PanelChoice::Parity)},
    {"Form", "StopBits", Kind::Combo, 0, int(PanelChoice::StopBits)},
    {"Form", "Flow", Kind::Combo, 0, int(PanelChoice::Flow)},
    {"Form", "Frame-Byte", Kind::Spin, 0, int(PanelFrame::Byte)},
    {"Form", "Frame-Idle", Kind::Spin, 0, int(PanelFrame::Idle)},
    {"Form", "Fram-Wait", Kind::Spin, 0, int(PanelFrame::Wait)},
    {"Form", "Fram-TxNumber", Kind::Spin, 0, int(PanelFrame::TxNumber)},
    {"Com", "Port", Kind::Port, 1, 0},
    {"Com", "BaudRate", Kind::BaudRate, 9600, 0},
    {"Com", "ByteSize", Kind::Unsigned8, 8, 0, Field::ByteSize},
    {"Com", "Parity", Kind::Unsigned8, 0, 0, Field::Parity},
    {"Com", "StopBits", Kind::Unsigned8, 0, 0, Field::StopBits},
    {"Com", "FlowCtrl", Kind::Signed8, 2, 0, Field::FlowCtrl},
    {"Com", "EvtChar", Kind::Signed8, 10, 0, Field::EvtChar},
    {"Com", "Extension", Kind::Extension, 1, 0},
}};

void loadIni(Ini& ini, const std::string& data)
{
    ini.SetSpaces(false);
    if (!data.empty())
        ini.LoadData(data.data(), data.size());
}

std::string readValue(const Ini& ini, const Key& k, const std::string& def)
{
    const char* v = ini.GetValue(k.section, k.key, nullptr);
    if (!v)
        return def;
    std::string s(v);
    if (s.size() > kValueBuffer - 1)
        s.resize(kValueBuffer - 1);
    return s;
}

int readInt(const Ini& ini, const Key& k, int def)
{
    const char* v = ini.GetValue(k.section, k.key, nullptr);
    if (!v)
        return def;
    std::string_view s(v);
    if (s.size() > kValueBuffer - 1)
        s = s.substr(0, kValueBuffer - 1);
    auto n = strToInt(s);
    return n ? int(*n) : def;
}

int& listIndex(SettingPanel& p, const Key& k)
{
    return k.kind == Kind::Relay ? p.relays[size_t(k.slot)] : p.choices[size_t(k.slot)];
}

int listIndex(const SettingPanel& p, const Key& k)
{
    return k.kind == Kind::Relay ? p.relays[size_t(k.slot)] : p.choices[size_t(k.slot)];
}

uint8_t& u8Field(PortSettings& c, Field f)
{
    switch (f) {
    case Field::Parity:
        return c.Parity;
    case Field::StopBits:
        return c.StopBits;
    default:
        return c.ByteSize;
    }
}

int8_t& s8Field(PortSettings& c, Field f)
{
    return f == Field::EvtChar ? c.EvtChar : c.FlowCtrl;
}

} // namespace

std::string userConfigFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/kd36setup";
    const char* home = std::getenv("HOME");
    std::string base = home && home[0] ? home : "";
    if (base.empty())
        if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir)
            base = pw->pw_dir;
    return base + "/.config/kd36setup";
}

std::string settingsFilePath(const std::string& executablePath, const std::string& userConfigDir)
{
    namespace fs = std::filesystem;
    fs::path ini(executablePath);
    ini.replace_extension(".ini");
    // A portable copy: a file already beside the program wins. None is ever
    // made there, so an installed program leaves nothing in /usr/bin.
    struct stat st {};
    if (::stat(ini.c_str(), &st) == 0 || userConfigDir.empty())
        return ini.string();
    return (fs::path(userConfigDir) / ini.filename()).string();
}

void clampToScreens(WindowPlacement& wp)
{
    std::vector<ScreenArea> screens = wp.screens;
    if (screens.empty())
        screens.push_back({0, 0, wp.screenWidth, wp.screenHeight});
    // 64-bit throughout: stored values may be anywhere in the int range.
    const int64_t w = std::max(wp.outerWidth, 0), h = std::max(wp.outerHeight, 0);
    const int64_t left = wp.left, top = wp.top;
    auto overlap = [](int64_t a0, int64_t a1, int64_t b0, int64_t b1) {
        return std::max<int64_t>(0, std::min(a1, b1) - std::max(a0, b0));
    };
    auto distance = [](int64_t a0, int64_t a1, int64_t b0, int64_t b1) {
        return a1 < b0 ? b0 - a1 : b1 < a0 ? a0 - b1 : 0;
    };
    const ScreenArea* best = &screens.front();
    int64_t bestArea = -1, bestDistance = INT64_MAX;
    for (const ScreenArea& sc : screens) {
        const int64_t x1 = int64_t(sc.x) + sc.width, y1 = int64_t(sc.y) + sc.height;
        const int64_t area = overlap(left, left + w, sc.x, x1) * overlap(top, top + h, sc.y, y1);
        const int64_t d = distance(left, left + w, sc.x, x1) + distance(top, top + h, sc.y, y1);
        if (area > bestArea || (area == bestArea && area == 0 && d < bestDistance)) {
            best = &sc;
            bestArea = area;
            bestDistance = d;
        }
    }
    // Inside the screen; larger than the screen: covering it.
    auto fit = [](int64_t pos, int64_t size, int64_t origin, int64_t extent) {
        const int64_t lo = std::min(origin, origin + extent - size);
        const int64_t hi = std::max(origin, origin + extent - size);
        return int(std::clamp(pos, lo, hi));
    };
    wp.left = fit(left, w, best->x, best->width);
    wp.top = fit(top, h, best->y, best->height);
}

namespace {

// One key of the port, its line settings or the stored switches; false for
// a key of the window.
bool applyLineKey(const Ini& ini, const Key& k, StoredSettings& s)
{
    switch (k.kind) {
    case Kind::Home:
        s.home = readValue(ini, k, kDefaultHomeUrl);
        return true;
    case Kind::Port:
        s.port = readInt(ini, k, k.def);
        return true;
    case Kind::BaudRate:
        s.com.BaudRate = uint32_t(readInt(ini, k, k.def));
        return true;
    case Kind::Unsigned8:
        u8Field(s.com, k.field) = uint8_t(readInt(ini, k, k.def) & 0xFF);
        return true;
    case Kind::Signed8:
        s8Field(s.com, k.field) = int8_t(uint8_t(readInt(ini, k, k.def) & 0xFF));
        return true;
    case Kind::Extension:
        s.extension = readInt(ini, k, k.def);
        return true;
    default:
        return false;
    }
}

// One key read from the file into the window, the port settings or the
// placement.
void applyKey(const Ini& ini, const Key& k, StoredSettings& s, SettingPanel& panel, WindowPlacement& wp)
{
    if (applyLineKey(ini, k, s))
        return;
    switch (k.kind) {
    case Kind::Top:
        // int division truncates toward zero, as the default requires
        wp.top = readInt(ini, k, (wp.screenHeight - wp.outerHeight) / 2);
        break;
    case Kind::Left:
        wp.left = readInt(ini, k, (wp.screenWidth - wp.outerWidth) / 2);
        break;
    case Kind::ChSelect: {
        panel.channelAuto = readInt(ini, k, k.def) == 0;
        break;
    }
    case Kind::Combo:
    case Kind::Relay: {
        const bool relay = k.kind == Kind::Relay;
        const int items = int(relay ? relayItems().size() : panelItems(PanelChoice(k.slot)).size());
        const int v = readInt(ini, k, relay ? 0 : kDefaultChoices[size_t(k.slot)]);
        listIndex(panel, k) = (v >= 0 && v < items) ? v : -1;
        break;
    }
    case Kind::Spin: {
        const FrameRange& r = frameRange(PanelFrame(k.slot));
        panel.frame[size_t(k.slot)] = std::clamp(readInt(ini, k, r.start), r.lo, r.hi);
        break;
    }
    default:
        break;
    }
}

// The text the file gets for one key.
std::string valueOf(const Key& k, const StoredSettings& s, const SettingPanel& panel, const WindowPlacement& wp,
                    PortSettings& com)
{
    std::string v;
    switch (k.kind) {
    case Kind::Home: {
        v = s.home;
        // a line break would end the value and start a stray line
        v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }),
                v.end());
        break;
    }
    case Kind::Top:
        v = std::to_string(wp.top);
        break;
    case Kind::Left:
        v = std::to_string(wp.left);
        break;
    case Kind::ChSelect:
        v.assign(1, panel.channelAuto ? '0' : '1');
        break;
    case Kind::Combo:
    case Kind::Relay:
        v = std::to_string(listIndex(panel, k));
        break;
    case Kind::Spin:
        v = std::to_string(panel.frame[size_t(k.slot)]);
        break;
    case Kind::Port:
        v = std::to_string(s.port);
        break;
    case Kind::BaudRate:
        // signed, so that the reader takes back what is written
        v = std::to_string(int32_t(s.com.BaudRate));
        break;
    case Kind::Unsigned8:
        v = std::to_string(unsigned(u8Field(com, k.field)));
        break;
    case Kind::Signed8:
        v = std::to_string(int(s8Field(com, k.field)));
        break;
    case Kind::Extension:
        v = std::to_string(s.extension);
        break;
    }
    return v;
}

} // namespace

namespace {

// The file as the reader takes it; `problem` says what it could not take.
void loadFile(const std::string& path, Ini& ini, std::string* problem, bool english = false)
{
    const FileRead file = readSettingsFile(path);
    if (problem)
        *problem = file.state != FileRead::NotWhole      ? std::string()
            : english || file.whyJa.empty()             ? file.why
                                                        : file.whyJa;
    loadIni(ini, file.data);
}

void loadSwitches(const Ini& ini, StoredSettings& s)
{
    // Not one of the 29: in the file only once the user switched it off.
    if (const char* v = ini.GetValue("Com", "AutoReconnect", nullptr))
        s.autoReconnect = std::string_view(v) != "0";
    // Also not one of the 29: there only once a language was chosen.
    if (const char* v = ini.GetValue("Form", "Language", nullptr))
        s.language = v;
}

} // namespace

void LoadSettings(const std::string& path, StoredSettings& s, SettingPanel& panel, WindowPlacement& wp,
                  std::string* problem, bool englishProblem)
{
    Ini ini;
    loadFile(path, ini, problem, englishProblem);
    for (const Key& k : kKeys)
        applyKey(ini, k, s, panel, wp);
    loadSwitches(ini, s);
    clampToScreens(wp);
}

void LoadLineSettings(const std::string& path, StoredSettings& s, std::string* problem)
{
    Ini ini;
    loadFile(path, ini, problem);
    for (const Key& k : kKeys)
        applyLineKey(ini, k, s);
    loadSwitches(ini, s);
}

bool SaveSettings(const std::string& path, const StoredSettings& s, const SettingPanel& panel, const WindowPlacement& wp,
                  std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    // A file that cannot be read whole is not overwritten: what the reader
    // could not take would be lost.
    const FileRead file = readSettingsFile(path);
    if (file.state == FileRead::NotWhole)
        return fail("the file could not be read whole (" + file.why + "); it was left as it was");
    if (file.state == FileRead::Folder)
        return fail(errnoText(EISDIR));

    PortSettings com = s.com;
    std::array<std::string, kKeys.size()> values;
    for (size_t i = 0; i < kKeys.size(); ++i)
        values[i] = valueOf(kKeys[i], s, panel, wp, com);
    std::vector<Entry> entries;
    for (size_t i = 0; i < kKeys.size(); ++i)
        entries.push_back({kKeys[i].section, kKeys[i].key, std::move(values[i])});
    // Not one of the 29: written once the user switched it off, or kept
    // up to date when the file already has it.
    if (!s.autoReconnect || hasKey(file.data, "Com", "AutoReconnect"))
        entries.push_back({"Com", "AutoReconnect", s.autoReconnect ? "1" : "0"});
    if (!s.language.empty())
        entries.push_back({"Form", "Language", s.language});

    const std::string out = patchIni(file.data, entries);
    if (file.state == FileRead::Whole && out == file.data)
        return true; // nothing changed: nothing to write
    std::string why;
    if (!replaceFile(file, out, why))
        return fail(why);
    return true;
}

bool rewriteInPlace(const std::string& path, const std::string& old, const std::string& data, std::string* why)
{
    std::string reason;
    const bool ok = rewriteInPlaceImpl(path, old, data, reason);
    if (why)
        *why = reason;
    return ok;
}

std::map<int, std::string> readPortPins(const std::string& path)
{
    std::map<int, std::string> pins;
    for (const auto& [key, value] : readSection(path, "Ports")) {
        std::string_view name(key);
        if (name.size() < 4 || (name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm')
            continue;
        std::string_view digits = name.substr(3);
        if (digits.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        auto n = strToInt(digits);
        if (!n || *n < 1 || *n > 99)
            continue;
        pins[int(*n)] = value;
    }
    return pins;
}

std::vector<std::pair<std::string, std::string>> readSection(const std::string& path, const char* section)
{
    std::vector<std::pair<std::string, std::string>> out;
    const FileRead file = readSettingsFile(path);
    if (file.data.empty())
        return out;
    Ini ini;
    loadIni(ini, file.data);
    Ini::TNamesDepend keys;
    ini.GetAllKeys(section, keys);
    keys.sort(Ini::Entry::LoadOrder());
    for (const auto& e : keys) {
        const char* v = ini.GetValue(section, e.pItem, "");
        out.emplace_back(e.pItem, v ? v : "");
    }
    return out;
}

} // namespace kd36
