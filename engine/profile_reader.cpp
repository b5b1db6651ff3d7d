// Reading a settings profile strictly: the text is UTF-8 or refused, every
// line is an entry, a section, a comment or blank, and each entry is taken
// only when its value is one the panel holds and the wire carries as is.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include <strings.h>

#include "../serial/user_text.h"
#include "profile_format.h"
#include "records_file.h"
#include "settings_profile.h"

namespace kd36 {

namespace profile_format {

ProfileIssue issue(ProfileProblem problem, std::string section, std::string key, std::string value, int line)
{
    static const char* const reasons[] = {
        KD36_TR_NOOP("RecordsMenu", "値が不正です"),
        KD36_TR_NOOP("RecordsMenu", "不明なキーです"),
        KD36_TR_NOOP("RecordsMenu", "不明なセクションです"),
        KD36_TR_NOOP("RecordsMenu", "重複しています"),
        KD36_TR_NOOP("RecordsMenu", "INI の行ではありません"),
        KD36_TR_NOOP("RecordsMenu", "制御文字を含みます"),
        KD36_TR_NOOP("RecordsMenu", "値がありません"),
    };
    return {std::move(section), std::move(key), std::move(value), reasons[int(problem)], problem, line};
}

} // namespace profile_format

namespace {

using namespace profile_format;

bool same(std::string_view a, const char* b)
{
    return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::optional<bool> yesNo(const std::string& v)
{
    const std::string s = lower(v);
    if (s == "yes" || s == "1" || s == "true" || s == "on")
        return true;
    if (s == "no" || s == "0" || s == "false" || s == "off")
        return false;
    return std::nullopt;
}

// The offset of the first byte that does not belong to well-formed UTF-8
// (no overlong forms, no surrogates, nothing above U+10FFFF), or npos.
size_t firstNonUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size() || (n == 2 && b < 0xC2))
            return i;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return i;
        const auto b1 = static_cast<unsigned char>(n > 1 ? s[i + 1] : 0);
        if ((n == 3 && b == 0xE0 && b1 < 0xA0) || (n == 3 && b == 0xED && b1 >= 0xA0) ||
            (n == 4 && b == 0xF0 && b1 < 0x90) || (n == 4 && (b > 0xF4 || (b == 0xF4 && b1 >= 0x90))))
            return i;
        i += n;
    }
    return std::string_view::npos;
}

// Why the text cannot be read as a profile at all, or nothing.
std::string textFault(std::string_view s)
{
    auto starts = [&](std::string_view p) { return s.substr(0, p.size()) == p; };
    using namespace std::string_view_literals;
    if (starts("\xFF\xFE\0\0"sv) || starts("\0\0\xFE\xFF"sv))
        return "UTF-32 text; save the profile as UTF-8";
    if (starts("\xFF\xFE"sv) || starts("\xFE\xFF"sv))
        return "UTF-16 text; save the profile as UTF-8";
    if (size_t z = s.find('\0'); z != std::string_view::npos)
        return "a NUL byte at offset " + std::to_string(z) + "; a profile is UTF-8 text";
    if (size_t bad = firstNonUtf8(s); bad != std::string_view::npos)
        return "not UTF-8 text (offset " + std::to_string(bad) + ")";
    return {};
}

std::string_view trim(std::string_view v)
{
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
        v.remove_suffix(1);
    return v;
}

bool hasControl(std::string_view v)
{
    return std::any_of(v.begin(), v.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\t') || b == 0x7F;
    });
}

bool knownSection(std::string_view s)
{
    for (const char* k : {"Profile", "SystemID", "Channel", "Route", "Frame", "DeviceInfo", "RS232C"})
        if (same(s, k))
            return true;
    return false;
}

struct Line {
    int number;
    std::string section, key, value;
};

// Splits the text into entries; what is not an entry goes to `skipped`.
std::vector<Line> entryLines(std::string_view text, std::vector<ProfileIssue>& skipped)
{
    std::vector<Line> out;
    std::set<std::string> sections;
    std::string section;
    int number = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        std::string_view raw = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        ++number;
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const bool closed = line.back() == ']' && line.size() >= 2;
            const std::string name(trim(line.substr(1, closed ? line.size() - 2 : 0)));
            if (!closed || name.empty() || hasControl(line)) {
                skipped.push_back(issue(ProfileProblem::BadLine, section, {}, std::string(line), number));
                section = "\n"; // keys up to the next header belong nowhere
            } else if (!sections.insert(lower(name)).second) {
                skipped.push_back(issue(ProfileProblem::Duplicate, name, {}, {}, number));
                section = name;
            } else {
                section = name;
            }
            continue;
        }
        const size_t eq = line.find('=');
        const std::string key(trim(line.substr(0, eq == std::string_view::npos ? 0 : eq)));
        if (eq == std::string_view::npos || key.empty()) {
            skipped.push_back(issue(ProfileProblem::BadLine, section, {}, std::string(line), number));
            continue;
        }
        const std::string value(trim(line.substr(eq + 1)));
        if (hasControl(line))
            skipped.push_back(issue(ProfileProblem::ControlCharacter, section, key, value, number));
        else
            out.push_back({number, section, key, value});
    }
    return out;
}

// Takes one key of the file into the profile; false when it is not a key
// of this format or its value is not acceptable (`known` tells which).
bool takeEntry(SettingsProfile& p, const std::string& section, const std::string& key, const std::string& value,
               bool& known)
{
    auto is = [](const std::string& a, const char* b) { return same(a, b); };
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
            if (indexOf(c.items(), value) < 0)
                return false;
            p.*c.field = value;
            return true;
        }
    if (is(section, "Route"))
        for (int n = 1; n <= 5; ++n)
            if (is(key, relayKey(n).c_str())) {
                if (indexOf(relayItems(), value) < 0)
                    return false;
                p.relays[size_t(n - 1)] = value;
                return true;
            }
    if (is(section, "Frame"))
        for (const Spin& s : kSpins)
            if (is(key, s.key)) {
                auto v = strictInt(value);
                if (!v || *v < s.lo() || *v > s.hi())
                    return false;
                p.*s.field = *v;
                return true;
            }
    if (is(section, "Channel") && is(key, "Mode")) {
        if (!is(value, "auto") && !is(value, "fixed"))
            return false;
        p.channelAuto = is(value, "auto");
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

// Keys given more than once: none of their values is taken.
void dropDuplicates(std::vector<Line>& lines, std::vector<ProfileIssue>& skipped)
{
    std::map<std::string, int> count;
    auto id = [](const Line& l) { return lower(l.section) + '\n' + lower(l.key); };
    for (const Line& l : lines)
        ++count[id(l)];
    std::vector<Line> kept;
    for (Line& l : lines) {
        if (count[id(l)] > 1)
            skipped.push_back(issue(ProfileProblem::Duplicate, l.section, l.key, l.value, l.number));
        else
            kept.push_back(std::move(l));
    }
    lines = std::move(kept);
}

} // namespace

ProfileReadResult parseProfile(std::string_view text)
{
    ProfileReadResult r;
    r.error = textFault(text);
    if (!r.error.empty())
        return r;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<Line> lines = entryLines(text, r.skipped);
    dropDuplicates(lines, r.skipped);
    for (const Line& l : lines) {
        if (same(l.section, "Profile") && same(l.key, "Model")) {
            if (!same(l.value, kProfileModel)) {
                r.error = "a profile for another model (" + l.value + ")";
                r.skipped.clear();
                return r;
            }
            continue;
        }
        bool known = false;
        if (!knownSection(l.section))
            r.skipped.push_back(issue(ProfileProblem::UnknownSection, l.section, l.key, l.value, l.number));
        else if (!takeEntry(r.profile, l.section, l.key, l.value, known))
            r.skipped.push_back(issue(known ? ProfileProblem::BadValue : ProfileProblem::UnknownKey, l.section,
                                      l.key, l.value, l.number));
    }
    std::stable_sort(r.skipped.begin(), r.skipped.end(),
                     [](const ProfileIssue& a, const ProfileIssue& b) { return a.line < b.line; });
    r.ok = true;
    return r;
}

ProfileReadResult readProfileFile(const std::string& path)
{
    const FileRead file = readRegularFile(path, kMaxFileBytes);
    if (file.state != FileRead::Whole) {
        ProfileReadResult r;
        r.error = file.state == FileRead::Missing ? std::string("no such file")
                  : file.state == FileRead::Folder ? std::string("a folder, not a file")
                                                   : file.why;
        return r;
    }
    return parseProfile(file.data);
}

namespace {

// The values a ticked item's command carries that the profile does not give.
void missingValues(const SettingsProfile& p, bool extension, std::vector<ProfileIssue>& out)
{
    auto need = [&](bool have, const char* section, std::string key) {
        if (!have)
            out.push_back(issue(ProfileProblem::Missing, section, std::move(key)));
    };
    if (p.sysIdOn.value_or(false))
        need(p.systemId.has_value(), "SystemID", "Value");
    if (p.chanOn.value_or(false)) {
        need(p.channelAuto.has_value(), "Channel", "Mode");
        if (p.channelAuto)
            *p.channelAuto ? need(p.group.has_value(), "Channel", "Group")
                           : need(p.channel.has_value(), "Channel", "Channel");
    }
    if (p.routOn.value_or(false)) {
        need(p.routeDest.has_value(), "Route", "Destination");
        // The relays the command carries: up to the first "-".
        for (int n = 1; n <= 5; ++n) {
            const auto& r = p.relays[size_t(n - 1)];
            need(r.has_value(), "Route", relayKey(n));
            if (!r || *r == "-")
                break;
        }
    }
    if (p.framOn.value_or(false))
        for (const Spin& s : kSpins)
            need((p.*s.field).has_value(), "Frame", s.key);
    if (p.infoOn.value_or(false))
        need(p.deviceInfo.has_value(), "DeviceInfo", "Value");
    if (p.seriOn.value_or(false)) {
        need(p.rate.has_value(), "RS232C", "Rate");
        if (extension) {
            need(p.parity.has_value(), "RS232C", "Parity");
            need(p.stopBits.has_value(), "RS232C", "StopBits");
            need(p.flow.has_value(), "RS232C", "Flow");
        }
    }
}

// The tick an entry's trouble puts in doubt.
std::optional<bool> SettingsProfile::* tickOf(const ProfileIssue& i)
{
    if (same(i.section, "RS232C"))
        return lower(i.key).rfind("databits", 0) == 0 ? &SettingsProfile::seriSetOn : &SettingsProfile::seriOn;
    for (const Tick& t : kTicks)
        if (same(i.section, t.section))
            return t.field;
    return nullptr;
}

} // namespace

ProfileCheck checkProfile(const ProfileReadResult& r, bool extension)
{
    ProfileCheck c;
    c.profile = r.profile;
    c.issues = r.skipped;
    std::vector<ProfileIssue> missing;
    missingValues(r.profile, extension, missing);
    // A value already listed as refused is not listed again as missing.
    for (ProfileIssue& m : missing)
        if (std::none_of(r.skipped.begin(), r.skipped.end(), [&](const ProfileIssue& i) {
                return same(i.section, m.section.c_str()) && same(i.key, m.key.c_str());
            }))
            c.issues.push_back(std::move(m));
    for (const ProfileIssue& i : c.issues)
        if (auto tick = tickOf(i); tick && (c.profile.*tick).value_or(false)) {
            c.profile.*tick = false;
            c.unticked.push_back(i.section);
        }
    for (const Tick& t : kTicks)
        c.ticksSomething = c.ticksSomething || (r.profile.*t.field).value_or(false);
    c.writable = r.ok && c.issues.empty() && c.ticksSomething;
    return c;
}

std::string issueEntry(const ProfileIssue& i)
{
    std::string entry = "[" + i.section + "]";
    if (!i.key.empty())
        entry += " " + i.key + (i.problem == ProfileProblem::Missing ? "" : "=" + i.value);
    else if (!i.value.empty())
        entry += " " + i.value;
    return entry;
}

std::string describeIssues(const std::vector<ProfileIssue>& issues, size_t maxLines,
                           const std::function<std::string(const std::string&)>& words)
{
    auto say = [&words](const std::string& text) { return words ? words(text) : text; };
    std::string out;
    size_t shown = 0;
    for (const ProfileIssue& i : issues) {
        if (shown == maxLines)
            break;
        out += issueEntry(i) + " : " + say(i.reason) + "\n";
        ++shown;
    }
    if (issues.size() > shown) {
        std::string more = say(KD36_TR_NOOP("RecordsMenu", "ほか %1 件"));
        if (size_t at = more.find("%1"); at != std::string::npos)
            more.replace(at, 2, std::to_string(issues.size() - shown));
        out += more + "\n";
    }
    return out;
}

std::vector<std::string> issueLinesEnglish(const std::vector<ProfileIssue>& issues)
{
    static const char* const reasons[] = {
        "invalid value",       "unknown key",        "unknown section",
        "given more than once", "not an INI line",    "a control character in the line",
        "missing (the item is ticked for writing)",
    };
    std::vector<std::string> out;
    for (const ProfileIssue& i : issues) {
        const std::string line = i.line ? "line " + std::to_string(i.line) + ": " : std::string();
        out.push_back(line + issueEntry(i) + ": " + reasons[int(i.problem)]);
    }
    return out;
}

} // namespace kd36
