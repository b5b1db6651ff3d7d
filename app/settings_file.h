#pragma once
// The settings file: read once at start, written once at exit. Toolkit-free;
// the main window's controls are reached through View (Shift-JIS texts).
#include <map>
#include <string>

#include "../engine/view.h"
#include "../serial/port_settings.h"

namespace kd36 {

// What the file holds besides the window's controls.
struct StoredSettings {
    std::string home;            // FHomeUrl, bytes as stored
    int port = 1;                // FPortNumber
    PortSettings com;            // PortSettings
    int extension = 1;           // FExtension
    bool autoReconnect = true;   // [Com] AutoReconnect: take a lost port up again
};

// Top and left are read and written; the sizes give the centred default.
struct WindowPlacement {
    int top = 0;
    int left = 0;
    int outerWidth = 0;
    int outerHeight = 0;
    int screenWidth = 0;
    int screenHeight = 0;
};

// The web address used when the file names none.
extern const char* const kDefaultHomeUrl;

// Beside the executable with the extension ".ini" when that folder can be
// written (or the file there can), else the same name in userConfigDir.
std::string settingsFilePath(const std::string& executablePath, const std::string& userConfigDir);

// Reads the 29 keys in order and applies each: a missing or unreadable file,
// section or key, or a value that is not a number, gives the default.
void LoadSettings(const std::string& path, StoredSettings& s, View& mainView, WindowPlacement& wp);

// Writes the 29 keys in order, keeping the file's other sections and its
// comments. False with a reason in *error when the file cannot be written
// (the file is then left as it was).
bool SaveSettings(const std::string& path, const StoredSettings& s, View& mainView,
                  const WindowPlacement& wp, std::string* error);

// [Ports]: COMn=device path, "simulator", or empty to drop the number.
// Read only; the tool never writes this section.
std::map<int, std::string> readPortPins(const std::string& path);

} // namespace kd36
