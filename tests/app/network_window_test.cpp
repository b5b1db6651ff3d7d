// The main window on a network port: ser2net on loopback serves the
// pseudo-terminal of a scripted modem, pinned as COM5 in the settings file.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/main_form.h"
#include "app/qt_boxes.h"
#include "tests/support/hostile_server.h"
#include "tests/support/pty_peer.h"
#include "tests/support/ser2net_server.h"
#include "ui_main_form.h"

using namespace kd36;

class NetworkWindowTest : public QObject {
    Q_OBJECT
private slots:
    void readThroughSer2netServerDiesAndReturns();
    void silentServerLeavesTheWindowResponsiveAndClosable();
    void floodOfLineErrorsIsOneBoxAndCountedLines();
};

namespace {

// Settings that pin COM5 to `url`.
TMainForm::Options pinned(const QTemporaryDir& dir, const std::string& url)
{
    TMainForm::Options o;
    o.settingsPath = dir.filePath("kd36setup.ini").toStdString();
    QFile f(QString::fromStdString(o.settingsPath));
    if (f.open(QIODevice::WriteOnly))
        f.write("[Com]\nPort=5\nFlowCtrl=0\n[Ports]\nCOM5=" + QByteArray::fromStdString(url) + "\n");
    return o;
}

} // namespace

void NetworkWindowTest::readThroughSer2netServerDiesAndReturns()
{
    if (std::string why = test::Ser2netServer::missing(); !why.empty())
        QSKIP(why.c_str());
    test::PtyPeer peer;
    QVERIFY(peer.ok());
    peer.start();
    test::Ser2netServer server(peer.path());
    QVERIFY(server.start());

    QTemporaryDir dir;
    TMainForm::Options o;
    o.settingsPath = dir.filePath("kd36setup.ini").toStdString();
    {
        QFile f(QString::fromStdString(o.settingsPath));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Com]\nPort=5\nFlowCtrl=0\n[Ports]\nCOM5=" + QByteArray::fromStdString(server.rfc2217Url()) + "\n");
    }
    TMainForm form(o);
    QStringList boxes;
    form.qtBoxes()->onShow = [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        boxes << box->text();
        QTimer::singleShot(0, box, [box] { box->buttons().first()->click(); });
    };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Ui::TMainForm& ui = form.form();
    auto field = [&](int n) { return form.findChild<QLineEdit*>(QStringLiteral("edtRead%1").arg(n))->text(); };

    ui.btnComPort->click();
    ui.spbRead->click();
    QTRY_VERIFY_WITH_TIMEOUT(ui.spbRead->isEnabled() && !field(20).isEmpty(), 10000);
    QCOMPARE(field(1), QString("7654321"));
    QCOMPARE(field(4), QString("12"));
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('|')));

    // The link drops: one box, and the port is closed as for a pulled adapter.
    server.kill();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 5000);
    QCOMPARE(boxes[0], QString("通信ポートのデバイスが応答しません。ポートを閉じます。"));
    QTRY_COMPARE(ui.btnComPort->text(), QString("通信ポート ON "));
    QTest::qWait(300);
    QCOMPARE(boxes.size(), 1);

    // The server comes back: the port is taken up again (retried with a
    // backoff), with one line in the monitor and no box.
    QVERIFY(server.start());
    QTRY_COMPARE_WITH_TIMEOUT(ui.btnComPort->text(), QString("通信ポート OFF"), 8000);
    const QString monitor = ui.memTxRxMonitor->toPlainText();
    QCOMPARE(monitor.count(QStringLiteral("ポートを再接続しました: COM5")), 1);
    peer.clearLines();
    ui.spbRead->click();
    QTRY_VERIFY_WITH_TIMEOUT(!peer.lines().empty(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(ui.spbRead->isEnabled(), 10000);
    QCOMPARE(boxes.size(), 1);

    // The same drop again, within the incident: a counted monitor line, no box.
    server.kill();
    QTRY_VERIFY_WITH_TIMEOUT(ui.memTxRxMonitor->toPlainText().contains(
                                 QStringLiteral("通信ポートのデバイスが応答しません。ポートを閉じます。 (2回目)")),
                             5000);
    QVERIFY2(boxes.size() == 1, qPrintable(boxes.join('|')));
    form.close();
}

void NetworkWindowTest::silentServerLeavesTheWindowResponsiveAndClosable()
{
    test::HostileServer server(test::HostileServer::Mode::Silent);
    QVERIFY(server.ok());
    QTemporaryDir dir;
    TMainForm form(pinned(dir, server.rfc2217Url()));
    QStringList boxes, details;
    form.qtBoxes()->onShow = [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        boxes << box->text();
        details << box->informativeText();
        QTimer::singleShot(0, box, [box] { box->buttons().first()->click(); });
    };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Ui::TMainForm& ui = form.form();

    // A timer of the window keeps firing while the open waits on the server.
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);
    QElapsedTimer took;
    took.start();
    ui.btnComPort->click();
    QVERIFY2(took.elapsed() < 6500, qPrintable(QString::number(took.elapsed())));
    QVERIFY2(ticks > took.elapsed() / 20 / 2, qPrintable(QString::number(ticks)));
    QTRY_COMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0], QString("Comポートオープンの失敗"));
    const QString closedText = ui.btnComPort->text();
    QVERIFY2(details[0].startsWith(QString::fromStdString(server.rfc2217Url()) + ": the server"), qPrintable(details[0]));

    // Closing the window while the next open waits: the open is given up
    // at once, without a box, and the window goes.
    QTimer::singleShot(300, &form, [&] { form.close(); });
    took.restart();
    ui.btnComPort->click();
    QVERIFY2(took.elapsed() < 2000, qPrintable(QString::number(took.elapsed())));
    QTRY_VERIFY(!form.isVisible());
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(ui.btnComPort->text(), closedText);
}

void NetworkWindowTest::floodOfLineErrorsIsOneBoxAndCountedLines()
{
    test::HostileServer server(test::HostileServer::Mode::Notifier);
    QVERIFY(server.ok());
    QTemporaryDir dir;
    TMainForm form(pinned(dir, server.rfc2217Url()));
    QStringList boxes;
    form.qtBoxes()->onShow = [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        boxes << box->text() + ":" + box->informativeText();
        QTimer::singleShot(0, box, [box] { box->buttons().first()->click(); });
    };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Ui::TMainForm& ui = form.form();
    ui.btnComPort->click();
    QTRY_VERIFY_WITH_TIMEOUT(ui.memTxRxMonitor->toPlainText().contains(
                                 QStringLiteral("フレーミング エラーを検出しました。 (10回目)")),
                             8000);
    QVERIFY2(boxes == QStringList{"フレーミング エラーを検出しました。:"}, qPrintable(boxes.join('|')));
    form.close();
    QTRY_VERIFY(!form.isVisible());
}

QTEST_MAIN(NetworkWindowTest)
#include "network_window_test.moc"
