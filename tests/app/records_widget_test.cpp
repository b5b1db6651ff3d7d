// The ファイル menu's records through the main window against the simulated
// modem: the session log and settings profiles.
// The modem first: its header declares a member that Qt defines as a macro.
#include "sim/simulated_modem.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <memory>

#include "app/main_form.h"
#include "dialogs/link_form.h"
#include "app/qt_boxes.h"
#include "ui_main_form.h"

using namespace kd36;

class RecordsWidgetTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 9)); }
    void init();
    void cleanup();
    void logHoldsAFullReadInOrder();
    void logFolderRemovedStopsLoggingWithOneBoxAndThePortGoesOn();
    void logOnAFifoIsRefusedAtOnceWithOneBox();
    void profileBringsBackEveryControlAndTheSameWrite();
    void menuScreenshot();

private:
    Ui::TMainForm& ui() { return form->form(); }
    void openPort()
    {
        ui().btnComPort->click();
        QVERIFY(modem.load());
        QTRY_VERIFY(!modem.load()->dtr());
    }
    void readAll()
    {
        ui().spbRead->click();
        QTRY_VERIFY_WITH_TIMEOUT(form->engine().step() == 0 && !ui().edtRead20->text().isEmpty(), 8000);
    }
    QStringList logLines(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    // Every write control's value, enabled state and every tick, as text.
    QStringList panelState()
    {
        QStringList s;
        for (QWidget* w : form->findChildren<QWidget*>()) {
            const QString n = w->objectName();
            QString v;
            if (auto* c = qobject_cast<QComboBox*>(w); c && (n.startsWith("cmbCHAN") || n.startsWith("cmbROUT")
                                                            || n.startsWith("cmbSERI")))
                v = c->currentText();
            else if (auto* sp = qobject_cast<QSpinBox*>(w); sp && n.startsWith("speFRAM"))
                v = sp->text();
            else if (auto* e = qobject_cast<QLineEdit*>(w); e && n.endsWith("Write"))
                v = e->text();
            else if (auto* b = qobject_cast<QAbstractButton*>(w); b && (n.startsWith("chk") || n.startsWith("rad")))
                v = b->isChecked() ? "on" : "off";
            else
                continue;
            s << QStringLiteral("%1=%2%3").arg(n, v, w->isEnabled() ? "" : " (disabled)");
        }
        s.sort();
        return s;
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;
    std::shared_ptr<ModemMemory> memory;
    std::atomic<SimulatedModem*> modem{nullptr};
    SteadyClock clock;
    QStringList boxes;
    QStringList details;
    QString nextFile; // what the file dialog answers
};

void RecordsWidgetTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    boxes.clear();
    details.clear();
    memory = std::make_shared<ModemMemory>();
    TMainForm::Options o;
    o.clock = &clock;
    o.settingsPath = dir->filePath("kd36setup.ini").toStdString();
    o.simulator = [this] {
        auto m = std::make_unique<SimulatedModem>(clock, memory);
        modem = m.get();
        return std::unique_ptr<Device>(std::move(m));
    };
    o.chooseFile = [this](RecordsMenu::Ask, const QString&) { return nextFile; };
    form = std::make_unique<TMainForm>(o);
    form->qtBoxes()->onShow = [this](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        boxes << box->text();
        // What the informative part shows, and whether it could be markup.
        auto* info = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        details << (info && info->textFormat() == Qt::PlainText ? box->informativeText() : QStringLiteral("(markup)"));
        QTimer::singleShot(0, box, [box] { box->buttons().first()->click(); });
    };
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void RecordsWidgetTest::cleanup()
{
    if (form)
        form->close();
    form.reset();
    modem = nullptr;
}

void RecordsWidgetTest::logHoldsAFullReadInOrder()
{
    QVERIFY(QDir(dir->path()).mkdir("logs"));
    nextFile = dir->filePath("logs/session.log");
    openPort();
    ui().mnuLog->trigger();
    QVERIFY(ui().mnuLog->isChecked());
    readAll();
    ui().mnuLog->trigger();
    QVERIFY(!ui().mnuLog->isChecked());
    ui().spbRead->click(); // nothing logged once unchecked
    QTRY_VERIFY_WITH_TIMEOUT(form->engine().step() == 0, 8000);

    QStringList data;
    for (const QString& l : logLines(nextFile)) {
        const QString body = l.section(' ', 1);
        QVERIFY2(QDateTime::fromString(l.section(' ', 0, 0), Qt::ISODateWithMs).isValid(), qPrintable(l));
        if (body.startsWith("TX") || body.startsWith("RX"))
            data << body;
    }
    QCOMPARE(data.size(), 14);
    const char* words[] = {"INIT", "EQID", "FREQ", "ROUT", "INIT", "INFO", "COMS"};
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(data[2 * i], QStringLiteral("TX @%1").arg(words[i]));
        QVERIFY2(data[2 * i + 1].startsWith(QStringLiteral("RX >%1:").arg(words[i])), qPrintable(data[2 * i + 1]));
    }
    QVERIFY(boxes.isEmpty());
}

void RecordsWidgetTest::logFolderRemovedStopsLoggingWithOneBoxAndThePortGoesOn()
{
    QVERIFY(QDir(dir->path()).mkdir("logs"));
    nextFile = dir->filePath("logs/session.log");
    ui().mnuLog->trigger();
    openPort();
    QTRY_VERIFY(logLines(nextFile).size() >= 1); // the port's line reached the file
    QVERIFY(QDir(dir->filePath("logs")).removeRecursively());

    readAll();
    QTRY_COMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].contains(QStringLiteral("ログの記録を停止しました")));
    QVERIFY(!ui().mnuLog->isChecked());
    QCOMPARE(ui().edtRead1->text(), QString("1234567"));
    // Still usable, and no second box.
    ui().edtRead20->clear();
    readAll();
    QTest::qWait(1200);
    QCOMPARE(boxes.size(), 1);
    QVERIFY(!QFileInfo::exists(nextFile));
}

void RecordsWidgetTest::logOnAFifoIsRefusedAtOnceWithOneBox()
{
    nextFile = dir->filePath("log.fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(nextFile).constData(), 0600), 0);
    // A blocking open would wait for a reader for ever: one comes after 3 s
    // so that such an open ends as a failure here, not as a hang.
    std::atomic<bool> answered{false};
    std::thread reader([&] {
        for (int i = 0; i < 300 && !answered; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!answered)
            ::close(::open(QFile::encodeName(nextFile).constData(), O_RDONLY | O_NONBLOCK));
    });
    QElapsedTimer t;
    t.start();
    ui().mnuLog->trigger();
    answered = true;
    reader.join();
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!ui().mnuLog->isChecked());
    QTRY_COMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0], QStringLiteral("ログファイルを開けません。"));
    QVERIFY2(details[0].contains(QStringLiteral("通常のファイル")), qPrintable(details[0]));
}

void RecordsWidgetTest::profileBringsBackEveryControlAndTheSameWrite()
{
    openPort();
    form->engine().setExtension(1);
    // A panel as a user sets it: boxes ticked by clicks, values chosen.
    ui().chkSYID->click();
    ui().edtSYIDWrite->setText("7654321");
    ui().chkCHAN->click();
    ui().radChHand->click();
    ui().cmbCHANCh->setCurrentText("33");
    ui().chkROUT->click();
    ui().cmbROUTDest->setCurrentText("C");
    ui().cmbROUTNode1->setCurrentText("2");
    ui().cmbROUTNode2->setCurrentText("9");
    ui().chkFRAM->click();
    ui().speFRAMByte->setValue(200);
    ui().speFRAMTxNumber->setValue(5);
    ui().chkINFO->click();
    ui().edtINFOWrite->setText("SITE-7");
    ui().chkSERI->click();
    ui().cmbSERIParity->setCurrentText("Odd");
    ui().cmbSERIFlow->setCurrentText("None");
    const QStringList before = panelState();

    nextFile = dir->filePath("site7.ini");
    ui().mnuProfileSave->trigger();
    QVERIFY(QFileInfo::exists(nextFile));

    auto written = [&] {
        const size_t from = modem.load()->receivedLines().size();
        ui().spbWrite->click();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(form->engine().step() == 0, 12000); }();
        auto all = modem.load()->receivedLines();
        return std::vector<std::string>(all.begin() + long(from), all.end());
    };
    const std::vector<std::string> first = written();
    QCOMPARE(first.size(), size_t(6));

    // Everything moved away by hand.
    for (QCheckBox* c : {ui().chkSYID, ui().chkCHAN, ui().chkROUT, ui().chkFRAM, ui().chkINFO, ui().chkSERI})
        c->click();
    ui().edtSYIDWrite->setText("1");
    ui().radChAuto->click();
    ui().cmbCHANCh->setCurrentIndex(0);
    ui().cmbROUTNode2->setCurrentText("-");
    ui().speFRAMByte->setValue(1);
    ui().edtINFOWrite->clear();
    ui().cmbSERIParity->setCurrentText("None");
    QVERIFY(panelState() != before);

    ui().mnuProfileLoad->trigger();
    QCOMPARE(panelState(), before);
    QCOMPARE(written(), first);
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('|')));

    // A profile with a bad line loads the rest and says what it left out, once.
    QFile f(nextFile);
    QVERIFY(f.open(QIODevice::Append));
    f.write("[Channel]\nChannel=99\n<b>x</b>=1\n");
    f.close();
    ui().cmbCHANCh->setCurrentText("20");
    ui().mnuProfileLoad->trigger();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(details[0].contains("[Channel] Channel=99") && details[0].contains("<b>x</b>=1"), qPrintable(details[0]));
    QCOMPARE(ui().cmbCHANCh->currentText(), QString("20"));
    QCOMPARE(ui().edtSYIDWrite->text(), QString("7654321"));
    // The channel's value did not load, so a write leaves the channel alone.
    QVERIFY2(details[0].contains("書込みのチェックを外した項目: [Channel]"), qPrintable(details[0]));
    QVERIFY(!ui().chkCHAN->isChecked());
    QVERIFY(ui().chkSYID->isChecked());
}

void RecordsWidgetTest::menuScreenshot()
{
    // Pictures go where KD36_SHOT_DIR says; the checks run either way.
    QMenu* file = ui().mnuFile;
    const QList<QAction*> items = file->actions();
    QStringList texts;
    for (QAction* a : items)
        if (!a->isSeparator())
            texts << a->text();
    QCOMPARE(texts, (QStringList{"ログの記録(&L)...", "設定値の保存(&S)...", "設定値の読込(&O)...",
                                 "読込値を設定値にする", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"}));
    QVERIFY(ui().mnuLog->isCheckable());

    const QString shots = qEnvironmentVariable("KD36_SHOT_DIR");
    if (shots.isEmpty())
        return;
    QDir().mkpath(shots);
    const QPoint at = ui().MainMenu->geometry().bottomLeft();
    file->popup(form->mapToGlobal(at));
    QTRY_VERIFY(file->isVisible());
    QTest::qWait(100);
    QPixmap shot = form->grab();
    QPainter p(&shot);
    p.drawPixmap(at, file->grab());
    p.end();
    file->hide();
    QVERIFY(shot.save(shots + "/file_menu_records.png"));

    // The answer-back dialog after a run, its CSV button ready.
    openPort();
    ui().spbFICK->click();
    QWidget* link = &form->linkForm();
    QTRY_VERIFY(link->isVisible());
    for (const char* c : {"CheckBox1", "CheckBox2", "CheckBox4"})
        link->findChild<QCheckBox*>(c)->setChecked(true);
    link->findChild<QPushButton*>("btnGet")->click();
    auto* csv = link->findChild<QPushButton*>("btnCsvSave");
    QTRY_VERIFY_WITH_TIMEOUT(csv->isEnabled(), 30000);
    QVERIFY(link->grab().save(shots + "/answer_back_csv.png"));
}

QTEST_MAIN(RecordsWidgetTest)
#include "records_widget_test.moc"
