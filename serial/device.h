#pragma once
// One open serial line. Implemented on termios, on gensio (network ports)
// and by the simulated modem.
// Every implementation is used from the receive thread and the
// user-interface thread at once, so every member must be thread-safe.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "event_fd.h"
#include "port_settings.h"

namespace kd36 {

// Line-error flags, as the receive and write paths report them.
enum CommErrorFlag : uint32_t {
    CE_RXOVER = 0x0001,
    CE_OVERRUN = 0x0002,
    CE_RXPARITY = 0x0004,
    CE_FRAME = 0x0008,
    CE_BREAK = 0x0010,
    CE_TXFULL = 0x0100,
    CE_PTO = 0x0200,
    CE_IOE = 0x0400,
    CE_DNS = 0x0800,
    CE_OOP = 0x1000,
    CE_MODE = 0x8000,
};

// Modem-status bits.
enum ModemStatusBit : uint32_t {
    MS_CTS_ON = 0x10,
    MS_DSR_ON = 0x20,
    MS_RING_ON = 0x40,
    MS_RLSD_ON = 0x80,
};

// Size of the driver queues each way.
inline constexpr int kDriverQueueSize = 2048;

class Device {
public:
    virtual ~Device() = default;

    // Applies the line settings. False when refused; errorCode() tells why.
    virtual bool configure(const PortSettings& settings) = 0;
    // What the line runs at after the last configure that succeeded: the
    // driver or server may round the rate or refuse a setting. Fields the
    // device cannot tell are those asked for.
    virtual PortSettings actualSettings() const = 0;
    // Never blocks. Returns bytes read (0 when nothing waits), -1 on failure.
    virtual int read(uint8_t* buf, size_t max) = 0;
    // Never blocks. Returns bytes accepted (may be fewer than len), -1 on failure.
    virtual int write(const uint8_t* data, size_t len) = 0;
    virtual bool setDtr(bool on) = 0;
    // MS_* bits. False when the lines cannot be read.
    virtual bool modemStatus(uint32_t& bits) = 0;
    // CE_* flags gathered since the last call.
    virtual uint32_t takeErrors() = 0;
    // Bytes waiting to be read / not yet sent. -1 when unknown.
    virtual int inQueue() = 0;
    virtual int outQueue() = 0;
    // Drops both queues.
    virtual void purge() = 0;
    // False when the close itself failed.
    virtual bool close() = 0;
    // errno of the last failed call made on the calling thread (0 if none):
    // a call failing on the other thread meanwhile does not change it.
    virtual int errorCode() const = 0;

    // The receive loop's wait: returns once bytes may be waiting or the line
    // may have changed, `wakeFd` turns readable, or `timeoutUs` passes
    // (negative: no limit). A device that cannot tell returns within
    // kPollUs, so the loop polls it.
    virtual void waitForEvent(int wakeFd, int64_t timeoutUs);
    // True when waitForEvent also returns on a modem-line change; otherwise
    // the loop reads the lines itself now and then.
    virtual bool reportsLineChanges() const { return false; }
    static constexpr int64_t kPollUs = 10'000;
};

inline void Device::waitForEvent(int wakeFd, int64_t timeoutUs)
{
    waitReadable({wakeFd}, timeoutUs < 0 || timeoutUs > kPollUs ? kPollUs : timeoutUs);
}

// Why the last open or configure on the calling thread failed, where its
// errno alone would not tell (English, for a box's detail and kd36ctl);
// like errno it belongs to the thread, so any wrapper of an opener keeps it.
inline thread_local std::string tlsFailureReason;
inline void setFailureReason(std::string why) { tlsFailureReason = std::move(why); }
inline std::string takeFailureReason() { return std::exchange(tlsFailureReason, std::string()); }

// Opens the device behind COMn (the port catalog decides what that is).
class DeviceOpener {
public:
    virtual ~DeviceOpener() = default;
    // nullptr when it cannot be opened; errorCode gets the errno.
    virtual std::unique_ptr<Device> open(int portNumber, int& errorCode) = 0;
    // Names "COMn" of the ports present, in the catalog's order.
    virtual std::vector<std::string> portNames() = 0;
    // What stands behind COMn (a device path), for messages; may be empty.
    virtual std::string portDescription(int /*portNumber*/) { return {}; }
    // Who may open COMn, for a refusal for lack of permission; may be empty.
    virtual std::string permissionHint(int /*portNumber*/) { return {}; }
};

} // namespace kd36
