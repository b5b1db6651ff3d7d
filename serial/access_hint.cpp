#include "access_hint.h"

#include <cstdio>

#include <grp.h>
#include <sys/stat.h>

namespace kd36 {

std::string systemGroupName(gid_t gid)
{
    const group* g = ::getgrgid(gid);
    return g && g->gr_name ? std::string(g->gr_name) : std::string();
}

std::string accessHint(const std::string& path, const std::function<std::string(gid_t)>& groupName)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    const std::string group = groupName(st.st_gid);
    const bool groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (groupMayUse && st.st_gid != 0 && !group.empty())
        return "members of the group " + group + " may open it: sudo usermod -aG " + group +
               " \"$USER\", then log in again";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
    return std::string("only root can open it (mode ") + mode + ", group " +
           (group.empty() ? std::to_string(st.st_gid) : group) + ")";
}

} // namespace kd36
