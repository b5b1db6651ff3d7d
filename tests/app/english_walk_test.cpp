// Every window in English (run with an English locale): no Japanese
// character in any caption, title, menu, tip, list item, status panel or
// box, only in the modem's own data (the monitors and the fields it fills)
// and in the language menu, which names each language in its own.
// The modem first: its header declares a member that Qt defines as a macro.
#include "sim/simulated_modem.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QPlainTextEdit>
#include <QTimer>

#include <memory>

#include "app/language.h"
#include "app/main_form.h"
#include "dialogs/range_form.h"
#include "app/qt_boxes.h"
#include "dialogs/about_form.h"
#include "dialogs/link_form.h"
#include "dialogs/packet_form.h"
#include "dialogs/settings_form.h"
#include "serial/port_catalog.h"
#include "tests/support/fake_boxes.h"
#include "ui_main_form.h"

using namespace kd36;

namespace {

bool japanese(const QString& s)
{
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

// The display library's window, once loaded.
QWidget* airMonitor()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("AirMonitorWindow"))
            return w;
    return nullptr;
}

// The language menu names each language in its own.
bool bilingualByDesign(const QObject* o)
{
    if (auto* a = qobject_cast<const QAction*>(o); a && a->menu())
        o = a->menu();
    return o->objectName().startsWith(QLatin1String("mnuLanguage"));
}

// Every text `window` shows or says now that is Japanese, with where it is.
QStringList japaneseIn(QWidget* window)
{
    QStringList found;
    auto check = [&](const QObject* o, const char* what, const QString& text) {
        if (japanese(text) && !bilingualByDesign(o))
            found << QStringLiteral("%1/%2 %3: \"%4\"")
                         .arg(window->objectName(), o->objectName(), QLatin1String(what), text);
    };
    QList<QWidget*> all = window->findChildren<QWidget*>();
    all.prepend(window);
    for (QWidget* w : all) {
        if (w != window && w->window() != window && !qobject_cast<QMenu*>(w))
            continue;
        if (w->isWindow())
            check(w, "title", w->windowTitle());
        check(w, "tip", w->toolTip());
        check(w, "status tip", w->statusTip());
        check(w, "name", w->accessibleName());
        check(w, "description", w->accessibleDescription());
        if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w))
            check(w, "heard", iface->text(QAccessible::Description));
        if (auto* l = qobject_cast<QLabel*>(w))
            check(w, "label", l->text());
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            check(w, "button", b->text());
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            check(w, "group", g->title());
        else if (auto* m = qobject_cast<QMenu*>(w))
            check(w, "menu", m->title());
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            check(w, "placeholder", e->placeholderText());
        if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i) {
                check(w, "tab", t->tabText(i));
                check(w, "tab tip", t->tabToolTip(i));
            }
        if (auto* c = qobject_cast<QComboBox*>(w); c && !c->isEditable())
            for (int i = 0; i < c->count(); ++i) {
                check(w, "item", c->itemText(i));
                check(w, "item tip", c->itemData(i, Qt::ToolTipRole).toString());
            }
        if (auto* s = qobject_cast<QAbstractSpinBox*>(w))
            check(w, "special", s->specialValueText());
    }
    for (QAction* a : window->findChildren<QAction*>()) {
        check(a, "action", a->text());
        check(a, "action tip", a->toolTip());
    }
    return found;
}

} // namespace

class EnglishWalkTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyWindowAndBoxIsEnglish();
    void theMenusChoiceIsStoredForTheNextStart();

private:
    Ui::TMainForm& ui() { return form->form(); }
    void walk(QWidget* w);

    std::unique_ptr<TMainForm> form;
    SteadyClock clock;
    SimulatedModem* modem = nullptr;
    QStringList faults;
    QStringList boxes;
};

void EnglishWalkTest::initTestCase()
{
    // The path the program takes: the locale (set by the test) picks English.
    QCOMPARE(windowLanguage(messagesLocale()), Language::English);
    QVERIFY(useLanguage(Language::English));
}

void EnglishWalkTest::walk(QWidget* w)
{
    QTest::qWait(30);
    faults += japaneseIn(w);
}

void EnglishWalkTest::everyWindowAndBoxIsEnglish()
{
    TMainForm::Options o;
    o.clock = &clock;
    o.useSettingsFile = false;
    o.simulator = [this] {
        auto m = std::make_unique<SimulatedModem>(clock);
        modem = m.get();
        return std::unique_ptr<Device>(std::move(m));
    };
    o.displayFolders << QFileInfo(QString::fromUtf8(ANALYZE32_PATH)).absolutePath();
    form = std::make_unique<TMainForm>(o);
    form->qtBoxes()->onShow = [this](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        boxes << box->windowTitle() << box->text();
        for (QAbstractButton* b : box->buttons())
            boxes << b->text();
        QTimer::singleShot(0, box, [box] { box->button(QMessageBox::No) ? box->button(QMessageBox::No)->click()
                                                                        : box->buttons().first()->click(); });
    };
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(ui().mnuLanguageEn->isChecked(), true);

    // Closed, then open in both modes, with the code display, on every page.
    ui().PageControlSetting->setTabVisible(2, true);
    walk(form.get());
    ui().btnComPort->click();
    QTRY_COMPARE(ui().shpLump->color(), qRgb(0, 255, 0));
    ui().spbRead->click();
    QTRY_VERIFY_WITH_TIMEOUT(form->engine().step() == 0 && !ui().edtRead20->text().isEmpty(), 5000);
    for (int page = 0; page < ui().PageControlSetting->count(); ++page) {
        ui().PageControlSetting->setCurrentIndex(page);
        walk(form.get());
    }
    ui().PageControlSetting->setCurrentIndex(2);
    ui().btnIntervalTx->click();
    walk(form.get());
    ui().btnIntervalTx->click();
    ui().spbCommunicationMode->click();
    walk(form.get());
    ui().spbMode->click();

    // A line fault twice: a box, then the tool's own counted monitor line.
    const int before = int(boxes.size());
    modem->raiseLineErrors(CE_FRAME);
    QTRY_VERIFY(boxes.size() > before);
    modem->raiseLineErrors(CE_FRAME);
    QTRY_VERIFY(ui().memTxRxMonitor->toPlainText().contains(QLatin1String(" (#2)")));
    QVERIFY2(!japanese(ui().memTxRxMonitor->toPlainText()), qPrintable(ui().memTxRxMonitor->toPlainText()));

    // A box of the engine: a question, answered No.
    ui().PageControlSetting->setCurrentIndex(0);
    ui().spbDefaultNumber->click();
    QTRY_VERIFY(!boxes.isEmpty());

    // The dialogs and the air monitor.
    ui().spbFICK->click();
    QTRY_VERIFY(form->linkForm().isVisible());
    walk(&form->linkForm());
    // Its log too: a run with nothing ticked, then a station that answers
    // and one that does not.
    auto* get = form->linkForm().findChild<QAbstractButton*>(QStringLiteral("btnGet"));
    get->click();
    form->linkForm().findChild<QAbstractButton*>(QStringLiteral("CheckBox1"))->click();
    form->linkForm().findChild<QAbstractButton*>(QStringLiteral("CheckBox2"))->click();
    get->click();
    QTRY_VERIFY_WITH_TIMEOUT(form->engine().linkForm().state() == 3, 15000);
    const QString log = form->linkForm().logMemo()->toPlainText();
    QVERIFY2(log.contains(QLatin1String("#1")) && log.contains(QLatin1String("#2")), qPrintable(log));
    QVERIFY2(!japanese(log), qPrintable(log));
    form->linkForm().findChild<QAbstractButton*>(QStringLiteral("btnRange"))->click();
    QTRY_VERIFY(form->linkForm().rangeForm() && form->linkForm().rangeForm()->isVisible());
    walk(form->linkForm().rangeForm());
    form->linkForm().rangeForm()->close();
    form->linkForm().close();
    QTRY_VERIFY(ui().spbPacket->isEnabled());
    ui().spbPacket->click();
    QTRY_VERIFY(form->packetForm().isVisible());
    walk(&form->packetForm());
    form->packetForm().close();
    QTRY_VERIFY(ui().spbAIRM->isEnabled());
    ui().spbAIRM->click();
    QTRY_VERIFY(airMonitor() && airMonitor()->isVisible());
    walk(airMonitor());
    airMonitor()->close();

    test::FakeBoxes fake;
    std::vector<std::string> ports = {" COM1", "*COM3"};
    for (int extension : {1, 0}) {
        int port = 1;
        PortSettings settings;
        TSettingsForm dialog(form.get(), port, settings, ports, extension, fake,
                             [](int) { return std::string(kSimulatorDescription); });
        dialog.show();
        walk(&dialog);
    }
    int extension = 1;
    TAboutForm about(form.get(), QStringLiteral("https://www.example.jp/kd36/"), extension, fake);
    about.show();
    walk(&about);

    for (const QString& b : boxes)
        if (japanese(b))
            faults << QStringLiteral("box: \"%1\"").arg(b);
    faults.removeDuplicates();
    form->close();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void EnglishWalkTest::theMenusChoiceIsStoredForTheNextStart()
{
    QTemporaryDir dir;
    const std::string ini = dir.filePath(QStringLiteral("kd36setup.ini")).toStdString();
    test::FakeBoxes fake;
    TMainForm::Options o;
    o.clock = &clock;
    o.boxes = &fake;
    o.settingsPath = ini;
    form = std::make_unique<TMainForm>(o);
    ui().mnuLanguageJa->trigger();
    QVERIFY(ui().mnuLanguageJa->isChecked());
    QVERIFY(!ui().mnuLanguageEn->isChecked());
    // Said in the language chosen, though the window stays English until then.
    QCOMPARE(fake.texts(), std::vector<std::string>{"表示言語は次回の起動から変わります。"});
    QCOMPARE(ui().mnuLanguage->title(), QStringLiteral("表示言語 / Language"));
    form->close();
    form.reset();
    StoredSettings stored;
    LoadLineSettings(ini, stored);
    QCOMPARE(stored.language, std::string("ja"));
}

QTEST_MAIN(EnglishWalkTest)
#include "english_walk_test.moc"
