#pragma once
// The one write to the settings file's [Ports] section: pinning a COM number
// to the adapter the user chose.
#include <string>

namespace kd36 {

// `data` with "COMn=value" set in [Ports]: an existing COMn line (any case)
// gets the new value, else the line is added at the end of the section, else
// the section is added at the end. Every other byte stays as it was.
std::string withPortPin(const std::string& data, int n, const std::string& value);

// Rewrites the file so (through a temporary beside it: a failed write
// leaves the old file whole). False with a reason in *why.
bool writePortPin(const std::string& path, int n, const std::string& value, std::string* why);

} // namespace kd36
