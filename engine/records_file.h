#pragma once
// Writing the tool's record files: whole-file replacement and RFC 4180 CSV.
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

namespace kd36 {

// What was found at a path the tool reads whole.
struct FileRead {
    enum State { Missing, Whole, NotWhole, Folder } state = Missing;
    std::string data;   // what could be read
    std::string why;    // NotWhole: the reason
    std::string whyJa;  // the same for the window, where the tool words it itself
    std::string target; // the path after symbolic links
    struct stat st {};
};

// Follows symbolic links by hand, so that a link to a file not yet there
// still names where the file is to go.
std::string followLinks(const std::string& path);

// Reads a regular file whole without ever blocking (a FIFO or a device at
// the path is refused, not opened for long) and without reading more than
// `maxBytes`.
FileRead readRegularFile(const std::string& path, size_t maxBytes);

// Writes all of `data` at offset `at` of `fd`, again after an interruption.
bool writeAllAt(int fd, const char* data, size_t size, off_t at);

// Writes `data` to a new file beside `path` with `mode` (and the owner of
// `owner`, where we may set it) and renames it over `path`. err is 0 or the
// errno of what failed; nothing is left beside `path` on failure.
struct Replaced {
    int err = 0;
    bool temporaryMade = false; // false: the folder refused a new file
};
Replaced replaceThroughTemporary(const std::string& path, const std::string& data, mode_t mode,
                                 const struct stat* owner = nullptr);

// Writes `data` to a temporary beside the file `path` names (through its
// symbolic links) and renames it into place, so a failed write leaves an
// existing file whole and a link stays a link. Anything but a regular file
// at the path is refused. False with `why` (UTF-8).
bool replaceFileContents(const std::string& path, const std::string& data, std::string& why);

// One CSV field: quoted when it holds a comma, a quote, CR or LF (quotes doubled).
std::string csvField(std::string_view utf8);
// One CSV record ending in CR LF.
std::string csvRecord(const std::vector<std::string>& fields);

} // namespace kd36
