#include "spectrum/spectrum_model.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kd36::spectrum;

namespace {

std::vector<int32_t> flat(int32_t v)
{
    return std::vector<int32_t>(kChannels, v);
}

SpectrumModel model(int decay, int holdSweeps)
{
    SpectrumModel m;
    m.setControl({decay, 100, holdSweeps});
    return m;
}

} // namespace

TEST(SpectrumModel, PeakStaysForTheHoldThenFallsAtTheDecayRate)
{
    SpectrumModel m = model(800, 3);
    m.update(flat(2000).data(), kChannels);
    for (int i = 0; i < 3; ++i) {
        m.update(flat(500).data(), kChannels);
        m.advance(1000);
        EXPECT_EQ(m.peak(0), 2000) << "sweep " << i;
    }
    m.update(flat(500).data(), kChannels); // hold over
    m.advance(1000);
    EXPECT_EQ(m.peak(0), 1200);
    m.advance(500);
    EXPECT_EQ(m.peak(0), 800);
    m.advance(5000); // never below the current value
    EXPECT_EQ(m.peak(0), 500);
}

TEST(SpectrumModel, ANewPeakRestartsTheHold)
{
    SpectrumModel m = model(1000, 1);
    m.update(flat(1000).data(), kChannels);
    m.update(flat(900).data(), kChannels);
    m.update(flat(1500).data(), kChannels);
    m.advance(1000);
    EXPECT_EQ(m.peak(5), 1500);
}

TEST(SpectrumModel, ValuesAreLimitedToTheScale)
{
    struct Case {
        int32_t in;
        int shown;
    } cases[] = {{-5, 0}, {0, 0}, {1648, 1648}, {3300, 3300}, {3301, 3300}, {INT32_MAX, 3300}, {INT32_MIN, 0}};
    for (const auto& c : cases) {
        SpectrumModel m;
        m.update(flat(c.in).data(), kChannels);
        EXPECT_EQ(m.values()[0], c.shown) << c.in;
        EXPECT_EQ(m.peak(0), c.shown) << c.in;
    }
}

TEST(SpectrumModel, ShortOrMissingDataChangesOnlyWhatItHolds)
{
    SpectrumModel m;
    m.update(flat(700).data(), kChannels);
    const int32_t three[] = {1, 2, 3};
    m.update(three, 3);
    EXPECT_EQ(m.values()[2], 3);
    EXPECT_EQ(m.values()[3], 700);
    m.update(nullptr, 40);
    m.update(three, 0);
    m.update(three, -1);
    EXPECT_EQ(m.sweeps(), 2);
}

TEST(SpectrumModel, StrongestChannelAndSweepCount)
{
    SpectrumModel m;
    EXPECT_EQ(m.strongest(), -1);
    auto v = flat(300);
    v[16] = 2500; // channel 23
    m.update(v.data(), kChannels);
    m.update(v.data(), kChannels);
    EXPECT_EQ(m.strongest(), 16);
    EXPECT_EQ(m.sweeps(), 2);
    m.resetSweeps();
    EXPECT_EQ(m.sweeps(), 0);
    EXPECT_EQ(m.strongest(), 16); // the picture stays after a reshow
}

TEST(SpectrumModel, PeakHoldOffAndOnStartsFromTheCurrentValues)
{
    SpectrumModel m = model(0, 100);
    m.update(flat(3000).data(), kChannels);
    m.update(flat(400).data(), kChannels);
    m.setPeakHold(false);
    m.setPeakHold(true);
    EXPECT_EQ(m.peak(0), 400);
}

TEST(SpectrumModel, ControlValuesAreKeptInSaneLimits)
{
    SpectrumModel m;
    m.setControl({-1, 0, -7});
    EXPECT_EQ(m.control().peakDecayMvPerSecond, 0);
    EXPECT_EQ(m.control().refreshMs, 20);
    EXPECT_EQ(m.control().peakHoldSweeps, 0);
    m.setControl({800, 100, 30});
    EXPECT_EQ(m.control().peakDecayMvPerSecond, 800);
    EXPECT_EQ(m.control().refreshMs, 100);
    EXPECT_EQ(m.control().peakHoldSweeps, 30);
}

TEST(SpectrumModel, RecordKeepsTheNewestSweepsWithinItsBound)
{
    SpectrumModel m;
    const auto v = flat(5000);
    for (size_t i = 0; i < SpectrumModel::kMaxRecorded + 2; ++i)
        m.record(int64_t(i), v.data(), kChannels);
    ASSERT_EQ(m.recorded().size(), SpectrumModel::kMaxRecorded);
    EXPECT_EQ(m.recorded().front().unixMs, 2);
    EXPECT_EQ(m.recorded().back().mv[39], 5000); // as received, not limited
    m.record(0, nullptr, kChannels);
    EXPECT_EQ(m.recorded().size(), SpectrumModel::kMaxRecorded);
}
