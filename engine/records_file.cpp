#include "records_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kd36 {

namespace {

std::string errnoText(int err) { return std::system_category().message(err); }

// Reads to the end, up to `maxBytes`; false with the reason in `why`.
bool readBounded(int fd, size_t maxBytes, std::string& data, std::string& why)
{
    char buf[16384];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = errnoText(errno);
            return false;
        }
        if (n == 0)
            return true;
        data.append(buf, size_t(n));
        if (data.size() > maxBytes) {
            why = "larger than " + std::to_string(maxBytes / 1024) + " KiB";
            return false;
        }
    }
}

} // namespace

std::string followLinks(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path p(path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p.string();
        std::error_code ec;
        fs::path to = fs::read_symlink(p, ec);
        if (ec)
            return p.string();
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p.string();
}

FileRead readRegularFile(const std::string& path, size_t maxBytes)
{
    FileRead r;
    r.target = followLinks(path);
    if (::stat(r.target.c_str(), &r.st) != 0) {
        if (errno == ENOENT)
            return r;
        r.state = FileRead::NotWhole;
        r.why = errnoText(errno);
        return r;
    }
    if (S_ISDIR(r.st.st_mode)) {
        r.state = FileRead::Folder;
        return r;
    }
    r.state = FileRead::NotWhole;
    auto notRegular = [&r] {
        r.why = "not a regular file";
        r.whyJa = "通常のファイルではありません。";
        return r;
    };
    if (!S_ISREG(r.st.st_mode))
        return notRegular();
    // Non-blocking: the path may have become a FIFO since the stat.
    int fd = ::open(r.target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        r.why = errnoText(errno);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return notRegular();
    }
    r.st = st;
    const bool whole = readBounded(fd, maxBytes, r.data, r.why);
    ::close(fd);
    if (whole) {
        r.state = FileRead::Whole;
    } else {
        if (r.data.size() > maxBytes)
            r.whyJa = std::to_string(maxBytes / 1024) + " KiB を超えています。";
        r.data.clear();
    }
    return r;
}

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
    const std::string target = followLinks(path);
    struct stat st {};
    const bool had = ::stat(target.c_str(), &st) == 0;
    if (had && !S_ISREG(st.st_mode)) {
        why = "not a regular file";
        return false;
    }
    const Replaced r = replaceThroughTemporary(target, data, had ? (st.st_mode & 07777) : mode_t(0644),
                                               had ? &st : nullptr);
    if (r.err)
        why = errnoText(r.err);
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
