#pragma once
// Keeps the session log: lines gather in a bounded buffer that a writer
// thread of its own takes to the file at least every half second, so a slow
// disk never holds the window. Only a regular file is logged to. A failed
// write, a log file that went away or a buffer the writer cannot keep up
// with stops logging and tells failed() once; the port never waits on the file.
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <sys/types.h>

#include "../engine/session_observer.h"

namespace kd36 {

class SessionLogWriter final : public QObject, public SessionObserver {
    Q_OBJECT
public:
    // The call that writes to the file (tests stand in a slow disk).
    using WriteCall = std::function<ssize_t(int fd, const char* data, size_t size)>;

    // wallMs: milliseconds since 1970 (UTC); none: the system's clock.
    explicit SessionLogWriter(std::function<int64_t()> wallMs = {}, QObject* parent = nullptr);
    ~SessionLogWriter() override;

    // Opens `path` for appending; false with `why` (UTF-8) when it cannot or
    // when it is not a regular file. Opening never blocks.
    bool start(const std::string& path, std::string& why);
    // Hands what is buffered to the file, waiting at most kStopWaitMs, and closes it.
    void stop();
    bool active() const { return shared_ != nullptr; }
    const std::string& path() const { return path_; }
    // Waits at most kStopWaitMs for what is buffered now to reach the file;
    // false when it did not (the log may have stopped: failed() follows).
    bool flush();

    void setWriteCall(WriteCall call) { write_ = std::move(call); }
    void setCapacity(size_t bytes) { capacity_ = bytes; }

    // SessionObserver
    void sent(const std::string& sjis) override;
    void received(const std::string& sjis) override;
    void portOpened(int portNumber, const PortSettings& settings) override;
    void portClosed(int portNumber) override;
    void modeChanged(bool commandMode) override;
    // In the window's language, as the boxes are.
    void error(const std::string& utf8) override;
    void openFailed(int portNumber) override;

    static constexpr int kFlushMs = 500;
    static constexpr int kStopWaitMs = 2000;
    static constexpr size_t kDefaultCapacity = 8u << 20;

    struct Shared;

signals:
    // Logging stopped (UTF-8 reason): the file could not be written or kept up with.
    void failed(const QString& why);

private:
    void add(const std::string& lines);
    void check();
    void fail(const std::string& why);
    void finish(int waitMs);
    bool waitWritten(uint64_t upTo);

    std::function<int64_t()> wallMs_;
    WriteCall write_;
    size_t capacity_ = kDefaultCapacity;
    QTimer timer_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    std::string path_;
    bool overflowSaid_ = false;
};

} // namespace kd36
