// Settings profiles: the file format, loading into the panel with its
// enabling rules, and the clone step from the read-back fields.
#include <csignal>
#include <cstdio>
#include <iterator>

#include <sys/resource.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/profile_format.h"
#include "engine/settings_profile.h"
#include "engine_fixture.h"

namespace kd36::test {
namespace {

void choose(SettingPanel& p, PanelChoice c, const char* item)
{
    p.choice(c) = profile_format::indexOf(panelItems(c), item);
}

void relay(SettingPanel& p, int n, const char* item)
{
    p.relays[size_t(n - 1)] = profile_format::indexOf(relayItems(), item);
}

class Profile : public EngineTest {
protected:
    Profile() { openPort(); }

    const SettingPanel& panel() const { return engine.panel(); }

    // A panel far from its defaults, every box ticked but the hidden one.
    void prepareOddPanel()
    {
        engine.editPanel([](SettingPanel& p) {
            p.systemId = "0x1F";
            p.deviceInfo = "AB-12 z";
            p.channelAuto = false;
            choose(p, PanelChoice::Channel, "46");
            choose(p, PanelChoice::Group, "5");
            choose(p, PanelChoice::RouteDest, "F");
            relay(p, 1, "A");
            relay(p, 2, "-");
            relay(p, 3, "7"); // after a gap: kept, never sent
            p.frame = {256, 50, 100, 0};
            choose(p, PanelChoice::Rate, "38400");
            choose(p, PanelChoice::Parity, "Even");
            choose(p, PanelChoice::StopBits, "2");
            choose(p, PanelChoice::Flow, "None");
            choose(p, PanelChoice::DataBits, "7");
            for (PanelTick t : {PanelTick::SystemId, PanelTick::Channel, PanelTick::Route, PanelTick::Frame,
                                PanelTick::DeviceInfo, PanelTick::Serial})
                p.setTick(t, true);
        });
    }
    std::vector<std::string> writeAll()
    {
        port.writes.clear();
        engine.spbWriteClick();
        for (int t = 0; t < 20000 && engine.step() != 0; t += 10) {
            clock.advanceMs(10);
            pass();
        }
        return port.writes;
    }
    std::string tempPath(const char* name)
    {
        auto dir = std::filesystem::temp_directory_path() / ("kd36_profile_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return (dir / name).string();
    }
};

TEST_F(Profile, SavedPanelComesBackExactlyWithItsRulesAndWrites)
{
    prepareOddPanel();
    SettingsProfile saved = profileFromPanel(panel());
    std::vector<std::string> before = writeAll();
    ASSERT_EQ(before.size(), 6u);

    auto read = parseProfile(formatProfile(saved));
    ASSERT_TRUE(read.ok);
    EXPECT_TRUE(read.skipped.empty());
    EXPECT_EQ(read.profile, saved);

    // Everything moved away, boxes unticked, then the profile loaded.
    engine.spbDefaultNumberMouseDown(false);
    boxes.answers.push_back(true);
    engine.spbDefaultNumberClick();
    engine.editPanel([](SettingPanel& p) {
        p.systemId.clear();
        p.deviceInfo.clear();
        p.ticks = {};
    });
    ASSERT_TRUE(applyProfile(engine, read.profile));
    EXPECT_EQ(profileFromPanel(panel()), saved);
    // The rules follow: fixed channel, relays stop after the gap.
    const PanelEnables on = panelEnables(panel());
    EXPECT_TRUE(on.channel);
    EXPECT_FALSE(on.group);
    EXPECT_TRUE(on.relays[1]);
    EXPECT_FALSE(on.relays[2]);
    EXPECT_TRUE(on.serialDetail);
    EXPECT_TRUE(on.deviceInfo);
    EXPECT_EQ(writeAll(), before);
}

TEST_F(Profile, BadValuesAndUnknownKeysAreListedTheRestLoads)
{
    const char* text = "[SystemID]\nWrite=yes\nValue=12A\n"
                       "[Channel]\nWrite=maybe\nMode=fixed\nChannel=47\nGroup=3\nColour=blue\n"
                       "[Route]\nDestination=G\nRelay1=B\nRelay2=h/w\n"
                       "[Frame]\nByteLength=300\nIdleTime= 60\nSendCount=9x\n"
                       "[DeviceInfo]\nValue=TOOLONG99\n"
                       "[RS232C]\nRate=9600\nFlow=h/w\nParity=Odd\n"
                       "[Extras]\nA=1\n";
    auto r = parseProfile(text);
    ASSERT_TRUE(r.ok);
    std::vector<std::string> skipped;
    for (const auto& i : r.skipped)
        skipped.push_back("[" + i.section + "]" + i.key + "=" + i.value + ":" + i.reason);
    EXPECT_EQ(skipped, (std::vector<std::string>{
                           "[SystemID]Value=12A:値が不正です", "[Channel]Write=maybe:値が不正です",
                           "[Channel]Channel=47:値が不正です", "[Channel]Colour=blue:不明なキーです",
                           "[Route]Destination=G:値が不正です", "[Route]Relay2=h/w:値が不正です",
                           "[Frame]ByteLength=300:値が不正です", "[Frame]SendCount=9x:値が不正です",
                           "[DeviceInfo]Value=TOOLONG99:値が不正です", "[RS232C]Flow=h/w:値が不正です",
                           "[Extras]A=1:不明なセクションです"}));
    SettingsProfile& p = r.profile;
    EXPECT_EQ(p.sysIdOn, true);
    EXPECT_FALSE(p.systemId);
    EXPECT_EQ(p.channelAuto, false);
    EXPECT_EQ(p.group, "3");
    EXPECT_EQ(p.relays[0], "B");
    EXPECT_EQ(p.frameIdle, 60); // blanks around a value are not part of it
    EXPECT_EQ(p.rate, "9600");
    EXPECT_EQ(p.parity, "Odd");

    // Loading keeps the controls whose keys were skipped as they were.
    engine.systemIdEdited("42");
    engine.editPanel([](SettingPanel& q) { choose(q, PanelChoice::Channel, "20"); });
    applyProfile(engine, p);
    EXPECT_EQ(panel().systemId, "42");
    EXPECT_EQ(panel().choiceText(PanelChoice::Channel), "20");
    EXPECT_EQ(panel().choiceText(PanelChoice::Group), "3");
    EXPECT_FALSE(panel().channelAuto);
    EXPECT_EQ(panel().frameValue(PanelFrame::Idle), 60);

    EXPECT_FALSE(readProfileFile(tempPath("missing.ini")).ok);
}

TEST_F(Profile, RewritingAFileKeepsItsCommentsAndForeignKeysAndFailsWhole)
{
    std::string path = tempPath("keep.ini");
    {
        std::ofstream f(path);
        f << "; site 7, north mast\n[Channel]\nGroup=1\nNote=spare\n[Site]\nName=North\n";
    }
    prepareOddPanel();
    std::string why;
    ASSERT_TRUE(writeProfileFile(path, profileFromPanel(panel()), why)) << why;
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    EXPECT_NE(text.find("; site 7, north mast"), std::string::npos);
    EXPECT_NE(text.find("Note=spare"), std::string::npos);
    EXPECT_NE(text.find("Name=North"), std::string::npos);
    auto r = readProfileFile(path);
    EXPECT_EQ(r.profile, profileFromPanel(panel()));
    EXPECT_EQ(r.skipped.size(), 2u); // the foreign keys are reported, not lost

    // A write that fails half-way (a file size limit here) leaves the old file whole.
    struct rlimit was {};
    ::getrlimit(RLIMIT_FSIZE, &was);
    auto oldSig = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = was;
    tiny.rlim_cur = 16;
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    bool wrote = writeProfileFile(path, SettingsProfile{}, why);
    ::setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, oldSig);
    EXPECT_FALSE(wrote);
    std::ifstream again(path);
    std::stringstream s2;
    s2 << again.rdbuf();
    EXPECT_EQ(s2.str(), text);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()),
                            std::filesystem::directory_iterator()),
              1); // no temporary left behind
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}

TEST_F(Profile, ReadBackFieldsBecomeWriteValuesWhereTheListsHoldThem)
{
    const char* values[21] = {"",   "1234567", "5", "",   "",  "3", "1", "A", "99", "100", "10",
                              "3",  "ABCDEFGH", "", "",   "",  "19200", "8", "E", "2", "H"};
    engine.editPanel([&values](SettingPanel& p) {
        for (int i = 1; i <= 20; ++i)
            p.read(i) = values[i];
        p.read(4) = "12";
        p.read(3) = "";
        relay(p, 3, "9");
        p.frameValue(PanelFrame::Byte) = 64;
    });

    std::vector<ProfileIssue> left = copyReadBackToWrite(engine);
    ASSERT_EQ(left.size(), 0u) << left[0].key;
    EXPECT_EQ(panel().systemId, "1234567");
    EXPECT_FALSE(panel().channelAuto);
    EXPECT_EQ(panel().choiceText(PanelChoice::Channel), "12");
    EXPECT_EQ(panel().choiceText(PanelChoice::RouteDest), "3");
    EXPECT_EQ(panel().relayText(2), "A");
    EXPECT_EQ(panel().relayText(3), "-"); // the reply named two relays only
    EXPECT_EQ(panel().frameValue(PanelFrame::Byte), 99);
    EXPECT_EQ(panel().choiceText(PanelChoice::Parity), "Even");
    EXPECT_EQ(panel().choiceText(PanelChoice::Flow), "H/w");
    EXPECT_FALSE(panel().tick(PanelTick::SystemId)); // ticks are the user's

    engine.editPanel([](SettingPanel& q) {
        q.read(8) = "999";
        q.read(16) = "115200";
        q.read(12) = "AB\r\n@X";
    });
    std::vector<ProfileIssue> bad;
    SettingsProfile p = profileFromReadBack(panel(), true, &bad);
    ASSERT_EQ(bad.size(), 3u);
    EXPECT_EQ(bad[0].key, "edtRead8");
    EXPECT_EQ(bad[1].key, "edtRead12");
    EXPECT_EQ(bad[2].key, "edtRead16");
    EXPECT_EQ(p.framOn, false);
    EXPECT_EQ(p.seriOn, false);
    EXPECT_EQ(p.routOn, true);
    EXPECT_EQ(p.sysIdOn, true);
}

TEST_F(Profile, NothingChangesWhileASequenceRuns)
{
    engine.spbReadClick();
    SettingsProfile p;
    p.systemId = "7";
    EXPECT_FALSE(applyProfile(engine, p));
    EXPECT_EQ(panel().systemId, "");
}

TEST_F(Profile, AnItemWhoseValuesDidNotAllLoadIsNeitherTickedNorWritten)
{
    // The panel's own device information would otherwise be written in
    // place of the refused one: an empty one erases the modem's.
    const ProfileReadResult r = parseProfile("[DeviceInfo]\nWrite=yes\nValue=SITE-1234\n"
                                             "[Frame]\nWrite=yes\nByteLength=64\n"
                                             "[Channel]\nWrite=yes\nMode=fixed\nChannel=33\n");
    ASSERT_TRUE(r.ok);
    const ProfileCheck c = checkProfile(r, false);
    EXPECT_FALSE(c.writable);
    EXPECT_EQ(c.unticked, (std::vector<std::string>{"DeviceInfo", "Frame"}));
    ASSERT_TRUE(applyProfile(engine, c.profile));
    EXPECT_EQ(writeAll(), std::vector<std::string>{"@FREQ:M=33\r\n"});
}

TEST_F(Profile, LinesTheReaderCannotTakeExactlyAreRefusedNotGuessed)
{
    auto problems = [](const std::string& text) {
        std::vector<std::string> out;
        for (const ProfileIssue& i : parseProfile(text).skipped)
            out.push_back(std::to_string(i.line) + ":" + i.key + ":" + std::to_string(int(i.problem)));
        return out;
    };
    using P = ProfileProblem;
    auto is = [](int line, const char* key, P p) { return std::to_string(line) + ":" + key + ":" + std::to_string(int(p)); };
    // A lone CR would cut the value where the modem sees the line end.
    EXPECT_EQ(problems("[DeviceInfo]\nValue=AB\rC\n"), (std::vector{is(2, "Value", P::ControlCharacter)}));
    // Both values of a key given twice are left out: which one was meant?
    EXPECT_EQ(problems("[Channel]\nChannel=33\nchannel=34\n"),
              (std::vector{is(2, "Channel", P::Duplicate), is(3, "channel", P::Duplicate)}));
    EXPECT_EQ(problems("[Frame]\nByteLength\n[Frame\nIdleTime=60\n"),
              (std::vector{is(2, "", P::BadLine), is(3, "", P::BadLine), is(4, "IdleTime", P::UnknownSection)}));
    // CR LF line ends, a signature and this model's name are fine.
    const ProfileReadResult ok = parseProfile("\xEF\xBB\xBF[Profile]\r\nModel=qw57\r\n[Frame]\r\nIdleTime=60\r\n");
    EXPECT_TRUE(ok.ok && ok.skipped.empty());
    EXPECT_EQ(ok.profile.frameIdle, 60);
    EXPECT_FALSE(parseProfile("[Profile]\nModel=QW99\n").ok);
    // Parity, stop bits and flow are needed only where the write sends them.
    const ProfileReadResult rate = parseProfile("[RS232C]\nWrite=yes\nRate=19200\n");
    EXPECT_TRUE(checkProfile(rate, false).writable);
    EXPECT_EQ(checkProfile(rate, true).issues.size(), 3u);
}

} // namespace
} // namespace kd36::test
