#pragma once
// Keeps the session log: lines gather in memory and go to the file at least
// once a second and when logging stops. A failed write or a log file that
// went away stops logging and tells failed() once; the port never waits on
// the file.
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>

#include <sys/types.h>

#include "../engine/session_observer.h"

namespace kd36 {

class SessionLogWriter final : public QObject, public SessionObserver {
    Q_OBJECT
public:
    // wallMs: milliseconds since 1970 (UTC); none: the system's clock.
    explicit SessionLogWriter(std::function<int64_t()> wallMs = {}, QObject* parent = nullptr);
    ~SessionLogWriter() override;

    // Opens `path` for appending; false with `why` (UTF-8) when it cannot.
    bool start(const std::string& path, std::string& why);
    // Writes what is pending and closes the file.
    void stop();
    bool active() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // Writes what is pending now; false when the log has just stopped on an error.
    bool flush();

    // SessionObserver
    void sent(const std::string& sjis) override;
    void received(const std::string& sjis) override;
    void portOpened(int portNumber, const PortSettings& settings) override;
    void portClosed(int portNumber) override;
    void modeChanged(bool commandMode) override;
    void error(const std::string& utf8) override;

    static constexpr int kFlushMs = 500;

signals:
    // Logging stopped because the file could not be written (UTF-8 reason).
    void failed(const QString& why);

private:
    void add(std::string lines);
    void fail(const std::string& why);

    std::function<int64_t()> wallMs_;
    QTimer timer_;
    int fd_ = -1;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    std::string path_;
    std::string pending_;
    bool flushQueued_ = false;
};

} // namespace kd36
