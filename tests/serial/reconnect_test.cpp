// Taking a lost port up again: the decisions on a fake event source, and a
// pseudo-terminal behind a link that goes away and comes back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "serial/port_catalog.h"
#include "serial/reconnect.h"
#include "serial/rs_comm_thread.h"
#include "tests/support/fake_boxes.h"

namespace fs = std::filesystem;
using namespace kd36;
using namespace std::chrono_literals;

namespace {

DeviceIdentity usb(const std::string& node, const std::string& byId, const std::string& serial)
{
    DeviceIdentity id;
    id.node = node;
    id.byId = byId;
    id.serial = serial;
    id.usb = true;
    return id;
}

} // namespace

TEST(ReconnectMachine, LocalAdapterIsKnownAgainByItsByIdLinkOrSerialNotByAnother)
{
    std::set<std::string> present;
    ReconnectMachine m([&](const std::string& p) { return present.count(p) > 0; });
    LostPort lost{2, "/dev/serial/by-id/usb-FTDI_A1B2C3-if00-port0", "/dev/serial/by-id/usb-FTDI_A1B2C3-if00-port0",
                  "A1B2C3", false};
    m.lost(lost, 1000);
    EXPECT_FALSE(m.due({}, 1100));
    // Another adapter, or one of the same model with another serial number.
    EXPECT_FALSE(m.due({usb("/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_ZZZ-if00-port0", "ZZZ")}, 1200));
    // The same one, on another node: its serial number is enough.
    EXPECT_TRUE(m.due({usb("/dev/ttyUSB3", "", "A1B2C3")}, 1300));
    m.failed(1300); // not ready yet: watching goes on
    EXPECT_EQ(m.state(), ReconnectMachine::State::Watching);
    EXPECT_TRUE(m.due({usb("/dev/ttyUSB3", "/dev/serial/by-id/usb-FTDI_A1B2C3-if00-port0", "")}, 1400));
    m.succeeded();
    EXPECT_FALSE(m.due({usb("/dev/ttyUSB3", "", "A1B2C3")}, 1500)); // idle again
}

TEST(ReconnectMachine, PathWithoutEventsIsLookedAtEveryHalfSecond)
{
    std::set<std::string> present;
    int looks = 0;
    ReconnectMachine m([&](const std::string& p) {
        ++looks;
        return present.count(p) > 0;
    });
    m.lost({3, "/tmp/kd36-link", "", "", false}, 0);
    EXPECT_FALSE(m.due({}, 499));
    EXPECT_EQ(looks, 0);
    EXPECT_FALSE(m.due({}, 500));
    EXPECT_FALSE(m.due({}, 700)); // not looked at again so soon
    EXPECT_EQ(looks, 1);
    present.insert("/tmp/kd36-link");
    EXPECT_TRUE(m.due({}, 1000));
    // A node-only port also matches an event for its node.
    m.lost({3, "/dev/ttyS4", "", "", false}, 2000);
    EXPECT_TRUE(m.due({DeviceIdentity{"/dev/ttyS4", "", "", "", "", false}}, 2001));
    m.cancel();
    EXPECT_FALSE(m.due({DeviceIdentity{"/dev/ttyS4", "", "", "", "", false}}, 2002));
}

TEST(ReconnectMachine, NetworkRetriesBackOffToThirtySeconds)
{
    ReconnectMachine m(nullptr);
    m.lost({5, "rfc2217://gw:7001", "", "", true}, 0);
    std::vector<uint64_t> tries;
    uint64_t t = 0;
    while (tries.size() < 8) {
        t += 100;
        if (m.due({}, t)) {
            tries.push_back(t);
            m.failed(t);
        }
    }
    EXPECT_EQ(tries, (std::vector<uint64_t>{1000, 3000, 7000, 15000, 31000, 61000, 91000, 121000}));
}

TEST(PortReconnector, PtyBehindALinkIsTakenUpAgainWhenTheLinkComesBack)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    fs::path dir = fs::temp_directory_path() / ("kd36-relink-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path link = dir / "modem";
    fs::create_symlink(slave, link);

    SteadyClock clock;
    test::FakeBoxes boxes;
    PortCatalog catalog({{4, link.string()}}, dir.string(), dir.string());
    ReconnectOpener opener(catalog);
    RsCommThread port(clock, boxes, opener);
    std::vector<std::string> lines;
    int reopened = 0;
    PortSettings s;
    s.FlowCtrl = 0;
    PortReconnector::Hooks hooks;
    hooks.reopen = [&] {
        ++reopened;
        return port.OpenPort(4, s);
    };
    hooks.reconnected = [&](int n) { lines.push_back("COM" + std::to_string(n)); };
    hooks.describe = [&](int n) { return std::optional<LostPort>(LostPort{n, catalog.describe(n), "", "", false}); };
    PortReconnector rc(opener, clock, nullptr, hooks);

    ASSERT_TRUE(port.OpenPort(4, s));
    // The device goes away: the link is removed, the line hangs up.
    ASSERT_TRUE(port.ClosePort());
    fs::remove(link);
    rc.portLost(4);
    ASSERT_TRUE(rc.watching());
    auto until = std::chrono::steady_clock::now() + 1200ms;
    while (std::chrono::steady_clock::now() < until)
        EXPECT_FALSE(rc.pass());
    EXPECT_EQ(reopened, 0);

    fs::create_symlink(slave, link);
    bool back = false;
    until = std::chrono::steady_clock::now() + 3s;
    while (!back && std::chrono::steady_clock::now() < until) {
        back = rc.pass();
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(back);
    EXPECT_EQ(reopened, 1);
    EXPECT_EQ(lines, std::vector<std::string>{"COM4"});
    // And it carries bytes again.
    EXPECT_EQ(port.WritePort("@EQID\r\n", 7), 7);
    char buf[16] = {};
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(::read(master, buf, sizeof buf), 7);
    EXPECT_TRUE(boxes.shown.empty());
    port.ClosePort();
    ::close(master);
    fs::remove_all(dir);
}
