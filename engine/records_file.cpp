#include "records_file.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kd36 {
namespace {

bool writeAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

} // namespace

bool replaceFileContents(const std::string& path, const std::string& data, std::string& why)
{
    struct stat st {};
    const bool had = ::stat(path.c_str(), &st) == 0;
    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        why = std::system_category().message(errno);
        return false;
    }
    ::fchmod(fd, had ? (st.st_mode & 07777) : mode_t(0644));
    int err = 0;
    if (!writeAll(fd, data) || ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err && ::rename(tmpl.c_str(), path.c_str()) != 0)
        err = errno;
    if (!err)
        return true;
    why = std::system_category().message(err);
    ::unlink(tmpl.c_str());
    return false;
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
