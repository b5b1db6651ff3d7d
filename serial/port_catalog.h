#pragma once
// Which device stands behind each COM number: COM1 the built-in simulated
// modem, COM2 upward the serial devices present, and numbers the settings
// file's [Ports] section pins.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device.h"
#include "device_identity.h"
#include "user_text.h"

namespace kd36 {

class PortCatalog final : public DeviceOpener {
public:
    struct Entry {
        int number = 0;
        std::string path; // empty for the simulator
        bool simulator = false;
        bool pinned = false;
        std::optional<DeviceIdentity> identity; // local devices udev knows
    };
    using SimulatorFactory = std::function<std::unique_ptr<Device>()>;
    using IdentityLookup = std::function<std::optional<DeviceIdentity>(const std::string& path)>;
    using NodeLister = std::function<std::vector<std::string>()>;

    // pins: COMn → device path, "simulator", or empty (number removed).
    // devRoot/sysRoot stand in for /dev and /sys (tests build fake trees).
    explicit PortCatalog(std::map<int, std::string> pins = {}, std::string devRoot = "/dev",
                         std::string sysRoot = "/sys");

    void setSimulatorFactory(SimulatorFactory factory);
    void setPins(std::map<int, std::string> pins);
    // Where identities come from (udev unless a test hands in its own).
    void setIdentityLookup(IdentityLookup lookup);
    // Where the serial devices of other drivers come from, numbered after
    // the families scanned in /dev (udev on the real /dev; none on a test
    // tree unless a test hands in its own).
    void setNodeLister(NodeLister lister);

    // Scans the devices again. The first look scans by itself; a setter
    // makes the next look scan (a scan walks udev's whole tty class).
    void refresh();
    // "COMn" of every present entry, in catalog order (ascending n).
    std::vector<std::string> names() const;
    // The device path with its identity when udev knows it, the URL of a
    // network port, "内蔵シミュレータ" for the simulator, empty when unknown.
    std::string describe(int n) const;
    // The /dev/serial/by-id/ path that would pin COMn to its adapter: set
    // for a present USB adapter whose number is not pinned yet.
    std::string pinCandidate(int n) const;
    const std::vector<Entry>& entries() const;

    // DeviceOpener
    std::unique_ptr<Device> open(int portNumber, int& errorCode) override;
    std::vector<std::string> portNames() override;
    std::string portDescription(int portNumber) override { return describe(portNumber); }
    std::string permissionHint(int portNumber) override;

private:
    const Entry* find(int n) const;
    void scan() const;
    std::vector<std::string> scanDevices() const;
    bool isRealUart(const std::string& name) const;

    std::map<int, std::string> pins_;
    std::string devRoot_;
    std::string sysRoot_;
    SimulatorFactory simulator_;
    IdentityLookup identity_;
    NodeLister others_;
    mutable std::vector<Entry> entries_;
    mutable bool scanned_ = false;
};

// The text the port dialog shows for the simulated modem.
inline constexpr const char* kSimulatorDescription = KD36_TR_NOOP("TSettingsForm", "内蔵シミュレータ");

} // namespace kd36
