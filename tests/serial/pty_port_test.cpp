// RsCommThread on a real pseudo-terminal: the slave is the port, the test
// plays the modem on the master.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "serial/port_catalog.h"
#include "serial/rs_comm_thread.h"
#include "serial/termios_device.h"
#include "tests/support/fake_boxes.h"

namespace fs = std::filesystem;
using namespace kd36;
using namespace std::chrono_literals;

namespace {

struct PtyFixture : ::testing::Test {
    int master = -1;
    std::string slave;
    fs::path empty;
    std::unique_ptr<PortCatalog> catalog;
    test::FakeBoxes boxes;

    void SetUp() override
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        slave = ptsname(master);
        // No hardware is scanned: only the pinned pty and a missing device.
        empty = fs::temp_directory_path() / ("kd36-pty-" + std::to_string(::getpid()));
        fs::create_directories(empty);
        catalog = std::make_unique<PortCatalog>(
            std::map<int, std::string>{{2, slave}, {3, "/dev/kd36-no-such-device"}}, empty.string(),
            empty.string());
    }
    void TearDown() override
    {
        if (master >= 0)
            ::close(master);
        fs::remove_all(empty);
    }
    // Reads from the master until `n` bytes came or a second passed.
    std::string readMaster(size_t n)
    {
        std::string got;
        auto until = std::chrono::steady_clock::now() + 1s;
        while (got.size() < n && std::chrono::steady_clock::now() < until) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                char buf[4096];
                ssize_t k = ::read(master, buf, sizeof buf);
                if (k > 0)
                    got.append(buf, size_t(k));
            }
        }
        return got;
    }
};

} // namespace

TEST_F(PtyFixture, OpenWriteReceiveAndLines)
{
    VirtualClock clock;
    RsCommThread port(clock, boxes, *catalog);
    std::atomic<uint8_t> portOpen{1}, commandMode{1};
    port.bindWindowFlags(&portOpen, &commandMode);
    std::vector<std::string> got;
    port.setDeliver([&](const std::string& s) { got.push_back(s); });

    PortSettings s;
    s.BaudRate = 19200;
    s.ByteSize = 7;
    s.Parity = 2;
    s.StopBits = 2;
    s.FlowCtrl = 0;
    ASSERT_TRUE(port.OpenPort(2, s));
    PortSettings applied = port.actualSettings();
    EXPECT_EQ(applied.BaudRate, 19200u);
    EXPECT_EQ(applied.StopBits, 2);
    // Recent kernels make a pty 8 data bits without parity whatever is asked;
    // the read-back shows what the driver took.
    EXPECT_TRUE((applied.ByteSize == 7 && applied.Parity == 2) || (applied.ByteSize == 8 && applied.Parity == 0));

    // A rate outside the Bnnn table.
    ASSERT_TRUE(port.ClosePort());
    s.BaudRate = 31250;
    ASSERT_TRUE(port.OpenPort(2, s));
    EXPECT_EQ(port.actualSettings().BaudRate, 31250u);

    // Reopen at 8N1 for byte-exact traffic.
    ASSERT_TRUE(port.ClosePort());
    s = PortSettings{};
    s.FlowCtrl = 0;
    ASSERT_TRUE(port.OpenPort(2, s));

    // Every byte value arrives as written: no translation on the way out.
    std::string all;
    for (int i = 0; i < 2048; ++i)
        all.push_back(char(i & 0xFF));
    EXPECT_EQ(port.WritePort(all.data(), 2048), 2048);
    EXPECT_EQ(readMaster(2048), all);
    EXPECT_EQ(port.WritePort("@INIT\r\n", 7), 7);
    EXPECT_EQ(readMaster(7), "@INIT\r\n");

    // And on the way in.
    ASSERT_EQ(::write(master, ">INIT:1\r\n>EQ", 12), 12);
    for (int i = 0; i < 200 && got.empty(); ++i) {
        port.PollPort();
        std::this_thread::sleep_for(1ms); // the pty hands bytes over asynchronously
    }
    EXPECT_EQ(got, (std::vector<std::string>{">INIT:1\r\n"}));

    // No modem lines on a pty: DTR requests succeed, CTS and DSR read on.
    EXPECT_TRUE(port.EscapeLine(CLRDTR));
    EXPECT_TRUE(port.EscapeLine(SETDTR));
    uint32_t bits = 0;
    EXPECT_TRUE(port.GetModemStatus(bits));
    EXPECT_EQ(bits, uint32_t(MS_CTS_ON | MS_DSR_ON));

    // A second opener finds the line busy.
    int err = 0;
    EXPECT_EQ(catalog->open(2, err), nullptr);
    EXPECT_EQ(err, EBUSY);

    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(port.GetModemStatus(bits));
}

TEST_F(PtyFixture, MissingDeviceAndPortAboveNinetyNine)
{
    VirtualClock clock;
    RsCommThread port(clock, boxes, *catalog);
    EXPECT_FALSE(port.OpenPort(3, PortSettings{}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Comポートオープンの失敗");
    EXPECT_NE(boxes.shown[0].detail.find("/dev/kd36-no-such-device"), std::string::npos);

    boxes.shown.clear();
    EXPECT_FALSE(port.OpenPort(100, PortSettings{}));
    EXPECT_TRUE(boxes.shown.empty());
    uint32_t bits = 0;
    EXPECT_FALSE(port.GetModemStatus(bits));
}

TEST_F(PtyFixture, VanishedDeviceIsReportedOnceAndTheCloseDoesNotHang)
{
    SteadyClock clock;
    RsCommThread port(clock, boxes, *catalog);
    std::atomic<uint8_t> portOpen{0}, commandMode{1};
    port.bindWindowFlags(&portOpen, &commandMode);
    std::atomic<int> lost{0};
    port.setDeviceLost([&] { ++lost; });
    std::mutex m;
    std::string received;
    port.setDeliver([&](const std::string& piece) {
        std::lock_guard g(m);
        received += piece;
    });
    port.start();

    PortSettings s;
    s.FlowCtrl = 0;
    ASSERT_TRUE(port.OpenPort(2, s));
    portOpen = 1;
    // The loop polls on its own.
    ASSERT_EQ(::write(master, ">OK\r\n", 5), 5);
    auto deadline = std::chrono::steady_clock::now() + 3s;
    for (;;) {
        {
            std::lock_guard g(m);
            if (!received.empty() || std::chrono::steady_clock::now() > deadline)
                break;
        }
        std::this_thread::sleep_for(5ms);
    }
    {
        std::lock_guard g(m);
        EXPECT_EQ(received, ">OK\r\n");
    }

    ::close(master); // the adapter is pulled
    master = -1;

    auto until = std::chrono::steady_clock::now() + 3s;
    while (lost == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(lost.load(), 1);
    EXPECT_EQ(port.WritePort("x", 1), -1);
    uint32_t bits = 0;
    EXPECT_FALSE(port.GetModemStatus(bits));

    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(port.ClosePort());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
    portOpen = 0;
    port.Terminate();
    EXPECT_TRUE(port.wait(2000));
    EXPECT_EQ(lost.load(), 1);
    EXPECT_TRUE(boxes.shown.empty());
}

// Each thread sees the errno of its own failed call: the loop's read and the
// window's line calls run on one device at once.
TEST_F(PtyFixture, ErrorCodeBelongsToTheCallingThread)
{
    int err = 0;
    std::unique_ptr<TermiosDevice> dev = TermiosDevice::open(slave, err);
    ASSERT_TRUE(dev) << err;
    PortSettings bad;
    bad.ByteSize = 9; // refused: EINVAL
    std::thread failing([&] {
        EXPECT_FALSE(dev->configure(bad));
        EXPECT_EQ(dev->errorCode(), EINVAL);
    });
    failing.join();
    std::thread fresh([&] { EXPECT_EQ(dev->errorCode(), 0) << "another thread's errno leaked into this one"; });
    fresh.join();
}
