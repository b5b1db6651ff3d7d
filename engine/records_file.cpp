#include "records_file.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kd36 {
bool writeAllAt(int fd, const char* data, size_t size, off_t at)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(fd, data + done, size - done, at + off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

Replaced replaceThroughTemporary(const std::string& path, const std::string& data, mode_t mode,
                                 const struct stat* owner)
{
    Replaced r;
    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        r.err = errno;
        return r;
    }
    r.temporaryMade = true;
    ::fchmod(fd, mode);
    if (owner && ::geteuid() == 0)
        [[maybe_unused]] int ignored = ::fchown(fd, owner->st_uid, owner->st_gid);
    if (!writeAllAt(fd, data.data(), data.size(), 0) || ::fsync(fd) != 0)
        r.err = errno;
    if (::close(fd) != 0 && !r.err)
        r.err = errno;
    if (!r.err && ::rename(tmpl.c_str(), path.c_str()) != 0)
        r.err = errno;
    if (r.err)
        ::unlink(tmpl.c_str());
    return r;
}

bool replaceFileContents(const std::string& path, const std::string& data, std::string& why)
{
    struct stat st {};
    const bool had = ::stat(path.c_str(), &st) == 0;
    const Replaced r = replaceThroughTemporary(path, data, had ? (st.st_mode & 07777) : mode_t(0644));
    if (r.err)
        why = std::system_category().message(r.err);
    return r.err == 0;
}

std::string csvField(std::string_view s)
{
    if (s.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(s);
    std::string out = "\"";
    for (char c : s) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string csvRecord(const std::vector<std::string>& fields)
{
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        out += csvField(fields[i]);
    }
    out += "\r\n";
    return out;
}

} // namespace kd36
