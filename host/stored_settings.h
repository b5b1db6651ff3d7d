#pragma once
// What the settings file holds besides the setting panel: the session's
// values (the host gives and takes them) and the window's reconnect switch.
#include <string>

#include "../serial/port_settings.h"

namespace kd36 {

struct StoredSettings {
    std::string home;          // FHomeUrl, bytes as stored
    int port = 1;              // FPortNumber
    PortSettings com;          // PortSettings
    int extension = 1;         // FExtension
    bool autoReconnect = true; // [Com] AutoReconnect: take a lost port up again
    std::string language;      // [Form] Language: "ja", "en", or empty (follow the locale)
};

} // namespace kd36
