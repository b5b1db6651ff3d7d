#pragma once
// The profile format's tables, shared by its reader and the panel side:
// which key fills which part of the panel, and what each accepts.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setting_panel.h"
#include "settings_profile.h"

namespace kd36::profile_format {

using List = std::vector<std::string>;

struct Spin {
    const char* key;
    PanelFrame frame;
    std::optional<int> SettingsProfile::* field;
    int lo() const { return frameRange(frame).lo; }
    int hi() const { return frameRange(frame).hi; }
};
extern const Spin kSpins[4];

struct Tick {
    const char* section;
    const char* key;
    PanelTick tick;
    std::optional<bool> SettingsProfile::* field;
};
extern const Tick kTicks[7];

struct Choice {
    const char* section;
    const char* key;
    PanelChoice choice;
    std::optional<std::string> SettingsProfile::* field;
    const List& items() const { return panelItems(choice); }
};
extern const Choice kChoices[8];

inline constexpr size_t kSystemIdMax = 7;
inline constexpr size_t kDeviceInfoMax = 8;
// A profile is a few hundred bytes; anything far larger is not one.
inline constexpr size_t kMaxFileBytes = 64 * 1024;

int indexOf(const List& items, const std::string& s);
std::string relayKey(int n);
std::optional<int> strictInt(std::string_view s);
bool validSystemId(const std::string& sjis);
bool validDeviceInfo(const std::string& sjis);
// UTF-8 from the file to the panel's Shift-JIS; nullopt when a character has
// no Shift-JIS form or the bytes are not UTF-8.
std::optional<std::string> fromFileText(const std::string& utf8);

// The issue for an entry, its reason text filled in.
ProfileIssue issue(ProfileProblem problem, std::string section, std::string key = {}, std::string value = {},
                   int line = 0);

} // namespace kd36::profile_format
