// The two modeless dialogs over a main engine with a fake main window and
// port: names, layout facts, events forwarded to the logic, screenshots.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "app/link_view.h"
#include "app/packet_view.h"
#include "dialogs/link_form.h"
#include "dialogs/packet_form.h"
#include "engine/main_engine.h"
#include "engine/sjis.h"
#include "serial/clock.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_view.h"

using namespace kd36;

namespace {

struct Rig {
    Rig()
    {
        engine.ConstructBeforeSettings();
        engine.ConstructAfterSettings();
        linkForm.bind(engine.linkForm());
        packetForm.bind(engine.packetForm());
        engine.mnuCommOpenClick();
    }
    template <class T>
    T* link(const char* name) { return linkForm.findChild<T*>(QString::fromLatin1(name)); }
    template <class T>
    T* pkt(const char* name) { return packetForm.findChild<T*>(QString::fromLatin1(name)); }
    void pass() { engine.OnIdle(); }

    VirtualClock clock;
    test::FakeView main{WindowKind::Main};
    test::FakeBoxes boxes;
    test::FakePort port;
    TLinkForm linkForm;
    TPacketForm packetForm;
    LinkView linkView{&linkForm};
    PacketView packetView{&packetForm};
    MainEngine engine{EngineDeps{main, linkView, packetView, boxes, clock, port}};
};

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

void shoot(QWidget& w, const char* file)
{
    const QByteArray dir = qgetenv("KD36_SHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    QVERIFY(w.grab().save(QString::fromLocal8Bit(dir) + "/" + file));
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("IPAGothic"))); }

    void linkLayout()
    {
        Rig r;
        QCOMPARE(r.linkForm.windowTitle(), u("アンサーバック確認"));
        QCOMPARE(r.linkForm.size(), QSize(431, 356));
        QCOMPARE(r.linkForm.minimumSize(), r.linkForm.maximumSize());
        for (int n = 0; n < 16; ++n) {
            auto* box = r.link<QCheckBox>(qPrintable(QString("CheckBox%1").arg(n)));
            auto* bar = r.link<QProgressBar>(qPrintable(QString("prgLevel%1").arg(n)));
            QVERIFY(box && bar);
            QCOMPARE(box->text(), QString("#%1").arg(n, 1, 16).toUpper());
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), 4);
            QVERIFY(!box->accessibleName().isEmpty());
        }
        auto* timer = r.link<QTimer>("timWaitTime");
        QVERIFY(timer && !timer->isActive());
        QCOMPARE(timer->interval(), 10000);
        QCOMPARE(r.link<QPushButton>("btnGet")->geometry(), r.link<QPushButton>("btnAbort")->geometry());
        QVERIFY(r.link<QPushButton>("btnAbort")->isHidden());
        for (const char* n : {"btnAll", "Label1", "memInfo", "spbMemClear", "btnClose", "GroupBox1"})
            QVERIFY2(r.linkForm.findChild<QWidget*>(n), n);
        QCOMPARE(r.link<QToolButton>("spbMemClear")->toolTip(), u("情報モニタの内容を消去します"));
    }

    void linkRunThroughTheWidgets()
    {
        Rig r;
        r.engine.mnuRssiInfoClick();
        r.pass();
        QVERIFY(r.linkForm.isVisible());
        QCOMPARE(r.engine.linkState(), 1);

        r.link<QCheckBox>("CheckBox3")->setChecked(true);
        r.link<QCheckBox>("CheckBox3")->setFocus();
        QTest::keyClick(r.link<QCheckBox>("CheckBox3"), Qt::Key_Return); // Enter starts a run
        QCOMPARE(r.engine.linkState(), 2);
        QVERIFY(!r.link<QPushButton>("btnAbort")->isHidden());
        QVERIFY(r.link<QPushButton>("btnGet")->isHidden());
        r.pass();
        QCOMPARE(r.port.writes, std::vector<std::string>{"@AIRC:N=3\r\n"});
        QVERIFY(r.link<QTimer>("timWaitTime")->isActive());
        r.engine.handOver(">AIRC:3=2\r\n");
        r.pass();
        QCOMPARE(r.link<QProgressBar>("prgLevel3")->value(), 2);
        QCOMPARE(r.link<QPlainTextEdit>("memInfo")->toPlainText(),
                 u("開始します。\n#3 を確認中･･･ レベル 2 です。\n完了しました。\n"));
        shoot(r.linkForm, "link.png");

        r.link<QPushButton>("btnAll")->click();
        LinkLogic::CheckAllNext = true;
        r.link<QPushButton>("btnAll")->click();
        QVERIFY(r.link<QCheckBox>("CheckBox15")->isChecked());

        r.link<QPushButton>("btnClose")->click();
        QVERIFY(!r.linkForm.isVisible());
        QCOMPARE(r.engine.linkState(), 0);
        r.pass();
        QVERIFY(!r.main.window.answerBackMark);
    }

    void linkCloseBoxDuringRun()
    {
        Rig r;
        r.engine.mnuRssiInfoClick();
        r.pass();
        r.link<QCheckBox>("CheckBox0")->setChecked(true);
        r.link<QPushButton>("btnGet")->click();
        r.pass();
        r.linkForm.close();
        r.pass();
        QCOMPARE(r.port.writes.back(), std::string("@AIRC:Q\r\n"));
        QVERIFY(r.link<QPlainTextEdit>("memInfo")->toPlainText().endsWith(u("中止しました。\n")));
    }

    void packetLayout()
    {
        Rig r;
        QCOMPARE(r.packetForm.windowTitle(), u("パケット送受信"));
        QCOMPARE(r.packetForm.size(), QSize(544, 485));
        QCOMPARE(r.pkt<QLabel>("lblMemInfo")->text(), u("0 文字 / 残 256"));
        QCOMPARE(r.pkt<QComboBox>("cmbRoute0")->count(), 16);
        QCOMPARE(r.pkt<QComboBox>("cmbRoute0")->currentIndex(), -1);
        QCOMPARE(r.pkt<QComboBox>("cmbRoute3")->itemText(0), QStringLiteral("-"));
        QVERIFY(r.pkt<QComboBox>("cmbRoute1")->isEnabled());
        QVERIFY(!r.pkt<QComboBox>("cmbRoute2")->isEnabled());
        QVERIFY(!r.pkt<QLabel>("lblRoute5")->isEnabled());
        QVERIFY(r.pkt<QCheckBox>("chkRoute")->isChecked());
        QVERIFY(r.pkt<QCheckBox>("chkEnterKey")->isChecked());
        QVERIFY(r.pkt<QCheckBox>("chkEnterKey")->isHidden());
        QVERIFY(r.pkt<QLabel>("lblArrow0")->isHidden());
        QVERIFY(r.pkt<QLabel>("lblArrowRx0")->isHidden());
        QCOMPARE(r.pkt<QLabel>("lblRoute6")->text(), u("目的局"));
        QCOMPARE(r.pkt<QLabel>("lblRouteRx0")->text(), u("送信元局"));
        // The close button comes first in the tab order: it takes the focus,
        // and tabbing from the last control comes back to it.
        QCOMPARE(r.packetForm.focusWidget(), r.pkt<QWidget>("BitBtn1"));
        auto nextTab = [](QWidget* w) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            return w;
        };
        QCOMPARE(nextTab(r.pkt<QWidget>("spbPacket"))->objectName(), QStringLiteral("BitBtn1"));
        QCOMPARE(nextTab(r.pkt<QWidget>("BitBtn1"))->objectName(), QStringLiteral("edtRoute0"));
        for (QWidget* c : r.packetForm.findChildren<QWidget*>())
            if (!c->objectName().isEmpty() && !c->objectName().startsWith("qt_") && c->parent() != nullptr
                && !qobject_cast<QWidget*>(c->parent())->inherits("QAbstractScrollArea")
                && !c->inherits("QScrollBar") && !c->objectName().startsWith("GroupBox"))
                QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
    }

    void packetTypedDataAndEnter()
    {
        Rig r;
        r.engine.editPanel([](SettingPanel& p) { p.read(2) = "1"; });
        r.engine.mnuPacketClick();
        QVERIFY(r.packetForm.isVisible());
        QCOMPARE(r.pkt<QComboBox>("cmbRoute0")->currentText(), QStringLiteral("1"));
        r.pkt<QCheckBox>("chkRoute")->click(); // route off
        QVERIFY(!r.pkt<QComboBox>("cmbRoute0")->isEnabled());
        auto* memo = r.pkt<QPlainTextEdit>("memUserData");
        memo->setFocus();
        r.pkt<QCheckBox>("chkEnterKey")->setChecked(false);
        QTest::keyClicks(memo, "AB");
        QTest::keyClick(memo, Qt::Key_Return);
        QTest::keyClicks(memo, "C");
        QCOMPARE(r.pkt<QLabel>("lblMemInfo")->text(), u("5 文字 / 残 251"));
        r.pkt<QCheckBox>("chkEnterKey")->setChecked(true);
        QTest::keyClick(memo, Qt::Key_Return);
        QCOMPARE(r.port.writes, std::vector<std::string>{"$SEND:;5;AB\r\nC\r\n"});
        QCOMPARE(memo->toPlainText(), QStringLiteral("AB\nC"));

        // The memo takes 256 bytes and no more.
        memo->setPlainText(QString(250, QLatin1Char('a')));
        memo->moveCursor(QTextCursor::End);
        QTest::keyClicks(memo, "bbbbbbbbbb");
        QCOMPARE(memo->toPlainText().size(), 256);
        QCOMPARE(r.pkt<QLabel>("lblMemInfo")->text(), u("256 文字 / 残 0"));
        // Counted in the line's bytes: a kana is two.
        memo->setPlainText(u("ABCDEFGHIJあ"));
        QCOMPARE(r.pkt<QLabel>("lblMemInfo")->text(), u("12 文字 / 残 244"));
    }

    void packetRelayChainAndShiftSwitch()
    {
        Rig r;
        r.engine.mnuPacketClick();
        auto* c1 = r.pkt<QComboBox>("cmbRoute1");
        c1->setCurrentIndex(3);
        emit c1->activated(3);
        QVERIFY(r.pkt<QComboBox>("cmbRoute2")->isEnabled());
        QVERIFY(!r.pkt<QComboBox>("cmbRoute3")->isEnabled());

        auto* grp = r.pkt<QWidget>("grpTx");
        const QPoint free(grp->width() - 6, grp->height() - 4);
        QTest::mousePress(grp, Qt::LeftButton, Qt::ShiftModifier, free);
        QTest::mouseRelease(grp, Qt::LeftButton, Qt::ShiftModifier, free);
        QTest::mouseDClick(grp, Qt::LeftButton, Qt::ShiftModifier, free);
        QVERIFY(!r.pkt<QCheckBox>("chkEnterKey")->isHidden());
        shoot(r.packetForm, "packet.png");
    }

    void packetReceivedAndClosed()
    {
        Rig r;
        r.engine.handOver("$RECE:7,5,3,1;5;AB\r\nC\r\n");
        r.pass();
        QVERIFY(r.packetForm.isVisible());
        QCOMPARE(r.pkt<QPlainTextEdit>("memUserDataRx")->toPlainText(), QStringLiteral("AB\nC"));
        QCOMPARE(r.pkt<QLineEdit>("edtRoute1")->text(), QStringLiteral("5"));
        QCOMPARE(r.pkt<QLineEdit>("edtRoute6")->text(), QStringLiteral("1"));
        r.pkt<QToolButton>("spbClearRx")->click();
        QVERIFY(r.pkt<QPlainTextEdit>("memUserDataRx")->toPlainText().isEmpty());
        r.pkt<QPushButton>("BitBtn1")->click();
        QVERIFY(!r.packetForm.isVisible());
        QVERIFY(!r.engine.packetShown());
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
