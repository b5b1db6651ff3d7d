#include "settings_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

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

// What was found at the settings path.
struct FileRead {
    enum State { Missing, Whole, NotWhole, Folder } state = Missing;
    std::string data;   // what could be read
    std::string why;    // NotWhole: the reason
    std::string target; // the path after symbolic links
    struct stat st {};
};

std::string errnoText(int err) { return std::system_category().message(err); }

// Follows symbolic links by hand, so that a link to a file not yet there
// still names where the file is to go.
std::string followLinks(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path p(path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p.string();
        std::error_code ec;
        fs::path to = fs::read_symlink(p, ec);
        if (ec)
            return p.string();
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p.string();
}

// Reads the settings file without ever blocking (a FIFO or a device at the
// path) and without reading without limit; only a regular file is taken.
FileRead readSettingsFile(const std::string& path)
{
    FileRead r;
    r.target = followLinks(path);
    if (::stat(r.target.c_str(), &r.st) != 0) {
        if (errno == ENOENT)
            return r;
        r.state = FileRead::NotWhole;
        r.why = errnoText(errno);
        return r;
    }
    if (S_ISDIR(r.st.st_mode)) {
        r.state = FileRead::Folder;
        return r;
    }
    r.state = FileRead::NotWhole;
    if (!S_ISREG(r.st.st_mode)) {
        r.why = "not a regular file";
        return r;
    }
    int fd = ::open(r.target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        r.why = errnoText(errno);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        r.why = "not a regular file";
        return r;
    }
    r.st = st;
    std::string data;
    char buf[16384];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            r.why = errnoText(errno);
            ::close(fd);
            return r;
        }
        if (n == 0)
            break;
        data.append(buf, size_t(n));
        if (data.size() > kMaxSettingsFileBytes) {
            ::close(fd);
            r.why = "larger than " + std::to_string(kMaxSettingsFileBytes / 1024) + " KiB";
            return r;
        }
    }
    ::close(fd);
    r.data = std::move(data);
    // The reader stops at a NUL byte and knows no UTF-16: what follows
    // would be lost by a save.
    if (size_t z = r.data.find('\0'); z != std::string::npos) {
        r.why = "a NUL byte at offset " + std::to_string(z);
        return r;
    }
    if (r.data.size() >= 2 && ((r.data[0] == '\xFF' && r.data[1] == '\xFE') || (r.data[0] == '\xFE' && r.data[1] == '\xFF'))) {
        r.why = "UTF-16 text";
        return r;
    }
    r.state = FileRead::Whole;
    return r;
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

std::string lower(std::string_view v)
{
    std::string s(v);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    return s;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view v)
{
    while (!v.empty() && isBlank(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && isBlank(v.back()))
        v.remove_suffix(1);
    return v;
}

// One line of the file as the INI reader sees it: lines end at LF, CR LF or
// a lone CR; a section line is "[" name "]"; an entry has a key before "=".
struct Line {
    size_t begin = 0, end = 0, next = 0; // text [begin, end), terminator [end, next)
    bool section = false;
    bool entry = false;
    std::string name; // section name or key, lower case
};

std::vector<Line> splitLines(const std::string& data)
{
    std::vector<Line> lines;
    size_t i = 0;
    // The reader skips a UTF-8 signature.
    const size_t bom = data.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    bool nameOnNextLine = false;
    while (i < data.size()) {
        Line l;
        l.begin = i;
        size_t e = data.find_first_of("\r\n", i);
        l.end = e == std::string::npos ? data.size() : e;
        l.next = l.end;
        if (l.next < data.size())
            l.next += (data[l.next] == '\r' && l.next + 1 < data.size() && data[l.next + 1] == '\n') ? 2 : 1;
        std::string_view text(data.data() + l.begin, l.end - l.begin);
        if (l.begin == 0)
            text.remove_prefix(std::min(bom, text.size()));
        text = trimmed(text);
        // The reader takes a section name up to "]" on its line; a "[" line
        // without one still leaves the section it was in, and what follows
        // belongs to none of the tool's. A bare "[" takes its name from the
        // next line that is not blank.
        if (nameOnNextLine && !text.empty()) {
            nameOnNextLine = false;
            size_t close = text.find(']');
            l.section = true;
            l.name = close == std::string_view::npos ? std::string(1, '\0') : lower(trimmed(text.substr(0, close)));
        } else if (!text.empty() && text[0] == '[') {
            size_t close = text.find(']');
            l.section = true;
            if (close != std::string_view::npos)
                l.name = lower(trimmed(text.substr(1, close - 1)));
            else if (trimmed(text.substr(1)).empty())
                nameOnNextLine = true;
            else
                l.name = std::string(1, '\0'); // no section name can hold a NUL
        } else if (!text.empty() && text[0] != ';' && text[0] != '#') {
            size_t eq = text.find('=');
            if (eq != std::string_view::npos && eq > 0) {
                l.entry = true;
                l.name = lower(trimmed(text.substr(0, eq)));
            }
        }
        lines.push_back(std::move(l));
        i = lines.back().next;
    }
    return lines;
}

// The file with the given keys set to their values and every other line
// kept byte for byte. A second line for a key the tool
// owns is dropped, as the reader would ignore one of them.
// Whether the file has the key in the section, as the reader would see it.
bool hasKey(const std::string& data, const char* section, const char* key)
{
    std::string current;
    for (const Line& l : splitLines(data)) {
        if (l.section)
            current = l.name;
        else if (l.entry && current == lower(section) && l.name == lower(key))
            return true;
    }
    return false;
}

// One key the save sets: a section, a key and the value to write.
struct Entry {
    const char* section;
    const char* key;
    std::string value;
};

std::string patchIni(const std::string& data, const std::vector<Entry>& entries)
{
    const std::vector<Line> lines = splitLines(data);
    std::string eol = "\n";
    for (const Line& l : lines)
        if (l.next > l.end) {
            eol = data.substr(l.end, l.next - l.end);
            break;
        }
    const char* const sections[] = {"URL", "Form", "Com"};
    auto sectionIndex = [&](const std::string& name) {
        for (int i = 0; i < 3; ++i)
            if (name == lower(sections[i]))
                return i;
        return -1;
    };
    auto keyIndex = [&](int section, const std::string& key) {
        for (size_t k = 0; k < entries.size(); ++k)
            if (sectionIndex(lower(entries[k].section)) == section && lower(entries[k].key) == key)
                return int(k);
        return -1;
    };

    // Where each section's missing keys go: after the last line of the
    // section's first block that is an entry (or its header).
    std::array<long, 3> insertAfter{-1, -1, -1};
    std::array<bool, 3> firstBlockOver{};
    int current = -1; // owned section of the line, -1 none
    std::vector<int> keyOfLine(lines.size(), -1);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        if (l.section) {
            if (current >= 0)
                firstBlockOver[size_t(current)] = true;
            current = sectionIndex(l.name);
            if (current >= 0 && insertAfter[size_t(current)] < 0)
                insertAfter[size_t(current)] = long(i);
        } else if (l.entry && current >= 0) {
            keyOfLine[i] = keyIndex(current, l.name);
            if (!firstBlockOver[size_t(current)])
                insertAfter[size_t(current)] = long(i);
        }
    }

    std::vector<bool> present(entries.size());
    for (int k : keyOfLine)
        if (k >= 0)
            present[size_t(k)] = true;
    auto missingOf = [&](int section) {
        std::string add;
        for (size_t k = 0; k < entries.size(); ++k)
            if (!present[k] && sectionIndex(lower(entries[k].section)) == section)
                add += std::string(entries[k].key) + "=" + entries[k].value + eol;
        return add;
    };

    std::vector<bool> written(entries.size());
    std::string out;
    out.reserve(data.size() + 1024);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        const int k = keyOfLine[i];
        if (k < 0) {
            out.append(data, l.begin, l.next - l.begin);
        } else if (!written[size_t(k)]) {
            if (l.begin == 0 && data.compare(0, 3, "\xEF\xBB\xBF") == 0)
                out += "\xEF\xBB\xBF";
            out += std::string(entries[size_t(k)].key) + "=" + entries[size_t(k)].value;
            out.append(data, l.end, l.next - l.end);
            written[size_t(k)] = true;
        }
        for (int sct = 0; sct < 3; ++sct)
            if (insertAfter[size_t(sct)] == long(i)) {
                std::string add = missingOf(sct);
                // The last line written had no line end (a dropped
                // duplicate key leaves the one before it, which has).
                if (!add.empty() && !out.empty() && out.back() != '\n' && out.back() != '\r')
                    out += eol;
                out += add;
            }
    }
    for (int sct = 0; sct < 3; ++sct) {
        if (insertAfter[size_t(sct)] >= 0)
            continue;
        if (!out.empty() && out.back() != '\n' && out.back() != '\r')
            out += eol;
        out += "[" + std::string(sections[sct]) + "]" + eol + missingOf(sct);
    }
    return out;
}

bool writeAll(int fd, const char* data, size_t size, off_t at)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(fd, data + done, size - done, at + off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool rewriteInPlaceImpl(const std::string& path, const std::string& old, const std::string& data, std::string& why)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = errnoText(errno);
        return false;
    }
    auto fail = [&](int err) {
        why = errnoText(err);
        ::close(fd);
        return false;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(errno);
    if (!S_ISREG(st.st_mode) || size_t(st.st_size) != old.size()) {
        ::close(fd);
        why = "the file changed while it was being saved";
        return false;
    }
    const size_t common = std::min(old.size(), data.size());
    // First the part beyond the old end: when the disk or the size limit
    // refuses it, cutting back to the old length undoes it.
    if (data.size() > old.size() && !writeAll(fd, data.data() + common, data.size() - common, off_t(common))) {
        const int err = errno;
        [[maybe_unused]] int r = ::ftruncate(fd, off_t(old.size()));
        return fail(err);
    }
    // Then over the old bytes, which takes no new space; put back on failure.
    if (!writeAll(fd, data.data(), common, 0)) {
        const int err = errno;
        writeAll(fd, old.data(), common, 0);
        [[maybe_unused]] int r = ::ftruncate(fd, off_t(old.size()));
        return fail(err);
    }
    if (data.size() < old.size() && ::ftruncate(fd, off_t(data.size())) != 0) {
        const int err = errno;
        writeAll(fd, old.data(), common, 0);
        return fail(err);
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        why = errnoText(errno);
        return false;
    }
    return true;
}

// Replaces the file through a new file beside it, so that a failed write
// leaves the old file whole. A folder that only lets the file itself be
// written gets it rewritten in place.
bool replaceFile(const FileRead& old, const std::string& data, std::string& why)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(old.target);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);
    const bool had = old.state == FileRead::Whole;

    std::string tmpl = old.target + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd >= 0) {
        ::fchmod(fd, had ? (old.st.st_mode & 07777) : mode_t(0644));
        if (had && ::geteuid() == 0)
            [[maybe_unused]] int ignored = ::fchown(fd, old.st.st_uid, old.st.st_gid);
        int err = 0;
        if (!writeAll(fd, data.data(), data.size(), 0) || ::fsync(fd) != 0)
            err = errno;
        if (::close(fd) != 0 && !err)
            err = errno;
        if (!err && ::rename(tmpl.c_str(), old.target.c_str()) != 0)
            err = errno;
        if (!err)
            return true;
        why = errnoText(err);
        ::unlink(tmpl.c_str());
        return false;
    }
    const int mkErr = errno;
    if (had && (mkErr == EACCES || mkErr == EPERM || mkErr == EROFS))
        return rewriteInPlaceImpl(old.target, old.data, data, why);
    why = errnoText(mkErr);
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

void LoadSettings(const std::string& path, StoredSettings& s, View& view, WindowPlacement& wp, std::string* problem)
{
    FileRead file = readSettingsFile(path);
    if (problem)
        problem->clear();
    if (file.state == FileRead::NotWhole && problem)
        *problem = file.why;
    Ini ini;
    loadIni(ini, file.data);

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
    clampToScreens(wp);
}

bool SaveSettings(const std::string& path, const StoredSettings& s, View& view, const WindowPlacement& wp,
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
    for (size_t i = 0; i < kKeys.size(); ++i) {
        const Key& k = kKeys[i];
        std::string& v = values[i];
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
    }
    std::vector<Entry> entries;
    for (size_t i = 0; i < kKeys.size(); ++i)
        entries.push_back({kKeys[i].section, kKeys[i].key, std::move(values[i])});
    // Not one of the 29: written once the user switched it off, or kept
    // up to date when the file already has it.
    if (!s.autoReconnect || hasKey(file.data, "Com", "AutoReconnect"))
        entries.push_back({"Com", "AutoReconnect", s.autoReconnect ? "1" : "0"});

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
    const FileRead file = readSettingsFile(path);
    if (file.data.empty())
        return pins;
    Ini ini;
    loadIni(ini, file.data);
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
