// What a user sets survives a restart; every control can be named by a
// screen reader.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "sim/simulated_modem.h"

#include "app/main_form.h"
#include "dialogs/link_form.h"
#include "dialogs/packet_form.h"
#include "tests/support/fake_boxes.h"
#include "ui_main_form.h"

using namespace kd36;

class RestartAccessTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 9)); }
    void settingsSurviveARestart();
    void everyControlHasAnAccessibleName();

private:
    std::unique_ptr<TMainForm> make(const QString& ini)
    {
        TMainForm::Options o;
        o.boxes = &boxes;
        o.settingsPath = ini.toStdString();
        o.displayFolders << dir.path();
        auto f = std::make_unique<TMainForm>(o);
        f->show();
        return f;
    }
    QTemporaryDir dir;
    test::FakeBoxes boxes;
};

void RestartAccessTest::settingsSurviveARestart()
{
    const QString ini = dir.filePath("kd36setup.ini");
    {
        auto f = make(ini);
        Ui::TMainForm& ui = f->form();
        ui.btnComPort->click(); // open COM1: the dialog must close and reopen it
        QVERIFY(f->engine().portOpen());
        bool dialogSeen = false;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            dialogSeen = true;
            dlg->findChild<QComboBox*>("cmbBaudrate")->setCurrentIndex(3); // 38400
            dlg->findChild<QPushButton*>("bbtnOk")->click();
        });
        ui.btnComSet->click();
        QVERIFY(dialogSeen);
        QCOMPARE(f->engine().portSettings().BaudRate, 38400u);
        QVERIFY(f->engine().portOpen());
        ui.cmbCHANGroup->setCurrentIndex(5);
        ui.cmbROUTNode2->setCurrentIndex(7);
        ui.speFRAMIdle->setValue(250);
        ui.radChHand->setChecked(true);
        f->engine().setExtension(0);
        f->move(40, 87); // on the 800-pixel offscreen screen: positions are clamped onto it
        f->close();
    }
    {
        auto f = make(ini);
        Ui::TMainForm& ui = f->form();
        QCOMPARE(f->engine().portNumber(), 1);
        QCOMPARE(f->engine().portSettings().BaudRate, 38400u);
        QCOMPARE(f->engine().portSettings().FlowCtrl, int8_t(2));
        QCOMPARE(ui.cmbCHANGroup->currentIndex(), 5);
        QCOMPARE(ui.cmbROUTNode2->currentIndex(), 7);
        QCOMPARE(ui.speFRAMIdle->value(), 250);
        QVERIFY(ui.radChHand->isChecked());
        QCOMPARE(f->engine().extension(), 0);
        QCOMPARE(f->pos(), QPoint(40, 87));
        f->close();
    }
    QVERIFY(boxes.shown.empty());
}

void RestartAccessTest::everyControlHasAnAccessibleName()
{
    auto f = make(dir.filePath("a.ini"));
    QList<QWidget*> roots{f.get(), &f->linkForm(), &f->packetForm()};
    QStringList unnamed;
    for (QWidget* root : roots) {
        const auto widgets = root->findChildren<QWidget*>();
        for (QWidget* w : widgets) {
            const bool interactive = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w)
                || qobject_cast<QComboBox*>(w) || qobject_cast<QSpinBox*>(w) || qobject_cast<QPlainTextEdit*>(w)
                || qobject_cast<QProgressBar*>(w);
            // Pieces of compound widgets (a combo's or spin box's own edit) are named by their owner.
            if (!interactive || w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            const QString name = a ? a->text(QAccessible::Name) : QString();
            if (name.trimmed().isEmpty())
                unnamed << w->objectName();
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable("no accessible name: " + unnamed.join(", ")));
    f->close();
}

QTEST_MAIN(RestartAccessTest)
#include "restart_access_test.moc"
