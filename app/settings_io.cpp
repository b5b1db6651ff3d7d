#include "settings_io.h"

#include "engine/records_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <tuple>
#include <utility>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "settings_file.h"

namespace kd36::settings_io {

std::string errnoText(int err) { return std::system_category().message(err); }

namespace {

// Why the reader could not take the whole text (English, Japanese), or
// nothing. The reader stops at a NUL byte and knows no UTF-16 or UTF-32:
// what follows would be lost by a save. The byte-order marks come first, as
// such text is full of NULs.
std::pair<std::string, std::string> notTakenWhole(const std::string& data)
{
    auto starts = [&](std::string_view bom) { return std::string_view(data).substr(0, bom.size()) == bom; };
    using namespace std::string_view_literals;
    for (auto [bom, name] : {std::pair{"\xFF\xFE\0\0"sv, "UTF-32"}, std::pair{"\0\0\xFE\xFF"sv, "UTF-32"},
                             std::pair{"\xFF\xFE"sv, "UTF-16"}, std::pair{"\xFE\xFF"sv, "UTF-16"}})
        if (starts(bom))
            return {"the file is " + std::string(name) + " text; save it as UTF-8",
                    name + std::string(" のテキストです。UTF-8 で保存し直してください。")};
    if (size_t z = data.find('\0'); z != std::string::npos)
        return {"a NUL byte at offset " + std::to_string(z),
                "オフセット " + std::to_string(z) + " に NUL バイトがあります。"};
    return {};
}

} // namespace

FileRead readSettingsFile(const std::string& path)
{
    FileRead r = readRegularFile(path, kMaxSettingsFileBytes);
    if (r.state != FileRead::Whole)
        return r;
    // The reader still takes what comes before the fault.
    std::tie(r.why, r.whyJa) = notTakenWhole(r.data);
    if (!r.why.empty())
        r.state = FileRead::NotWhole;
    return r;
}

namespace {

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
    bool nameBelow = false; // a bare "[": the next line that is not blank names it
    std::string name;       // section name or key, lower case
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
                nameOnNextLine = l.nameBelow = true;
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

} // namespace

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

namespace {

// The sections whose keys the tool owns.
const char* const kSections[] = {"URL", "Form", "Com"};

int sectionIndex(const std::string& name)
{
    for (int i = 0; i < 3; ++i)
        if (name == lower(kSections[i]))
            return i;
    return -1;
}

int keyIndex(const std::vector<Entry>& entries, int section, const std::string& key)
{
    for (size_t k = 0; k < entries.size(); ++k)
        if (sectionIndex(lower(entries[k].section)) == section && lower(entries[k].key) == key)
            return int(k);
    return -1;
}

// Where the given keys stand in the file.
struct KeyPlaces {
    std::vector<int> keyOfLine;                  // the entry on each line, -1 none
    std::array<long, 3> insertAfter{-1, -1, -1}; // per section: where its missing keys go
};

// Each section's missing keys go after the last line of the section's
// first block that is an entry (or its header).
KeyPlaces placesOf(const std::vector<Line>& lines, const std::vector<Entry>& entries)
{
    KeyPlaces at;
    at.keyOfLine.assign(lines.size(), -1);
    std::array<bool, 3> firstBlockOver{};
    int current = -1; // owned section of the line, -1 none
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        if (l.section) {
            if (current >= 0)
                firstBlockOver[size_t(current)] = true;
            current = sectionIndex(l.name);
            if (current >= 0 && at.insertAfter[size_t(current)] < 0)
                at.insertAfter[size_t(current)] = long(i);
        } else if (l.entry && current >= 0) {
            at.keyOfLine[i] = keyIndex(entries, current, l.name);
            if (!firstBlockOver[size_t(current)])
                at.insertAfter[size_t(current)] = long(i);
        }
    }
    return at;
}

// The file's own line end: that of its first line that has one.
std::string lineEndOf(const std::string& data, const std::vector<Line>& lines)
{
    for (const Line& l : lines)
        if (l.next > l.end)
            return data.substr(l.end, l.next - l.end);
    return "\n";
}

} // namespace

namespace {

// A bare "[" with nothing after it would take the first new header as its
// name, so new sections go before it: its line, or lines.size() for none.
size_t bareHeaderAtEnd(const std::string& data, const std::vector<Line>& lines)
{
    for (size_t i = lines.size(); i-- > 0;) {
        const std::string_view text(data.data() + lines[i].begin, lines[i].end - lines[i].begin);
        if (!trimmed(text).empty())
            return lines[i].nameBelow ? i : lines.size();
    }
    return lines.size();
}

} // namespace

namespace {

// What a save adds: the keys the file lacks, in the order given.
struct Additions {
    const std::vector<Entry>& entries;
    const KeyPlaces& at;
    const std::string& eol;
    std::vector<bool> present;

    Additions(const std::vector<Entry>& e, const KeyPlaces& a, const std::string& end)
        : entries(e), at(a), eol(end), present(e.size())
    {
        for (int k : at.keyOfLine)
            if (k >= 0)
                present[size_t(k)] = true;
    }
    std::string keysOf(int section) const
    {
        std::string add;
        for (size_t k = 0; k < entries.size(); ++k)
            if (!present[k] && sectionIndex(lower(entries[k].section)) == section)
                add += std::string(entries[k].key) + "=" + entries[k].value + eol;
        return add;
    }
    // The sections the file lacks, each with its keys.
    std::string newSections() const
    {
        std::string add;
        for (int sct = 0; sct < 3; ++sct)
            if (at.insertAfter[size_t(sct)] < 0)
                add.append(1, '[').append(kSections[sct]).append(1, ']').append(eol).append(keysOf(sct));
        return add;
    }
};

// Whether leaving out line i would join a lone CR before it with an LF
// after it into one line end, swallowing a line: a second line for a key
// is then kept, set to the same value, instead.
bool joinsLineEnds(const std::string& out, const std::string& data, const std::vector<Line>& lines, size_t i)
{
    return !out.empty() && out.back() == '\r' && i + 1 < lines.size() && data[lines[i + 1].begin] == '\n';
}

// Appends `add` on lines of their own, before the byte `next` (0: none).
void appendLines(std::string& out, const std::string& add, const std::string& eol, char next = 0)
{
    if (add.empty())
        return;
    // The last line written may lack its end (a dropped duplicate key
    // leaves the one before it, which has one).
    if (!out.empty() && out.back() != '\n' && out.back() != '\r')
        out += eol;
    out += add;
    // A lone CR before an LF would read as one line end, swallowing the
    // empty line that follows.
    if (next == '\n' && out.back() == '\r')
        out += '\n';
}

} // namespace

std::string patchIni(const std::string& data, const std::vector<Entry>& entries)
{
    const std::vector<Line> lines = splitLines(data);
    const std::string eol = lineEndOf(data, lines);
    const KeyPlaces at = placesOf(lines, entries);
    const Additions added(entries, at, eol);
    const size_t tail = bareHeaderAtEnd(data, lines);
    const bool bom = data.compare(0, 3, "\xEF\xBB\xBF") == 0;

    std::vector<bool> written(entries.size());
    std::string out;
    out.reserve(data.size() + 1024);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        const int k = at.keyOfLine[i];
        const size_t sig = l.begin == 0 && bom ? 3 : 0; // the signature stays first
        if (i == tail) {
            out.append(data, 0, sig);
            out += added.newSections();
            out.append(data, l.begin + sig, l.next - l.begin - sig);
        } else if (k < 0) {
            out.append(data, l.begin, l.next - l.begin);
        } else if (!written[size_t(k)] || joinsLineEnds(out, data, lines, i)) {
            out.append(data, 0, sig);
            out += std::string(entries[size_t(k)].key) + "=" + entries[size_t(k)].value;
            out.append(data, l.end, l.next - l.end);
            written[size_t(k)] = true;
        }
        for (int sct = 0; sct < 3; ++sct)
            if (at.insertAfter[size_t(sct)] == long(i))
                appendLines(out, added.keysOf(sct), eol, i + 1 < lines.size() ? data[lines[i + 1].begin] : 0);
    }
    if (tail == lines.size())
        appendLines(out, added.newSections(), eol);
    return out;
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
    if (data.size() > old.size() && !writeAllAt(fd, data.data() + common, data.size() - common, off_t(common))) {
        const int err = errno;
        [[maybe_unused]] int r = ::ftruncate(fd, off_t(old.size()));
        return fail(err);
    }
    // Then over the old bytes, which takes no new space; put back on failure.
    if (!writeAllAt(fd, data.data(), common, 0)) {
        const int err = errno;
        writeAllAt(fd, old.data(), common, 0);
        [[maybe_unused]] int r = ::ftruncate(fd, off_t(old.size()));
        return fail(err);
    }
    if (data.size() < old.size() && ::ftruncate(fd, off_t(data.size())) != 0) {
        const int err = errno;
        writeAllAt(fd, old.data(), common, 0);
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

bool replaceFile(const FileRead& old, const std::string& data, std::string& why)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(old.target);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);
    const bool had = old.state == FileRead::Whole;

    const Replaced r = replaceThroughTemporary(old.target, data, had ? (old.st.st_mode & 07777) : mode_t(0644),
                                               had ? &old.st : nullptr);
    if (!r.err)
        return true;
    if (!r.temporaryMade && had && (r.err == EACCES || r.err == EPERM || r.err == EROFS))
        return rewriteInPlaceImpl(old.target, old.data, data, why);
    why = errnoText(r.err);
    return false;
}

} // namespace kd36::settings_io
