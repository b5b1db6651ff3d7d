#pragma once
// Writing the tool's record files: whole-file replacement and RFC 4180 CSV.
#include <string>
#include <string_view>
#include <vector>

namespace kd36 {

// Writes `data` to a temporary beside `path` and renames it into place, so
// a failed write leaves an existing file whole. False with `why` (UTF-8).
bool replaceFileContents(const std::string& path, const std::string& data, std::string& why);

// One CSV field: quoted when it holds a comma, a quote, CR or LF (quotes doubled).
std::string csvField(std::string_view utf8);
// One CSV record ending in CR LF.
std::string csvRecord(const std::vector<std::string>& fields);

} // namespace kd36
