// The port catalog on a fake /dev and /sys tree.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include "serial/access_hint.h"
#include "serial/port_catalog.h"
#include "serial/rs_comm_thread.h"
#include "tests/serial/fake_device.h"

namespace fs = std::filesystem;
using namespace kd36;

namespace {

struct FakeTree {
    fs::path root;
    fs::path dev, sys;

    FakeTree()
    {
        root = fs::temp_directory_path() / ("kd36-catalog-" + std::to_string(::getpid()) + "-"
                                            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        dev = root / "dev";
        sys = root / "sys";
        fs::create_directories(dev);
        fs::create_directories(sys / "bus/platform/drivers/serial8250");
        fs::create_directories(sys / "bus/pnp/drivers/serial");
    }
    ~FakeTree() { fs::remove_all(root); }

    void node(const std::string& name) { std::ofstream(dev / name).put('\0'); }
    // A ttyS entry: driver name (empty: none) and port type (-1: no file).
    void uart(const std::string& name, const std::string& driver, int type)
    {
        node(name);
        fs::path tty = sys / "class/tty" / name;
        fs::create_directories(tty / "device");
        if (!driver.empty())
            fs::create_symlink(sys / driver, tty / "device/driver");
        if (type >= 0)
            std::ofstream(tty / "type") << type << "\n";
    }
    std::string path(const std::string& name) const { return (dev / name).string(); }
};

} // namespace

TEST(PortCatalog, ScanOrderAndUartFilter)
{
    FakeTree t;
    for (const char* n : {"ttyUSB10", "ttyUSB1", "ttyUSB0", "ttyACM0", "ttyAMA0", "rfcomm0", "tty0", "ttyUSBx", "console"})
        t.node(n);
    t.uart("ttyS0", "bus/platform/drivers/serial8250", 4); // a 16550A
    t.uart("ttyS1", "bus/platform/drivers/serial8250", 0); // empty legacy slot
    t.uart("ttyS2", "", -1);                                // no driver
    t.uart("ttyS3", "bus/platform/drivers/serial8250", -1); // 8250 without a known type
    t.uart("ttyS4", "bus/pnp/drivers/serial", 4);

    PortCatalog cat({}, t.dev.string(), t.sys.string());
    EXPECT_EQ(cat.names(), (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8",
                                                     "COM9"}));
    EXPECT_EQ(cat.describe(1), "内蔵シミュレータ");
    std::vector<std::string> paths;
    for (int n = 2; n <= 9; ++n)
        paths.push_back(cat.describe(n));
    EXPECT_EQ(paths, (std::vector<std::string>{t.path("ttyUSB0"), t.path("ttyUSB1"), t.path("ttyUSB10"),
                                               t.path("ttyACM0"), t.path("ttyS0"), t.path("ttyS4"),
                                               t.path("ttyAMA0"), t.path("rfcomm0")}));
    EXPECT_EQ(cat.describe(10), "");
}

TEST(PortCatalog, PinsTakeTheirNumbers)
{
    FakeTree t;
    for (const char* n : {"ttyUSB0", "ttyUSB1", "ttyACM0"})
        t.node(n);
    fs::create_directories(t.dev / "serial/by-id");
    fs::create_symlink(t.dev / "ttyACM0", t.dev / "serial/by-id/usb-modem");

    std::map<int, std::string> pins{
        {1, ""},                                              // simulator removed
        {2, "SIMULATOR"},                                     // moved to COM2
        {3, (t.dev / "serial/by-id/usb-modem").string()},     // the ACM device by its stable name
        {6, (t.dev / "ttyUSB9").string()},                    // not plugged in
        {120, t.path("ttyUSB1")},                             // out of range: ignored
    };
    PortCatalog cat(pins, t.dev.string(), t.sys.string());
    EXPECT_EQ(cat.names(), (std::vector<std::string>{"COM2", "COM3", "COM4", "COM5"}));
    EXPECT_EQ(cat.describe(2), "内蔵シミュレータ");
    EXPECT_EQ(cat.describe(3), (t.dev / "serial/by-id/usb-modem").string());
    EXPECT_EQ(cat.describe(4), t.path("ttyUSB0"));
    EXPECT_EQ(cat.describe(5), t.path("ttyUSB1")); // ttyACM0 is not listed twice
    EXPECT_EQ(cat.describe(6), t.path("ttyUSB9")); // known but absent
    EXPECT_EQ(cat.describe(1), "");

    // The thread's rule over these names flags exactly the present ports.
    PortPresentFlags flags{};
    EXPECT_EQ(RsCommThread::EnumeratePorts(cat.portNames(), flags), 4);
    EXPECT_EQ(flags[0] + flags[1] + flags[2] + flags[3] + flags[4] + flags[5], 4);
    EXPECT_EQ(flags[5], 0);
}

TEST(PortCatalog, OpenGoesToTheSimulatorOrTheDevice)
{
    FakeTree t;
    t.node("ttyUSB0"); // a plain file, not a terminal
    PortCatalog cat({}, t.dev.string(), t.sys.string());
    int err = 0;

    EXPECT_EQ(cat.open(1, err), nullptr);
    EXPECT_EQ(err, ENODEV); // no simulator given

    int made = 0;
    cat.setSimulatorFactory([&]() -> std::unique_ptr<Device> {
        ++made;
        return std::make_unique<test::FakeDevice>(std::make_shared<test::FakeLine>());
    });
    EXPECT_NE(cat.open(1, err), nullptr);
    EXPECT_EQ(made, 1);

    EXPECT_EQ(cat.open(2, err), nullptr);
    EXPECT_EQ(err, ENOTTY);
    EXPECT_EQ(cat.open(50, err), nullptr);
    EXPECT_EQ(err, ENOENT);

    // A device that appears later is found when it is opened.
    t.node("ttyACM0");
    EXPECT_EQ(cat.open(3, err), nullptr);
    EXPECT_EQ(err, ENOTTY);
    EXPECT_EQ(cat.describe(3), t.path("ttyACM0"));
}

TEST(PortCatalog, OtherDriversPortsFollowTheFamiliesInNameOrder)
{
    FakeTree t;
    for (const char* n : {"ttyUSB0", "ttyACM0", "ttymxc10", "ttymxc2", "ttyXRUSB0", "ttyLP0"})
        t.node(n);
    PortCatalog cat({{3, t.path("ttyLP0")}}, t.dev.string(), t.sys.string());
    // A lister that also names a family member and a pinned device: each appears once.
    cat.setNodeLister([&] {
        return std::vector<std::string>{t.path("ttyXRUSB0"), t.path("ttymxc10"), t.path("ttyUSB0"),
                                        t.path("ttymxc2"), t.path("ttyLP0")};
    });
    std::vector<std::string> paths;
    for (int n = 2; n <= 7; ++n)
        paths.push_back(cat.describe(n));
    EXPECT_EQ(paths, (std::vector<std::string>{t.path("ttyUSB0"), t.path("ttyLP0"), t.path("ttyACM0"),
                                               t.path("ttyXRUSB0"), t.path("ttymxc2"), t.path("ttymxc10")}));
}

TEST(AccessHint, NamesTheDevicesOwnGroupOrSaysOnlyRootMayOpenIt)
{
    FakeTree t;
    t.node("ttyUSB0");
    const std::string dev = t.path("ttyUSB0");
    auto names = [](gid_t g) { return g == 20 ? std::string("uucp") : g == 0 ? std::string("root") : std::string(); };
    ASSERT_EQ(::chown(dev.c_str(), 0, 20), 0);
    ASSERT_EQ(::chmod(dev.c_str(), 0660), 0);
    EXPECT_EQ(accessHint(dev, names),
              "members of the group uucp may open it: sudo usermod -aG uucp \"$USER\", then log in again");
    ASSERT_EQ(::chmod(dev.c_str(), 0600), 0);
    EXPECT_EQ(accessHint(dev, names), "only root can open it (mode 0600, group uucp)");
    ASSERT_EQ(::chown(dev.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(dev.c_str(), 0660), 0);
    EXPECT_EQ(accessHint(dev, names), "only root can open it (mode 0660, group root)");
    EXPECT_EQ(accessHint(t.path("absent"), names), "");
}
