#include "device_identity.h"

#include <libudev.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace kd36 {

namespace {

constexpr const char* kByIdDir = "/dev/serial/by-id/";

// udev's *_ENC values escape unsafe bytes as \xNN.
std::string decodeEscapes(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && std::isxdigit(uint8_t(s[i + 2]))
            && std::isxdigit(uint8_t(s[i + 3]))) {
            out.push_back(char(std::strtol(s.substr(i + 2, 2).c_str(), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// Printable ASCII only, blanks collapsed, trimmed.
std::string tidy(const std::string& s)
{
    std::string out;
    bool blank = false;
    for (char c : s) {
        uint8_t b = uint8_t(c);
        if (c == ' ' || c == '_' || c == '\t') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out.push_back(' ');
        blank = false;
        out.push_back(b >= 0x21 && b <= 0x7E ? c : '?');
    }
    return out;
}

std::string prop(const std::map<std::string, std::string>& p, const char* key)
{
    auto it = p.find(key);
    return it == p.end() ? std::string() : it->second;
}

} // namespace

DeviceIdentity identityFromProperties(const std::string& node, const std::map<std::string, std::string>& p)
{
    DeviceIdentity id;
    id.node = node;
    std::istringstream links(prop(p, "DEVLINKS"));
    for (std::string l; links >> l;)
        if (l.rfind(kByIdDir, 0) == 0 && l.size() > std::string(kByIdDir).size()) {
            // A link with odd bytes is not offered as a pin.
            bool plain = std::all_of(l.begin(), l.end(), [](char c) { return uint8_t(c) > 0x20 && uint8_t(c) < 0x7F; });
            id.byId = plain ? l : std::string();
            break;
        }
    id.usb = prop(p, "ID_BUS") == "usb";
    std::string vendor = prop(p, "ID_VENDOR_ENC");
    id.vendor = tidy(vendor.empty() ? prop(p, "ID_VENDOR") : decodeEscapes(vendor));
    if (id.vendor.empty())
        id.vendor = tidy(prop(p, "ID_VENDOR_FROM_DATABASE"));
    std::string model = prop(p, "ID_MODEL_ENC");
    id.model = tidy(model.empty() ? prop(p, "ID_MODEL") : decodeEscapes(model));
    id.serial = tidy(prop(p, "ID_SERIAL_SHORT"));
    return id;
}

std::string formatIdentity(const DeviceIdentity& id)
{
    static const std::string kDash = " \u2014 ";
    std::string out = id.node;
    std::string what = id.vendor;
    for (const std::string* part : {&id.model, &id.serial})
        if (!part->empty())
            what += (what.empty() ? "" : " ") + *part;
    if (!what.empty())
        out += kDash + what;
    if (!id.byId.empty())
        out += kDash + id.byId.substr(std::string(kByIdDir).size());
    return out;
}

std::optional<DeviceIdentity> udevIdentity(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return std::nullopt;
    udev* u = udev_new();
    if (!u)
        return std::nullopt;
    std::optional<DeviceIdentity> out;
    if (udev_device* dev = udev_device_new_from_devnum(u, 'c', st.st_rdev)) {
        std::map<std::string, std::string> props;
        udev_list_entry* e;
        udev_list_entry_foreach(e, udev_device_get_properties_list_entry(dev))
        {
            const char* v = udev_list_entry_get_value(e);
            props[udev_list_entry_get_name(e)] = v ? v : "";
        }
        const char* node = udev_device_get_devnode(dev);
        out = identityFromProperties(node ? node : path, props);
        udev_device_unref(dev);
    }
    udev_unref(u);
    return out;
}

std::vector<std::string> udevSerialNodes()
{
    std::vector<std::string> nodes;
    udev* u = udev_new();
    if (!u)
        return nodes;
    if (udev_enumerate* en = udev_enumerate_new(u)) {
        udev_enumerate_add_match_subsystem(en, "tty");
        udev_enumerate_scan_devices(en);
        udev_list_entry* e;
        udev_list_entry_foreach(e, udev_enumerate_get_list_entry(en))
        {
            // Consoles and pseudo-terminals have no driver behind them; not
            // loading them is most of the scan's time.
            const std::string_view syspath = udev_list_entry_get_name(e);
            if (syspath.find("/devices/virtual/") != std::string_view::npos)
                continue;
            udev_device* dev = udev_device_new_from_syspath(u, syspath.data());
            if (!dev)
                continue;
            // The tty itself has no driver; the device it belongs to has.
            udev_device* parent = udev_device_get_parent(dev);
            const char* node = udev_device_get_devnode(dev);
            if (node && parent && udev_device_get_driver(parent))
                nodes.emplace_back(node);
            udev_device_unref(dev);
        }
        udev_enumerate_unref(en);
    }
    udev_unref(u);
    return nodes;
}

} // namespace kd36
