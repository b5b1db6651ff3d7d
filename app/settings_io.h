#pragma once
// The settings file's bytes: read without blocking or without limit, keys
// set in place with every other byte kept, and replaced so that a failed
// write leaves the old file whole. Knows the tool's sections, not its keys.
#include <string>
#include <vector>

#include <sys/stat.h>

namespace kd36::settings_io {

// What was found at the settings path.
struct FileRead {
    enum State { Missing, Whole, NotWhole, Folder } state = Missing;
    std::string data;   // what could be read
    std::string why;    // NotWhole: the reason
    std::string whyJa;  // the same for the window, where the tool words it itself
    std::string target; // the path after symbolic links
    struct stat st {};
};

std::string errnoText(int err);

// Reads the settings file without ever blocking (a FIFO or a device at the
// path) and without reading without limit; only a regular file is taken.
FileRead readSettingsFile(const std::string& path);

// Whether the file has the key in the section, as the reader would see it.
bool hasKey(const std::string& data, const char* section, const char* key);

// One key the save sets: a section, a key and the value to write.
struct Entry {
    const char* section;
    const char* key;
    std::string value;
};

// The file with the given keys set to their values and every other line
// kept byte for byte. A second line for a key the tool owns is dropped (or, where
// that would join two line ends into one, set to the same value), as
// the reader would ignore one of them. Missing keys go after the last entry
// of their section ([URL], [Form], [Com]), in the order given.
std::string patchIni(const std::string& data, const std::vector<Entry>& entries);

// rewriteInPlace (settings_file.h), the reason always given.
bool rewriteInPlaceImpl(const std::string& path, const std::string& old, const std::string& data, std::string& why);

// Replaces the file through a new file beside it, so that a failed write
// leaves the old file whole. A folder that only lets the file itself be
// written gets it rewritten in place.
bool replaceFile(const FileRead& old, const std::string& data, std::string& why);

} // namespace kd36::settings_io
