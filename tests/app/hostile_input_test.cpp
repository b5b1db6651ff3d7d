// What arrives from the line or lies on the disk cannot harm the user: the
// main window against the simulated modem, and the real program under
// signals with settings files that cannot be written or read.
// The modem first: its header declares a member that Qt defines as a macro.
#include "sim/simulated_modem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/main_form.h"
#include "app/qt_boxes.h"

using namespace kd36;

class HostileInputTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void receivedMarkupIsShownAsText();
    void failedSaveOnCloseShowsOneBoxAndCloses();
    void signalEndsTheProgramWhateverTheSettingsFile_data();
    void signalEndsTheProgramWhateverTheSettingsFile();

private:
    void makeForm(const QString& settingsPath);

    struct Shown {
        QString text;
        Qt::TextFormat format = Qt::AutoText;
    };
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;
    std::atomic<SimulatedModem*> modem{nullptr};
    SteadyClock clock;
    std::vector<Shown> boxes;
};

void HostileInputTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    boxes.clear();
}

void HostileInputTest::cleanup()
{
    if (form)
        form->close();
    form.reset();
    modem = nullptr;
}

void HostileInputTest::makeForm(const QString& settingsPath)
{
    TMainForm::Options o;
    o.clock = &clock;
    o.settingsPath = settingsPath.toStdString();
    o.simulator = [this] {
        auto m = std::make_unique<SimulatedModem>(clock);
        modem = m.get();
        return std::unique_ptr<Device>(std::move(m));
    };
    o.displayFolders << dir->path();
    form = std::make_unique<TMainForm>(o);
    // Each box is looked at once it is on screen, then answered.
    form->qtBoxes()->onShow = [this](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QTimer::singleShot(100, box, [this, box] {
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            boxes.push_back({box->text(), label ? label->textFormat() : Qt::AutoText});
            box->buttons().first()->click();
        });
    };
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void HostileInputTest::receivedMarkupIsShownAsText()
{
    // A file the received markup names: opening it would show in inotify.
    const QString bait = dir->filePath("bait.png");
    QFile f(bait);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(bait).constData(), IN_OPEN | IN_ACCESS) >= 0);

    makeForm(dir->filePath("kd36setup.ini"));
    form->findChild<QAbstractButton*>(QStringLiteral("btnComPort"))->click();
    QTRY_VERIFY(modem.load());
    const std::string markup = "<b>B</b><img src=\"" + bait.toStdString() + "\">";
    modem.load()->injectBytes("$RECE:1,2;" + markup + ";DATA\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), size_t(1), 5000);
    QVERIFY2(boxes[0].text.startsWith(QStringLiteral("'<b>B</b><img src=\"")), qPrintable(boxes[0].text));
    QCOMPARE(boxes[0].format, Qt::PlainText);
    char events[4096];
    QCOMPARE(::read(watch, events, sizeof events), ssize_t(-1)); // nothing opened the file
    ::close(watch);
}

void HostileInputTest::failedSaveOnCloseShowsOneBoxAndCloses()
{
    const QString ini = dir->filePath("kd36setup.ini");
    QVERIFY(QDir().mkdir(ini)); // a folder where the file should be
    makeForm(ini);
    form->close();
    QTRY_COMPARE(boxes.size(), size_t(1));
    QVERIFY(!form->isVisible());
    QTest::qWait(200);
    QCOMPARE(boxes.size(), size_t(1));
}

void HostileInputTest::signalEndsTheProgramWhateverTheSettingsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << "folder";
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("zero") << "zero";
}

void HostileInputTest::signalEndsTheProgramWhateverTheSettingsFile()
{
    QFETCH(QString, kind);
    // The program keeps its file beside itself, so it runs from a copy.
    const QString exe = dir->filePath("kd36setup");
    QVERIFY(QFile::copy(QStringLiteral(KD36SETUP_PATH), exe));
    const QByteArray ini = QFile::encodeName(dir->filePath("kd36setup.ini"));
    if (kind == "folder")
        QCOMPARE(::mkdir(ini.constData(), 0755), 0);
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(ini.constData(), 0600), 0);
    else
        QCOMPARE(::symlink("/dev/zero", ini.constData()), 0);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(exe, {});
    QVERIFY(p.waitForStarted());
    QTest::qWait(2500); // up, with its box about the file where there is one
    ::kill(pid_t(p.processId()), SIGTERM);
    const bool ended = p.waitForFinished(8000);
    if (!ended)
        p.kill();
    QVERIFY2(ended, "SIGTERM did not end the program");
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    if (kind == "folder")
        QVERIFY(p.readAllStandardError().contains("not saved"));
    else
        QVERIFY(QFileInfo(QFile::decodeName(ini)).isSymLink() || QFileInfo(QFile::decodeName(ini)).exists());
}

QTEST_MAIN(HostileInputTest)
#include "hostile_input_test.moc"
