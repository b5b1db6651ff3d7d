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

#include "engine/settings_profile.h"
#include "engine_fixture.h"

namespace kd36::test {
namespace {

class Profile : public EngineTest {
protected:
    Profile() { openPort(); }

    // A panel far from its defaults, every box ticked but the hidden one.
    void prepareOddPanel()
    {
        main.setText("edtSYIDWrite", "0x1F");
        main.setText("edtINFOWrite", "AB-12 z");
        main.setChecked("radChAuto", false);
        main.setChecked("radChHand", true);
        main.setText("cmbCHANCh", "46");
        main.setText("cmbCHANGroup", "5");
        main.setText("cmbROUTDest", "F");
        main.setText("cmbROUTNode1", "A");
        main.setText("cmbROUTNode2", "-");
        main.setText("cmbROUTNode3", "7"); // after a gap: kept, never sent
        main.setText("speFRAMByte", "256");
        main.setText("speFRAMIdle", "50");
        main.setText("speFRAMWait", "100");
        main.setText("speFRAMTxNumber", "0");
        main.setText("cmbSERI", "38400");
        main.setText("cmbSERIParity", "Even");
        main.setText("cmbSERIStopBits", "2");
        main.setText("cmbSERIFlow", "None");
        main.setText("cmbSERIData", "7");
        for (const char* c : {"chkSYID", "chkCHAN", "chkROUT", "chkFRAM", "chkINFO", "chkSERI"})
            main.setChecked(c, true);
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
    SettingsProfile saved = profileFromPanel(main);
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
    main.setText("edtSYIDWrite", "");
    main.setText("edtINFOWrite", "");
    for (const char* c : {"chkSYID", "chkCHAN", "chkROUT", "chkFRAM", "chkINFO", "chkSERI"}) {
        main.setChecked(c, false);
    }
    ASSERT_TRUE(applyProfile(engine, read.profile));
    EXPECT_EQ(profileFromPanel(main), saved);
    // The rules as clicks leave them: fixed channel, relays stop after the gap.
    EXPECT_TRUE(main.isEnabled("cmbCHANCh"));
    EXPECT_FALSE(main.isEnabled("cmbCHANGroup"));
    EXPECT_TRUE(main.isEnabled("cmbROUTNode2"));
    EXPECT_FALSE(main.isEnabled("cmbROUTNode3"));
    EXPECT_TRUE(main.isEnabled("cmbSERIParity"));
    EXPECT_TRUE(main.isEnabled("edtINFOWrite"));
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
    main.setText("edtSYIDWrite", "42");
    main.setText("cmbCHANCh", "20");
    applyProfile(engine, p);
    EXPECT_EQ(main.text("edtSYIDWrite"), "42");
    EXPECT_EQ(main.text("cmbCHANCh"), "20");
    EXPECT_EQ(main.text("cmbCHANGroup"), "3");
    EXPECT_TRUE(main.isChecked("radChHand"));
    EXPECT_EQ(main.text("speFRAMIdle"), "60");

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
    ASSERT_TRUE(writeProfileFile(path, profileFromPanel(main), why)) << why;
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    EXPECT_NE(text.find("; site 7, north mast"), std::string::npos);
    EXPECT_NE(text.find("Note=spare"), std::string::npos);
    EXPECT_NE(text.find("Name=North"), std::string::npos);
    auto r = readProfileFile(path);
    EXPECT_EQ(r.profile, profileFromPanel(main));
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
    for (int i = 1; i <= 20; ++i)
        main.setText("edtRead" + std::to_string(i), values[i]);
    main.setText("edtRead4", "12");
    main.setText("edtRead3", "");
    main.setText("cmbROUTNode3", "9");
    main.setText("speFRAMByte", "64");

    std::vector<ProfileIssue> left = copyReadBackToWrite(engine);
    ASSERT_EQ(left.size(), 0u) << left[0].key;
    EXPECT_EQ(main.text("edtSYIDWrite"), "1234567");
    EXPECT_TRUE(main.isChecked("radChHand"));
    EXPECT_EQ(main.text("cmbCHANCh"), "12");
    EXPECT_EQ(main.text("cmbROUTDest"), "3");
    EXPECT_EQ(main.text("cmbROUTNode2"), "A");
    EXPECT_EQ(main.text("cmbROUTNode3"), "-"); // the reply named two relays only
    EXPECT_EQ(main.text("speFRAMByte"), "99");
    EXPECT_EQ(main.text("cmbSERIParity"), "Even");
    EXPECT_EQ(main.text("cmbSERIFlow"), "H/w");
    EXPECT_FALSE(main.isChecked("chkSYID")); // ticks are the user's

    main.setText("edtRead8", "999");
    main.setText("edtRead16", "115200");
    main.setText("edtRead12", std::string("AB\r\n@X"));
    std::vector<ProfileIssue> bad;
    SettingsProfile p = profileFromReadBack(main, true, &bad);
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
    EXPECT_EQ(main.text("edtSYIDWrite"), "");
}

TEST_F(Profile, AnItemWhoseValuesDidNotAllLoadIsNeitherTickedNorWritten)
{
    // The panel's own device information would otherwise be written in
    // place of the refused one: an empty one erases the modem's.
    main.setText("edtINFOWrite", "");
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
