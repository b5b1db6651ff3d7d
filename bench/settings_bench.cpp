// Full settings read and write against the simulated modem on the real
// clock (the threaded headless rig), against the time the bytes need on
// the line.
#include "bench/bench_common.h"
#include "tests/support/headless_rig.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <string>
#include <vector>

namespace kd36::bench {
namespace {

constexpr int kRuns = 5;

struct Run {
    double wallMs = 0;
    double lineMs = 0;
    uint64_t bytes = 0;
    bool ok = false;
    std::vector<std::pair<int, double>> steps; // the sequence step and when it was first seen (ms after the click)
};

void tickEverything(MainEngine& e, uint32_t baud)
{
    e.editPanel([baud](SettingPanel& p) {
        for (PanelTick t : {PanelTick::SystemId, PanelTick::Channel, PanelTick::Route, PanelTick::Frame,
                            PanelTick::DeviceInfo, PanelTick::Serial})
            p.setTick(t, true);
        p.systemId = "1234567";
        p.choice(PanelChoice::RouteDest) = 3;
        p.relays[0] = 2; // relays 1, A: a route with two hops
        p.relays[1] = 11;
        p.deviceInfo = "KD36SIM1";
        // The modem keeps the line's rate: the write must not move it.
        const ItemList& rates = panelItems(PanelChoice::Rate);
        for (size_t i = 0; i < rates.size(); ++i)
            if (rates[i] == std::to_string(baud))
                p.choice(PanelChoice::Rate) = int(i);
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
        for (uint32_t baud : {4800u, 9600u, 38400u}) {
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
                limits.push_back(r.lineMs);
                runs.push_back(std::move(r));
            }
            const double wall = median(walls);
            const double limit = median(limits);
            const std::string name = std::string(read ? "read-" : "write-") + std::to_string(baud);
            if (verbose) {
                for (const Run& r : runs) {
                    std::printf("# %s wall=%.1fms line=%.1fms bytes=%llu steps:", name.c_str(), r.wallMs, r.lineMs,
                                static_cast<unsigned long long>(r.bytes));
                    for (auto& [step, ms] : r.steps)
                        std::printf(" %d@%.1f", step, ms);
                    std::printf("\n");
                }
                std::printf("# %s longest idle pass %.2f ms, pieces handed over %llu\n", name.c_str(),
                            double(rig.host.longestPassUs()) / 1000.0,
                            static_cast<unsigned long long>(rig.host.piecesHandedOver()));
            }
            figure(name, wall, "ms", limit, baud == 9600 ? "<=1.3" : "<=1.5");
        }
    }
    return failures == 0 ? 0 : 1;
}

// Where the time goes: the same sequences with the receive passes run by
// a thread of this benchmark every `periodMs` instead of the port's own
// 10 ms loop (PollPort is the port's public pass). Diagnostics only.
int runSettingsDiag()
{
    for (bool read : {true, false}) {
        for (uint32_t baud : {9600u, 38400u}) {
            for (int periodMs : {10, 2, 1}) {
                test::HeadlessRig rig(true);
                rig.host.stopReceiving(2000);
                std::atomic<bool> stop{false};
                std::thread poller([&] {
                    while (!stop.load()) {
                        if (rig.engine.portOpen())
                            rig.host.receivePass();
                        std::this_thread::sleep_for(std::chrono::milliseconds(periodMs));
                    }
                });
                std::vector<double> walls, limits;
                if (rig.open(baud)) {
                    tickEverything(rig.engine, baud);
                    for (int i = 0; i < kRuns; ++i) {
                        Run r = once(rig, read, baud);
                        walls.push_back(r.wallMs);
                        limits.push_back(r.lineMs);
                    }
                }
                stop = true;
                poller.join();
                const double wall = median(walls), limit = median(limits);
                std::printf("# diag %s-%u receive pass every %d ms: wall=%.1fms line=%.1fms ratio=%.3f\n",
                            read ? "read" : "write", baud, periodMs, wall, limit, limit > 0 ? wall / limit : 0.0);
            }
        }
    }
    return 0;
}

} // namespace kd36::bench
