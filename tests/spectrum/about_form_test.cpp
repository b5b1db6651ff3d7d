#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include "dialogs/about_form.h"
#include "tests/support/fake_boxes.h"

using kd36::test::FakeBoxes;

// Takes the address the dialog hands to the desktop instead of a browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class AboutFormTest : public QObject {
    Q_OBJECT

    static QLabel* label(TAboutForm& f, const char* name) { return f.findChild<QLabel*>(QLatin1String(name)); }

    // Through the platform's own mouse path, so that Qt's double-click
    // detection and its order of press and double click are the real ones.
    static void platformPress(QWidget* w, Qt::KeyboardModifiers mods, int time, bool press)
    {
        QWindow* win = w->window()->windowHandle();
        const QPointF local = win->mapFromGlobal(w->mapToGlobal(w->rect().center()));
        qt_handleMouseEvent(win, local, win->mapToGlobal(local), press ? Qt::LeftButton : Qt::NoButton,
                            Qt::LeftButton, press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, mods,
                            time);
    }
    static void platformDoubleClick(QWidget* w, Qt::KeyboardModifiers first, Qt::KeyboardModifiers second)
    {
        static int time = 100000;
        time += 5000;
        platformPress(w, first, time, true);
        platformPress(w, first, time + 20, false);
        platformPress(w, second, time + 80, true);
        platformPress(w, second, time + 100, false);
        QApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(about_test);
        Q_INIT_RESOURCE(about_logo_only);
    }

    void layoutAndTexts_data()
    {
        QTest::addColumn<int>("extension");
        QTest::addColumn<QString>("version");
        QTest::newRow("off") << 0 << "Version 2.2";
        QTest::newRow("on") << 1 << "Version 2.2 Ex";
        QTest::newRow("any nonzero") << 7 << "Version 2.2 Ex";
    }
    void layoutAndTexts()
    {
        QFETCH(int, extension);
        QFETCH(QString, version);
        FakeBoxes boxes;
        TAboutForm f(nullptr, QStringLiteral("https://www.norvane.example/"), extension, boxes);
        QCOMPARE(f.windowTitle(), QStringLiteral("バージョン情報"));
        QCOMPARE(f.size(), QSize(425, 198));
        QCOMPARE(label(f, "lblType")->text(), QStringLiteral("KD-36"));
        QCOMPARE(label(f, "lblExplain")->text(), QStringLiteral("Radio Modem Setup Program"));
        QCOMPARE(label(f, "lblVersion")->text(), version);
        QVERIFY(!label(f, "imgLogo")->pixmap().isNull());
        QVERIFY(!label(f, "imgPhoto")->pixmap().isNull());
        QCOMPARE(label(f, "lblUrl")->text(), QStringLiteral("https://www.norvane.example/"));
        QVERIFY(!label(f, "lblUrl")->isHidden());
        QVERIFY(f.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->isDefault());
        QCOMPARE(boxes.beeps, 0);
        QVERIFY(boxes.shown.empty());
    }

    void shiftDoubleClickTogglesBackAndForth()
    {
        int extension = 1;
        FakeBoxes boxes;
        TAboutForm f(nullptr, QString(), extension, boxes);
        QSignalSpy told(&f, &TAboutForm::extensionChanged);
        QLabel* type = label(f, "lblType");
        for (int round = 0; round < 2; ++round) {
            QTest::mousePress(type, Qt::LeftButton, Qt::ShiftModifier);
            QTest::mouseRelease(type, Qt::LeftButton, Qt::ShiftModifier);
            QTest::mouseDClick(type, Qt::LeftButton, Qt::ShiftModifier);
        }
        QCOMPARE(extension, 1);
        QCOMPARE(boxes.texts(), (std::vector<std::string>{"拡張通信機能を使用できません。",
                                                          "拡張通信機能を使用できます。"}));
        QCOMPARE(boxes.shown[0].kind, std::string("information"));
        QCOMPARE(label(f, "lblVersion")->text(), QStringLiteral("Version 2.2 Ex"));

        QTest::mousePress(type, Qt::LeftButton, Qt::ShiftModifier);
        QTest::mouseDClick(type, Qt::LeftButton);
        QCOMPARE(extension, 0);
        QCOMPARE(label(f, "lblVersion")->text(), QStringLiteral("Version 2.2"));
        // Each switch is told as it happens, so the engine follows at once.
        QCOMPARE(told.size(), 3);
        QCOMPARE(told.last().at(0).toInt(), 0);
    }

    void doubleClickWithoutShiftFirstDoesNothing_data()
    {
        QTest::addColumn<int>("secondPress");
        QTest::newRow("no shift at all") << int(Qt::NoModifier);
        QTest::newRow("shift only on the second press") << int(Qt::ShiftModifier);
        QTest::newRow("control") << int(Qt::ControlModifier);
    }
    void doubleClickWithoutShiftFirstDoesNothing()
    {
        QFETCH(int, secondPress);
        int extension = 0;
        FakeBoxes boxes;
        TAboutForm f(nullptr, QString(), extension, boxes);
        QLabel* type = label(f, "lblType");
        QTest::mousePress(type, Qt::LeftButton);
        QTest::mouseRelease(type, Qt::LeftButton);
        QTest::mouseDClick(type, Qt::LeftButton, Qt::KeyboardModifiers(secondPress));
        QCOMPARE(extension, 0);
        QVERIFY(boxes.shown.empty());
        QCOMPARE(label(f, "lblVersion")->text(), QStringLiteral("Version 2.2"));
    }

    void realDoubleClickJudgesTheFirstPress()
    {
        int extension = 0;
        FakeBoxes boxes;
        TAboutForm f(nullptr, QString(), extension, boxes);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QLabel* type = label(f, "lblType");

        platformDoubleClick(type, Qt::NoModifier, Qt::ShiftModifier);
        QCOMPARE(extension, 0);
        platformDoubleClick(type, Qt::ShiftModifier, Qt::NoModifier); // released after the first press
        QCOMPARE(extension, 1);
        QCOMPARE(boxes.shown.size(), size_t(1));
        f.close();
    }

    void pressDeliveredBeforeTheDoubleClickDoesNotCount_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("toggles");
        QTest::newRow("shift first") << int(Qt::ShiftModifier) << int(Qt::NoModifier) << 1;
        QTest::newRow("shift second") << int(Qt::NoModifier) << int(Qt::ShiftModifier) << 0;
    }
    void pressDeliveredBeforeTheDoubleClickDoesNotCount()
    {
        // Some platforms send the second press too, with the double click's time stamp.
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(int, toggles);
        int extension = 0;
        FakeBoxes boxes;
        TAboutForm f(nullptr, QString(), extension, boxes);
        QLabel* type = label(f, "lblType");
        auto send = [&](QEvent::Type t, int mods, ulong time) {
            const QPointF at = type->rect().center();
            QMouseEvent e(t, at, type->mapToGlobal(at), Qt::LeftButton,
                          t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::KeyboardModifiers(mods));
            e.setTimestamp(time);
            QApplication::sendEvent(type, &e);
        };
        send(QEvent::MouseButtonPress, first, 1000);
        send(QEvent::MouseButtonRelease, first, 1020);
        send(QEvent::MouseButtonPress, second, 1080);
        send(QEvent::MouseButtonDblClick, second, 1080);
        send(QEvent::MouseButtonRelease, second, 1100);
        QCOMPARE(extension, toggles);
        QCOMPARE(int(boxes.shown.size()), toggles);
    }

    void emptyAddressHidesTheLink()
    {
        int extension = 0;
        FakeBoxes boxes;
        TAboutForm f(nullptr, QString(), extension, boxes);
        QVERIFY(label(f, "lblUrl")->isHidden());
    }

    void addressFromTheFileIsShownAsText()
    {
        int extension = 0;
        FakeBoxes boxes;
        const QString markup = QStringLiteral("<b>x</b><img src=\"/dev/zero\">");
        TAboutForm f(nullptr, markup, extension, boxes);
        QCOMPARE(label(f, "lblUrl")->textFormat(), Qt::PlainText);
        QCOMPARE(label(f, "lblUrl")->text(), markup);
    }

    void clickOnTheAddressOpensItAndCloses()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        int extension = 0;
        FakeBoxes boxes;
        TAboutForm f(nullptr, QStringLiteral("https://www.norvane.example/kd36"), extension, boxes);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::mouseClick(label(f, "lblUrl"), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QStringLiteral("https://www.norvane.example/kd36"))});
        QVERIFY(!f.isVisible());
    }

    void escapeDoesNotCloseButEnterDoes()
    {
        int extension = 0;
        FakeBoxes boxes;
        TAboutForm f(nullptr, QString(), extension, boxes);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY(f.isVisible());
        QTest::keyClick(f.focusWidget() ? f.focusWidget() : &f, Qt::Key_Return);
        QVERIFY(!f.isVisible());
        QCOMPARE(f.result(), int(QDialog::Accepted));
    }

    void missingPictureBeepsOnceAndStillOpens()
    {
        // Photo missing: the logo is there, the version keeps its design text.
        Q_CLEANUP_RESOURCE(about_test);
        {
            int extension = 1;
            FakeBoxes boxes;
            TAboutForm f(nullptr, QStringLiteral("x"), extension, boxes);
            QCOMPARE(boxes.beeps, 1);
            QVERIFY(!label(f, "imgLogo")->pixmap().isNull());
            QVERIFY(label(f, "imgPhoto")->pixmap().isNull());
            QCOMPARE(label(f, "lblVersion")->text(), QStringLiteral("Version"));
            QCOMPARE(label(f, "lblType")->text(), QStringLiteral("KD-36"));
            QVERIFY(!label(f, "lblUrl")->isHidden());
            f.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f));
        }
        // Logo missing too: the photo is not even tried.
        Q_CLEANUP_RESOURCE(about_logo_only);
        {
            int extension = 0;
            FakeBoxes boxes;
            TAboutForm f(nullptr, QString(), extension, boxes);
            QCOMPARE(boxes.beeps, 1);
            QVERIFY(label(f, "imgLogo")->pixmap().isNull());
            QCOMPARE(label(f, "lblVersion")->text(), QStringLiteral("Version"));
            f.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f));
        }
        Q_INIT_RESOURCE(about_test);
        Q_INIT_RESOURCE(about_logo_only);
    }

    void screenshot()
    {
        const QString dir = qEnvironmentVariable("KD36_SHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set KD36_SHOT_DIR to save a screenshot");
        int extension = 1;
        FakeBoxes boxes;
        TAboutForm f(nullptr, QStringLiteral("https://www.norvane.example/"), extension, boxes);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(f.grab().save(dir + QStringLiteral("/about.png")));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("IPAGothic")));
    AboutFormTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "about_form_test.moc"
