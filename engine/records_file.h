#pragma once
// Writing the tool's record files: whole-file replacement and RFC 4180 CSV.
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

struct stat;

namespace kd36 {

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

// Writes `data` to a temporary beside `path` and renames it into place, so
// a failed write leaves an existing file whole. False with `why` (UTF-8).
bool replaceFileContents(const std::string& path, const std::string& data, std::string& why);

// One CSV field: quoted when it holds a comma, a quote, CR or LF (quotes doubled).
std::string csvField(std::string_view utf8);
// One CSV record ending in CR LF.
std::string csvRecord(const std::vector<std::string>& fields);

} // namespace kd36
