#pragma once
// Settings profiles: the setting panel's write values and ticks in a small
// UTF-8 INI file, so that one set of settings can be written to many modems.
//
// Headless use:
//   auto r = readProfileFile(path);            // r.skipped lists what was left out
//   applyProfile(engine, r.profile);           // fills the panel as clicks would
//   engine.spbWriteClick();                    // then run the idle loop
// and the other way:
//   engine.spbReadClick(); ... run until engine.step() == 0 ...
//   auto p = profileFromReadBack(engine.panel(), true);
//   writeProfileFile(path, p, why);
#include <array>
#include <optional>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kd36 {

class MainEngine;
struct SettingPanel;

// Every field is optional: an absent one leaves the panel's value as it is.
// Texts are Shift-JIS, as the panel holds them.
struct SettingsProfile {
    std::optional<bool> sysIdOn, chanOn, routOn, framOn, infoOn, seriOn, seriSetOn;
    std::optional<std::string> systemId;   // as typed, at most 7 bytes
    std::optional<bool> channelAuto;       // radChAuto (true) or radChHand
    std::optional<std::string> group;      // "0".."7"
    std::optional<std::string> channel;    // "7".."46"
    std::optional<std::string> routeDest;  // "0".."F"
    std::array<std::optional<std::string>, 5> relays; // "-" or "0".."F"
    std::optional<int> frameByte, frameIdle, frameWait, frameTxNumber;
    std::optional<std::string> deviceInfo; // at most 8 bytes
    std::optional<std::string> rate, dataBits, parity, stopBits, flow; // item texts

    bool operator==(const SettingsProfile&) const = default;
};

// Why an entry was left out.
enum class ProfileProblem {
    BadValue,
    UnknownKey,
    UnknownSection,
    Duplicate,        // a key or a section given twice
    BadLine,          // neither a section, a key=value, a comment nor blank
    ControlCharacter, // a control byte inside a line (a lone CR among them)
    Missing,          // a ticked item lacks a value its command carries
};

// One entry the reader or the clone step left out (UTF-8, for the box).
struct ProfileIssue {
    std::string section;
    std::string key;
    std::string value;
    std::string reason; // Japanese, for the window
    ProfileProblem problem = ProfileProblem::BadValue;
    int line = 0; // in the file; 0 when the entry has no line
};

struct ProfileReadResult {
    bool ok = false;   // false: the file could not be read at all (error says why)
    std::string error; // UTF-8
    SettingsProfile profile;
    std::vector<ProfileIssue> skipped;
};

// What a write of the profile would be: `profile` holds the items that are
// safe to tick (an item whose values were refused or are missing is
// unticked), `issues` everything left out. Only a profile with no issue and
// at least one ticked item is `writable`: a write then sends exactly what
// the file says. `extension`: parity, stop bits and flow go out too.
struct ProfileCheck {
    SettingsProfile profile;
    std::vector<ProfileIssue> issues;
    std::vector<std::string> unticked; // the sections whose Write=yes was not taken
    bool ticksSomething = false;
    bool writable = false;
};
ProfileCheck checkProfile(const ProfileReadResult& r, bool extension);

// The model a profile is for ([Profile] Model=); a file without it is taken.
inline constexpr const char* kProfileModel = "QW57";
// The profile's text (UTF-8, CR LF free: LF line ends).
std::string formatProfile(const SettingsProfile& p);
// Reads a profile's text. The text is refused whole (ok false) when it is not
// UTF-8 or holds a NUL byte, or names another model; lines that are not
// entries, bad values, unknown sections or keys, control characters and
// keys given twice are skipped and listed, everything valid is kept.
ProfileReadResult parseProfile(std::string_view utf8);
// Only a regular file is read (a FIFO or device is refused without waiting).
ProfileReadResult readProfileFile(const std::string& path);
// Writes through a temporary beside the file (a symbolic link stays a link;
// anything but a regular file is refused); an existing file keeps its
// comments and any keys this tool does not know. False with `why` on
// failure, the old file then whole.
bool writeProfileFile(const std::string& path, const SettingsProfile& p, std::string& why);

// The panel as it stands: every write value and tick.
SettingsProfile profileFromPanel(const SettingPanel& panel);
// For a write from the command line: every tick the profile does not give
// is off, so that nothing the panel held before goes out.
void untickAbsent(SettingsProfile& p);
// The profile's values and ticks into the panel; what it does not give stays.
void applyProfileTo(SettingPanel& panel, const SettingsProfile& p);
// The same on the engine's panel. Sends nothing; false (and nothing
// changed) while a settings sequence runs.
bool applyProfile(MainEngine& engine, const SettingsProfile& p);
// The twenty read-back fields as write values, where a value is one the
// panel offers; `tick` also ticks each item whose values all came
// across. `notCopied` lists the fields that held something unusable.
SettingsProfile profileFromReadBack(const SettingPanel& panel, bool tick,
                                    std::vector<ProfileIssue>* notCopied = nullptr);
// "読込値を設定値にする": the read-back values into the write values; the
// ticks stay as they are. Returns the fields that were not copied; nothing
// happens while a settings sequence runs.
std::vector<ProfileIssue> copyReadBackToWrite(MainEngine& engine);

// "[Section] Key=value" of a skipped entry (the key alone when it is missing).
std::string issueEntry(const ProfileIssue& issue);
// The skipped entries as lines for a message box (UTF-8), at most
// `maxLines` of them and a count of the rest. `words` puts the tool's own
// texts (the reasons, "ほか %1 件") into the window's language.
std::string describeIssues(const std::vector<ProfileIssue>& issues, size_t maxLines = 20,
                           const std::function<std::string(const std::string&)>& words = {});
// One English line per entry, for standard error ("line 3: [Frame]
// ByteLength=300: invalid value"); texts as the file has them.
std::vector<std::string> issueLinesEnglish(const std::vector<ProfileIssue>& issues);

} // namespace kd36
