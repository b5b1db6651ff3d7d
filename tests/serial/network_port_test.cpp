// Network serial ports through a real ser2net on loopback: the server
// serves a pseudo-terminal whose master the test plays.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "serial/gensio_device.h"
#include "serial/port_catalog.h"
#include "serial/rs_comm_thread.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/ser2net_server.h"

namespace fs = std::filesystem;
using namespace kd36;
using namespace std::chrono_literals;

TEST(NetworkAddress, OnlyPlainHostsAndPortsBecomeGensioStrings)
{
    auto a = parseNetworkAddress("rfc2217://gw-3.example:7001");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->gensioString(), "telnet(rfc2217),tcp(nodelay),gw-3.example,7001");
    EXPECT_EQ(parseNetworkAddress("tcp://10.0.0.2:4001")->gensioString(), "tcp(nodelay),10.0.0.2,4001");
    EXPECT_EQ(parseNetworkAddress("rfc2217://[::1]:2217")->gensioString(), "telnet(rfc2217),tcp(nodelay),ipv6,::1,2217");
    // A settings file cannot stack other gensio layers or reach other hosts.
    for (const char* bad : {"rfc2217://h,1),ssl(x),tcp,evil:1", "tcp://host:0", "tcp://host:65536", "tcp://:80",
                            "rfc2217://host", "tcp://ho st:1", "tcp://host:12a", "udp://host:1", "rfc2217://[x]:1"})
        EXPECT_FALSE(parseNetworkAddress(bad)) << bad;
}

TEST(NetworkAddress, HostsAreResolvedBeforeGensioSeesThem)
{
    std::vector<std::string> asked;
    setNetworkResolver([&](const std::string& host, std::string&) {
        asked.push_back(host);
        return host == "gw-3.example" ? std::string("10.0.0.9") : std::string("fe80::1");
    });
    int err = 0;
    std::string why;
    EXPECT_EQ(resolveNetworkAddress("rfc2217://gw-3.example:7001", err, why)->gensioString(),
              "telnet(rfc2217),tcp(nodelay),10.0.0.9,7001");
    EXPECT_EQ(resolveNetworkAddress("tcp://v6-only:1", err, why)->gensioString(), "tcp(nodelay),ipv6,fe80::1,1");
    // A bracketed address needs no resolver; a bad URL never reaches it.
    EXPECT_TRUE(resolveNetworkAddress("tcp://[::1]:5", err, why));
    EXPECT_FALSE(resolveNetworkAddress("tcp://a,b:5", err, why));
    EXPECT_EQ(err, EINVAL);
    EXPECT_EQ(asked, (std::vector<std::string>{"gw-3.example", "v6-only"}));
    setNetworkResolver(nullptr);
}

TEST(NetworkAddress, ServerReportsMapToTheLocalFlags)
{
    EXPECT_EQ(lineStateErrors(0x02 | 0x04 | 0x08 | 0x10), uint32_t(CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK));
    EXPECT_EQ(lineStateErrors(0x01 | 0x20 | 0x40), 0u); // data ready, transmitter empty: no error
    EXPECT_EQ(modemStateBits(0x10 | 0x20 | 0x01), uint32_t(MS_CTS_ON | MS_DSR_ON));
    EXPECT_EQ(modemStateBits(0x40 | 0x80), uint32_t(MS_RING_ON | MS_RLSD_ON));
}

namespace {

struct Ser2netFixture : ::testing::Test {
    int master = -1;
    std::string slave;
    fs::path empty;
    std::unique_ptr<test::Ser2netServer> server;
    std::unique_ptr<PortCatalog> catalog;
    test::FakeBoxes boxes;

    void SetUp() override
    {
        if (std::string why = test::Ser2netServer::missing(); !why.empty())
            GTEST_SKIP() << why;
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        slave = ptsname(master);
        server = std::make_unique<test::Ser2netServer>(slave);
        ASSERT_TRUE(server->start());
        empty = fs::temp_directory_path() / ("kd36-net-" + std::to_string(::getpid()));
        fs::create_directories(empty);
        catalog = std::make_unique<PortCatalog>(
            std::map<int, std::string>{{5, server->rfc2217Url()}, {6, server->rawUrl()}, {7, "tcp://127.0.0.1:1"}},
            empty.string(), empty.string());
    }
    void TearDown() override
    {
        server.reset();
        if (master >= 0)
            ::close(master);
        if (!empty.empty())
            fs::remove_all(empty);
    }
    std::string readMaster(size_t n)
    {
        std::string got;
        auto until = std::chrono::steady_clock::now() + 3s;
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
    template <class Pred>
    static bool waitFor(Pred p, std::chrono::milliseconds limit = 3000ms)
    {
        auto until = std::chrono::steady_clock::now() + limit;
        while (!p()) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }
    // The line as the server left the pty (the master reads the slave's termios).
    speed_t rate()
    {
        termios t{};
        tcgetattr(master, &t);
        return cfgetospeed(&t);
    }
    bool twoStopBits()
    {
        termios t{};
        tcgetattr(master, &t);
        return t.c_cflag & CSTOPB;
    }
};

} // namespace

TEST_F(Ser2netFixture, Rfc2217ConfiguresTheLineAndCarriesEveryByteBothWays)
{
    SteadyClock clock;
    RsCommThread port(clock, boxes, *catalog);
    std::atomic<uint8_t> portOpen{0}, commandMode{1};
    port.bindWindowFlags(&portOpen, &commandMode);
    std::mutex m;
    std::vector<std::string> got;
    port.setDeliver([&](const std::string& s) {
        std::lock_guard g(m);
        got.push_back(s);
    });
    port.start();

    PortSettings s;
    s.BaudRate = 19200;
    s.StopBits = 2;
    s.FlowCtrl = 0;
    ASSERT_TRUE(port.OpenPort(5, s)) << (boxes.shown.empty() ? "" : boxes.shown[0].detail);
    EXPECT_EQ(port.actualSettings().BaudRate, 19200u);
    EXPECT_EQ(port.actualSettings().StopBits, 2);
    EXPECT_EQ(rate(), speed_t(B19200));
    EXPECT_TRUE(twoStopBits());
    portOpen = 1;

    // 0xFF is the Telnet escape: it must travel as one data byte.
    std::string all;
    for (int i = 0; i < 1024; ++i)
        all.push_back(char(i & 0xFF));
    EXPECT_EQ(port.WritePort(all.data(), uint32_t(all.size())), int(all.size()));
    EXPECT_EQ(readMaster(all.size()), all);

    const std::string reply = ">INIT:1\r\n\xff\xff>EQID:E=5\r\n";
    ASSERT_EQ(::write(master, reply.data(), reply.size()), ssize_t(reply.size()));
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard g(m);
        return got.size() >= 2;
    }));
    {
        std::lock_guard g(m);
        EXPECT_EQ(got[0], ">INIT:1\r\n");
        EXPECT_EQ(got[1], "\xff\xff>EQID:E=5\r\n");
    }

    // The pty has no modem lines: ser2net leaves DTR unconfirmed and reports
    // every line low. DTR requests still succeed, within a bounded wait, and
    // the lamps read what the server said.
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(port.EscapeLine(CLRDTR));
    EXPECT_TRUE(port.EscapeLine(SETDTR));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1500ms);
    uint32_t bits = 0xFF;
    EXPECT_TRUE(port.GetModemStatus(bits));
    EXPECT_EQ(bits, 0u);

    // Reconfigured on the next open.
    portOpen = 0;
    ASSERT_TRUE(port.ClosePort());
    s.BaudRate = 4800;
    s.Parity = 2;
    s.ByteSize = 7;
    s.StopBits = 0;
    ASSERT_TRUE(port.OpenPort(5, s));
    EXPECT_EQ(rate(), speed_t(B4800));
    EXPECT_FALSE(twoStopBits());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
    EXPECT_TRUE(port.ClosePort());
}

TEST_F(Ser2netFixture, RawSocketCarriesBytesAndRefusedServerIsAnOpenFailure)
{
    SteadyClock clock; // the server takes the device up while the open settles
    RsCommThread port(clock, boxes, *catalog);
    ASSERT_TRUE(port.OpenPort(6, PortSettings{})) << (boxes.shown.empty() ? "" : boxes.shown[0].text + boxes.shown[0].detail);
    EXPECT_TRUE(port.EscapeLine(SETDTR)); // no lines on a raw socket: no effect
    EXPECT_EQ(port.WritePort("@EQID\r\n", 7), 7);
    EXPECT_EQ(readMaster(7), "@EQID\r\n");
    ASSERT_TRUE(port.ClosePort());

    EXPECT_FALSE(port.OpenPort(7, PortSettings{}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Comポートオープンの失敗");
    EXPECT_NE(boxes.shown[0].detail.find("tcp://127.0.0.1:1: Connection refused"), std::string::npos)
        << boxes.shown[0].detail;
}

TEST_F(Ser2netFixture, KilledServerIsReportedOnceAsAVanishedDevice)
{
    SteadyClock clock;
    RsCommThread port(clock, boxes, *catalog);
    std::atomic<uint8_t> portOpen{0}, commandMode{1};
    port.bindWindowFlags(&portOpen, &commandMode);
    std::atomic<int> lost{0};
    port.setDeviceLost([&] { ++lost; });
    port.start();
    PortSettings s;
    s.FlowCtrl = 0;
    ASSERT_TRUE(port.OpenPort(5, s));
    portOpen = 1;

    server->kill();
    EXPECT_TRUE(waitFor([&] { return lost > 0; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(lost.load(), 1);
    EXPECT_EQ(port.WritePort("x", 1), -1);
    uint32_t bits = 0;
    EXPECT_FALSE(port.GetModemStatus(bits));
    EXPECT_EQ(lost.load(), 1);
    EXPECT_TRUE(boxes.shown.empty());
    portOpen = 0;
    EXPECT_TRUE(port.ClosePort());
}
