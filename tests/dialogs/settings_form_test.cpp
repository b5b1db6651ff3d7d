#include "dialogs/settings_form.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

#include "engine/conversions.h"
#include "tests/support/fake_boxes.h"

using kd36::PortSettings;
using kd36::TSettingsForm;

namespace {

std::vector<std::string> portList(int upTo, std::initializer_list<int> present)
{
    std::vector<std::string> v;
    for (int n = 1; n <= upTo; ++n) {
        bool here = std::find(present.begin(), present.end(), n) != present.end();
        v.push_back((here ? " COM" : "*COM") + std::to_string(n));
    }
    return v;
}

std::string describe(int n)
{
    return n == 1 ? "内蔵シミュレータ" : "/dev/ttyUSB" + std::to_string(n - 2);
}

} // namespace

class SettingsFormTest : public QObject {
    Q_OBJECT

    int port = 1;
    PortSettings com;
    kd36::test::FakeBoxes boxes;
    std::unique_ptr<TSettingsForm> form;

    void make(const std::vector<std::string>& list, int extension = 1)
    {
        form = std::make_unique<TSettingsForm>(nullptr, port, com, list, extension, boxes, describe);
    }
    template <class T>
    T* w(const char* name)
    {
        T* p = form->findChild<T*>(name);
        if (!p)
            qFatal("no control %s", name);
        return p;
    }
    QComboBox* combo(const char* name) { return w<QComboBox>(name); }
    QRadioButton* radio(const char* name) { return w<QRadioButton>(name); }
    void ok() { w<QPushButton>("bbtnOk")->click(); }

private slots:
    void initTestCase()
    {
        if (QFontDatabase::families().contains(QStringLiteral("IPAGothic")))
            QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 9));
    }
    void init()
    {
        port = 1;
        com = PortSettings{};
        boxes = {};
    }
    void cleanup() { form.reset(); }

    void fullLayoutShowsEveryControl()
    {
        make(portList(3, {1, 2}));
        form->show();
        QCOMPARE(form->windowTitle(), QStringLiteral("通信ポートのプロパティ"));
        QCOMPARE(form->size(), QSize(320, 160));
        QCOMPARE(w<QGroupBox>("GroupBox")->title(), QStringLiteral("接続設定"));
        QCOMPARE(w<QGroupBox>("GroupBox1")->title(), QStringLiteral("フロー制御"));
        QCOMPARE(w<QLineEdit>("edtDataBits")->text(), QStringLiteral("8"));
        QVERIFY(w<QLineEdit>("edtDataBits")->isReadOnly());
        QCOMPARE(w<QLineEdit>("edtDataBits")->focusPolicy(), Qt::NoFocus);
        QCOMPARE(combo("cmbBaudrate")->count(), 4);
        QCOMPARE(combo("cmbParity")->itemText(2), QStringLiteral("Even"));
        QCOMPARE(combo("cmbDataBits")->itemText(0), QStringLiteral("4"));
        QCOMPARE(combo("cmbDataBits")->count(), 5);
        QVERIFY(combo("cmbComCh")->toolTip().startsWith(QStringLiteral("* が付いているポートは使用できません。")));
        for (const char* name : {"Label1", "cmbComCh", "Label2", "cmbBaudrate", "Label3", "edtDataBits", "Label5",
                                 "cmbParity", "Label4", "cmbStopBits", "GroupBox1", "rdbFlowNon", "rdbFlowRtsCts",
                                 "bbtnOk", "bbtnNg"})
            QVERIFY2(form->findChild<QWidget*>(name)->isVisible(), name);
        QVERIFY(!combo("cmbDataBits")->isVisible());
        QVERIFY(!radio("rdbFlowXonXoff")->isVisible());
    }

    // Every visible control lies inside its parent, labels fit their text,
    // and no two siblings overlap.
    void nothingClippedOrOverlapping_data()
    {
        QTest::addColumn<int>("extension");
        QTest::addColumn<int>("fontHeight");
        QTest::newRow("full") << 1 << 0;
        QTest::newRow("compact normal font") << 0 << 12;
        QTest::newRow("compact large font") << 0 << 16;
    }
    void nothingClippedOrOverlapping()
    {
        QFETCH(int, extension);
        QFETCH(int, fontHeight);
        make(portList(3, {1}), extension);
        if (fontHeight)
            form->applyCompactLayout(fontHeight);
        form->show();
        const auto widgets = form->findChildren<QWidget*>();
        for (QWidget* a : widgets) {
            if (!a->isVisible() || a->objectName().startsWith(QLatin1String("qt_")) || a->isWindow())
                continue;
            QWidget* parent = a->parentWidget();
            if (parent != form.get() && !qobject_cast<QGroupBox*>(parent))
                continue; // inner parts of a control
            QVERIFY2(parent->rect().contains(a->geometry()), qPrintable(a->objectName()));
            if (auto* l = qobject_cast<QLabel*>(a))
                QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), qPrintable(l->text()));
            if (auto* b = qobject_cast<QAbstractButton*>(a))
                QVERIFY2(b->sizeHint().width() <= b->width() + 2, qPrintable(b->text()));
            for (QWidget* b : widgets)
                if (b != a && b->isVisible() && b->parentWidget() == parent)
                    QVERIFY2(!a->geometry().intersects(b->geometry()),
                             qPrintable(a->objectName() + " / " + b->objectName()));
        }
    }

    void labelsNameTheirControls()
    {
        make(portList(2, {1}));
        const std::pair<const char*, const char*> pairs[] = {
            {"Label1", "cmbComCh"}, {"Label2", "cmbBaudrate"}, {"Label3", "edtDataBits"},
            {"Label5", "cmbParity"}, {"Label4", "cmbStopBits"}};
        for (auto [label, control] : pairs) {
            QCOMPARE(w<QLabel>(label)->buddy(), form->findChild<QWidget*>(control));
            QWidget* c = form->findChild<QWidget*>(control);
            QCOMPARE(c->accessibleName(), w<QLabel>(label)->text());
            QAccessibleInterface* acc = QAccessible::queryAccessibleInterface(c);
            QVERIFY(acc);
            bool labelled = false;
            for (const auto& rel : acc->relations(QAccessible::Label))
                labelled = labelled || rel.first->object() == w<QLabel>(label);
            QVERIFY2(labelled, control);
        }
    }

    void portNumberSelectsItsItemAndChoiceIsStored()
    {
        port = 23;
        make(portList(23, {1, 2, 23}));
        QCOMPARE(combo("cmbComCh")->currentText(), QStringLiteral(" COM23"));
        combo("cmbComCh")->setCurrentIndex(19);
        QCOMPARE(combo("cmbComCh")->currentText(), QStringLiteral("*COM20"));
        ok();
        QCOMPARE(port, 20); // an unavailable port is not refused
        QCOMPARE(form->result(), int(QDialog::Accepted));
    }

    void missingPortSelectsTheFirstItem()
    {
        port = 42;
        make({"*COM3", " COM4"});
        QCOMPARE(combo("cmbComCh")->currentIndex(), 0);
        ok();
        QCOMPARE(port, 3);
    }

    void emptyPortListKeepsThePort()
    {
        port = 7;
        make({});
        QCOMPARE(combo("cmbComCh")->currentIndex(), -1);
        ok();
        QCOMPARE(port, 7);
    }

    void portHintNamesTheSelectedDevice()
    {
        port = 3;
        make(portList(3, {1, 3}));
        QVERIFY(combo("cmbComCh")->toolTip().contains(QStringLiteral("COM3: /dev/ttyUSB1")));
        combo("cmbComCh")->setCurrentIndex(0);
        QVERIFY(combo("cmbComCh")->toolTip().contains(QStringLiteral("COM1: 内蔵シミュレータ")));
        QCOMPARE(combo("cmbComCh")->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyUSB0"));
    }

    void unreadablePortItemIsAConversionError()
    {
        port = 9;
        bool thrown = false;
        try {
            make({" COM1", "*COMx"});
        } catch (const kd36::ConversionError&) {
            thrown = true;
        }
        QVERIFY(thrown);

        // The search stops at the port's own item; the bad one is met only on OK.
        port = 1;
        make({" COM1", "COM"});
        combo("cmbComCh")->setCurrentIndex(1);
        combo("cmbBaudrate")->setCurrentIndex(0);
        ok();
        QCOMPARE(boxes.shown.size(), size_t(1));
        QCOMPARE(port, 1);
        QCOMPARE(com, PortSettings{});
        QVERIFY(form->result() != int(QDialog::Accepted));
    }

    void lineSettingsFillAndWriteBack_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("byteSize");
        QTest::addColumn<QString>("shownBaud");
        QTest::addColumn<int>("shownParity");
        QTest::addColumn<QString>("shownStop");
        QTest::addColumn<int>("shownData");
        QTest::addColumn<int>("okBaud");
        QTest::addColumn<int>("okParity");
        QTest::addColumn<int>("okStop");
        QTest::addColumn<int>("okByteSize");
        QTest::newRow("9600 8N1") << 9600 << 0 << 0 << 8 << "9600" << 0 << "1" << 4 << 9600 << 0 << 0 << 8;
        QTest::newRow("odd, two stop") << 38400 << 1 << 2 << 7 << "38400" << 1 << "2" << 3 << 38400 << 1 << 2 << 7;
        QTest::newRow("even, one and a half") << 4800 << 2 << 1 << 5 << "4800" << 2 << "1" << 1 << 4800 << 2 << 0 << 5;
        QTest::newRow("mark, 115200") << 115200 << 3 << 0 << 8 << "" << -1 << "1" << 4 << 115200 << 0 << 0 << 8;
        QTest::newRow("space, odd sizes") << 19200 << 4 << 3 << 9 << "19200" << 0 << "1" << -1 << 19200 << 0 << 0 << 9;
    }
    void lineSettingsFillAndWriteBack()
    {
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, stopBits);
        QFETCH(int, byteSize);
        com.BaudRate = uint32_t(baud);
        com.Parity = uint8_t(parity);
        com.StopBits = uint8_t(stopBits);
        com.ByteSize = uint8_t(byteSize);
        make(portList(1, {1}));
        QTEST(combo("cmbBaudrate")->currentText(), "shownBaud");
        QTEST(combo("cmbParity")->currentIndex(), "shownParity");
        QTEST(combo("cmbStopBits")->currentText(), "shownStop");
        QTEST(combo("cmbDataBits")->currentIndex(), "shownData");
        QCOMPARE(w<QLineEdit>("edtDataBits")->text(), QStringLiteral("8"));
        ok();
        QTEST(int(com.BaudRate), "okBaud");
        QTEST(int(com.Parity), "okParity");
        QTEST(int(com.StopBits), "okStop");
        QTEST(int(com.ByteSize), "okByteSize");
        QCOMPARE(int(com.EvtChar), 10);
    }

    void flowControl_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("choose");
        QTest::addColumn<int>("written");
        QTest::newRow("none kept") << 0 << "rdbFlowNon" << "" << 0;
        QTest::newRow("none to RTS/CTS") << 0 << "rdbFlowNon" << "rdbFlowRtsCts" << 2;
        QTest::newRow("RTS/CTS to none") << 2 << "rdbFlowRtsCts" << "rdbFlowNon" << 0;
        QTest::newRow("Xon/Xoff sticks through none") << 1 << "rdbFlowRtsCts" << "rdbFlowNon" << 1;
        QTest::newRow("Xon/Xoff sticks through RTS/CTS") << 1 << "rdbFlowRtsCts" << "rdbFlowRtsCts" << 1;
        QTest::newRow("unknown shows none") << 5 << "rdbFlowNon" << "" << 0;
        QTest::newRow("negative shows none") << -3 << "rdbFlowNon" << "rdbFlowRtsCts" << 2;
    }
    void flowControl()
    {
        QFETCH(int, stored);
        QFETCH(QString, shown);
        QFETCH(QString, choose);
        com.FlowCtrl = int8_t(stored);
        make(portList(1, {1}));
        QVERIFY(radio(qPrintable(shown))->isChecked());
        QCOMPARE(radio("rdbFlowXonXoff")->isChecked(), stored == 1);
        if (!choose.isEmpty())
            QTest::mouseClick(radio(qPrintable(choose)), Qt::LeftButton);
        ok();
        QTEST(int(com.FlowCtrl), "written");
    }

    void compactLayoutShowsPortAndRateOnly()
    {
        com.Parity = 3;
        com.StopBits = 1;
        com.FlowCtrl = 1;
        com.BaudRate = 4800;
        make(portList(2, {1}), 0);
        form->show();
        for (const char* name : {"Label1", "cmbComCh", "Label2", "cmbBaudrate", "bbtnOk", "bbtnNg"})
            QVERIFY2(form->findChild<QWidget*>(name)->isVisible(), name);
        for (const char* name : {"Label3", "edtDataBits", "GroupBox1", "Label5", "cmbParity", "Label4", "cmbStopBits",
                                 "rdbFlowNon", "rdbFlowRtsCts"})
            QVERIFY2(!form->findChild<QWidget*>(name)->isVisible(), name);
        QCOMPARE(combo("cmbParity")->focusPolicy(), Qt::NoFocus);
        QCOMPARE(combo("cmbStopBits")->focusPolicy(), Qt::NoFocus);
        QVERIFY(form->width() < 320);

        combo("cmbBaudrate")->setCurrentIndex(2);
        ok();
        QCOMPARE(com.BaudRate, 19200u);
        QCOMPARE(int(com.Parity), 0);
        QCOMPARE(int(com.StopBits), 0);
        QCOMPARE(int(com.FlowCtrl), 1);
    }

    void compactGeometryFollowsTheFontHeight()
    {
        make(portList(1, {1}), 0);
        form->applyCompactLayout(12);
        QCOMPARE(form->size(), QSize(224 - 6, 145 - 25));
        QCOMPARE(w<QGroupBox>("GroupBox")->height(), 73);
        QCOMPARE(w<QPushButton>("bbtnOk")->pos(), QPoint(8, 88));
        QCOMPARE(w<QPushButton>("bbtnNg")->pos(), QPoint(112, 88));
        form->applyCompactLayout(15);
        QCOMPARE(form->size(), QSize(277 - 6, 184 - 25));
        QCOMPARE(w<QGroupBox>("GroupBox")->height(), 87);
        QCOMPARE(w<QPushButton>("bbtnOk")->pos(), QPoint(8, 112));
        QCOMPARE(w<QPushButton>("bbtnNg")->pos(), QPoint(144, 112));
    }

    void cancelWritesNothing()
    {
        port = 2;
        com.FlowCtrl = 2;
        com.Parity = 1;
        com.StopBits = 1;
        const PortSettings before = com;
        make(portList(4, {1, 2}));
        combo("cmbComCh")->setCurrentIndex(3);
        combo("cmbBaudrate")->setCurrentIndex(3);
        combo("cmbParity")->setCurrentIndex(2);
        combo("cmbStopBits")->setCurrentIndex(1);
        combo("cmbDataBits")->setCurrentIndex(0);
        radio("rdbFlowNon")->setChecked(true);
        w<QPushButton>("bbtnNg")->click();
        QCOMPARE(form->result(), int(QDialog::Rejected));
        QCOMPARE(port, 2);
        QCOMPARE(com, before);
    }

    void escapeCancels()
    {
        port = 2;
        make(portList(3, {1}));
        form->show();
        combo("cmbComCh")->setCurrentIndex(0);
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QCOMPARE(form->result(), int(QDialog::Rejected));
        QCOMPARE(port, 2);
    }

    // Pictures for a person to look at; only when KD36_SHOTS_DIR is set.
    void screenshots()
    {
        QString dir = qEnvironmentVariable("KD36_SHOTS_DIR");
        if (dir.isEmpty())
            QSKIP("KD36_SHOTS_DIR not set");
        QDir().mkpath(dir);
        port = 2;
        make(portList(3, {1, 2}));
        form->show();
        QVERIFY(form->grab().save(dir + "/settings_full.png"));
        make(portList(3, {1, 2}), 0);
        form->show();
        QVERIFY(form->grab().save(dir + "/settings_compact.png"));
        form->applyCompactLayout(12);
        QVERIFY(form->grab().save(dir + "/settings_compact_normal.png"));
    }
};

QTEST_MAIN(SettingsFormTest)
#include "settings_form_test.moc"
