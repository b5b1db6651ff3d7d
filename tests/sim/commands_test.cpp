// The command language of the simulated modem: settings, air monitor,
// answer-back, packets and development commands.
#include <cstdio>

#include "sim/simulator_factory.h"
#include "sim_fixture.h"

namespace kd36::test {
namespace {

class SimCommands : public SimFixture {
protected:
    void SetUp() override { commandMode(); }
};

struct Exchange {
    const char* command;
    const char* reply;
};

TEST_F(SimCommands, ReadsAnswerInTheReplyForms)
{
    const Exchange cases[] = {
        {"@INIT", ">INIT:F=128/I=100/S=1234567/T=3/W=10"},
        {"@EQID", ">EQID:E=5"},
        {"@FREQ", ">FREQ:A=0"},
        {"@ROUT", ">ROUT:D=3"},
        {"@INFO", ">INFO:U=KD36SIM1/N=5"},
        {"@COMS", ">COMS:R=9600/D=8/P=N/S=1/F=H"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ask(std::string(c.command) + "\r\n"), std::string(c.reply) + "\r\n") << c.command;
}

TEST_F(SimCommands, WritesAnswerInTheReadFormAndReadBack)
{
    struct Case {
        const char* write;
        const char* read;
        const char* reply;
    };
    const Case cases[] = {
        {"@INIT:S=7654321", "@INIT", ">INIT:F=128/I=100/S=7654321/T=3/W=10"},
        {"@INIT:F=64/I=80/W=5/T=2", "@INIT", ">INIT:F=64/I=80/S=7654321/T=2/W=5"},
        {"@INIT:S=0", "@INIT", ">INIT:F=64/I=80/S=0/T=2/W=5"},
        {"@FREQ:A=3", "@FREQ", ">FREQ:A=3"},
        {"@FREQ:M=12", "@FREQ", ">FREQ:M=12"},
        {"@FREQ:M=46", "@FREQ", ">FREQ:M=46"},
        {"@ROUT:D=3;N=1,A", "@ROUT", ">ROUT:D=3;N=1,A"},
        {"@ROUT:D=F;N=1,2,3,4,5", "@ROUT", ">ROUT:D=F;N=1,2,3,4,5"},
        {"@ROUT:D=7", "@ROUT", ">ROUT:D=7"},
        {"@INFO:U=ABCDEFGH", "@INFO", ">INFO:U=ABCDEFGH/N=5"},
        {"@INFO:U=", "@INFO", ">INFO:U=/N=5"},
        {"@COMS:R=9600/P=N/S=1/F=N", "@COMS", ">COMS:R=9600/D=8/P=N/S=1/F=N"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ask(std::string(c.write) + "\r\n"), std::string(c.reply) + "\r\n") << c.write;
        EXPECT_EQ(ask(std::string(c.read) + "\r\n"), std::string(c.reply) + "\r\n") << c.write;
    }
    const ModemSettings s = modem.settings();
    EXPECT_EQ(s.systemId, 0u);
    EXPECT_EQ(s.routeDest, '7');
    EXPECT_EQ(s.routeRelays, "");
    EXPECT_FALSE(s.groupMode);
    EXPECT_EQ(s.channel, 46);
    EXPECT_EQ(s.info, "");
    EXPECT_EQ(s.line.flow, 'N');
}

TEST_F(SimCommands, InvalidWritesAreRefusedAndChangeNothing)
{
    const char* writes[] = {
        "@INIT:S=12A", "@INIT:S=12345678", "@INIT:S=-1", "@INIT:F=300", "@INIT:F=0", "@INIT:I=49",
        "@INIT:W=101", "@INIT:T=10", "@INIT:X=1", "@INIT:", "@INIT:S=1/F=999", "@FREQ:A=8",
        "@FREQ:M=6", "@FREQ:M=47", "@FREQ:A=", "@ROUT:D=G", "@ROUT:D=3;N=1,2,3,4,5,6", "@ROUT:D=3;N=",
        "@ROUT:D=3;N=1,,2", "@ROUT:D=33", "@INFO:U=ABCDEFGHI", "@INFO:U=AB/C", "@INFO:X=A", "@COMS:R=9601",
        "@COMS:P=X", "@COMS:D=9", "@COMS:S=3", "@EQID:E=4", "@ANLZ", "@AIRC:N=G", "@AIRC:N=10",
    };
    const ModemSettings before = modem.settings();
    for (const char* w : writes)
        EXPECT_EQ(ask(std::string(w) + "\r\n"), ">ERR1:PRM\r\n") << w;
    EXPECT_EQ(modem.settings(), before);
    EXPECT_EQ(ask("@XYZW\r\n"), ">ERR1:CMD\r\n");
    EXPECT_EQ(ask("@INITS=1\r\n"), ">ERR1:CMD\r\n");
    EXPECT_EQ(ask("$NEWS\r\n"), ">ERR1:CMD\r\n");
    // Text that is not a command at all (an empty line, noise) gets no answer.
    EXPECT_EQ(ask("\r\nhello\r\n"), "");
}

TEST_F(SimCommands, ReceivedLinesAreRecordedWithoutTheirLineEnd)
{
    ask("@EQID\r\n");
    ask("@FREQ\n");
    EXPECT_EQ(modem.receivedLines(), (std::vector<std::string>{"@EQID", "@FREQ"}));
    EXPECT_EQ(ask("@FREQ\n"), ">FREQ:A=0\r\n"); // a bare LF also ends a line
}

TEST_F(SimCommands, DevelopmentCommandsGetShortReplies)
{
    const Exchange cases[] = {
        {"@DBUG", ">DBUG:ON"},
        {"@DBUG", ">DBUG:OFF"},
        {"@TEST:K=XJ52", ">TEST:OK"},
        {"@TEST:K=AAAA", ">TEST:NG"},
        {"@CMND", ">CMND:OK"},
        {"@STBY", ">STBY:OK"},
        {"@SEND:F=12;M=9", ">SEND:F=12;M=9"},
        {"@SEND:F=7;M=0", ">SEND:F=7;M=0"},
        {"@SEND:F=47;M=0", ">SEND:NG"},
        {"@RECV:F=46;M=1", ">RECV:F=46;M=1"},
        {"@RECV:F=7;M=9", ">RECV:NG"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ask(std::string(c.command) + "\r\n"), std::string(c.reply) + "\r\n") << c.command;
    EXPECT_TRUE(ask("@DIF1\r\n").starts_with(">DIF1:"));
    EXPECT_TRUE(ask("@DIF2\r\n").starts_with(">DIF2:"));
}

// Reads ">ANLZ:07=%X,...,46=%X" the way the tool does; false unless all 40 are there.
bool parseSweep(const std::string& line, int (&values)[40])
{
    if (!line.starts_with(">ANLZ:"))
        return false;
    const char* p = line.c_str() + 6;
    for (int i = 0; i < 40; ++i) {
        int ch = 0;
        unsigned v = 0;
        int used = 0;
        if (std::sscanf(p, i ? ",%2d=%X%n" : "%2d=%X%n", &ch, &v, &used) != 2 || ch != i + 7)
            return false;
        values[i] = int(v);
        p += used;
    }
    return *p == '\0';
}

TEST_F(SimCommands, AirMonitorSweepsTwiceASecondUntilStopped)
{
    ask("@ANLZ:S\r\n", 5000);
    EXPECT_TRUE(modem.airMonitorRunning());
    auto lines = splitLines(rx);
    EXPECT_EQ(lines.size(), 10u);
    int busyReadings = 0;
    int quietReadings = 0;
    for (const auto& line : lines) {
        int v[40];
        ASSERT_TRUE(parseSweep(line, v)) << line;
        for (int x : v) {
            EXPECT_GE(x, 0);
            EXPECT_LE(x, 0x3FF);
            busyReadings += x >= 0x200;
            quietReadings += x < 0x80;
        }
    }
    EXPECT_GT(busyReadings, 0);         // some channels carry traffic
    EXPECT_GT(quietReadings, 10 * 30);  // most sit at the noise floor
    EXPECT_NE(lines[0], lines[1]);      // readings jitter

    EXPECT_EQ(ask("@ANLZ:Q\r\n", 600), ">ANLZ:Q\r\n");
    EXPECT_FALSE(modem.airMonitorRunning());
    runMs(2000);
    EXPECT_EQ(rx, ">ANLZ:Q\r\n");
}

TEST(SimSpectrum, TheSeedFixesTheSweeps)
{
    auto sweepOf = [](uint32_t seed) {
        VirtualClock clock;
        SimulatedModem m(clock, seed);
        m.setDtr(false);
        const std::string cmd = "@ANLZ:S\r\n";
        m.write(reinterpret_cast<const uint8_t*>(cmd.data()), cmd.size());
        clock.advanceMs(1500);
        std::string out(4096, '\0');
        out.resize(size_t(m.read(reinterpret_cast<uint8_t*>(out.data()), out.size())));
        return out;
    };
    EXPECT_EQ(sweepOf(7), sweepOf(7));
    EXPECT_NE(sweepOf(7), sweepOf(8));
}

TEST_F(SimCommands, AnswerBackOnlyFromPresentStations)
{
    ask("@AIRC:N=1\r\n", 290);
    EXPECT_EQ(rx, ""); // not before the remote had time to answer
    runMs(100);
    EXPECT_EQ(rx, ">AIRC:1=3\r\n");
    EXPECT_EQ(ask("@AIRC:N=A\r\n", 400), ">AIRC:A=4\r\n");
    EXPECT_EQ(ask("@AIRC:N=2\r\n", 15000), "");
    modem.setStation(2, '7');
    EXPECT_EQ(ask("@AIRC:N=2\r\n", 400), ">AIRC:2=7\r\n");
    modem.removeStation(1);
    EXPECT_EQ(ask("@AIRC:N=1\r\n", 1000), "");
    EXPECT_EQ(ask("@AIRC:Q\r\n", 50), ">AIRC:Q\r\n");
}

TEST(SimSetup, TheSettingsSectionTakesOnlyWhatItCanDo)
{
    std::vector<std::string> ignored;
    const SimulatorSetup s = simulatorSetup({{"Drift1", "0-4 1500"},
                                             {"drifta", " 2-3  10 "},
                                             {"Loss3", "40"},
                                             {"LOSSF", "12.5 %"},
                                             {"Drift2", "4-2 100"},
                                             {"Drift4", "1-3 0"},
                                             {"Drift5", "1-3"},
                                             {"Loss6", "101"},
                                             {"Loss7", "nan"},
                                             {"LossG", "5"},
                                             {"Level1", "3"}},
                                            &ignored);
    ASSERT_EQ(s.drifts.size(), 2u);
    EXPECT_EQ(s.drifts[0].station, 1);
    EXPECT_EQ(s.drifts[0].hi, 4);
    EXPECT_EQ(s.drifts[0].stepMs, 1500u);
    EXPECT_EQ(s.drifts[1].station, 10);
    EXPECT_EQ(s.drifts[1].lo, 2);
    EXPECT_EQ(s.drifts[1].stepMs, 10u);
    ASSERT_EQ(s.losses.size(), 2u);
    EXPECT_DOUBLE_EQ(s.losses[0].share, 0.4);
    EXPECT_EQ(s.losses[1].station, 15);
    EXPECT_DOUBLE_EQ(s.losses[1].share, 0.125);
    EXPECT_EQ(ignored, (std::vector<std::string>{"Drift2=4-2 100", "Drift4=1-3 0", "Drift5=1-3", "Loss6=101",
                                                 "Loss7=nan", "LossG=5", "Level1=3"}));
}

TEST_F(SimCommands, StopGivesUpThePollInProgress)
{
    send("@AIRC:N=3\r\n");
    EXPECT_EQ(ask("@AIRC:Q\r\n", 1000), ">AIRC:Q\r\n");
}

TEST_F(SimCommands, ValidPacketComesBackWithTheRouteReversed)
{
    ask("$SEND:5,1,3;3;ABC\r\n", 290);
    EXPECT_EQ(rx, ""); // 200 ms plus 100 ms for the relay
    runMs(200);
    EXPECT_EQ(rx, "$RECE:3,1,5;3;ABC\r\n");
    EXPECT_EQ(ask("$SEND:5,A,1,3,A,1,3;2;hi\r\n", 1500), "$RECE:3,1,A,3,1,A,5;2;hi\r\n");
    // Without a route the stored one is used.
    EXPECT_EQ(ask("$SEND:;3;ABC\r\n", 500), "$RECE:3,5;3;ABC\r\n");
    // Double-byte text counts in bytes.
    EXPECT_EQ(ask("$SEND:5,1;3;\x82\xA0" "A\r\n", 500), "$RECE:1,5;3;\x82\xA0" "A\r\n");
}

TEST_F(SimCommands, PacketDataMayHoldLineBreaks)
{
    EXPECT_EQ(ask("$SEND:5,3;5;AB\r\nC\r\n", 500), "$RECE:3,5;5;AB\r\nC\r\n");
    EXPECT_EQ(modem.receivedLines().back(), "$SEND:5,3;5;AB\r\nC");
    EXPECT_EQ(ask("$SEND:5,3;4;AB\r\n\r\n", 500), "$RECE:3,5;4;AB\r\n\r\n");
    // A command right after a packet is still understood.
    EXPECT_EQ(ask("$SEND:5,3;2;\r\n\r\n@EQID\r\n", 500), ">EQID:E=5\r\n$RECE:3,5;2;\r\n\r\n");
}

TEST_F(SimCommands, InvalidPacketsAnswerErr2)
{
    const Exchange cases[] = {
        {"$SEND:5,3;4;ABC", ">ERR2:LENGTH"}, // ends after a pause, data one short
        {"$SEND:5,3;2;ABC", ">ERR2:LENGTH"},
        {"$SEND:5,3;x;ABC", ">ERR2:LENGTH"},
        {"$SEND:5,3;-3;ABC", ">ERR2:LENGTH"},
        {"$SEND:5,3;;ABC", ">ERR2:LENGTH"},
        {"$SEND:5,3;3ABC", ">ERR2:FORMAT"},
        {"$SEND:", ">ERR2:FORMAT"},
        {"$SEND:5;3;ABC", ">ERR2:ROUTE"},
        {"$SEND:5,1,2,3,4,6,7,3;3;ABC", ">ERR2:ROUTE"},
        {"$SEND:5,G;3;ABC", ">ERR2:ROUTE"},
        {"$SEND:5,,3;3;ABC", ">ERR2:ROUTE"},
        {"$SEND:5,5;3;ABC", ">ERR2:ROUTE"},
        {"$SEND:4,3;3;ABC", ">ERR2:ID"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ask(std::string(c.command) + "\r\n", 600), std::string(c.reply) + "\r\n") << c.command;
}

TEST_F(SimCommands, PacketToAnAbsentStationIsLost)
{
    EXPECT_EQ(ask("$SEND:5,2;1;x\r\n", 3000), "");
    EXPECT_EQ(ask("$SEND:5,2,3;1;x\r\n", 3000), "$RECE:3,2,5;1;x\r\n");
}

} // namespace
} // namespace kd36::test
