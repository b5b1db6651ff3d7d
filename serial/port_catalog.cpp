#include "port_catalog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

#include "access_hint.h"
#include "comm_port.h"
#include "gensio_device.h"
#include "termios_device.h"

namespace fs = std::filesystem;

namespace kd36 {

namespace {

// Scanned device families, in catalog order.
constexpr const char* kFamilies[] = {"ttyUSB", "ttyACM", "ttyS", "ttyAMA", "rfcomm"};

bool isSimulatorPin(const std::string& value)
{
    static const std::string kWord = "simulator";
    return value.size() == kWord.size()
        && std::equal(value.begin(), value.end(), kWord.begin(),
                      [](char a, char b) { return std::tolower(uint8_t(a)) == b; });
}

// A family's name followed by its number ("ttyUSB12").
bool inFamily(const std::string& name, const std::string& family)
{
    if (name.size() <= family.size() || name.compare(0, family.size(), family) != 0)
        return false;
    const std::string digits = name.substr(family.size());
    return digits.size() <= 6 && std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(uint8_t(c)); });
}

// Sorts names with their numbers in order: "ttymxc2" before "ttymxc10".
std::string naturalKey(const std::string& name)
{
    size_t d = name.size();
    while (d > 0 && std::isdigit(uint8_t(name[d - 1])))
        --d;
    const std::string digits = name.substr(d);
    return name.substr(0, d) + '\0' + std::string(digits.size() < 12 ? 12 - digits.size() : 0, '0') + digits;
}

// The device's own path, so that a pinned symlink and the scanned name of
// the same device are recognised as one.
std::string canonicalOf(const std::string& path)
{
    if (isNetworkPortName(path))
        return path;
    std::error_code ec;
    fs::path p = fs::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

} // namespace

PortCatalog::PortCatalog(std::map<int, std::string> pins, std::string devRoot, std::string sysRoot)
    : pins_(std::move(pins)), devRoot_(std::move(devRoot)), sysRoot_(std::move(sysRoot)), identity_(udevIdentity)
{
    if (devRoot_ == "/dev")
        others_ = udevSerialNodes;
}

void PortCatalog::setNodeLister(NodeLister lister)
{
    others_ = std::move(lister);
    scanned_ = false;
}

void PortCatalog::setSimulatorFactory(SimulatorFactory factory) { simulator_ = std::move(factory); }

void PortCatalog::setIdentityLookup(IdentityLookup lookup)
{
    identity_ = std::move(lookup);
    scanned_ = false;
}

void PortCatalog::setPins(std::map<int, std::string> pins)
{
    pins_ = std::move(pins);
    scanned_ = false;
}

bool PortCatalog::isRealUart(const std::string& name) const
{
    std::error_code ec;
    fs::path tty = fs::path(sysRoot_) / "class" / "tty" / name;
    fs::path driverLink = tty / "device" / "driver";
    if (!fs::exists(driverLink, ec))
        return false;
    fs::path driver = fs::canonical(driverLink, ec);
    std::string driverName = ec ? std::string() : driver.filename().string();

    // The 8250 driver registers every legacy slot; an unknown port type
    // (0) means there is no UART behind it.
    std::ifstream typeFile(tty / "type");
    int type = -1;
    if (typeFile >> type)
        return type != 0;
    return driverName.find("8250") == std::string::npos;
}

std::vector<std::string> PortCatalog::scanDevices() const
{
    std::vector<std::string> found;
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(devRoot_, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());

    for (const char* family : kFamilies) {
        const std::string prefix = family;
        std::vector<std::pair<unsigned long, std::string>> members;
        for (const auto& name : names) {
            if (!inFamily(name, family))
                continue;
            if (prefix == "ttyS" && !isRealUart(name))
                continue;
            members.emplace_back(std::stoul(name.substr(prefix.size())), name);
        }
        std::sort(members.begin(), members.end());
        for (const auto& m : members)
            found.push_back((fs::path(devRoot_) / m.second).string());
    }
    // Other drivers' ports after the families, in name order (ttyS10 after ttyS9).
    std::vector<std::pair<std::string, std::string>> others;
    for (const std::string& node : others_ ? others_() : std::vector<std::string>{}) {
        const std::string name = fs::path(node).filename().string();
        if (!std::none_of(std::begin(kFamilies), std::end(kFamilies), [&](const char* f) { return inFamily(name, f); }))
            continue;
        others.emplace_back(naturalKey(name), node);
    }
    std::sort(others.begin(), others.end());
    for (const auto& o : others)
        found.push_back(o.second);
    return found;
}

void PortCatalog::refresh() { scan(); }

const std::vector<PortCatalog::Entry>& PortCatalog::entries() const
{
    if (!scanned_)
        scan();
    return entries_;
}

void PortCatalog::scan() const
{
    scanned_ = true;
    entries_.clear();
    std::set<std::string> pinnedDevices;
    for (const auto& [n, value] : pins_) {
        if (n < 1 || n > kMaxPorts || value.empty())
            continue;
        Entry e;
        e.number = n;
        e.pinned = true;
        if (isSimulatorPin(value)) {
            e.simulator = true;
        } else {
            e.path = value;
            pinnedDevices.insert(canonicalOf(value));
        }
        entries_.push_back(e);
    }
    if (!pins_.count(1))
        entries_.push_back({1, {}, true, false, std::nullopt});

    int n = 2;
    for (const auto& path : scanDevices()) {
        if (pinnedDevices.count(canonicalOf(path)))
            continue;
        while (n <= kMaxPorts && pins_.count(n))
            ++n;
        if (n > kMaxPorts)
            break;
        entries_.push_back({n++, path, false, false, std::nullopt});
    }
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& a, const Entry& b) { return a.number < b.number; });
    if (identity_)
        for (auto& e : entries_)
            if (!e.simulator && !isNetworkPortName(e.path))
                e.identity = identity_(e.path);
}

const PortCatalog::Entry* PortCatalog::find(int n) const
{
    for (const auto& e : entries())
        if (e.number == n)
            return &e;
    return nullptr;
}

std::vector<std::string> PortCatalog::names() const
{
    std::vector<std::string> out;
    for (const auto& e : entries()) {
        // A pinned device that is not plugged in is not present.
        std::error_code ec;
        if (!e.simulator && !isNetworkPortName(e.path) && !fs::exists(e.path, ec))
            continue;
        out.push_back("COM" + std::to_string(e.number));
    }
    return out;
}

std::string PortCatalog::describe(int n) const
{
    const Entry* e = find(n);
    if (!e)
        return {};
    if (e->simulator)
        return kSimulatorDescription;
    if (e->identity) {
        // The path as pinned (or scanned) leads; the node it stands for follows.
        DeviceIdentity id = *e->identity;
        std::string text = formatIdentity(id);
        return id.node == e->path || id.byId == e->path ? text : e->path + " \u2014 " + text;
    }
    return e->path;
}

std::string PortCatalog::pinCandidate(int n) const
{
    const Entry* e = find(n);
    if (!e || e->pinned || !e->identity || !e->identity->usb)
        return {};
    return e->identity->byId;
}

std::vector<std::string> PortCatalog::portNames()
{
    refresh();
    return names();
}

std::string PortCatalog::permissionHint(int portNumber)
{
    const Entry* e = find(portNumber);
    return e && !e->simulator && !isNetworkPortName(e->path) ? accessHint(e->path) : std::string();
}

std::unique_ptr<Device> PortCatalog::open(int portNumber, int& errorCode)
{
    errorCode = 0;
    // A device plugged in since the last scan gets its number now.
    if (!find(portNumber))
        refresh();
    const Entry* e = find(portNumber);
    if (!e) {
        errorCode = ENOENT;
        return nullptr;
    }
    if (e->simulator) {
        std::unique_ptr<Device> dev = simulator_ ? simulator_() : nullptr;
        if (!dev)
            errorCode = ENODEV;
        return dev;
    }
    if (isNetworkPortName(e->path))
        return GensioDevice::open(e->path, errorCode);
    return TermiosDevice::open(e->path, errorCode);
}

} // namespace kd36
