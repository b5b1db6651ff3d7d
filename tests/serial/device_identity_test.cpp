// Identity of local serial devices from udev's properties, and what the
// catalog makes of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "serial/device_identity.h"
#include "serial/port_catalog.h"

using namespace kd36;
namespace fs = std::filesystem;

TEST(DeviceIdentity, UsbAdapterShowsNodeMakerModelSerialAndByIdName)
{
    DeviceIdentity id = identityFromProperties(
        "/dev/ttyUSB0", {{"ID_BUS", "usb"},
                         {"ID_VENDOR", "FTDI"},
                         {"ID_VENDOR_ENC", "FTDI"},
                         {"ID_MODEL", "FT232R_USB_UART"},
                         {"ID_MODEL_ENC", "FT232R\\x20USB\\x20UART"},
                         {"ID_SERIAL_SHORT", "A1B2C3"},
                         {"DEVLINKS", "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0 "
                                      "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"}});
    EXPECT_TRUE(id.usb);
    EXPECT_EQ(id.byId, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    EXPECT_EQ(formatIdentity(id),
              "/dev/ttyUSB0 — FTDI FT232R USB UART A1B2C3 — usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");

    // A built-in UART: only its node.
    EXPECT_EQ(formatIdentity(identityFromProperties("/dev/ttyS0", {})), "/dev/ttyS0");
    // Vendor name from the hardware database when the adapter has none.
    DeviceIdentity db = identityFromProperties("/dev/ttyACM0", {{"ID_VENDOR_FROM_DATABASE", "Acme Radio"}});
    EXPECT_EQ(formatIdentity(db), "/dev/ttyACM0 — Acme Radio");
}

TEST(DeviceIdentity, DescriptorTextIsTidiedIntoPlainPrintableText)
{
    // The strings are the adapter's own: escapes decode, control bytes and
    // non-ASCII become '?', so nothing can reach a terminal or a label as markup.
    DeviceIdentity id = identityFromProperties(
        "/dev/ttyUSB1", {{"ID_VENDOR_ENC", "Evil\\x1b]0;x\\x07"}, {"ID_MODEL_ENC", "\\x20\\x20M\\xe9dem\\x20"},
                         {"ID_SERIAL_SHORT", "S\nN"}, {"DEVLINKS", "/dev/serial/by-id/usb-a\x1b-port0"}});
    EXPECT_EQ(id.vendor, "Evil?]0;x?");
    EXPECT_EQ(id.model, "M?dem");
    EXPECT_EQ(id.serial, "S?N");
    EXPECT_EQ(id.byId, ""); // never offered as a pin
}

TEST(DeviceIdentity, CatalogDescribesAndOffersTheByIdPinOnlyForUnpinnedUsbAdapters)
{
    fs::path dev = fs::temp_directory_path() / ("kd36-ident-" + std::to_string(::getpid()));
    fs::create_directories(dev);
    std::ofstream(dev / "ttyUSB0").put('x');
    std::ofstream(dev / "ttyACM0").put('x');
    PortCatalog catalog({{9, "rfc2217://gw:7001"}}, dev.string(), dev.string());
    catalog.setIdentityLookup([&](const std::string& path) -> std::optional<DeviceIdentity> {
        DeviceIdentity id;
        id.node = path;
        if (path.find("ttyUSB0") != std::string::npos) {
            id.usb = true;
            id.vendor = "FTDI";
            id.model = "FT232R";
            id.serial = "A1B2C3";
            id.byId = "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0";
        }
        return id;
    });
    EXPECT_EQ(catalog.describe(2), (dev / "ttyUSB0").string() + " — FTDI FT232R A1B2C3 — usb-FTDI_FT232R_A1B2C3-if00-port0");
    EXPECT_EQ(catalog.pinCandidate(2), "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0");
    EXPECT_EQ(catalog.describe(3), (dev / "ttyACM0").string());
    EXPECT_EQ(catalog.pinCandidate(3), ""); // no by-id link
    EXPECT_EQ(catalog.describe(9), "rfc2217://gw:7001");
    EXPECT_EQ(catalog.pinCandidate(9), "");
    EXPECT_EQ(catalog.pinCandidate(1), ""); // the simulator

    // Once pinned, the number is not offered again.
    catalog.setPins({{2, (dev / "ttyUSB0").string()}});
    EXPECT_EQ(catalog.pinCandidate(2), "");
    fs::remove_all(dev);
}
