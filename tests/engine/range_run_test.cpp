// The range test on the simulated modem, on a virtual clock: what the
// statistics, the chart history and the CSV say against what the modem did.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "engine/link_logic.h"
#include "engine/range_run.h"
#include "tests/support/headless_rig.h"

namespace kd36::test {
namespace {

std::vector<std::vector<std::string>> csvRows(const std::string& csv)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(csv);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> f;
        std::istringstream l(line);
        std::string x;
        while (std::getline(l, x, ','))
            f.push_back(x);
        if (!line.empty() && line.back() == ',')
            f.push_back("");
        rows.push_back(f);
    }
    return rows;
}

class RangeRunTest : public ::testing::Test {
protected:
    RangeRunTest()
    {
        EXPECT_TRUE(rig.open(9600));
        rig.engine.mnuRssiInfoClick();
        rig.run(20);
        EXPECT_EQ(rig.engine.linkState(), 1);
        range().onPoll = [this](const RangePoll& p) { polls.push_back(p); };
    }
    RangeRun& range() { return rig.engine.rangeRun(); }
    LinkLogic& dialog() { return rig.engine.linkForm(); }
    void tick(std::initializer_list<int> stations)
    {
        for (int n : stations)
            dialog().stationTicked(n, true);
    }
    int stops()
    {
        int k = 0;
        for (auto& l : rig.modem().receivedLines())
            k += l == "@AIRC:Q";
        return k;
    }
    HeadlessRig rig{false};
    std::vector<RangePoll> polls;
};

TEST_F(RangeRunTest, DriftingAndLossyStationsAgreeWithWhatTheModemDid)
{
    rig.modem().setStationDrift(1, 0, 4, 1500);
    rig.modem().setStation(5, '2');
    rig.modem().setReplyLoss(5, 0.4);
    tick({1, 5});
    ASSERT_TRUE(dialog().rangeStartClick(2, 25));
    EXPECT_TRUE(rig.link.linkShown.ranging);
    ASSERT_TRUE(rig.runUntil([&] { return !range().running(); }, 400000));
    EXPECT_EQ(range().ended(), RangeEnd::Completed);
    EXPECT_EQ(range().round(), 25);
    EXPECT_FALSE(rig.link.linkShown.ranging);

    const auto did = rig.modem().aircPolls();
    ASSERT_EQ(did.size(), 50u);
    ASSERT_EQ(polls.size(), did.size());
    std::array<RangeStats, 16> want{};
    std::set<char> levels1;
    int lost5 = 0;
    for (size_t i = 0; i < did.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(polls[i].station, did[i].station);
        EXPECT_EQ(polls[i].round, int(i / 2) + 1);
        EXPECT_EQ(polls[i].result, did[i].answered ? LinkResult::Ok : LinkResult::NoReply);
        RangeStats& w = want[size_t(did[i].station)];
        ++w.polls;
        w.last = did[i].answered ? did[i].level - '0' : -1;
        if (did[i].answered) {
            EXPECT_EQ(polls[i].level, did[i].level - '0');
            ++w.replies;
            w.sum += w.last;
            w.min = w.min < 0 ? w.last : std::min(w.min, w.last);
            w.max = std::max(w.max, w.last);
        }
        if (did[i].station == 1)
            levels1.insert(did[i].level);
        lost5 += did[i].station == 5 && !did[i].answered;
    }
    // The modem really drifted and really dropped replies.
    EXPECT_GE(levels1.size(), 4u);
    EXPECT_GT(lost5, 3);
    EXPECT_LT(lost5, 22);
    for (int n : {1, 5}) {
        const RangeStats& got = range().stats()[size_t(n)];
        const RangeStats& w = want[size_t(n)];
        EXPECT_EQ(got.polls, w.polls);
        EXPECT_EQ(got.replies, w.replies);
        EXPECT_EQ(got.last, w.last);
        EXPECT_EQ(got.min, w.min);
        EXPECT_EQ(got.max, w.max);
        EXPECT_DOUBLE_EQ(got.mean(), double(w.sum) / w.replies);
        EXPECT_DOUBLE_EQ(got.percent(), 100.0 * w.replies / w.polls);
        // The chart has a point per poll, a gap (-1) for each lost one.
        ASSERT_EQ(range().history(n).size(), size_t(w.polls));
    }
    EXPECT_EQ(range().stats()[3].polls, 0);

    const auto rows = csvRows(range().csv());
    ASSERT_EQ(rows.size(), did.size() + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"time", "station", "level", "result", "round"}));
    for (size_t i = 0; i < did.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& r = rows[i + 1];
        ASSERT_EQ(r.size(), 5u);
        EXPECT_EQ(r[1], std::string(1, "0123456789ABCDEF"[did[i].station]));
        EXPECT_EQ(r[2], did[i].answered ? std::string(1, did[i].level) : "");
        EXPECT_EQ(r[3], did[i].answered ? "ok" : "no-reply");
        EXPECT_EQ(r[4], std::to_string(i / 2 + 1));
    }
    // A completed run leaves the modem alone.
    EXPECT_EQ(stops(), 0);
}

TEST_F(RangeRunTest, RoundsKeepTheirIntervalAndFastRepliesAreNotWaitedOut)
{
    tick({1, 10});
    ASSERT_TRUE(dialog().rangeStartClick(5, 3));
    ASSERT_TRUE(rig.runUntil([&] { return !range().running(); }, 60000));
    ASSERT_EQ(polls.size(), 6u);
    for (size_t i = 0; i < polls.size(); i += 2) {
        EXPECT_NEAR(double(polls[i].sinceStartMs), 5000.0 * double(i / 2), 100.0);
        EXPECT_LT(polls[i + 1].sinceStartMs - polls[i].sinceStartMs, 500u);
        EXPECT_EQ(polls[i].level, 3);
        EXPECT_EQ(polls[i + 1].level, 4);
    }
    // The run ends as its last poll settles, not an interval later.
    EXPECT_GT(range().elapsedMs(), polls.back().sinceStartMs);
    EXPECT_LT(range().elapsedMs(), polls.back().sinceStartMs + 1000);
}

TEST_F(RangeRunTest, StoppingEndsTheRunAsTheCheckDoes)
{
    tick({2}); // absent: every poll waits
    ASSERT_TRUE(dialog().rangeStartClick(1, 0));
    rig.run(500);
    // The check itself cannot start while a range test runs.
    dialog().btnGetClick();
    EXPECT_EQ(rig.engine.linkState(), 1);
    dialog().rangeStopClick();
    rig.run(100);
    EXPECT_FALSE(range().running());
    EXPECT_EQ(range().ended(), RangeEnd::Stopped);
    EXPECT_EQ(stops(), 1);
    ASSERT_EQ(polls.size(), 1u);
    EXPECT_EQ(polls[0].result, LinkResult::Aborted);
    EXPECT_EQ(range().stats()[2].polls, 0); // a given-up poll is no loss

    // Closing the dialog stops a run with the same command.
    ASSERT_TRUE(dialog().rangeStartClick(1, 0));
    rig.run(100);
    rig.link.hideForm();
    rig.run(100);
    EXPECT_EQ(range().ended(), RangeEnd::Stopped);
    EXPECT_EQ(stops(), 2);

    // Closing the port ends it without a word to the modem.
    rig.link.showForm();
    rig.run(20);
    ASSERT_TRUE(dialog().rangeStartClick(1, 0));
    rig.run(100);
    rig.close();
    EXPECT_EQ(range().ended(), RangeEnd::PortClosed);
    EXPECT_FALSE(rig.link.timerActive(TimerId::RangeTick));
}

TEST_F(RangeRunTest, NothingStartsWithoutAStationOrWithAnIntervalOutOfRange)
{
    EXPECT_FALSE(dialog().rangeStartClick(1, 5));
    tick({1});
    EXPECT_FALSE(dialog().rangeStartClick(0, 5));
    EXPECT_FALSE(dialog().rangeStartClick(3601, 5));
    EXPECT_FALSE(range().running());
    EXPECT_TRUE(rig.modem().receivedLines().empty() || rig.modem().aircPolls().empty());
}

TEST_F(RangeRunTest, TheChartKeepsABoundedHistory)
{
    tick({1});
    const int rounds = int(RangeRun::kHistory) + 20;
    ASSERT_TRUE(dialog().rangeStartClick(1, rounds));
    ASSERT_TRUE(rig.runUntil([&] { return !range().running(); }, uint64_t(rounds) * 1000 + 5000));
    EXPECT_EQ(range().history(1).size(), RangeRun::kHistory);
    EXPECT_EQ(range().history(1).front().sinceStartMs, polls[20].sinceStartMs);
    EXPECT_EQ(range().stats()[1].polls, rounds);
    EXPECT_EQ(csvRows(range().csv()).size(), size_t(rounds) + 1);
}

} // namespace
} // namespace kd36::test
