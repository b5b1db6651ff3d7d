#pragma once
// What a local serial device is: its node, its /dev/serial/by-id/ link and,
// for USB adapters, maker, model and serial number, as udev knows them.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kd36 {

struct DeviceIdentity {
    std::string node;   // /dev/ttyUSB0
    std::string byId;   // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0, or empty
    std::string vendor; // FTDI
    std::string model;  // FT232R USB UART
    std::string serial; // A1B2C3
    bool usb = false;
};

// udev's properties of one device turned into an identity. Text comes from
// the adapter's own descriptors: escapes are decoded, control characters
// and invalid bytes become '?', runs of blanks and underscores one space.
DeviceIdentity identityFromProperties(const std::string& node, const std::map<std::string, std::string>& props);

// "/dev/ttyUSB0 — FTDI FT232R USB UART A1B2C3 — usb-FTDI_…-if00-port0"; the
// parts that are unknown are left out.
std::string formatIdentity(const DeviceIdentity& id);

// Looks the device node (or a link to it) up in udev; nullopt when udev does
// not know it.
std::optional<DeviceIdentity> udevIdentity(const std::string& path);

// The device nodes of every tty that udev knows with a driver behind it
// (a UART, a USB adapter of any make, a board's own serial ports); virtual
// consoles and pseudo-terminals have none and are left out.
std::vector<std::string> udevSerialNodes();

} // namespace kd36
