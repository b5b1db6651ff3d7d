// QtView and QtBoxes over a small widget tree.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

#include "app/lamp_widget.h"
#include "app/qt_boxes.h"
#include "app/qt_view.h"
#include "engine/sjis.h"

using kd36::QtView;
using kd36::sj;

namespace {

struct Tree {
    std::unique_ptr<QWidget> root = std::make_unique<QWidget>();
    QPushButton* btn;
    QCheckBox* chk;
    QLineEdit* edt;
    QComboBox* cmb;
    QComboBox* cmbEdit;
    QSpinBox* spe;
    QPlainTextEdit* mem;
    QLabel* lbl;
    QGroupBox* grp;
    QProgressBar* prg;
    QTabWidget* tabs;
    QAction* act;
    QMenu* menu;
    QTimer* tim;
    kd36::LampWidget* lamp;
    std::array<QLabel*, 4> panels{};

    Tree()
    {
        root->setObjectName("TTestForm");
        root->setWindowTitle("KD-36 セットアップ");
        auto* lay = new QVBoxLayout(root.get());
        auto add = [&](auto* w, const char* name) {
            w->setObjectName(name);
            lay->addWidget(w);
            return w;
        };
        btn = add(new QPushButton("通信ポート ON"), "btnComPort");
        chk = add(new QCheckBox("システムID"), "chkSYID");
        edt = add(new QLineEdit, "edtRead1");
        cmb = add(new QComboBox, "cmbSERI");
        cmb->addItems({"4800", "9600", "19200", "38400"});
        cmbEdit = add(new QComboBox, "cmbTemplate");
        cmbEdit->setEditable(true);
        cmbEdit->addItems({"@INIT", "@EQID"});
        spe = add(new QSpinBox, "speFRAMByte");
        spe->setRange(1, 256);
        spe->setValue(128);
        mem = add(new QPlainTextEdit, "memTxRxMonitor");
        mem->setReadOnly(true);
        lbl = add(new QLabel("送信不可    ［CTS信号］"), "lblTxableSignal");
        grp = add(new QGroupBox("機能"), "grpFunction");
        grp->setLayout(new QVBoxLayout);
        auto* inner = new QLineEdit;
        inner->setObjectName("edtInner");
        grp->layout()->addWidget(inner);
        prg = add(new QProgressBar, "prgLevel1");
        prg->setRange(0, 4);
        tabs = add(new QTabWidget, "PageControlSetting");
        for (const char* p : {"tabBasicSetting", "tabExtendSetting", "tabDevelop"}) {
            auto* page = new QWidget;
            page->setObjectName(p);
            tabs->addTab(page, QString::fromUtf8(p));
        }
        lamp = add(new kd36::LampWidget, "shpLump");
        auto* bar = new QMenuBar(root.get());
        menu = bar->addMenu("機能(&Z)");
        menu->setObjectName("mnuFunction");
        act = menu->addAction("パケット送受信(&P)");
        act->setObjectName("mnuPacket");
        act->setCheckable(true);
        tim = new QTimer(root.get());
        tim->setObjectName("timRxWait");
        tim->setInterval(1400);
        for (auto& p : panels) {
            p = new QLabel(root.get());
        }
    }
};

} // namespace

class QtViewTest : public QObject {
    Q_OBJECT
private slots:
    void enabledAndVisibleAreTheControlsOwn();
    void checkMarksOnButtonsAndActions();
    void textsCrossInShiftJis();
    void comboIndexAndText();
    void spinValueAndShownText();
    void memoLinesAndWholeText();
    void memoKeepsTheUsersPlace();
    void tabsAndPages();
    void timersStatusLampProgress();
    void heightOfAGroupPlacedByHand();
    void focus();
    void unknownNameIsHarmless();
    void boxesUseTheCaptionAndAnswer();
    void boxFromAnotherThreadShowsOnTheUiThread();
};

void QtViewTest::enabledAndVisibleAreTheControlsOwn()
{
    Tree t;
    QtView v(t.root.get());
    v.setEnabled("grpFunction", false);
    // The child's own switch is still on although it cannot be used.
    QVERIFY(v.isEnabled("edtInner"));
    QVERIFY(!t.root->findChild<QLineEdit*>("edtInner")->isEnabled());
    v.setEnabled("edtInner", false);
    v.setEnabled("grpFunction", true);
    QVERIFY(!v.isEnabled("edtInner"));

    // Hidden window: children still count as visible until hidden themselves.
    QVERIFY(v.isVisible("btnComPort"));
    v.setVisible("btnComPort", false);
    QVERIFY(!v.isVisible("btnComPort"));
    v.setVisible("btnComPort", true);
    QVERIFY(v.isVisible("btnComPort"));

    v.setEnabled("mnuFunction", false);
    QVERIFY(!t.menu->menuAction()->isEnabled());
    QVERIFY(!v.isEnabled("mnuFunction"));
    v.setEnabled("mnuPacket", false);
    QVERIFY(!t.act->isEnabled());
}

void QtViewTest::checkMarksOnButtonsAndActions()
{
    Tree t;
    QtView v(t.root.get());
    v.setChecked("chkSYID", true);
    QVERIFY(t.chk->isChecked());
    QVERIFY(v.isChecked("chkSYID"));
    v.setChecked("mnuPacket", true);
    QVERIFY(t.act->isChecked());
    QVERIFY(v.isChecked("mnuPacket"));
    v.setChecked("mnuPacket", false);
    QVERIFY(!v.isChecked("mnuPacket"));
}

void QtViewTest::textsCrossInShiftJis()
{
    Tree t;
    QtView v(t.root.get());
    QCOMPARE(v.text("btnComPort"), sj("通信ポート ON"));
    v.setText("btnComPort", sj("通信ポート OFF"));
    QCOMPARE(t.btn->text(), QString("通信ポート OFF"));
    v.setText("lblTxableSignal", sj("送信可能    ［CTS信号］"));
    QCOMPARE(t.lbl->text(), QString("送信可能    ［CTS信号］"));
    v.setText("edtRead1", sj("１２３"));
    QCOMPARE(t.edt->text(), QString("１２３"));
    QCOMPARE(v.text("edtRead1"), sj("１２３"));
    QCOMPARE(v.text("grpFunction"), sj("機能"));
    QCOMPARE(v.text("mnuFunction"), sj("機能(&Z)"));
    // The root's caption under its own name.
    QCOMPARE(v.text("TTestForm"), sj("KD-36 セットアップ"));
    v.setText("TTestForm", sj("別"));
    QCOMPARE(t.root->windowTitle(), QString("別"));
    v.setText("tabDevelop", sj("開発用"));
    QCOMPARE(t.tabs->tabText(2), QString("開発用"));
    QCOMPARE(v.text("tabDevelop"), sj("開発用"));
}

void QtViewTest::comboIndexAndText()
{
    Tree t;
    QtView v(t.root.get());
    v.setItemIndex("cmbSERI", 1);
    QCOMPARE(v.text("cmbSERI"), std::string("9600"));
    QCOMPARE(v.itemIndex("cmbSERI"), 1);
    v.setItemIndex("cmbSERI", -1);
    QCOMPARE(v.itemIndex("cmbSERI"), -1);
    QCOMPARE(v.text("cmbSERI"), std::string());
    v.setItemIndex("cmbSERI", 17); // out of range: none
    QCOMPARE(v.itemIndex("cmbSERI"), -1);
    v.setText("cmbSERI", "38400"); // a list takes a text by selecting it
    QCOMPARE(v.itemIndex("cmbSERI"), 3);
    v.setText("cmbSERI", "1200");
    QCOMPARE(v.itemIndex("cmbSERI"), -1);

    v.setText("cmbTemplate", sj("テンプレート"));
    QCOMPARE(t.cmbEdit->currentText(), QString("テンプレート"));
    QCOMPARE(v.text("cmbTemplate"), sj("テンプレート"));
}

void QtViewTest::spinValueAndShownText()
{
    Tree t;
    QtView v(t.root.get());
    QCOMPARE(v.value("speFRAMByte"), 128);
    QCOMPARE(v.text("speFRAMByte"), std::string("128"));
    v.setValue("speFRAMByte", 7);
    QCOMPARE(v.text("speFRAMByte"), std::string("7"));
    v.setText("speFRAMByte", "200");
    QCOMPARE(t.spe->value(), 200);
}

void QtViewTest::memoLinesAndWholeText()
{
    Tree t;
    QtView v(t.root.get());
    v.appendMemoLine("memTxRxMonitor", "@FREQ");
    v.appendMemoLine("memTxRxMonitor", sj("送信失敗"));
    QCOMPARE(t.mem->toPlainText(), QString("@FREQ\n送信失敗"));
    QCOMPARE(v.text("memTxRxMonitor"), "@FREQ\r\n" + sj("送信失敗") + "\r\n");
    // A line holding CR LF shows as two; an empty one as an empty line.
    v.appendMemoLine("memTxRxMonitor", "Rx:12\r\n34");
    v.appendMemoLine("memTxRxMonitor", "");
    QCOMPARE(t.mem->document()->blockCount(), 5);
    QCOMPARE(t.mem->document()->findBlockByNumber(3).text(), QString("34"));

    v.setMemoText("memTxRxMonitor", "a\r\nb\r\n");
    QCOMPARE(t.mem->toPlainText(), QString("a\nb"));
    QCOMPARE(v.text("memTxRxMonitor"), std::string("a\r\nb\r\n"));
    v.setMemoText("memTxRxMonitor", "");
    QCOMPARE(t.mem->toPlainText(), QString());
    QCOMPARE(v.text("memTxRxMonitor"), std::string());
    v.appendMemoLine("memTxRxMonitor", "first");
    QCOMPARE(t.mem->toPlainText(), QString("first"));
}

void QtViewTest::memoKeepsTheUsersPlace()
{
    Tree t;
    t.root->resize(300, 600);
    t.root->show();
    QtView v(t.root.get());
    for (int i = 0; i < 200; ++i)
        v.appendMemoLine("memTxRxMonitor", "line " + std::to_string(i));
    QScrollBar* bar = t.mem->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum()); // followed the end
    bar->setValue(10);                      // the user scrolled up
    v.appendMemoLine("memTxRxMonitor", "more");
    QCOMPARE(bar->value(), 10);
    std::string all = v.text("memTxRxMonitor");
    v.setMemoText("memTxRxMonitor", all.substr(100));
    QCOMPARE(bar->value(), 10);
    bar->setValue(bar->maximum());
    v.appendMemoLine("memTxRxMonitor", "end");
    QCOMPARE(bar->value(), bar->maximum());
}

void QtViewTest::tabsAndPages()
{
    Tree t;
    QtView v(t.root.get());
    QVERIFY(v.isTabVisible("tabDevelop"));
    v.setTabVisible("tabDevelop", false);
    QVERIFY(!t.tabs->isTabVisible(2));
    QVERIFY(!v.isTabVisible("tabDevelop"));
    QCOMPARE(v.currentPage("PageControlSetting"), std::string("tabBasicSetting"));
    t.tabs->setCurrentIndex(1);
    QCOMPARE(v.currentPage("PageControlSetting"), std::string("tabExtendSetting"));
}

void QtViewTest::timersStatusLampProgress()
{
    Tree t;
    QtView v(t.root.get());
    QVERIFY(!v.timerActive(kd36::TimerId::RxWait));
    QCOMPARE(v.timerInterval(kd36::TimerId::RxWait), 1400);
    v.startTimer(kd36::TimerId::RxWait, 1000);
    QVERIFY(v.timerActive(kd36::TimerId::RxWait));
    QCOMPARE(v.timerInterval(kd36::TimerId::RxWait), 1000);
    v.stopTimer(kd36::TimerId::RxWait);
    QVERIFY(!v.timerActive(kd36::TimerId::RxWait));

    v.setStatusPanels(t.panels);
    v.setStatusText(0, sj("コマンドモード"));
    QCOMPARE(t.panels[0]->text(), QString("コマンドモード"));
    QCOMPARE(v.statusText(0), sj("コマンドモード"));
    QCOMPARE(v.statusText(4), std::string()); // no such panel
    v.setStatusHint(1, sj("実際の設定: <b>9615bps"));
    QVERIFY(t.panels[1]->toolTip().contains("&lt;b&gt;9615bps")); // shown as written
    v.setStatusHint(1, "");
    QVERIFY(t.panels[1]->toolTip().isEmpty());

    v.setColor("shpLump", 0x93EABC);
    QCOMPARE(t.lamp->color(), qRgb(147, 234, 188));
    v.setColor("edtRead1", 0x93EABC);
    QCOMPARE(t.edt->palette().color(QPalette::Base), QColor(147, 234, 188));

    v.setValue("prgLevel1", 3);
    QCOMPARE(t.prg->value(), 3);
    QCOMPARE(v.value("prgLevel1"), 3);
}

void QtViewTest::heightOfAGroupPlacedByHand()
{
    QWidget root;
    root.setObjectName("root");
    auto* grp = new QGroupBox("RS232C", &root);
    grp->setObjectName("grpSERI");
    grp->setGeometry(5, 5, 200, 121);
    QtView v(&root);
    v.setHeight("grpSERI", 49);
    QCOMPARE(grp->height(), 49);
    QCOMPARE(grp->width(), 200);
    v.setHeight("grpSERI", 121);
    QCOMPARE(grp->height(), 121);
}

void QtViewTest::focus()
{
    Tree t;
    t.root->show();
    QtView v(t.root.get());
    v.setFocus("edtRead1");
    QVERIFY(v.hasFocus("edtRead1"));
    QVERIFY(!v.hasFocus("cmbTemplate"));
    v.setFocus("cmbTemplate");
    QVERIFY(v.hasFocus("cmbTemplate"));
}

void QtViewTest::unknownNameIsHarmless()
{
    Tree t;
    QtView v(t.root.get());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no control 'noSuchControl'"));
    v.setText("noSuchControl", "x");
    // Warned once per name: the calls below stay quiet.
    QCOMPARE(v.text("noSuchControl"), std::string());
    QVERIFY(!v.isEnabled("noSuchControl"));
    QCOMPARE(v.itemIndex("noSuchControl"), -1);
    v.setEnabled("noSuchControl", true);
    // A timer the window lacks: the dialog's, asked of this tree.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no control 'timWaitTime'"));
    v.startTimer(kd36::TimerId::WaitTime, 5);
    QVERIFY(!v.timerActive(kd36::TimerId::WaitTime));
}

void QtViewTest::boxesUseTheCaptionAndAnswer()
{
    Tree t;
    kd36::QtBoxes boxes(t.root.get());
    QString title, text, info;
    QMessageBox::Icon icon{};
    QAbstractButton* (*pick)(QMessageBox*) = nullptr;
    int openInside = -1;
    boxes.onShow = [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        title = box->windowTitle();
        text = box->text();
        info = box->informativeText();
        icon = box->icon();
        openInside = boxes.openCount();
        QTimer::singleShot(0, box, [box, &pick] { pick(box)->click(); });
    };
    pick = [](QMessageBox* b) { return b->button(QMessageBox::Ok); };
    boxes.warning("送信失敗");
    QCOMPARE(title, QString("KD-36 セットアップ"));
    QCOMPARE(text, QString("送信失敗"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(openInside, 1);
    QCOMPARE(boxes.openCount(), 0);

    boxes.warning("モジュレーション異常", "", "デバッグ");
    QCOMPARE(title, QString("デバッグ"));
    boxes.information("Comポートオープンの失敗", "Device or resource busy");
    QCOMPARE(icon, QMessageBox::Information);
    QCOMPARE(info, QString("Device or resource busy"));

    pick = [](QMessageBox* b) { return b->button(QMessageBox::Yes); };
    QVERIFY(boxes.question("書き込み欄を初期値にします。", false));
    QCOMPARE(icon, QMessageBox::Information);
    pick = [](QMessageBox* b) { return b->button(QMessageBox::No); };
    QVERIFY(!boxes.question("システムIDを 0 に設定しようとしています。", true));
    QCOMPARE(icon, QMessageBox::Warning);
}

void QtViewTest::boxFromAnotherThreadShowsOnTheUiThread()
{
    Tree t;
    kd36::QtBoxes boxes(t.root.get());
    QThread* shownOn = nullptr;
    boxes.onShow = [&](QWidget* w) {
        shownOn = QThread::currentThread();
        auto* box = qobject_cast<QMessageBox*>(w);
        QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Yes)->click(); });
    };
    bool answer = false;
    std::atomic<bool> done{false};
    std::unique_ptr<QThread> worker(QThread::create([&] {
        answer = boxes.question("?", false);
        done = true;
    }));
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 5000);
    worker->wait();
    QCOMPARE(shownOn, QThread::currentThread());
    QVERIFY(answer);
}

QTEST_MAIN(QtViewTest)
#include "qt_view_test.moc"
