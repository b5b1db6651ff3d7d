#include "port_pins.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace kd36 {

namespace {

std::string trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return {};
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

bool sameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(uint8_t(a[i])) != std::tolower(uint8_t(b[i])))
            return false;
    return true;
}

} // namespace

std::string withPortPin(const std::string& data, int n, const std::string& value)
{
    const std::string key = "COM" + std::to_string(n);
    const std::string eol = data.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    // Lines as [begin, end) without their line break.
    bool inPorts = false;
    size_t insertAt = std::string::npos; // after the section's last non-blank line
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        size_t next = nl == std::string::npos ? data.size() : nl + 1;
        size_t end = nl == std::string::npos ? data.size() : nl;
        if (end > pos && data[end - 1] == '\r')
            --end;
        std::string line = trim(data.substr(pos, end - pos));
        if (!line.empty() && line.front() == '[') {
            size_t close = line.find(']');
            inPorts = close != std::string::npos && sameNoCase(trim(line.substr(1, close - 1)), "Ports");
            if (inPorts)
                insertAt = next;
        } else if (inPorts && !line.empty() && line[0] != ';' && line[0] != '#') {
            insertAt = next;
            size_t eq = line.find('=');
            if (eq != std::string::npos && sameNoCase(trim(line.substr(0, eq)), key)) {
                // Only the value after '=' changes.
                size_t valueStart = data.find('=', pos) + 1;
                while (valueStart < end && (data[valueStart] == ' ' || data[valueStart] == '\t'))
                    ++valueStart;
                return data.substr(0, valueStart) + value + data.substr(end);
            }
        }
        pos = next;
    }
    if (insertAt != std::string::npos) {
        std::string before = data.substr(0, insertAt);
        if (!before.empty() && before.back() != '\n')
            before += eol;
        return before + key + "=" + value + eol + data.substr(insertAt);
    }
    std::string out = data;
    if (!out.empty() && out.back() != '\n')
        out += eol;
    return out + "[Ports]" + eol + key + "=" + value + eol;
}

bool writePortPin(const std::string& path, int n, const std::string& value, std::string* why)
{
    auto fail = [&](int err) {
        if (why)
            *why = std::system_category().message(err);
        return false;
    };
    std::string data;
    struct stat st {};
    const bool had = ::stat(path.c_str(), &st) == 0;
    if (had) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return fail(errno ? errno : EACCES);
        std::ostringstream all;
        all << in.rdbuf();
        if (in.bad())
            return fail(EIO);
        data = all.str();
    }
    const std::string out = withPortPin(data, n, value);
    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return fail(errno);
    ::fchmod(fd, had ? (st.st_mode & 07777) : mode_t(0644));
    int err = 0;
    for (size_t done = 0; done < out.size() && !err;) {
        ssize_t k = ::write(fd, out.data() + done, out.size() - done);
        if (k < 0 && errno != EINTR)
            err = errno;
        else if (k > 0)
            done += size_t(k);
    }
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err && ::rename(tmpl.c_str(), path.c_str()) != 0)
        err = errno;
    if (err) {
        ::unlink(tmpl.c_str());
        return fail(err);
    }
    return true;
}

} // namespace kd36
