// kd36ctl as a script runs it: a process, its output and exit status.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <regex>
#include <chrono>
#include <memory>
#include <thread>

#include "tests/support/pty_peer.h"

using kd36::test::PtyPeer;
using namespace std::chrono_literals;

namespace {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

struct Ctl : ::testing::Test {
    QTemporaryDir dir;
    QString ini;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // An empty settings file: defaults, no pins, nothing of the user's.
        ini = dir.filePath(QStringLiteral("kd36setup.ini"));
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QStringList withIni(QStringList args) const { return args << QStringLiteral("--ini") << ini; }
    void start(QProcess& p, const QStringList& args) const
    {
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KD36CTL), withIni(args));
        ASSERT_TRUE(p.waitForStarted(5000));
    }
    Outcome run(const QStringList& args, int maxMs = 30000) const
    {
        QProcess p;
        start(p, args);
        Outcome r;
        if (!p.waitForFinished(maxMs)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }
    static QJsonObject json(const Outcome& r)
    {
        QJsonParseError e{};
        auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &e);
        EXPECT_EQ(e.error, QJsonParseError::NoError) << r.out;
        return doc.object();
    }
    static bool waitForLine(PtyPeer& peer, const std::string& line)
    {
        for (int i = 0; i < 500; ++i) {
            for (auto& l : peer.lines())
                if (l == line)
                    return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
};

const char* const kReadOrder[] = {"@INIT", "@EQID", "@FREQ", "@ROUT", "@INIT", "@INFO", "@COMS"};

} // namespace

TEST_F(Ctl, BadUsageAndMissingPortsExitTwoWithAReason)
{
    for (const QStringList& args : {QStringList{}, QStringList{"frobnicate", "simulator"}, QStringList{"read"},
                                    QStringList{"read", "simulator", "extra"}, QStringList{"read", "simulator", "--baud", "fast"},
                                    QStringList{"answerback", "simulator", "2,G"}, QStringList{"read", "LPT1"},
                                    QStringList{"send", "simulator", "@EQID", "--verify"}}) {
        Outcome r = run(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find("kd36ctl: "), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    Outcome missing = run({"read", "/dev/kd36-no-such-device"});
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("/dev/kd36-no-such-device: No such file or directory"), std::string::npos) << missing.err;
    Outcome absent = run({"read", "COM42"});
    EXPECT_EQ(absent.code, 2);
    EXPECT_NE(absent.err.find("COM42"), std::string::npos) << absent.err;

    Outcome help = run({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* c : {"ports", "read", "write", "clone", "send", "answerback", "--json", "--verify", "--ini"})
        EXPECT_NE(help.out.find(c), std::string::npos) << c;
    EXPECT_EQ(run({"--version"}).code, 0);
}

TEST_F(Ctl, TheCommandLineParsesAsOtherToolsDo)
{
    // One line on standard error for anything it cannot take.
    Outcome unknown = run({"--bogus", "read", "simulator"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(unknown.err, "kd36ctl: Unknown option 'bogus' (try 'kd36ctl --help')\n");
    EXPECT_EQ(run({"-V"}).out, run({"--version"}).out);
    Outcome sendHelp = run({"send", "--help"});
    EXPECT_EQ(sendHelp.code, 0);
    EXPECT_EQ(sendHelp.out.rfind("Usage: kd36ctl send PORT TEXT", 0), 0u) << sendHelp.out;
    // --opt=value, and a text after -- that looks like an option is the text.
    PtyPeer peer;
    peer.start();
    QProcess p;
    p.start(QStringLiteral(KD36CTL),
            {"send", "--wait=200", "--ini=" + ini, QString::fromStdString(peer.path()), "--", "--help"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(peer.lines(), std::vector<std::string>{"--help"});

    Outcome ports = run({"ports", "--json"});
    ASSERT_EQ(ports.code, 0);
    QJsonParseError e{};
    const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(ports.out), &e).array();
    ASSERT_EQ(e.error, QJsonParseError::NoError) << ports.out;
    ASSERT_FALSE(list.isEmpty());
    EXPECT_EQ(list[0].toObject()["port"].toString(), "COM1");
    EXPECT_TRUE(list[0].toObject()["simulator"].toBool());
}

// One language on standard error: a ja* locale (LC_ALL, else LC_MESSAGES,
// else LANG) makes all of it Japanese, save the data it names; C, POSIX, none
// and any other locale keep today's English.
TEST_F(Ctl, StandardErrorSpeaksOneLanguageByTheLocale)
{
    const QString profile = dir.filePath(QStringLiteral("missing.ini"));
    const QList<QStringList> failures = {
        {"--bogus", "read", "simulator"}, {"frobnicate"}, {"read", "COM42"}, {"write", "simulator", profile}};
    using Vars = std::vector<std::pair<const char*, const char*>>;
    auto runIn = [this](const Vars& vars, const QStringList& args) {
        env = QProcessEnvironment::systemEnvironment();
        for (auto [name, value] : vars)
            env.insert(QString::fromLatin1(name), QString::fromLatin1(value));
        return run(args);
    };
    auto ascii = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    for (const QStringList& args : failures) {
        const std::string what = args.join(' ').toStdString();
        const Outcome english = runIn({{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "en_US.UTF-8"}}, args);
        EXPECT_EQ(english.code, 2) << what;
        EXPECT_TRUE(ascii(english.err) && !english.err.empty()) << english.err;
        for (const Vars& vars : {Vars{{"LC_ALL", "C.UTF-8"}, {"LANG", "ja_JP.UTF-8"}},
                                 Vars{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", ""}},
                                 Vars{{"LC_ALL", ""}, {"LC_MESSAGES", "POSIX"}, {"LANG", "ja_JP.UTF-8"}}})
            EXPECT_EQ(runIn(vars, args).err, english.err) << what;

        for (const Vars& vars : {Vars{{"LC_ALL", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}},
                                 Vars{{"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "C"}}}) {
            const Outcome r = runIn(vars, args);
            EXPECT_EQ(r.code, 2) << what;
            EXPECT_FALSE(ascii(r.err)) << r.err;
            // Without the data and the command words, no English word is left.
            std::string rest = r.err;
            QStringList data = args;
            data << "kd36ctl" << "help" << "ports" << "simulator" << "COMn" << args.first().mid(2);
            for (const QString& d : data)
                for (size_t at; !d.isEmpty() && (at = rest.find(d.toStdString())) != std::string::npos;)
                    rest.erase(at, size_t(d.toUtf8().size()));
            EXPECT_FALSE(std::regex_search(rest, std::regex("[A-Za-z]{3,}"))) << r.err;
        }
    }
}

TEST_F(Ctl, ReadTheSimulatorAsJson)
{
    Outcome r = run({"read", "simulator", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    QJsonObject o = json(r);
    EXPECT_EQ(o.size(), 21);
    EXPECT_EQ(o["system_id"].toString(), "1234567");
    EXPECT_EQ(o["device_id"].toString(), "5");
    EXPECT_EQ(o["channel_group"].toString(), "0");
    EXPECT_EQ(o["channel"].toString(), ""); // group mode: the channel field is emptied
    EXPECT_EQ(o["route_destination"].toString(), "3");
    EXPECT_EQ(o["frame_bytes"].toString(), "128");
    EXPECT_EQ(o["frame_wait_s"].toString(), "10");
    EXPECT_EQ(o["info"].toString(), "KD36SIM1");
    EXPECT_EQ(o["rs232c_rate"].toString(), "9600");
    EXPECT_EQ(o["rs232c_flow"].toString(), "H");
    EXPECT_TRUE(o["timed_out"].toArray().isEmpty());
}

TEST_F(Ctl, ReadAPtyPeerNamesTheSilentCommandAndKeepsModemTextInert)
{
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.replies().erase("@EQID");
    // Quotes and a terminal escape in the modem's text stay data.
    peer.replies()["@INFO"] = ">INFO:U=a\"b\x1b]0;x\x07/N=6";
    peer.start();
    Outcome r = run({"read", QString::fromStdString(peer.path()), "--json"});
    EXPECT_EQ(r.code, 1) << r.err;
    QJsonObject o = json(r);
    EXPECT_EQ(o["system_id"].toString(), "7654321");
    EXPECT_EQ(o["device_id"].toString(), "6"); // from the INFO reply
    EXPECT_EQ(o["channel"].toString(), "12");
    EXPECT_EQ(o["relay1"].toString(), "1");
    EXPECT_EQ(o["relay2"].toString(), "A");
    EXPECT_EQ(o["relay3"].toString(), "");
    EXPECT_EQ(o["info"].toString(), QString::fromLatin1("a\"b\x1b]0;x\x07"));
    EXPECT_EQ(o["timed_out"].toArray(), QJsonArray{"@EQID"});
    std::vector<std::string> sent(std::begin(kReadOrder), std::end(kReadOrder));
    EXPECT_EQ(peer.lines(), sent);

    Outcome plain = run({"read", QString::fromStdString(peer.path())});
    EXPECT_EQ(plain.out.find('\x1b'), std::string::npos);
    EXPECT_NE(plain.out.find("info=a\"b\\x1B]0;x\\x07\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("timed_out=@EQID\n"), std::string::npos);
}

TEST_F(Ctl, SendPrintsTheReplyLinesAndFailsOnSilence)
{
    Outcome r = run({"send", "simulator", "@EQID"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, ">EQID:E=5\n");

    PtyPeer peer;
    peer.start();
    Outcome silent = run({"send", QString::fromStdString(peer.path()), "@ABCD", "--wait", "200"});
    EXPECT_EQ(silent.code, 1);
    EXPECT_TRUE(silent.out.empty());
    EXPECT_EQ(peer.lines(), std::vector<std::string>{"@ABCD"});
}

TEST_F(Ctl, SendRefusesWhatIsNotOneCommandLineBeforeTheLineSeesIt)
{
    PtyPeer peer;
    peer.start();
    const QString port = QString::fromStdString(peer.path());
    const std::pair<QString, const char*> refused[] = {
        {"", "kd36ctl: send: the command is empty (try 'kd36ctl --help')\n"},
        {"@EQID\r\n@INFO:U=X", "line break"},
        {"@EQID\n", "line break"},
        {QString(100000, 'A'), "too long for the line: 100002 bytes"},
        {QString(1024, QChar(0x3042)), "too long for the line: 2050 bytes"},
    };
    for (const auto& [text, reason] : refused) {
        Outcome r = run({"send", port, text, "--wait", "200"});
        EXPECT_EQ(r.code, 2) << reason;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_TRUE(peer.lines().empty());
    // The longest line the port's write takes: 2046 bytes of Shift-JIS and CR LF.
    EXPECT_EQ(run({"send", port, QString(1023, QChar(0x3042)), "--wait", "200"}).code, 1);
    std::string sent;
    for (int i = 0; i < 1023; ++i)
        sent += "\x82\xA0";
    EXPECT_EQ(peer.lines(), std::vector<std::string>{sent});
}

TEST_F(Ctl, ASettingsFileThatCannotBeReadSaysWhy)
{
    const QString utf16 = dir.filePath(QStringLiteral("utf16.ini"));
    {
        QFile f(utf16);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QString text = QStringLiteral("[Ports]\r\nCOM7=simulator\r\n");
        f.write("\xFF\xFE", 2);
        f.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }
    const QString fifo = dir.filePath(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {utf16, "cannot be read: the file is UTF-16 text; save it as UTF-8\n"},
        {fifo, "cannot be read: not a regular file\n"},
        {dir.path(), "cannot be read: Is a directory\n"},
    };
    for (const auto& c : cases) {
        QProcess p;
        p.start(QStringLiteral(KD36CTL), {"read", "COM7", "--ini", c.path});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 2);
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
        EXPECT_EQ(err.find("no such port"), std::string::npos) << err;
    }
}

TEST_F(Ctl, ReadStopsAtTheFirstFailedWriteAndNamesIt)
{
    auto peer = std::make_unique<PtyPeer>();
    peer->replies().clear();
    peer->start();
    QProcess p;
    start(p, {"read", QString::fromStdString(peer->path())});
    ASSERT_TRUE(waitForLine(*peer, "@INIT"));
    const auto t0 = std::chrono::steady_clock::now();
    peer.reset(); // the line drops
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 4s); // not six more time-outs
    EXPECT_EQ(p.exitCode(), 1);
    const std::string err = p.readAllStandardError().toStdString();
    EXPECT_NE(err.find("kd36ctl: @EQID could not be written to the port; no further command was sent"),
              std::string::npos) << err;
    // English throughout, the window's boxes included, one reason a line.
    EXPECT_TRUE(std::all_of(err.begin(), err.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        << err;
    // The drop is one incident: whichever of its reports came first is the line.
    EXPECT_TRUE(err.find("kd36ctl: The port's device does not respond") != std::string::npos ||
                err.find("kd36ctl: Send failed\n") != std::string::npos)
        << err;
}

TEST_F(Ctl, TimedOutNamesTheCommandEvenWhenTheMonitorIsFlooded)
{
    PtyPeer peer;
    // No valid reply to @EQID, but a flood of text that looks like commands.
    std::string flood;
    for (int i = 0; i < 400; ++i)
        flood += "@FLOOD" + std::to_string(i) + "\r\n" + std::string(60, 'z') + "\r\n";
    peer.replies()["@EQID"] = flood + "@GARBAGE";
    peer.start();
    Outcome r = run({"read", QString::fromStdString(peer.path()), "--json"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(json(r)["timed_out"].toArray(), QJsonArray{"@EQID"});
}

TEST_F(Ctl, AnswerBackGoesOnPastASilentStation)
{
    // The simulated modem knows stations 1 (level 3), 3 (1) and A (4).
    Outcome r = run({"answerback", "simulator", "1,2,3", "--json"}, 60000);
    EXPECT_EQ(r.code, 1) << r.err;
    QJsonArray st = json(r)["stations"].toArray();
    ASSERT_EQ(st.size(), 3);
    EXPECT_EQ(st[0].toObject()["id"].toString(), "1");
    EXPECT_EQ(st[0].toObject()["level"].toInt(), 3);
    EXPECT_EQ(st[1].toObject()["status"].toString(), "no-reply");
    EXPECT_TRUE(st[1].toObject()["level"].isNull());
    EXPECT_EQ(st[2].toObject()["level"].toInt(), 1);
    EXPECT_EQ(st[2].toObject()["status"].toString(), "ok");
}

TEST_F(Ctl, TheSettingsFileMakesASimulatedStationDrift)
{
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Simulator]\nDrift5=2-4 1\nLoss5x=1\n");
    }
    // Station 5 is absent by default; the drift brings it on air.
    Outcome r = run({"watch", "simulator", "5", "--interval", "1", "--count", "3", "--json"}, 60000);
    EXPECT_NE(r.err.find("[Simulator] Loss5x=1 is not understood"), std::string::npos) << r.err;
    QStringList lines = QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << r.out;
    EXPECT_EQ(r.code, 0) << r.err;
    for (int i = 0; i < 3; ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        EXPECT_EQ(o["status"].toString(), "ok");
        const int level = o["level"].toInt(-1);
        EXPECT_TRUE(level >= 2 && level <= 4) << level;
    }
}

TEST_F(Ctl, WatchPrintsALinePerPollAndASummary)
{
    // Stations 1 (level 3) and A (4) always answer.
    Outcome r = run({"watch", "simulator", "1,A", "--interval", "1", "--count", "2", "--json"}, 60000);
    EXPECT_EQ(r.code, 0) << r.err;
    QStringList lines = QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << r.out;
    for (int i = 0; i < 4; ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines[i].toUtf8()).object();
        EXPECT_EQ(o["round"].toInt(), i / 2 + 1);
        EXPECT_EQ(o["station"].toString(), i % 2 ? "A" : "1");
        EXPECT_EQ(o["level"].toInt(), i % 2 ? 4 : 3);
    }
    const QJsonObject s = QJsonDocument::fromJson(lines[5].toUtf8()).object()["summary"].toObject();
    EXPECT_EQ(s["station"].toString(), "A");
    EXPECT_EQ(s["polls"].toInt(), 2);
    EXPECT_EQ(s["replies"].toInt(), 2);

    EXPECT_EQ(run({"watch", "simulator", "1", "--interval", "0"}).code, 2);
    EXPECT_EQ(run({"answerback", "simulator", "1", "--count", "3"}).code, 2);
}

TEST_F(Ctl, SigintEndsAWatchWithItsSummary)
{
    QProcess p;
    start(p, {"watch", "simulator", "1", "--interval", "1"});
    std::string out;
    for (int i = 0; i < 100 && out.find('\n') == std::string::npos; ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput().toStdString();
    }
    ASSERT_NE(out.find(" 1=3\n"), std::string::npos) << out;
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    out += p.readAllStandardOutput().toStdString();
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_NE(out.find("station 1: polls "), std::string::npos) << out;
}

TEST_F(Ctl, SigtermDuringAReadClosesThePortAndTheLockHoldsUntilThen)
{
    PtyPeer peer; // answers nothing the read asks
    peer.replies().clear();
    peer.start();
    QProcess p;
    start(p, {"read", QString::fromStdString(peer.path())});
    ASSERT_TRUE(waitForLine(peer, "@INIT"));

    // A second process finds the port taken.
    Outcome second = run({"read", QString::fromStdString(peer.path())});
    EXPECT_EQ(second.code, 2);
    EXPECT_NE(second.err.find("busy"), std::string::npos) << second.err;

    const auto t0 = std::chrono::steady_clock::now();
    p.terminate(); // SIGTERM
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s); // not after the seven time-outs
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_NE(p.readAllStandardError().indexOf("interrupted"), -1);

    // Closed: the line's lock is free again.
    int fd = ::open(peer.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST_F(Ctl, CloneThenWriteSendsWhatTheWindowSendsAndVerifies)
{
    PtyPeer source;
    source.start();
    const QString profile = dir.filePath(QStringLiteral("cloned.ini"));
    Outcome cloned = run({"clone", QString::fromStdString(source.path()), profile});
    ASSERT_EQ(cloned.code, 0) << cloned.err;

    PtyPeer target(PtyPeer::Mode::Simulated);
    target.start();
    Outcome wrote = run({"write", QString::fromStdString(target.path()), profile, "--verify"});
    EXPECT_EQ(wrote.code, 0) << wrote.err;
    // The write sequence of the setting panel with every item ticked, then the read.
    std::vector<std::string> expected = {"@INIT:S=7654321", "@FREQ:M=12", "@ROUT:D=3;N=1,A",
                                         "@INIT:F=128/I=100/W=10/T=3", "@INFO:U=PTYPEER1",
                                         "@COMS:R=9600/P=N/S=1/F=H"};
    expected.insert(expected.end(), std::begin(kReadOrder), std::end(kReadOrder));
    EXPECT_EQ(target.lines(), expected);

    // A read-back value the panel cannot hold is named, one line each.
    PtyPeer odd;
    odd.replies()["@FREQ"] = ">FREQ:A=99";
    odd.start();
    Outcome partly = run({"clone", QString::fromStdString(odd.path()), dir.filePath(QStringLiteral("odd.ini"))});
    EXPECT_EQ(partly.code, 1) << partly.err; // the profile is written without it
    EXPECT_NE(partly.err.find("kd36ctl: not copied:\nkd36ctl:   ["), std::string::npos) << partly.err;
    EXPECT_EQ(partly.err.find("\\x0A"), std::string::npos) << partly.err;

    // A modem without a reply clones nothing.
    PtyPeer silent;
    silent.replies().clear();
    silent.start();
    const QString none = dir.filePath(QStringLiteral("none.ini"));
    EXPECT_EQ(run({"clone", QString::fromStdString(silent.path()), none}, 60000).code, 1);
    EXPECT_FALSE(QFile::exists(none));
}

TEST_F(Ctl, VerifyFailsWhenTheModemKeepsItsOldValue)
{
    const QString profile = dir.filePath(QStringLiteral("info.ini"));
    {
        QFile f(profile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[DeviceInfo]\nWrite=yes\nValue=NEWINFO1\n");
    }
    PtyPeer peer; // acknowledges the write but keeps reading back PTYPEER1
    peer.replies()["@INFO:U=NEWINFO1"] = ">INFO:U=NEWINFO1";
    peer.start();
    const QString port = QString::fromStdString(peer.path());
    EXPECT_EQ(run({"write", port, profile}).code, 0);
    EXPECT_EQ(peer.lines(), std::vector<std::string>{"@INFO:U=NEWINFO1"});

    Outcome verified = run({"write", port, profile, "--verify"});
    EXPECT_EQ(verified.code, 1);
    EXPECT_NE(verified.err.find("verify: info: wrote NEWINFO1, read PTYPEER1"), std::string::npos) << verified.err;
}

TEST_F(Ctl, TheWindowToolAnswersItsCommandLineWithoutOpeningAWindow)
{
    struct Case {
        QStringList args;
        int code;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: kd36setup", ""},
        {{"-h"}, 0, "Usage: kd36setup", ""},
        {{"--version"}, 0, "kd36setup 2.", ""},
        {{"-V"}, 0, "kd36setup 2.", ""},
        // Qt's own options are left to Qt.
        {{"-platform", "offscreen", "-V"}, 0, "kd36setup 2.", ""},
        {{"--bogus"}, 2, "", "kd36setup: Unknown option 'bogus'. Try 'kd36setup --help'.\n"},
        {{"--", "-V"}, 2, "", "kd36setup: the window takes no arguments: -V Try 'kd36setup --help'.\n"},
    };
    for (const Case& c : cases) {
        QProcess p;
        // No display at all: a window would fail to start.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(v));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KD36SETUP), c.args);
        const std::string what = c.args.join(' ').toStdString();
        ASSERT_TRUE(p.waitForFinished(10000)) << what;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << what;
        EXPECT_EQ(p.exitCode(), c.code) << what;
        EXPECT_TRUE(p.readAllStandardOutput().startsWith(c.out)) << what;
        EXPECT_EQ(p.readAllStandardError().toStdString(), c.err) << what;
    }
}

TEST_F(Ctl, ComNumbersComeFromTheCatalogWithTheSettingsFilePins)
{
    PtyPeer peer;
    peer.start();
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(("[Com]\nBaudRate=19200\n[Ports]\nCOM7=" + peer.path() + "\n").c_str());
    }
    Outcome ports = run({"ports"});
    EXPECT_EQ(ports.code, 0);
    EXPECT_NE(ports.out.find("COM1 — simulator\n"), std::string::npos) << ports.out;
    EXPECT_NE(ports.out.find("COM7 — " + peer.path() + " (pinned)\n"), std::string::npos) << ports.out;

    Outcome r = run({"read", "COM7", "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(json(r)["system_id"].toString(), "7654321");
}

TEST_F(Ctl, AProfileThatCannotBeWrittenExactlySendsNothing)
{
    using namespace std::string_literals;
    const std::string channel33 = "[Channel]\nWrite=yes\nMode=fixed\nChannel=33\n";
    std::string utf16 = "\xFF\xFE"s;
    for (char c : channel33)
        utf16 += std::string(1, c) + '\0';
    const std::pair<std::string, const char*> bad[] = {
        {"[DeviceInfo]\nWrite=yes\nValue=SITE-1234\n", "invalid value"},
        {"[DeviceInfo]\nWrite=yes\nValue=AB\rC\n", "control character"},
        {"[DeviceInfo]\nWrite=yes\nValue=\xF0\x9F\x98\x80\n", "invalid value"},
        {"[DeviceInfo]\nWrite=yes\nValue=\xC3\x28\n", "not UTF-8"},
        {"[Channel]\nWrite=yes\nMode=fixed\nChannel=99\n", "invalid value"},
        {"[RS232C]\nWrite=yes\nRate=115200\n", "invalid value"},
        {"[Frame]\nWrite=yes\nByteLength=128\n", "IdleTime: missing"},
        {"[Route]\nWrite=yes\nDestination=3\nRelay1=2\n", "Relay2: missing"},
        {"[Channel]\nWrite=yes\0\nMode=fixed\nChannel=33\n"s, "NUL byte"},
        {utf16, "UTF-16"},
        {"", "no item is ticked"},
        {"; a comment only\n", "no item is ticked"},
        {channel33 + "Channel=34\n", "given more than once"},
        {"[Channel]\nWrite=yes\nMode=fixed\n[Channel]\nChannel=33\n", "given more than once"},
        {"[Form]\nCh-Ch=10\n[Com]\nBaudRate=9600\n", "unknown section"},
        {"[Profile]\nModel=QW99\n" + channel33, "another model"},
        {"[Channel]\nWrite=yes\nMode fixed\nChannel=33\n", "not an INI line"},
    };
    PtyPeer peer;
    peer.replies()["@FREQ:M=33"] = ">FREQ:M=33";
    peer.start();
    const QString port = QString::fromStdString(peer.path());
    const QString profile = dir.filePath(QStringLiteral("p.ini"));
    for (const auto& [text, reason] : bad) {
        QFile f(profile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.data(), qint64(text.size()));
        f.close();
        Outcome r = run({"write", port, profile});
        EXPECT_EQ(r.code, 2) << text;
        EXPECT_NE(r.err.find(reason), std::string::npos) << text << "\n" << r.err;
        EXPECT_EQ(r.err.find("\\x0A"), std::string::npos) << r.err; // one reason per line
    }
    EXPECT_TRUE(peer.lines().empty());

    // A FIFO is refused at once, not waited on.
    const QString fifo = dir.filePath(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    Outcome f = run({"write", port, fifo}, 5000);
    EXPECT_EQ(f.code, 2);
    EXPECT_NE(f.err.find("not a regular file"), std::string::npos) << f.err;

    // The window's last session does not reach the write: only the profile does.
    {
        QFile i(ini);
        ASSERT_TRUE(i.open(QIODevice::WriteOnly | QIODevice::Truncate));
        i.write("[Form]\nCh-Ch=10\nRoute-Dest=5\n");
        QFile p(profile);
        ASSERT_TRUE(p.open(QIODevice::WriteOnly | QIODevice::Truncate));
        p.write(channel33.c_str());
    }
    Outcome ok = run({"write", port, profile});
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(peer.lines(), std::vector<std::string>{"@FREQ:M=33"});
}

TEST_F(Ctl, ASettingsFileNotReadWholeRefusesComNumbersButTakesPaths)
{
    // The default file (not --ini, which must be read whole): the user's.
    ASSERT_FALSE(QFile::exists(QFileInfo(QStringLiteral(KD36CTL)).dir().filePath("kd36setup.ini")));
    PtyPeer peer;
    peer.start();
    ASSERT_TRUE(QDir(dir.path()).mkpath("kd36setup"));
    {
        QFile f(dir.filePath("kd36setup/kd36setup.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const std::string text = "[Com]\nBaudRate=9600\n" + std::string(1, '\0') + "[Ports]\nCOM2=" + peer.path() + "\n";
        f.write(text.data(), qint64(text.size()));
    }
    auto runDefault = [&](const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.path());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KD36CTL), args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return std::pair{p.exitCode(), p.readAllStandardError().toStdString()};
    };
    const auto [comCode, comErr] = runDefault({"read", "COM2"});
    EXPECT_EQ(comCode, 2);
    EXPECT_NE(comErr.find("cannot be read whole (a NUL byte at offset"), std::string::npos) << comErr;
    EXPECT_TRUE(peer.lines().empty());
    const auto [pathCode, pathErr] = runDefault({"send", QString::fromStdString(peer.path()), "@EQID"});
    EXPECT_EQ(pathCode, 0) << pathErr;
}
