#pragma once
// A serial line on POSIX termios.
#include <termios.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "device.h"
#include "event_fd.h"
#include "line_wait.h"
#include "port_settings.h"

namespace kd36 {

// The driver's line-error counters, as TIOCGICOUNT reports them.
struct LineErrorCounts {
    int frame = 0;
    int parity = 0;
    int overrun = 0;
    int brk = 0;
    int bufOverrun = 0;
};

// CE_* flags for the counters that moved between two readings.
uint32_t errorFlagsBetween(const LineErrorCounts& before, const LineErrorCounts& after);

// The Bnnn constant of a standard rate; nullopt for any other rate (and 0,
// which would hang up the line).
std::optional<speed_t> standardSpeed(uint32_t rate);

// Fills `t` for the settings: raw mode, non-blocking reads, line format and
// flow control. A rate that is not standard is left at B38400 for the caller
// to set through termios2. False when the settings cannot be expressed
// (data bits other than 5 to 8, rate 0).
bool buildTermios(const PortSettings& s, termios& t);

// What `t` (and the actual rate) amount to, in the terms of PortSettings.
// Fields termios does not hold (EvtChar) and the one-and-a-half stop bits,
// which share CSTOPB with two, are taken from `requested`.
PortSettings decodeTermios(const termios& t, uint32_t actualRate, const PortSettings& requested);

// An errno meaning the device has gone away (adapter pulled, pty closed).
bool isVanishedError(int err);

class TermiosDevice final : public Device {
public:
    // Opens `path` exclusively. nullptr with `err` set when it cannot.
    static std::unique_ptr<TermiosDevice> open(const std::string& path, int& err);
    ~TermiosDevice() override;

    bool configure(const PortSettings& settings) override;
    PortSettings actualSettings() const override;
    int read(uint8_t* buf, size_t max) override;
    int write(const uint8_t* data, size_t len) override;
    bool setDtr(bool on) override;
    bool modemStatus(uint32_t& bits) override;
    uint32_t takeErrors() override;
    int inQueue() override;
    int outQueue() override;
    void purge() override;
    bool close() override;
    int errorCode() const override;
    void waitForEvent(int wakeFd, int64_t timeoutUs) override;
    // A line without modem lines has nothing to report; a UART's or
    // adapter's lines are read by the loop until the driver's own wait for
    // a change has proved itself (see line_wait.h).
    bool reportsLineChanges() const override
    {
        return noLines_ || lineTrust_.state() == LineWaitTrust::State::Trusted;
    }

    const std::string& path() const { return path_; }

private:
    TermiosDevice(int fd, std::string path);
    bool fail(int err);
    bool readCounts(LineErrorCounts& c);

    std::atomic<int> fd_;
    std::string path_;
    bool noLines_ = false;
    LineWaitTrust lineTrust_;
    EventFd linesMoved_;
    std::unique_ptr<LineWaiter> lineWaiter_; // stopped before the descriptor closes
    mutable std::mutex mutex_; // guards the fields below
    LineErrorCounts lastCounts_;
    bool haveCounts_ = false;
    PortSettings actual_; // what the driver took at the last configure
};

} // namespace kd36
