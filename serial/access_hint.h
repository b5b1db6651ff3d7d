#pragma once
// What to tell a user whom a device refused for lack of permission: the
// group that may open it and the command that adds the user, or that only
// root can.
#include <functional>
#include <string>

#include <sys/types.h>

namespace kd36 {

// The group's name from the system's group database ("" when unknown).
std::string systemGroupName(gid_t gid);

// One sentence for the device at `path` (links followed), or "" when it
// cannot be looked at. `groupName` stands in for the group database.
std::string accessHint(const std::string& path,
                       const std::function<std::string(gid_t)>& groupName = systemGroupName);

} // namespace kd36
