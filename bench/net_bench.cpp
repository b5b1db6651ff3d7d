// A full read of the twenty settings through ser2net on loopback (RFC 2217)
// against the same read on a direct pseudo-terminal; the peer answers each
// command at once. Prints the median time of each and their ratio.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "host/engine_host.h"
#include "serial/port_catalog.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_view.h"
#include "tests/support/pty_peer.h"
#include "tests/support/ser2net_server.h"

using namespace kd36;

namespace {

struct Rig {
    SteadyClock clock;
    test::FakeView main{kd36::WindowKind::Main}, link{kd36::WindowKind::Link}, packet{kd36::WindowKind::Packet};
    test::FakeBoxes boxes;
    PortCatalog catalog;
    EngineHost host;

    explicit Rig(std::map<int, std::string> pins)
        : catalog(std::move(pins), "/nonexistent", "/nonexistent")
        , host(EngineHost::Views{main, link, packet}, boxes, clock, catalog, [this](uint64_t now) {
            main.fireDueTimers(now);
            link.fireDueTimers(now);
        })
    {
        for (test::FakeView* v : {&main, &link, &packet})
            v->nowMs = [this] { return clock.nowMs(); };
        main.onTimer = [this](TimerId n) { host.mainTimer(n); };
        test::wireDialogViews(host.engine(), link, packet);
        host.start();
        host.startReceiving();
    }
    ~Rig() { host.shutDown(); }

    // Milliseconds of one read; negative when it did not complete.
    double read()
    {
        MainEngine& e = host.engine();
        const uint64_t t0 = bench::nowUs();
        e.spbReadClick();
        const uint64_t end = clock.nowMs() + 15000;
        while (!(e.step() == 0 && !e.busy())) {
            if (clock.nowMs() > end)
                return -1;
            host.step();
            host.awaitWork(std::min({end, main.nextDueMs(), link.nextDueMs()}));
        }
        return double(bench::nowUs() - t0) / 1000.0;
    }
};

bool openRig(Rig& rig, int port, const std::string& pin)
{
    PortSettings s;
    s.FlowCtrl = 0;
    if (rig.host.open(port, s) && rig.read() > 0) // the first read warms up
        return true;
    std::fprintf(stderr, "# cannot read through %s\n", pin.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    if (std::string why = test::Ser2netServer::missing(); !why.empty()) {
        std::printf("# net-read skipped: %s\n", why.c_str());
        return 0;
    }
    // Two peers alike: one read directly, one through ser2net. The rounds
    // alternate, so that the load of a shared machine falls on both alike.
    test::PtyPeer direct, served;
    if (!direct.ok() || !served.ok())
        return 1;
    direct.start();
    served.start();
    test::Ser2netServer server(served.path());
    if (!server.start()) {
        std::fprintf(stderr, "# ser2net did not start\n");
        return 1;
    }
    Rig a({{2, direct.path()}}), b({{3, server.rfc2217Url()}});
    if (!openRig(a, 2, direct.path()) || !openRig(b, 3, server.rfc2217Url()))
        return 1;
    std::vector<double> ta, tb;
    for (int i = 0; i < rounds; ++i) {
        double x = a.read(), y = b.read();
        if (x < 0 || y < 0) {
            std::fprintf(stderr, "# a read did not complete\n");
            return 1;
        }
        ta.push_back(x);
        tb.push_back(y);
    }
    const double pty = bench::median(ta), net = bench::median(tb);
    std::printf("# direct pty read median %.1f ms, %d rounds\n", pty, rounds);
    bench::figure("net-read-rfc2217-vs-pty", net, "ms", pty, "<=1.5");
    return net / pty <= 1.5 ? 0 : 1;
}
