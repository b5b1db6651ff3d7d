#pragma once
// Taking a lost port up again: after an open device vanished (or a network
// link dropped), watch for the same device and reopen it when it is back.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clock.h"
#include "device.h"
#include "device_identity.h"

namespace kd36 {

// What stood behind the lost port, to know it again.
struct LostPort {
    int number = 0;
    std::string path;      // as the catalog names it (node, by-id link, URL)
    std::string byId;      // its /dev/serial/by-id/ link, if any
    std::string usbSerial; // the adapter's serial number, if any
    bool network = false;
};

// The decisions alone, on the caller's clock and events: when to try.
class ReconnectMachine {
public:
    enum class State { Idle, Watching };
    // Network retries wait 1, 2, 4 … s, at most this long.
    static constexpr uint64_t kMaxBackoffMs = 30000;
    // A local path is looked at this often even without a udev event (links
    // and pseudo-terminals have none).
    static constexpr uint64_t kPathCheckMs = 500;

    explicit ReconnectMachine(std::function<bool(const std::string&)> pathExists);

    void lost(const LostPort& port, uint64_t nowMs);
    void cancel();
    // True when an attempt is due now: a device that came (`added`) is the
    // one lost, or its path is back, or a network retry's time has come.
    bool due(const std::vector<DeviceIdentity>& added, uint64_t nowMs);
    // The attempt failed: watch on (network: the next, longer wait).
    void failed(uint64_t nowMs);
    void succeeded() { cancel(); }

    State state() const { return state_; }
    const LostPort& port() const { return port_; }
    uint64_t nextTryMs() const { return nextMs_; }

private:
    std::function<bool(const std::string&)> exists_;
    State state_ = State::Idle;
    LostPort port_;
    uint64_t nextMs_ = 0;
    uint64_t backoffMs_ = 1000;
};

// Devices that appeared, as udev reports them; never blocks.
class DeviceEventSource {
public:
    virtual ~DeviceEventSource() = default;
    virtual std::vector<DeviceIdentity> takeAdded() = 0;
};

// udev's "add" events of tty devices; an empty source when udev is absent.
std::unique_ptr<DeviceEventSource> makeUdevEventSource();

// Hands the device a reconnect attempt opened to the next OpenPort, so that
// the port holder's own open (settings, DTR, boxes) runs on it; otherwise
// passes through to the catalog.
class ReconnectOpener final : public DeviceOpener {
public:
    explicit ReconnectOpener(DeviceOpener& inner) : inner_(inner) {}
    std::unique_ptr<Device> open(int n, int& err) override;
    std::vector<std::string> portNames() override { return inner_.portNames(); }
    std::string portDescription(int n) override { return inner_.portDescription(n); }
    void stash(int n, std::unique_ptr<Device> dev);
    DeviceOpener& inner() { return inner_; }

private:
    DeviceOpener& inner_;
    int stashedFor_ = 0;
    std::unique_ptr<Device> stashed_;
};

// The machine joined to the catalog and the window: called on the user
// interface thread, never waits longer than one open.
class PortReconnector {
public:
    struct Hooks {
        // Reopens the port as the port button does (settings, DTR for the
        // mode); true when open.
        std::function<bool()> reopen;
        // COMn was taken up again (a line for the active monitor).
        std::function<void(int)> reconnected;
        // What the catalog knows of COMn (path and identity).
        std::function<std::optional<LostPort>(int)> describe;
    };
    PortReconnector(ReconnectOpener& opener, Clock& clock, std::unique_ptr<DeviceEventSource> events, Hooks hooks);

    void setEnabled(bool on);
    bool enabled() const { return enabled_; }
    // The open port COMn vanished (already reported to the user).
    void portLost(int n);
    // The user opened, closed or chose a port: stop watching.
    void cancel() { machine_.cancel(); }
    // One look; true when the port was taken up again.
    bool pass();
    bool watching() const { return machine_.state() == ReconnectMachine::State::Watching; }

private:
    ReconnectOpener& opener_;
    Clock& clock_;
    std::unique_ptr<DeviceEventSource> events_;
    Hooks hooks_;
    ReconnectMachine machine_;
    bool enabled_ = true;
    bool busy_ = false;
};

} // namespace kd36
