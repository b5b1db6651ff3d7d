#include "session_log_writer.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../engine/session_log.h"

namespace kd36 {

// What the window and the writer thread share. The thread keeps its own
// reference, so one left stuck on a dead disk at shutdown frees it itself.
struct SessionLogWriter::Shared {
    std::mutex m;
    std::condition_variable wake;     // the writer: something to write, or stop
    std::condition_variable progress; // the window: bytes written, or the end
    std::string pending;
    uint64_t queued = 0;  // bytes ever buffered
    uint64_t written = 0; // bytes ever taken off the buffer by the writer
    bool stopping = false;
    bool ended = false;
    std::string error; // why the writer gave up
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    std::string path;
};

namespace {

// Beyond this much buffered text the writer starts without waiting for its tick.
constexpr size_t kEagerBytes = 64 * 1024;

std::string errnoText(int e)
{
    return std::system_category().message(e);
}

// The writer's own reasons are translated where they are shown (RecordsMenu).
const char* const kNotRegular =
    QT_TRANSLATE_NOOP("SessionLogWriter", "通常のファイルではありません。ログは通常のファイルにだけ記録できます。");

// Why the batch could not be written, or nothing.
std::string writeBatch(SessionLogWriter::Shared& sh, const SessionLogWriter::WriteCall& call, const std::string& batch)
{
    // Writing on into a file that was removed (or its folder) would lose
    // the log without a word: the name must still lead to our file.
    struct stat st {};
    if (::stat(sh.path.c_str(), &st) != 0 || st.st_dev != sh.dev || st.st_ino != sh.ino)
        return QT_TRANSLATE_NOOP("SessionLogWriter", "ログファイルが見つかりません（削除または移動されました）。");
    size_t done = 0;
    while (done < batch.size()) {
        ssize_t n = call ? call(sh.fd, batch.data() + done, batch.size() - done)
                         : ::write(sh.fd, batch.data() + done, batch.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return errnoText(n < 0 ? errno : EIO);
        done += size_t(n);
    }
    return {};
}

void writerLoop(std::shared_ptr<SessionLogWriter::Shared> sh, SessionLogWriter::WriteCall call)
{
    std::unique_lock lk(sh->m);
    for (;;) {
        sh->wake.wait_for(lk, std::chrono::milliseconds(SessionLogWriter::kFlushMs),
                          [&] { return sh->stopping || sh->pending.size() >= kEagerBytes; });
        if (sh->pending.empty()) {
            if (sh->stopping)
                break;
            continue;
        }
        std::string batch;
        batch.swap(sh->pending);
        lk.unlock();
        std::string why = writeBatch(*sh, call, batch);
        lk.lock();
        sh->written += batch.size();
        if (!why.empty()) {
            sh->error = why;
            sh->written += sh->pending.size();
            sh->pending.clear();
            break;
        }
        sh->progress.notify_all();
    }
    ::close(sh->fd);
    sh->ended = true;
    sh->progress.notify_all();
}

} // namespace

SessionLogWriter::SessionLogWriter(std::function<int64_t()> wallMs, QObject* parent)
    : QObject(parent), wallMs_(std::move(wallMs))
{
    if (!wallMs_)
        wallMs_ = [] { return int64_t(QDateTime::currentMSecsSinceEpoch()); };
    timer_.setInterval(kFlushMs);
    connect(&timer_, &QTimer::timeout, this, [this] { check(); });
}

SessionLogWriter::~SessionLogWriter()
{
    stop();
}

bool SessionLogWriter::start(const std::string& path, std::string& why)
{
    stop();
    // Refused before it is opened: opening a device can act on it.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        why = kNotRegular;
        return false;
    }
    // Non-blocking, so a FIFO put there since cannot hold the open.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) {
        why = errnoText(errno);
        return false;
    }
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        why = statted ? kNotRegular : errnoText(errno);
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, O_APPEND);
    auto sh = std::make_shared<Shared>();
    sh->fd = fd;
    sh->dev = st.st_dev;
    sh->ino = st.st_ino;
    sh->path = path;
    shared_ = sh;
    path_ = path;
    overflowSaid_ = false;
    thread_ = std::thread(writerLoop, sh, write_);
    timer_.start();
    return true;
}

bool SessionLogWriter::waitWritten(uint64_t upTo)
{
    std::shared_ptr<Shared> sh = shared_;
    std::unique_lock lk(sh->m);
    sh->wake.notify_one();
    return sh->progress.wait_for(lk, std::chrono::milliseconds(kStopWaitMs),
                                 [&] { return sh->written >= upTo || sh->ended; })
        && sh->written >= upTo && sh->error.empty();
}

bool SessionLogWriter::flush()
{
    if (!shared_)
        return true;
    uint64_t upTo = 0;
    {
        std::lock_guard g(shared_->m);
        upTo = shared_->queued;
    }
    const bool ok = waitWritten(upTo);
    check();
    return ok;
}

void SessionLogWriter::stop()
{
    finish(kStopWaitMs);
}

void SessionLogWriter::finish(int waitMs)
{
    if (!shared_)
        return;
    timer_.stop();
    std::shared_ptr<Shared> sh = std::move(shared_);
    bool ended = false;
    {
        std::unique_lock lk(sh->m);
        sh->stopping = true;
        sh->wake.notify_one();
        ended = sh->progress.wait_for(lk, std::chrono::milliseconds(waitMs), [&] { return sh->ended; });
    }
    // A writer stuck in the kernel is left to finish on its own.
    if (ended)
        thread_.join();
    else
        thread_.detach();
}

void SessionLogWriter::check()
{
    if (!shared_)
        return;
    std::string why;
    {
        std::lock_guard g(shared_->m);
        why = shared_->error;
    }
    if (!why.empty())
        fail(why);
}

void SessionLogWriter::fail(const std::string& why)
{
    // The writer has ended, or cannot keep up: the window does not wait for it.
    finish(0);
    emit failed(QString::fromStdString(why));
}

void SessionLogWriter::add(const std::string& lines)
{
    // Once full, nothing more: the log ends where it says it stopped.
    if (!shared_ || overflowSaid_)
        return;
    bool full = false;
    {
        std::lock_guard g(shared_->m);
        if (shared_->pending.size() + lines.size() > capacity_) {
            full = true;
            // The file says where it stops.
            const std::string note = formatLogNote(localLogTime(wallMs_()), "ERROR", "log buffer full; logging stopped");
            shared_->pending += note;
            shared_->queued += note.size();
        } else {
            shared_->pending += lines;
            shared_->queued += lines.size();
        }
        if (shared_->pending.size() >= kEagerBytes)
            shared_->wake.notify_one();
    }
    if (full) {
        overflowSaid_ = true;
        // Called from inside the engine: the box comes after its step.
        QTimer::singleShot(0, this, [this] {
            if (shared_)
                fail(QT_TRANSLATE_NOOP("SessionLogWriter", "ログファイルへの書き込みが追いつかないため、記録を停止しました。"));
        });
    }
}

void SessionLogWriter::sent(const std::string& sjis)
{
    if (shared_)
        add(formatLogData(localLogTime(wallMs_()), "TX", sjis));
}

void SessionLogWriter::received(const std::string& sjis)
{
    if (shared_)
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
    add(formatLogNote(localLogTime(wallMs_()), "ERROR",
                      QCoreApplication::translate("SessionLogWriter", utf8.c_str()).toStdString()));
}

void SessionLogWriter::openFailed(int portNumber)
{
    error(tr("COM%1 を開けません").arg(portNumber).toStdString());
}

} // namespace kd36
