// Full settings read and write against the simulated modem on the real
// clock (the threaded headless rig, which waits as the window does),
// against the time the bytes need on the line plus the modem's own delay
// before each reply.
#include "bench/bench_common.h"
#include "sim/simulated_modem.h"
#include "tests/support/headless_rig.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kd36::bench {
namespace {

constexpr int kRuns = 5;

struct Run {
    double wallMs = 0;
    double lineMs = 0;  // the bytes on the line
    double modemMs = 0; // the modem's delay before its replies
    uint64_t bytes = 0;
    bool ok = false;
    std::vector<std::pair<int, double>> steps; // the sequence step and when it was first seen (ms after the click)
};

void tickEverything(MainEngine& e, uint32_t baud)
{
    e.editPanel([baud](SettingPanel& p) {
        for (PanelTick t : {PanelTick::SystemId, PanelTick::Channel, PanelTick::Route, PanelTick::Frame,
                            PanelTick::DeviceInfo})
            p.setTick(t, true);
        p.systemId = "1234567";
        p.choice(PanelChoice::RouteDest) = 3;
        p.relays[0] = 2; // relays 1, A: a route with two hops
        p.relays[1] = 11;
        p.deviceInfo = "KD36SIM1";
        // The modem keeps the line's rate: the write must not move it. A
        // rate the modem's list lacks (115200) is not written at all.
        const ItemList& rates = panelItems(PanelChoice::Rate);
        p.setTick(PanelTick::Serial, false);
        for (size_t i = 0; i < rates.size(); ++i)
            if (rates[i] == std::to_string(baud)) {
                p.choice(PanelChoice::Rate) = int(i);
                p.setTick(PanelTick::Serial, true);
            }
        p.choice(PanelChoice::Parity) = 0;
        p.choice(PanelChoice::StopBits) = 0;
        p.choice(PanelChoice::Flow) = 1;
    });
}

Run once(test::HeadlessRig& rig, bool read, uint32_t baud)
{
    Run r;
    rig.run(50); // a quiet line and an idle window to start from
    const SimulatorStats s0 = rig.modem().stats();
    // A reply wait that ran out makes the run a failure.
    int waitsRunOut = 0;
    const auto fire = rig.main.onTimer;
    rig.main.onTimer = [&](TimerId n) {
        waitsRunOut += n == TimerId::RxWait;
        fire(n);
    };
    const uint64_t t0 = nowUs();
    if (read)
        rig.engine.spbReadClick();
    else
        rig.engine.spbWriteClick();
    int seen = -1;
    r.ok = rig.runUntil(
        [&] {
            if (rig.engine.step() != seen) {
                seen = rig.engine.step();
                r.steps.emplace_back(seen, double(nowUs() - t0) / 1000.0);
            }
            return rig.engine.step() == 0;
        },
        20000);
    const uint64_t t1 = nowUs();
    const SimulatorStats s1 = rig.modem().stats();
    r.wallMs = double(t1 - t0) / 1000.0;
    r.bytes = (s1.bytesFromPc - s0.bytesFromPc) + (s1.bytesToPc - s0.bytesToPc);
    r.lineMs = double(r.bytes) * 10.0 * 1000.0 / double(baud);
    r.modemMs = double(s1.repliesSent - s0.repliesSent) * double(SimulatedModem::kReplyDelayUs) / 1000.0;
    if (read && rig.engine.panel().read(1).empty())
        r.ok = false;
    rig.main.onTimer = fire;
    if (waitsRunOut != 0)
        r.ok = false;
    return r;
}

} // namespace

int runSettings(bool verbose)
{
    int failures = 0;
    for (bool read : {true, false}) {
        for (uint32_t baud : {4800u, 9600u, 19200u, 38400u, 115200u}) {
            test::HeadlessRig rig(true);
            if (!rig.open(baud)) {
                std::printf("# %s-%u: the port did not open\n", read ? "read" : "write", baud);
                ++failures;
                continue;
            }
            tickEverything(rig.engine, baud);
            std::vector<double> walls, limits;
            std::vector<Run> runs;
            for (int i = 0; i < kRuns; ++i) {
                Run r = once(rig, read, baud);
                if (!r.ok) {
                    std::printf("# %s-%u run %d did not finish cleanly (boxes: %zu)\n", read ? "read" : "write",
                                baud, i, rig.boxes.shown.size());
                    ++failures;
                }
                walls.push_back(r.wallMs);
                limits.push_back(r.lineMs + r.modemMs);
                runs.push_back(std::move(r));
            }
            const double wall = median(walls);
            const double limit = median(limits);
            const std::string name = std::string(read ? "read-" : "write-") + std::to_string(baud);
            if (verbose) {
                for (const Run& r : runs) {
                    std::printf("# %s wall=%.1fms line=%.1fms modem=%.1fms bytes=%llu steps:", name.c_str(),
                                r.wallMs, r.lineMs, r.modemMs, static_cast<unsigned long long>(r.bytes));
                    for (auto& [step, ms] : r.steps)
                        std::printf(" %d@%.1f", step, ms);
                    std::printf("\n");
                }
                std::printf("# %s longest idle pass %.2f ms, pieces handed over %llu\n", name.c_str(),
                            double(rig.host.longestPassUs()) / 1000.0,
                            static_cast<unsigned long long>(rig.host.piecesHandedOver()));
            }
            figure(name, wall, "ms", limit, "<=1.1");
        }
    }
    return failures == 0 ? 0 : 1;
}

} // namespace kd36::bench
