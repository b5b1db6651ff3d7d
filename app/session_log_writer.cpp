#include "session_log_writer.h"

#include <QDateTime>

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../engine/session_log.h"

namespace kd36 {
namespace {

// Beyond this much pending text the file is written without waiting for the timer.
constexpr size_t kEagerBytes = 64 * 1024;

std::string errnoText(int e)
{
    return std::system_category().message(e);
}

} // namespace

SessionLogWriter::SessionLogWriter(std::function<int64_t()> wallMs, QObject* parent)
    : QObject(parent), wallMs_(std::move(wallMs))
{
    if (!wallMs_)
        wallMs_ = [] { return int64_t(QDateTime::currentMSecsSinceEpoch()); };
    timer_.setInterval(kFlushMs);
    connect(&timer_, &QTimer::timeout, this, [this] { flush(); });
}

SessionLogWriter::~SessionLogWriter()
{
    stop();
}

bool SessionLogWriter::start(const std::string& path, std::string& why)
{
    stop();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        why = errnoText(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    fd_ = fd;
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    path_ = path;
    pending_.clear();
    timer_.start();
    return true;
}

void SessionLogWriter::stop()
{
    if (fd_ < 0)
        return;
    flush();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    timer_.stop();
    pending_.clear();
}

bool SessionLogWriter::flush()
{
    flushQueued_ = false;
    if (fd_ < 0)
        return true;
    if (pending_.empty())
        return true;
    // Writing on into a file that was removed (or its folder) would lose
    // the log without a word: the name must still lead to our file.
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0 || st.st_dev != dev_ || st.st_ino != ino_) {
        fail("ログファイルが見つかりません（削除または移動されました）。");
        return false;
    }
    size_t done = 0;
    while (done < pending_.size()) {
        ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(errnoText(n < 0 ? errno : EIO));
            return false;
        }
        done += size_t(n);
    }
    pending_.clear();
    return true;
}

void SessionLogWriter::fail(const std::string& why)
{
    ::close(fd_);
    fd_ = -1;
    timer_.stop();
    pending_.clear();
    emit failed(QString::fromStdString(why));
}

void SessionLogWriter::add(std::string lines)
{
    if (fd_ < 0)
        return;
    pending_ += lines;
    // Called from inside the engine: a write and any box it leads to happen
    // after the engine's step, never in the middle of it.
    if (pending_.size() >= kEagerBytes && !flushQueued_) {
        flushQueued_ = true;
        QTimer::singleShot(0, this, [this] { flush(); });
    }
}

void SessionLogWriter::sent(const std::string& sjis)
{
    if (fd_ >= 0)
        add(formatLogData(localLogTime(wallMs_()), "TX", sjis));
}

void SessionLogWriter::received(const std::string& sjis)
{
    if (fd_ >= 0)
        add(formatLogData(localLogTime(wallMs_()), "RX", sjis));
}

void SessionLogWriter::portOpened(int portNumber, const PortSettings& settings)
{
    add(formatLogNote(localLogTime(wallMs_()), "PORT", portOpenedText(portNumber, settings)));
}

void SessionLogWriter::portClosed(int portNumber)
{
    add(formatLogNote(localLogTime(wallMs_()), "PORT", "COM" + std::to_string(portNumber) + " closed"));
}

void SessionLogWriter::modeChanged(bool commandMode)
{
    add(formatLogNote(localLogTime(wallMs_()), "MODE", commandMode ? "command" : "communication"));
}

void SessionLogWriter::error(const std::string& utf8)
{
    add(formatLogNote(localLogTime(wallMs_()), "ERROR", utf8));
}

} // namespace kd36
