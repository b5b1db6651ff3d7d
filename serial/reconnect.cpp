#include "reconnect.h"

#include <libudev.h>

#include <filesystem>

namespace kd36 {

ReconnectMachine::ReconnectMachine(std::function<bool(const std::string&)> pathExists)
    : exists_(std::move(pathExists))
{
}

void ReconnectMachine::lost(const LostPort& port, uint64_t nowMs)
{
    state_ = State::Watching;
    port_ = port;
    backoffMs_ = 1000;
    nextMs_ = nowMs + (port.network ? backoffMs_ : kPathCheckMs);
}

void ReconnectMachine::cancel()
{
    state_ = State::Idle;
    port_ = {};
}

bool ReconnectMachine::due(const std::vector<DeviceIdentity>& added, uint64_t nowMs)
{
    if (state_ != State::Watching)
        return false;
    if (port_.network)
        return nowMs >= nextMs_;
    for (const DeviceIdentity& id : added) {
        // The same adapter: by its by-id link or its serial number, wherever
        // it was plugged in; else the same node.
        if ((!port_.byId.empty() && id.byId == port_.byId)
            || (!port_.usbSerial.empty() && id.usb && id.serial == port_.usbSerial)
            || (port_.byId.empty() && port_.usbSerial.empty() && id.node == port_.path))
            return true;
    }
    if (nowMs >= nextMs_) {
        nextMs_ = nowMs + kPathCheckMs;
        return exists_ && exists_(port_.path);
    }
    return false;
}

void ReconnectMachine::failed(uint64_t nowMs)
{
    if (state_ != State::Watching)
        return;
    if (port_.network) {
        backoffMs_ = std::min(backoffMs_ * 2, kMaxBackoffMs);
        nextMs_ = nowMs + backoffMs_;
    } else {
        nextMs_ = nowMs + kPathCheckMs;
    }
}

// ------------------------------------------------------------- udev

namespace {

class UdevEventSource final : public DeviceEventSource {
public:
    UdevEventSource()
    {
        udev_ = udev_new();
        if (!udev_)
            return;
        mon_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (!mon_)
            return;
        udev_monitor_filter_add_match_subsystem_devtype(mon_, "tty", nullptr);
        if (udev_monitor_enable_receiving(mon_) != 0) {
            udev_monitor_unref(mon_);
            mon_ = nullptr;
        }
    }
    ~UdevEventSource() override
    {
        if (mon_)
            udev_monitor_unref(mon_);
        if (udev_)
            udev_unref(udev_);
    }
    std::vector<DeviceIdentity> takeAdded() override
    {
        std::vector<DeviceIdentity> out;
        if (!mon_)
            return out;
        // The monitor's socket is non-blocking: this drains what is queued.
        while (udev_device* dev = udev_monitor_receive_device(mon_)) {
            const char* action = udev_device_get_action(dev);
            const char* node = udev_device_get_devnode(dev);
            if (action && node && std::string(action) == "add") {
                std::map<std::string, std::string> props;
                udev_list_entry* e;
                udev_list_entry_foreach(e, udev_device_get_properties_list_entry(dev))
                {
                    const char* v = udev_list_entry_get_value(e);
                    props[udev_list_entry_get_name(e)] = v ? v : "";
                }
                out.push_back(identityFromProperties(node, props));
            }
            udev_device_unref(dev);
        }
        return out;
    }

private:
    udev* udev_ = nullptr;
    udev_monitor* mon_ = nullptr;
};

} // namespace

std::unique_ptr<DeviceEventSource> makeUdevEventSource() { return std::make_unique<UdevEventSource>(); }

// ------------------------------------------------------------- opener

std::unique_ptr<Device> ReconnectOpener::open(int n, int& err)
{
    if (stashed_ && stashedFor_ == n) {
        err = 0;
        return std::move(stashed_);
    }
    stashed_.reset();
    return inner_.open(n, err);
}

void ReconnectOpener::stash(int n, std::unique_ptr<Device> dev)
{
    stashedFor_ = n;
    stashed_ = std::move(dev);
}

// ------------------------------------------------------------- reconnector

PortReconnector::PortReconnector(ReconnectOpener& opener, Clock& clock, std::unique_ptr<DeviceEventSource> events,
                                 Hooks hooks)
    : opener_(opener)
    , clock_(clock)
    , events_(std::move(events))
    , hooks_(std::move(hooks))
    , machine_([](const std::string& p) {
        std::error_code ec;
        return std::filesystem::exists(p, ec);
    })
{
}

void PortReconnector::setEnabled(bool on)
{
    enabled_ = on;
    if (!on)
        machine_.cancel();
}

void PortReconnector::portLost(int n)
{
    if (!enabled_)
        return;
    std::optional<LostPort> what = hooks_.describe ? hooks_.describe(n) : std::nullopt;
    if (!what)
        return;
    what->number = n;
    if (events_)
        events_->takeAdded(); // what came before the loss is not the return
    machine_.lost(*what, clock_.nowMs());
}

bool PortReconnector::pass()
{
    // The reopen of a network port waits with the window's events running,
    // and this timer's among them.
    if (!watching() || busy_)
        return false;
    busy_ = true;
    struct Done {
        bool& f;
        ~Done() { f = false; }
    } done{busy_};
    std::vector<DeviceIdentity> added = events_ ? events_->takeAdded() : std::vector<DeviceIdentity>{};
    const uint64_t now = clock_.nowMs();
    if (!machine_.due(added, now))
        return false;
    // A local device is opened here first, quietly: one not ready yet is no
    // box, only the next try. The port holder's open then runs on it. A
    // network port is left to the port holder, which opens it off this
    // thread (the reopen hook keeps a failure quiet).
    const int n = machine_.port().number;
    if (!machine_.port().network) {
        int err = 0;
        std::unique_ptr<Device> dev = opener_.inner().open(n, err);
        if (!dev) {
            machine_.failed(now);
            return false;
        }
        opener_.stash(n, std::move(dev));
    }
    const bool ok = hooks_.reopen && hooks_.reopen();
    opener_.stash(0, nullptr);
    if (!ok) {
        machine_.failed(clock_.nowMs());
        return false;
    }
    machine_.succeeded();
    if (hooks_.reconnected)
        hooks_.reconnected(n);
    return true;
}

} // namespace kd36
