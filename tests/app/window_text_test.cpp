// Every window with Debian's default fonts (DejaVu Sans, IPAGothic for
// Japanese): no caption wider than its room, and what a screen reader hears
// is what the screen shows; in the language the locale picks (the suite
// runs it in Japanese and in English). With KD36_SHOT_DIR set it also saves
// the README's pictures of the same windows.
// The modem first: its header declares a member that Qt defines as a macro.
#include "sim/simulated_modem.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOptionGroupBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "app/main_form.h"
#include "dialogs/about_form.h"
#include "app/lamp_widget.h"
#include "app/language.h"
#include "dialogs/link_form.h"
#include "dialogs/packet_form.h"
#include "dialogs/range_chart.h"
#include "dialogs/range_form.h"
#include "engine/range_run.h"
#include "app/qt_boxes.h"
#include "app/qt_view.h"
#include "dialogs/settings_form.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_view.h"
#include "ui_main_form.h"

using namespace kd36;
using kd36::test::FakeBoxes;

namespace {

QString withoutMnemonic(QString s)
{
    s.replace(QLatin1String("&&"), QLatin1String("\x01"));
    s.remove(QLatin1Char('&'));
    s.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return s;
}

QString where(const QWidget* w)
{
    return w->window()->objectName() + QLatin1Char('/') + w->objectName();
}

// Width of each line of `text` against the room; also the drawn rectangle
// (in the parent) so that it can be checked against the neighbours.
void checkLabel(QLabel* l, QStringList& faults)
{
    const QString text = l->text();
    if (text.isEmpty() || !l->pixmap().isNull())
        return;
    const QFontMetrics fm(l->font());
    QRect room = l->contentsRect();
    const int m = l->margin();
    room.adjust(m, m, -m, -m);
    if (l->indent() > 0)
        room.adjust(l->alignment() & Qt::AlignLeft ? l->indent() : 0, 0,
                    l->alignment() & Qt::AlignRight ? -l->indent() : 0, 0);
    int need = 0;
    if (l->wordWrap()) {
        const QRect r = fm.boundingRect(room, int(l->alignment()) | Qt::TextWordWrap, text);
        if (r.height() > room.height())
            faults << QStringLiteral("%1 \"%2\": needs %3 px high, has %4").arg(where(l), text).arg(r.height()).arg(room.height());
        need = r.width();
    } else {
        for (const QString& line : text.split(QLatin1Char('\n')))
            need = std::max(need, fm.horizontalAdvance(line));
    }
    if (need > room.width()) {
        faults << QStringLiteral("%1 \"%2\": needs %3 px, has %4").arg(where(l), text).arg(need).arg(room.width());
        return;
    }
    // The text must not run into a control beside it.
    QWidget* parent = l->parentWidget();
    if (!parent)
        return;
    const QRect drawn = QStyle::alignedRect(l->layoutDirection(), l->alignment(), QSize(need, fm.height()), room)
                            .translated(l->pos())
                            .adjusted(-1, 0, 1, 0);
    for (QWidget* s : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (s == l || !s->isVisibleTo(parent))
            continue;
        if (!qobject_cast<QComboBox*>(s) && !qobject_cast<QLineEdit*>(s) && !qobject_cast<QAbstractSpinBox*>(s)
            && !qobject_cast<QAbstractButton*>(s) && !qobject_cast<LampWidget*>(s))
            continue;
        if (s->geometry().intersects(drawn))
            faults << QStringLiteral("%1 \"%2\" touches %3").arg(where(l), text, s->objectName());
    }
}

void checkButton(QAbstractButton* b, QStringList& faults)
{
    const QString text = withoutMnemonic(b->text());
    if (text.isEmpty())
        return;
    const int need = QFontMetrics(b->font()).horizontalAdvance(text);
    int room = 0;
    if (auto* t = qobject_cast<QToolButton*>(b)) {
        if (t->toolButtonStyle() == Qt::ToolButtonIconOnly && !t->icon().isNull())
            return;
        room = b->width() - (t->sizeHint().width() - need);
    } else {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        const QStyle::SubElement e = qobject_cast<QCheckBox*>(b) ? QStyle::SE_CheckBoxContents
            : qobject_cast<QRadioButton*>(b)                   ? QStyle::SE_RadioButtonContents
                                                               : QStyle::SE_PushButtonContents;
        room = b->style()->subElementRect(e, &opt, b).width();
    }
    if (need > room)
        faults << QStringLiteral("%1 \"%2\": needs %3 px, has %4").arg(where(b), text).arg(need).arg(room);
}

void checkGroup(QGroupBox* g, QStringList& faults)
{
    if (g->title().isEmpty())
        return;
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.lineWidth = 1;
    opt.textAlignment = g->alignment();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (g->isCheckable())
        opt.subControls |= QStyle::SC_GroupBoxCheckBox;
    opt.features = g->isFlat() ? QStyleOptionFrame::Flat : QStyleOptionFrame::None;
    const QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
    if (label.left() < 0 || label.right() >= g->width())
        faults << QStringLiteral("%1 \"%2\": caption %3..%4 in %5 px").arg(where(g), g->title()).arg(label.left())
                      .arg(label.right()).arg(g->width());
}

// Every caption shown in `window` now.
QStringList overflow(QWidget* window)
{
    QStringList faults;
    QList<QWidget*> all = window->findChildren<QWidget*>();
    all.prepend(window);
    for (QWidget* w : all) {
        if (!w->isVisibleTo(window) || (w != window && w->window() != window))
            continue;
        if (auto* l = qobject_cast<QLabel*>(w))
            checkLabel(l, faults);
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            checkButton(b, faults);
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            checkGroup(g, faults);
    }
    return faults;
}

// (object name, accessible name, caption) of every captioned control whose
// name is not its caption; lamp descriptions go in as "name=description".
QStringList namesNotCaptions(QWidget* window)
{
    QStringList faults;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* iface) {
        if (!iface)
            return;
        QObject* o = iface->object();
        QString caption;
        bool captioned = false;
        if (auto* b = qobject_cast<QAbstractButton*>(o)) {
            caption = withoutMnemonic(b->text());
            captioned = !caption.isEmpty();
        } else if (auto* l = qobject_cast<QLabel*>(o)) {
            caption = l->text();
            captioned = l->pixmap().isNull();
        } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
            caption = withoutMnemonic(g->title());
            captioned = !caption.isEmpty();
        }
        const QString name = iface->text(QAccessible::Name);
        if (captioned && name != caption)
            faults << QStringLiteral("%1: \"%2\" shows \"%3\"").arg(o->objectName(), name, caption);
        for (int i = 0; i < iface->childCount(); ++i)
            walk(iface->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(window));
    return faults;
}

// A caption of the main window in the language in use.
QString shown(const char* japanese)
{
    return TMainForm::tr(japanese);
}

QString description(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Description) : QString();
}

} // namespace

class WindowTextTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void captionsFitInEveryWindow();
    void screenReaderHearsTheCaptionsInEveryState();
    void rangeChartDrawsTheRunUnclipped();
    void rangeTestPictureOnTheSimulator();

private:
    Ui::TMainForm& ui() { return form->form(); }
    void shot(QWidget* w, const char* name);

    std::unique_ptr<TMainForm> form;
    SimulatedModem* modem = nullptr;
    SteadyClock clock;
    FakeBoxes boxes;
};

void WindowTextTest::initTestCase()
{
    QVERIFY(useLanguage(windowLanguage(messagesLocale())));
    // The platform's own default font, as a user's desktop without settings has it.
    const QString family = QFontInfo(QApplication::font()).family();
    QVERIFY2(family == QLatin1String("DejaVu Sans"), qPrintable(QStringLiteral("default font is %1").arg(family)));
    QVERIFY2(QFontDatabase::families().contains(QStringLiteral("IPAGothic")), "IPAGothic is not installed");
    QVERIFY(QFontMetrics(QApplication::font()).inFont(QChar(0x901A))); // 通, by fallback
}

void WindowTextTest::init()
{
    TMainForm::Options o;
    o.clock = &clock;
    o.boxes = &boxes;
    o.useSettingsFile = false;
    o.simulator = [this] {
        auto m = std::make_unique<SimulatedModem>(clock);
        modem = m.get();
        return std::unique_ptr<Device>(std::move(m));
    };
    o.displayFolders << QStringLiteral("/nonexistent");
    form = std::make_unique<TMainForm>(o);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void WindowTextTest::cleanup()
{
    if (form)
        form->close();
    form.reset();
    modem = nullptr;
}

void WindowTextTest::shot(QWidget* w, const char* name)
{
    const QString dir = qEnvironmentVariable("KD36_SHOT_DIR");
    if (dir.isEmpty())
        return;
    QTest::qWait(30);
    QVERIFY(w->grab().save(QStringLiteral("%1/%2.png").arg(dir, QLatin1String(name))));
}

void WindowTextTest::captionsFitInEveryWindow()
{
    QStringList faults;
    auto check = [&](QWidget* w) { faults += overflow(w); };

    // The main window, every page, open on the widest port text.
    ui().PageControlSetting->setTabVisible(2, true);
    ui().btnComPort->click();
    QTRY_COMPARE(ui().shpLump->color(), qRgb(0, 255, 0));
    for (const char* port : {"COM7: 19200bps D8 PNON S1", "COM12: 115200bps D8 PEVEN S2"}) {
        form->view().setStatusText(1, port);
        check(form.get());
    }
    form->view().setStatusText(1, "COM1: 9600bps D8 PNON S1");
    ui().cmbTemplate->setCurrentIndex(4);
    ui().spbRead->click();
    QTRY_VERIFY_WITH_TIMEOUT(form->engine().step() == 0 && !ui().edtRead20->text().isEmpty(), 5000);
    check(form.get());
    shot(form.get(), "main_window");
    form->engine().setExtension(1);
    for (int page = 0; page < ui().PageControlSetting->count(); ++page) {
        ui().PageControlSetting->setCurrentIndex(page);
        QTest::qWait(30);
        check(form.get());
    }
    ui().PageControlSetting->setCurrentIndex(1);
    shot(form.get(), "setting_panel_extended");
    ui().PageControlSetting->setCurrentIndex(2);
    shot(form.get(), "development_tab");
    ui().spbCommunicationMode->click();
    ui().chkCRLF->show();
    ui().txtTerm->setText(QStringLiteral("こんにちは KD-36"));
    ui().btnTermTx->click();
    QTRY_VERIFY_WITH_TIMEOUT(ui().memTerm->toPlainText().contains(QStringLiteral("Rx:")), 3000);
    check(form.get());
    shot(form.get(), "terminal");
    ui().spbMode->click();

    // The modeless dialogs.
    ui().spbFICK->click();
    QTRY_VERIFY(form->linkForm().isVisible());
    check(&form->linkForm());
    shot(&form->linkForm(), "answer_back");
    form->linkForm().close();
    QTRY_VERIFY(ui().spbPacket->isEnabled());
    ui().spbPacket->click();
    QTRY_VERIFY(form->packetForm().isVisible());
    check(&form->packetForm());
    shot(&form->packetForm(), "packet");
    form->packetForm().close();

    // The port dialog in both layouts, and the about box.
    std::vector<std::string> ports = {" COM1", " COM2", "*COM3"};
    for (int extension : {1, 0}) {
        int port = 1;
        PortSettings settings;
        TSettingsForm dialog(form.get(), port, settings, ports, extension, boxes,
                             [](int) { return std::string("内蔵シミュレータ"); });
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        check(&dialog);
        if (extension)
            shot(&dialog, "port_dialog");
    }
    int extension = 1;
    TAboutForm about(form.get(), QStringLiteral("https://www.norvane.example/kd36/"), extension, boxes);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(boxes.beeps, 0); // both pictures there
    check(&about);
    shot(&about, "about");

    faults.removeDuplicates();
    for (const QString& f : faults)
        qWarning("%s", qPrintable(f));
    QVERIFY2(faults.isEmpty(), "captions cut or touching (above)");
}

void WindowTextTest::screenReaderHearsTheCaptionsInEveryState()
{
    struct State {
        bool open;
        bool command;
    };
    ui().PageControlSetting->setTabVisible(2, true);
    for (State s : {State{false, true}, State{false, false}, State{true, false}, State{true, true}}) {
        if ((form->engine().portOpen()) != s.open)
            ui().btnComPort->click();
        (s.command ? ui().spbMode : ui().spbCommunicationMode)->click();
        QTRY_COMPARE(ui().shpSupplySignal->color(), s.open ? qRgb(0, 255, 0) : qRgb(255, 0, 0));
        const QString state = QStringLiteral("open=%1 command=%2: ").arg(s.open).arg(s.command);
        QStringList faults = namesNotCaptions(form.get());
        QVERIFY2(faults.isEmpty(), qPrintable(state + faults.join(QLatin1Char('\n'))));
        QCOMPARE(description(ui().shpSupplySignal), shown(s.open ? "DSR オン" : "DSR オフ"));
        QCOMPARE(description(ui().shpTxableSignal), shown(s.open ? "CTS オン" : "CTS オフ"));
        QCOMPARE(description(ui().shpLump), shown(s.open ? "ポート 開" : "ポート 閉"));
        // The status panels say what they show.
        for (int n = 0; n < 4; ++n) {
            auto* panel = form->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(n));
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(panel);
            QCOMPARE(iface->text(QAccessible::Name), panel->text());
        }
    }
    // A caption the engine changes while the port is open.
    ui().PageControlSetting->setCurrentIndex(2);
    ui().btnIntervalTx->click();
    QTRY_COMPARE(ui().btnIntervalTx->text(), shown("ストップ"));
    QCOMPARE(QAccessible::queryAccessibleInterface(ui().btnIntervalTx)->text(QAccessible::Name), shown("ストップ"));
    ui().btnIntervalTx->click();
}

void WindowTextTest::rangeChartDrawsTheRunUnclipped()
{
    // A run with known polls: station 1 climbs and falls, station A answers
    // twice, misses twice (a gap) and answers again.
    VirtualClock vclock;
    test::FakePort port;
    port.open = true;
    port.status = 0x30;
    test::FakeView view(WindowKind::Link);
    view.nowMs = [&vclock] { return vclock.nowMs(); };
    RangeRun run({port, vclock, view, [](const std::string&) {}, [] { return int64_t(1'700'000'000'000); }});
    std::array<bool, 16> ticked{};
    ticked[1] = ticked[10] = true;
    QVERIFY(run.start(ticked, 5, 0));
    const int levels1[] = {0, 1, 2, 3, 4, 3, 2};
    const int levelsA[] = {4, 4, -1, -1, 2, 4, 3}; // never where station 1 is
    auto answer = [&](int station, int level) {
        vclock.advanceMs(100);
        if (level >= 0)
            run.reply(QStringLiteral("%1=%2").arg(QChar("0123456789ABCDEF"[station])).arg(level).toStdString());
        else
            vclock.advanceMs(LinkLogic::kWaitMs); // the reply wait runs out
        run.onTimer();
    };
    for (int round = 0; round < 7; ++round) {
        if (round > 0) {
            vclock.advanceMs(5000);
            run.onTimer();
        }
        answer(1, levels1[round]);
        answer(10, levelsA[round]);
    }
    QCOMPARE(run.stats()[10].polls, 7);
    QCOMPARE(run.stats()[10].replies, 5);
    QCOMPARE(run.history(10)[2].level, -1);

    TRangeForm page;
    page.showRange(run);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QStringList faults = overflow(&page);
    for (const QString& f : faults)
        qWarning("%s", qPrintable(f));
    QVERIFY2(faults.isEmpty(), "captions cut or touching (above)");

    RangeChart* chart = page.chart();
    const QImage img = chart->grab().toImage();
    auto near = [&](QPointF at, const QColor& want) {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy) {
                const QColor c = img.pixelColor(int(at.x()) + dx, int(at.y()) + dy);
                if (std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) + std::abs(c.blue() - want.blue()) < 60)
                    return true;
            }
        return false;
    };
    // Every answered poll is a point of its station's colour, where its level is.
    for (int n : {1, 10})
        for (const RangeSample& s : run.history(n)) {
            if (s.level < 0)
                continue;
            QVERIFY2(near(chart->pointOf(s.sinceStartMs, s.level), RangeChart::stationColor(n)),
                     qPrintable(QStringLiteral("station %1 at %2 ms level %3").arg(n).arg(s.sinceStartMs).arg(s.level)));
        }
    // Between two answers the line runs; across the missed polls it does not.
    const auto& a = run.history(10);
    const QPointF mid01 = (chart->pointOf(a[0].sinceStartMs, 4) + chart->pointOf(a[1].sinceStartMs, 4)) / 2;
    QVERIFY(near(mid01, RangeChart::stationColor(10)));
    const QPointF gap = (chart->pointOf(a[1].sinceStartMs, 4) + chart->pointOf(a[4].sinceStartMs, a[4].level)) / 2;
    QVERIFY(!near(gap, RangeChart::stationColor(10)));
    // The whole plot and its time labels lie inside the widget.
    QVERIFY(QRectF(chart->rect()).contains(chart->plotRect()));
    QVERIFY(chart->pointOf(a.back().sinceStartMs, 0).x() <= chart->plotRect().right() + 0.5);
}

void WindowTextTest::rangeTestPictureOnTheSimulator()
{
    if (qEnvironmentVariable("KD36_SHOT_DIR").isEmpty())
        QSKIP("only for the README's picture (KD36_SHOT_DIR)");
    ui().btnComPort->click();
    QTRY_COMPARE(ui().shpLump->color(), qRgb(0, 255, 0));
    modem->setStationDrift(1, 0, 4, 1500);
    modem->setReplyLoss(3, 0.4);
    ui().spbFICK->click();
    QTRY_VERIFY(form->linkForm().isVisible());
    auto* box1 = form->linkForm().findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    auto* box3 = form->linkForm().findChild<QCheckBox*>(QStringLiteral("CheckBox3"));
    auto* boxA = form->linkForm().findChild<QCheckBox*>(QStringLiteral("CheckBox10"));
    box1->setChecked(true);
    box3->setChecked(true);
    boxA->setChecked(true);
    form->linkForm().findChild<QPushButton*>(QStringLiteral("btnRange"))->click();
    auto* page = form->linkForm().findChild<TRangeForm*>();
    QTRY_VERIFY(page && page->isVisible());
    page->findChild<QSpinBox*>(QStringLiteral("spnInterval"))->setValue(1);
    page->findChild<QSpinBox*>(QStringLiteral("spnCount"))->setValue(14);
    page->findChild<QPushButton*>(QStringLiteral("btnRangeStart"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form->engine().rangeRun().running(), 180000);
    QVERIFY(overflow(page).isEmpty());
    shot(page, "range_test");
    page->hide();
}

QTEST_MAIN(WindowTextTest)
#include "window_text_test.moc"
