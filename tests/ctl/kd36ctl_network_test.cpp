// kd36ctl on a network port: ser2net on loopback serves the pseudo-terminal
// of a scripted modem.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

#include "tests/support/hostile_server.h"
#include "tests/support/pty_peer.h"
#include "tests/support/ser2net_server.h"

using kd36::test::HostileServer;
using kd36::test::PtyPeer;
using kd36::test::Ser2netServer;

namespace {

struct Outcome {
    int code = -1;
    std::string out, err;
};

Outcome ctl(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(KD36CTL), args);
    Outcome r;
    if (!p.waitForStarted(5000) || !p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

// A settings file in `dir` that pins COM7 to `url`.
QString pinnedSettings(const QTemporaryDir& dir, const std::string& url)
{
    const QString ini = dir.filePath(QStringLiteral("kd36setup.ini"));
    QFile f(ini);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray("[Ports]\nCOM7=") + QByteArray::fromStdString(url) + "\n");
    return ini;
}

} // namespace

TEST(Kd36ctlNetwork, ReadAndSendThroughAnRfc2217PinAndARawUrl)
{
    if (std::string why = Ser2netServer::missing(); !why.empty())
        GTEST_SKIP() << why;
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.start();
    Ser2netServer server(peer.path());
    ASSERT_TRUE(server.start());

    QTemporaryDir dir;
    const QString ini = pinnedSettings(dir, server.rfc2217Url());

    Outcome ports = ctl({"ports", "--ini", ini});
    EXPECT_EQ(ports.code, 0);
    EXPECT_NE(ports.out.find("COM7 \u2014 " + server.rfc2217Url() + " (pinned)"), std::string::npos) << ports.out;

    Outcome r = ctl({"read", "COM7", "--json", "--baud", "19200", "--ini", ini});
    ASSERT_EQ(r.code, 0) << r.err;
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(o["system_id"].toString(), "7654321");
    EXPECT_EQ(o["channel"].toString(), "12");
    peer.clearLines();

    Outcome sent = ctl({"send", QString::fromStdString(server.rawUrl()), "@EQID", "--ini", ini});
    EXPECT_EQ(sent.code, 0) << sent.err;
    EXPECT_EQ(peer.lines(), std::vector<std::string>{"@EQID"});
    EXPECT_NE(sent.out.find(">EQID:"), std::string::npos) << sent.out;

    server.kill();
    Outcome gone = ctl({"read", "COM7", "--ini", ini});
    EXPECT_EQ(gone.code, 2);
    EXPECT_NE(gone.err.find("Connection refused"), std::string::npos) << gone.err;
}

TEST(Kd36ctlNetwork, SilentServerFailsWithAReasonAndASignalEndsTheOpenAtOnce)
{
    HostileServer server(HostileServer::Mode::Silent);
    ASSERT_TRUE(server.ok());
    QTemporaryDir dir;
    const QString ini = pinnedSettings(dir, server.rfc2217Url());

    Outcome r = ctl({"read", "COM7", "--ini", ini});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(server.rfc2217Url() + "): the server did not take the line settings"),
              std::string::npos)
        << r.err;

    QProcess p;
    p.start(QStringLiteral(KD36CTL), {"read", "COM7", "--ini", ini});
    ASSERT_TRUE(p.waitForStarted(5000));
    QThread::msleep(700); // inside the open by now
    QElapsedTimer took;
    took.start();
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_LT(took.elapsed(), 1500);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_NE(p.readAllStandardError().indexOf("interrupted"), -1);
}
