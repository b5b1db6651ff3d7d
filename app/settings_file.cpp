#include "settings_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Only the byte-string class is used; the file's text is kept as bytes.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include "../engine/conversions.h"

namespace kd36 {

const char* const kDefaultHomeUrl = "https://www.example.jp/kd36/";

namespace {

// CSimpleIniA matches section and key names without regard to case, as the
// profile calls did (CSimpleIniCaseA would not).
using Ini = CSimpleIniA;

// The profile calls read a value through a 2048-byte buffer.
constexpr size_t kValueBuffer = 2048;

enum class Kind { Home, Top, Left, ChSelect, Combo, Spin, Port, BaudRate, Unsigned8, Signed8, Extension };

enum class Field { None, ByteSize, Parity, StopBits, FlowCtrl, EvtChar };

struct Key {
    const char* section;
    const char* key;
    Kind kind;
    int def;                 // default (Top/Left: computed)
    const char* control;     // combo or spin edit on the main window
    int lo = 0, hi = 0;      // combo: item count in hi; spin: range
    Field field = Field::None;
};

// The file's 29 keys in reading and writing order.
const std::array<Key, 29> kKeys{{
    {"URL", "Home", Kind::Home, 0, nullptr},
    {"Form", "Top", Kind::Top, 0, nullptr},
    {"Form", "Left", Kind::Left, 0, nullptr},
    {"Form", "Ch-Select", Kind::ChSelect, 0, nullptr},
    {"Form", "Ch-Group", Kind::Combo, 0, "cmbCHANGroup", 0, 8},
    {"Form", "Ch-Ch", Kind::Combo, 0, "cmbCHANCh", 0, 40},
    {"Form", "Route-Dest", Kind::Combo, 0, "cmbROUTDest", 0, 16},
    {"Form", "Route-Node1", Kind::Combo, 0, "cmbROUTNode1", 0, 17},
    {"Form", "Route-Node2", Kind::Combo, 0, "cmbROUTNode2", 0, 17},
    {"Form", "Route-Node3", Kind::Combo, 0, "cmbROUTNode3", 0, 17},
    {"Form", "Route-Node4", Kind::Combo, 0, "cmbROUTNode4", 0, 17},
    {"Form", "Route-Node5", Kind::Combo, 0, "cmbROUTNode5", 0, 17},
    {"Form", "bps", Kind::Combo, 1, "cmbSERI", 0, 4},
    {"Form", "DataBits", Kind::Combo, 1, "cmbSERIData", 0, 2},
    {"Form", "Parity", Kind::Combo, 0, "cmbSERIParity", 0, 3},
    {"Form", "StopBits", Kind::Combo, 0, "cmbSERIStopBits", 0, 2},
    {"Form", "Flow", Kind::Combo, 1, "cmbSERIFlow", 0, 2},
    {"Form", "Frame-Byte", Kind::Spin, 128, "speFRAMByte", 1, 256},
    {"Form", "Frame-Idle", Kind::Spin, 100, "speFRAMIdle", 50, 500},
    {"Form", "Fram-Wait", Kind::Spin, 10, "speFRAMWait", 3, 100},
    {"Form", "Fram-TxNumber", Kind::Spin, 3, "speFRAMTxNumber", 0, 9},
    {"Com", "Port", Kind::Port, 1, nullptr},
    {"Com", "BaudRate", Kind::BaudRate, 9600, nullptr},
    {"Com", "ByteSize", Kind::Unsigned8, 8, nullptr, 0, 0, Field::ByteSize},
    {"Com", "Parity", Kind::Unsigned8, 0, nullptr, 0, 0, Field::Parity},
    {"Com", "StopBits", Kind::Unsigned8, 0, nullptr, 0, 0, Field::StopBits},
    {"Com", "FlowCtrl", Kind::Signed8, 2, nullptr, 0, 0, Field::FlowCtrl},
    {"Com", "EvtChar", Kind::Signed8, 10, nullptr, 0, 0, Field::EvtChar},
    {"Com", "Extension", Kind::Extension, 1, nullptr},
}};

// Reads the whole file. A missing file is an empty one; any other failure
// gives false with the reason.
bool readFile(const std::string& path, std::string& data, bool& exists, std::string& why)
{
    data.clear();
    exists = false;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (ec && ec != std::errc::no_such_file_or_directory) {
            why = ec.message();
            return false;
        }
        return true;
    }
    exists = true;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = std::system_category().message(errno);
        return false;
    }
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) {
        why = std::system_category().message(errno);
        return false;
    }
    data = buf.str();
    return true;
}

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

// A comment block after the last entry belongs to no key, so the INI
// library would drop it on save; it is carried over by hand.
std::string trailingComments(const std::string& data)
{
    std::vector<std::string> lines;
    std::istringstream in(data);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    size_t first = lines.size();
    while (first > 0) {
        const std::string& l = lines[first - 1];
        size_t p = l.find_first_not_of(" \t");
        if (p != std::string::npos && l[p] != ';' && l[p] != '#')
            break;
        --first;
    }
    std::string out;
    bool any = false;
    for (size_t i = first; i < lines.size(); ++i) {
        size_t p = lines[i].find_first_not_of(" \t");
        if (p == std::string::npos)
            continue;
        out += lines[i];
        out += '\n';
        any = true;
    }
    return any ? out : std::string();
}

bool writeAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// Replaces the file through a temporary beside it, so that a failed write
// leaves the old file whole. A folder that only lets the file itself be
// written gets it rewritten in place.
bool replaceFile(const std::string& path, const std::string& data, std::string& why)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);

    struct stat st {};
    bool had = ::stat(path.c_str(), &st) == 0;

    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd >= 0) {
        mode_t mode = had ? (st.st_mode & 07777) : mode_t(0644);
        ::fchmod(fd, mode);
        int err = 0;
        if (!writeAll(fd, data) || ::fsync(fd) != 0)
            err = errno;
        if (::close(fd) != 0 && !err)
            err = errno;
        if (!err && ::rename(tmpl.c_str(), path.c_str()) != 0)
            err = errno;
        if (!err)
            return true;
        why = std::system_category().message(err);
        ::unlink(tmpl.c_str());
        return false;
    }
    int mkErr = errno;
    if (had) {
        int out = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (out >= 0) {
            int err = writeAll(out, data) ? 0 : errno;
            if (::close(out) != 0 && !err)
                err = errno;
            if (!err)
                return true;
            why = std::system_category().message(err);
            return false;
        }
        mkErr = errno;
    }
    why = std::system_category().message(mkErr);
    return false;
}

} // namespace

std::string settingsFilePath(const std::string& executablePath, const std::string& userConfigDir)
{
    namespace fs = std::filesystem;
    fs::path exe(executablePath);
    fs::path ini = exe;
    ini.replace_extension(".ini");
    fs::path dir = exe.has_parent_path() ? exe.parent_path() : fs::path(".");
    bool besideOk = ::access(dir.c_str(), W_OK) == 0;
    if (!besideOk && ::access(ini.c_str(), F_OK) == 0)
        besideOk = ::access(ini.c_str(), W_OK) == 0;
    if (besideOk || userConfigDir.empty())
        return ini.string();
    return (fs::path(userConfigDir) / ini.filename()).string();
}

void LoadSettings(const std::string& path, StoredSettings& s, View& view, WindowPlacement& wp)
{
    std::string data, why;
    bool exists = false;
    if (!readFile(path, data, exists, why))
        data.clear(); // unreadable: every key takes its default
    Ini ini;
    loadIni(ini, data);

    for (const Key& k : kKeys) {
        switch (k.kind) {
        case Kind::Home:
            s.home = readValue(ini, k, kDefaultHomeUrl);
            break;
        case Kind::Top:
            // int division truncates toward zero, as the default requires
            wp.top = readInt(ini, k, (wp.screenHeight - wp.outerHeight) / 2);
            break;
        case Kind::Left:
            wp.left = readInt(ini, k, (wp.screenWidth - wp.outerWidth) / 2);
            break;
        case Kind::ChSelect: {
            bool hand = readInt(ini, k, k.def) != 0;
            view.setChecked("radChAuto", !hand);
            view.setChecked("radChHand", hand);
            break;
        }
        case Kind::Combo: {
            int v = readInt(ini, k, k.def);
            view.setItemIndex(k.control, (v >= 0 && v < k.hi) ? v : -1);
            break;
        }
        case Kind::Spin: {
            int v = std::clamp(readInt(ini, k, k.def), k.lo, k.hi);
            view.setValue(k.control, v);
            view.setText(k.control, std::to_string(v));
            break;
        }
        case Kind::Port:
            s.port = readInt(ini, k, k.def);
            break;
        case Kind::BaudRate:
            s.com.BaudRate = uint32_t(readInt(ini, k, k.def));
            break;
        case Kind::Unsigned8:
            u8Field(s.com, k.field) = uint8_t(readInt(ini, k, k.def) & 0xFF);
            break;
        case Kind::Signed8:
            s8Field(s.com, k.field) = int8_t(uint8_t(readInt(ini, k, k.def) & 0xFF));
            break;
        case Kind::Extension:
            s.extension = readInt(ini, k, k.def);
            break;
        }
    }
    // Not one of the 29: in the file only once the user switched it off.
    if (const char* v = ini.GetValue("Com", "AutoReconnect", nullptr))
        s.autoReconnect = std::string_view(v) != "0";
}

bool SaveSettings(const std::string& path, const StoredSettings& s, View& view, const WindowPlacement& wp,
                  std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    std::string data, why;
    bool exists = false;
    // A file that exists but cannot be read is not overwritten: its other
    // sections would be lost.
    if (!readFile(path, data, exists, why))
        return fail(why);
    Ini ini;
    loadIni(ini, data);

    PortSettings com = s.com;
    for (const Key& k : kKeys) {
        std::string v;
        switch (k.kind) {
        case Kind::Home: {
            v = s.home;
            // a line break would end the value and start a stray line
            v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n'; }),
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
            v = view.isChecked("radChAuto") ? "0" : "1";
            break;
        case Kind::Combo:
            v = std::to_string(view.itemIndex(k.control));
            break;
        case Kind::Spin: {
            auto n = strToInt(view.text(k.control));
            int x = n ? int(*n) : k.lo;
            if (!n) {
                view.setValue(k.control, k.lo);
                view.setText(k.control, std::to_string(k.lo));
            }
            v = std::to_string(x);
            break;
        }
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
        if (ini.SetValue(k.section, k.key, v.c_str()) < 0)
            return fail("cannot store " + std::string(k.key));
    }
    if ((!s.autoReconnect || ini.GetValue("Com", "AutoReconnect", nullptr))
        && ini.SetValue("Com", "AutoReconnect", s.autoReconnect ? "1" : "0") < 0)
        return fail("cannot store AutoReconnect");

    std::string out;
    if (ini.Save(out) < 0)
        return fail("cannot format the settings");
    out += trailingComments(data);
    if (!replaceFile(path, out, why))
        return fail(why);
    return true;
}

std::map<int, std::string> readPortPins(const std::string& path)
{
    std::map<int, std::string> pins;
    std::string data, why;
    bool exists = false;
    if (!readFile(path, data, exists, why) || data.empty())
        return pins;
    Ini ini;
    loadIni(ini, data);
    Ini::TNamesDepend keys;
    ini.GetAllKeys("Ports", keys);
    for (const auto& e : keys) {
        std::string_view name(e.pItem);
        if (name.size() < 4 || (name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm')
            continue;
        std::string_view digits = name.substr(3);
        if (digits.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        auto n = strToInt(digits);
        if (!n || *n < 1 || *n > 99)
            continue;
        const char* v = ini.GetValue("Ports", e.pItem, "");
        pins[int(*n)] = v ? v : "";
    }
    return pins;
}

} // namespace kd36
