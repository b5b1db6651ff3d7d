// Network ports against servers and resolvers that misbehave: the opening
// thread keeps running its events, a close meanwhile gives the open up,
// every failure says why, and no connection outlives a failed open.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "serial/gensio_device.h"
#include "serial/port_catalog.h"
#include "serial/rs_comm_thread.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/hostile_server.h"

namespace fs = std::filesystem;
using namespace kd36;
using namespace std::chrono_literals;
using test::HostileServer;

namespace {

const char* const kOpenFailed = "Comポートオープンの失敗";

struct HostileFixture : ::testing::Test {
    fs::path empty;
    test::FakeBoxes boxes;
    SteadyClock clock;
    std::unique_ptr<PortCatalog> catalog;
    std::unique_ptr<RsCommThread> port;
    int events = 0;
    std::function<void()> duringOpen;

    void use(const std::string& url)
    {
        empty = fs::temp_directory_path() / ("kd36-hostile-" + std::to_string(::getpid()));
        fs::create_directories(empty);
        catalog = std::make_unique<PortCatalog>(std::map<int, std::string>{{8, url}}, empty.string(), empty.string());
        port = std::make_unique<RsCommThread>(clock, boxes, *catalog);
        port->setProcessEvents([this] {
            ++events;
            if (duringOpen)
                duringOpen();
        });
    }
    // Opens COM8; the seconds it took.
    double openFails()
    {
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(port->OpenPort(8, PortSettings{}));
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    void TearDown() override
    {
        port.reset();
        setNetworkResolver(nullptr);
        if (!empty.empty())
            fs::remove_all(empty);
    }
};

bool eventually(const std::function<bool()>& cond, std::chrono::milliseconds bound)
{
    for (auto until = std::chrono::steady_clock::now() + bound; std::chrono::steady_clock::now() < until;) {
        if (cond())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return cond();
}

} // namespace

TEST_F(HostileFixture, SilentAndGarbageServersFailWithinTheBoundWhileEventsRun)
{
    for (auto mode : {HostileServer::Mode::Silent, HostileServer::Mode::Garbage}) {
        HostileServer server(mode);
        ASSERT_TRUE(server.ok());
        use(server.rfc2217Url());
        boxes.shown.clear();
        events = 0;
        const double took = openFails();
        EXPECT_LT(took, 6.0);
        // The caller's events ran all along (every 10 ms or so).
        EXPECT_GT(events, int(took * 40));
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, kOpenFailed);
        const std::string& why = boxes.shown[0].detail;
        EXPECT_EQ(why.rfind(server.rfc2217Url() + ": ", 0), 0u) << why;
        EXPECT_GT(why.size(), server.rfc2217Url().size() + 2) << why;
        EXPECT_NE(why.find("line settings"), std::string::npos) << why;
        EXPECT_EQ(port->openFailure().empty(), false);
        // A failed open keeps no connection.
        EXPECT_TRUE(eventually([&] { return server.openConnections() == 0; }, 8000ms)) << why;
        port.reset();
    }
}

TEST_F(HostileFixture, CloseOrSecondOpenDuringTheWaitGivesTheOpenUpSilently)
{
    HostileServer server(HostileServer::Mode::Silent);
    ASSERT_TRUE(server.ok());
    use(server.rfc2217Url());
    const auto t0 = std::chrono::steady_clock::now();
    bool closed = false;
    duringOpen = [&] {
        if (!closed && std::chrono::steady_clock::now() - t0 > 300ms) {
            closed = true;
            EXPECT_TRUE(port->opening());
            EXPECT_TRUE(port->ClosePort());
        }
    };
    EXPECT_LT(openFails(), 1.5);
    EXPECT_FALSE(port->opening());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(eventually([&] { return server.openConnections() == 0; }, 8000ms));

    // The port button pressed again while the open waits: the same.
    bool again = false;
    duringOpen = [&] {
        if (!again) {
            again = true;
            EXPECT_FALSE(port->OpenPort(8, PortSettings{}));
        }
    };
    EXPECT_LT(openFails(), 1.5);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(HostileFixture, ResolverThatNeverAnswersCostsTheBoundOnly)
{
    // Shared with the worker, which leaves the resolver after this test ends.
    struct Gate {
        std::mutex mu;
        std::condition_variable cv;
        bool release = false;
    };
    auto gate = std::make_shared<Gate>();
    setNetworkResolver([gate](const std::string&, std::string&) {
        std::unique_lock lk(gate->mu);
        gate->cv.wait_for(lk, 20s, [&] { return gate->release; });
        return std::string();
    });
    use("rfc2217://pinned-gateway.example:2217");
    const double took = openFails();
    EXPECT_GT(took, 4.5);
    EXPECT_LT(took, 6.0);
    EXPECT_GT(events, 100);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].detail.find("no answer within 5 s"), std::string::npos) << boxes.shown[0].detail;
    {
        std::lock_guard g(gate->mu);
        gate->release = true;
    }
    gate->cv.notify_all();
}

TEST_F(HostileFixture, UnresolvedNameAndDroppedConnectionSayWhy)
{
    setNetworkResolver([](const std::string&, std::string& why) {
        why = "name not resolved (Name or service not known)";
        return std::string();
    });
    use("rfc2217://no-such-gateway.invalid:2217");
    openFails();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].detail,
              "rfc2217://no-such-gateway.invalid:2217: name not resolved (Name or service not known)");
    EXPECT_EQ(port->openFailure(), "name not resolved (Name or service not known)");

    setNetworkResolver(nullptr);
    HostileServer server(HostileServer::Mode::Flapping);
    ASSERT_TRUE(server.ok());
    use(server.rfc2217Url());
    boxes.shown.clear();
    EXPECT_LT(openFails(), 6.0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(port->openFailure().empty());
    EXPECT_EQ(port->openFailure().find("Protocol error"), std::string::npos) << port->openFailure();
}
