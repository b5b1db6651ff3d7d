// What `kd36ctl watch` prints for a run on the simulated modem (virtual
// clock), checked against what the modem did.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "ctl/watch_text.h"
#include "engine/link_logic.h"
#include "tests/support/headless_rig.h"

namespace kd36::test {
namespace {

QJsonObject object(const std::string& line)
{
    EXPECT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one object per line";
    QJsonParseError e{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &e);
    EXPECT_EQ(e.error, QJsonParseError::NoError) << line;
    return doc.object();
}

TEST(Watch, JsonLinesAndSummaryMatchTheModem)
{
    HeadlessRig rig{false};
    ASSERT_TRUE(rig.open(9600));
    rig.modem().setStationDrift(1, 1, 4, 1000);
    rig.modem().setReplyLoss(10, 0.5);
    rig.engine.mnuRssiInfoClick();
    rig.run(20);
    std::vector<std::string> lines;
    RangeRun& run = rig.engine.rangeRun();
    run.onPoll = [&](const RangePoll& p) { lines.push_back(ctl::watchLine(p, true)); };
    rig.engine.linkForm().stationTicked(1, true);
    rig.engine.linkForm().stationTicked(10, true);
    ASSERT_TRUE(rig.engine.linkForm().rangeStartClick(1, 12));
    ASSERT_TRUE(rig.runUntil([&] { return !run.running(); }, 300000));

    const auto did = rig.modem().aircPolls();
    ASSERT_EQ(lines.size(), did.size());
    int replies[2] = {}, lost = 0, lo = 9, hi = 0;
    for (size_t i = 0; i < did.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        const QJsonObject o = object(lines[i]);
        EXPECT_EQ(o.size(), 5);
        EXPECT_EQ(o["round"].toInt(), int(i / 2) + 1);
        EXPECT_EQ(o["station"].toString(), did[i].station == 1 ? "1" : "A");
        EXPECT_FALSE(o["time"].toString().isEmpty());
        if (did[i].answered) {
            EXPECT_EQ(o["level"].toInt(-1), did[i].level - '0');
            EXPECT_EQ(o["status"].toString(), "ok");
            ++replies[did[i].station == 1 ? 0 : 1];
            if (did[i].station == 1) {
                lo = std::min(lo, did[i].level - '0');
                hi = std::max(hi, did[i].level - '0');
            }
        } else {
            EXPECT_TRUE(o["level"].isNull());
            EXPECT_EQ(o["status"].toString(), "no-reply");
            ++lost;
        }
    }
    ASSERT_GT(lost, 0);
    EXPECT_FALSE(ctl::watchAllAnswered(run));

    const std::string summary = ctl::watchSummary(run, true);
    const size_t cut = summary.find('\n') + 1;
    const QJsonObject s1 = object(summary.substr(0, cut))["summary"].toObject();
    const QJsonObject sA = object(summary.substr(cut))["summary"].toObject();
    EXPECT_EQ(s1["station"].toString(), "1");
    EXPECT_EQ(s1["polls"].toInt(), 12);
    EXPECT_EQ(s1["replies"].toInt(), replies[0]);
    EXPECT_EQ(s1["min"].toInt(), lo);
    EXPECT_EQ(s1["max"].toInt(), hi);
    EXPECT_LT(lo, hi);
    EXPECT_EQ(sA["polls"].toInt(), 12);
    EXPECT_EQ(sA["replies"].toInt(), replies[1]);
    EXPECT_EQ(sA["min"].toInt(), 4);
    EXPECT_DOUBLE_EQ(sA["mean"].toDouble(), 4.0);
}

TEST(Watch, TextLinesNameTheRoundAndTheLevelOrWhyNot)
{
    RangePoll p{0, 0, 7, 11, 2, LinkResult::Ok};
    const std::string ok = ctl::watchLine(p, false);
    EXPECT_NE(ok.find(" round 7 B=2\n"), std::string::npos) << ok;
    p.result = LinkResult::NoReply;
    p.level = -1;
    EXPECT_NE(ctl::watchLine(p, false).find(" round 7 B=no-reply\n"), std::string::npos);
}

} // namespace
} // namespace kd36::test
