// The range test over a long run: the engine's memory and CPU per round on
// the simulated modem (virtual clock, so a 1,000-round run takes seconds),
// and the chart's drawing with its full history.
#include "sim/simulated_modem.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>

#include "bench/bench_common.h"
#include "dialogs/range_chart.h"
#include "engine/link_logic.h"
#include "engine/range_run.h"
#include "tests/support/headless_rig.h"

namespace kd36::bench {

int runRange(int rounds)
{
    test::HeadlessRig rig{false};
    if (!rig.open(9600))
        return 1;
    rig.modem().setStationDrift(1, 0, 4, 7000);
    rig.modem().setReplyLoss(3, 0.05);
    rig.engine.mnuRssiInfoClick();
    rig.run(20);
    LinkLogic& dialog = rig.engine.linkForm();
    RangeRun& run = rig.engine.rangeRun();
    for (int n : {1, 3, 10})
        dialog.stationTicked(n, true);
    if (!dialog.rangeStartClick(1, rounds))
        return 1;

    // Memory after a tenth of the run (everything allocated once is there)
    // against the end; CPU over the rest.
    const int warm = std::max(1, rounds / 10);
    if (!rig.runUntil([&] { return run.round() > warm; }, uint64_t(warm) * 30000))
        return 1;
    const long rssWarm = statusKb("VmRSS");
    const double cpu0 = cpuSeconds();
    const uint64_t t0 = nowUs();
    if (!rig.runUntil([&] { return !run.running(); }, uint64_t(rounds) * 30000))
        return 1;
    const double cpu = cpuSeconds() - cpu0;
    const uint64_t wall = nowUs() - t0;
    const long rssEnd = statusKb("VmRSS");
    const int measured = rounds - warm;
    size_t points = 0;
    for (int n = 0; n < RangeRun::kStations; ++n)
        points = std::max(points, run.history(n).size());
    std::printf("# range: %d rounds, %llu polls, %d lost on station 3, %.1f s of the run's clock in %.2f s\n", rounds,
                static_cast<unsigned long long>(run.pollsSettled()), run.stats()[3].polls - run.stats()[3].replies,
                double(run.elapsedMs()) / 1000, double(wall) / 1e6);
    // Per round: three polls with their replies through port, receive pass, parser and run.
    figure("range-cpu-per-round", cpu * 1e6 / measured, "us", 0, "info");
    figure("range-rss-growth", double(rssEnd - rssWarm), "kB", 512, "<=1");
    figure("range-rss", double(rssEnd), "kB", 0, "info");
    figure("range-chart-points", double(points), "points", double(RangeRun::kHistory), "<=1");
    const std::string csv = run.csv();
    figure("range-csv-bytes", double(csv.size()), "B", 0, "info");

    // The chart with its whole history, as the page draws it on each poll.
    RangeChart chart;
    chart.resize(600, 300);
    chart.setRun(&run);
    QImage img(chart.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> ms;
    for (int i = 0; i < 30; ++i) {
        const uint64_t a = nowUs();
        chart.render(&img);
        ms.push_back(double(nowUs() - a) / 1000);
    }
    figure("range-chart-paint", median(ms), "ms", 16, "<=1");
    return 0;
}

} // namespace kd36::bench
