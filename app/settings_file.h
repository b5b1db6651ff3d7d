#pragma once
// The settings file: read once at start, written once at exit. Toolkit-free;
// the setting panel's write values are kept in it (Shift-JIS texts).
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../engine/setting_panel.h"
#include "../host/stored_settings.h"
#include "../serial/port_settings.h"

namespace kd36 {

// The part of a screen a window may use.
struct ScreenArea {
    int x = 0, y = 0, width = 0, height = 0;
};

// Top and left are read and written; the sizes give the centred default.
struct WindowPlacement {
    int top = 0;
    int left = 0;
    int outerWidth = 0;
    int outerHeight = 0;
    int screenWidth = 0;
    int screenHeight = 0;
    // Every screen's area; none: one screen of screenWidth by screenHeight at 0,0.
    std::vector<ScreenArea> screens;
};

// Moves top and left so that the window lies on the screen it overlaps most
// (or the nearest one). A window larger than a screen covers it.
void clampToScreens(WindowPlacement& wp);

// The web address used when the file names none.
extern const char* const kDefaultHomeUrl;

// The user's folder for the settings: $XDG_CONFIG_HOME/kd36setup, by
// default ~/.config/kd36setup.
std::string userConfigFolder();
// The same name as the executable with the extension ".ini": beside it when
// such a file is already there (a portable copy), else in userConfigDir.
std::string settingsFilePath(const std::string& executablePath, const std::string& userConfigDir);

// Reads the 29 keys in order and applies each: a missing or unreadable file,
// section or key, or a value that is not a number, gives the default. The
// window position is then clamped onto a screen. When the file exists but
// cannot be taken whole (not a regular file, too large, unreadable, a NUL
// byte, UTF-16 or UTF-32), *problem says why, in the window's Japanese where
// the tool words it itself (in English for an English window): the next
// save leaves that file alone.
void LoadSettings(const std::string& path, StoredSettings& s, SettingPanel& panel, WindowPlacement& wp,
                  std::string* problem = nullptr, bool englishProblem = false);
// Only what a run without the window takes: the port, its line settings,
// the extended-mode switch and the stored switches; nothing of the panel.
void LoadLineSettings(const std::string& path, StoredSettings& s, std::string* problem = nullptr);

// Writes the 29 keys, changing only their lines: every other byte of the
// file (sections, keys, comments, blank lines, line ends) stays as it was;
// missing keys go after the last entry of their section, in table order. A
// symbolic link is written through. False with a reason in *error when the
// file cannot be written or cannot be read whole; the file is then left as
// it was.
bool SaveSettings(const std::string& path, const StoredSettings& s, const SettingPanel& panel,
                  const WindowPlacement& wp, std::string* error);

// The fallback when no new file can be made beside the old one: overwrites
// `path`, which must hold exactly `old`, with `data`. A write that fails
// part-way puts the old bytes back, so the file is never left shorter than
// the old content nor cut mid-way.
bool rewriteInPlace(const std::string& path, const std::string& old, const std::string& data, std::string* why);

// The largest settings file read.
constexpr size_t kMaxSettingsFileBytes = 1 << 20;

// [Ports]: COMn=device path, "simulator", or empty to drop the number.
// Read only; the tool never writes this section.
std::map<int, std::string> readPortPins(const std::string& path);

// Every key=value of one section, in file order; read only.
std::vector<std::pair<std::string, std::string>> readSection(const std::string& path, const char* section);

} // namespace kd36
