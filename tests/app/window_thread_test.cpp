// The main window and its receive thread on the real clock: closing while
// the thread waits on a box, shutting down in every state, and the three
// timers that time replies never firing early.
// The modem first: its header declares a member that Qt defines as a macro.
#include "sim/simulated_modem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "app/main_form.h"
#include "dialogs/link_form.h"
#include "app/qt_boxes.h"
#include "app/qt_view.h"
#include "ui_main_form.h"

using namespace kd36;

namespace {

// A hang is a failure: the process ends with a message instead of waiting
// for ctest's time-out.
class Watchdog {
public:
    Watchdog(const char* what, int seconds) : what_(what)
    {
        thread_ = std::thread([this, seconds] {
            std::unique_lock l(m_);
            if (!cv_.wait_for(l, std::chrono::seconds(seconds), [this] { return done_; })) {
                std::fprintf(stderr, "FAIL: %s did not finish (hung)\n", what_);
                std::fflush(stderr);
                std::_Exit(3);
            }
        });
    }
    ~Watchdog()
    {
        {
            std::lock_guard l(m_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    const char* what_;
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// Lets the receive thread run without the window's thread taking events.
void sleepWithoutEvents(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

class WindowThreadTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void closeWhileTheLoopWaitsOnABox();
    void shutdownInEveryState_data();
    void shutdownInEveryState();
    void replyTimersNeverFireEarly();

private:
    void makeForm();
    void openPort();
    Ui::TMainForm& ui() { return form->form(); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;
    std::atomic<SimulatedModem*> modem{nullptr};
    SteadyClock clock;
    int boxesShown = 0;
};

void WindowThreadTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    boxesShown = 0;
    makeForm();
}

void WindowThreadTest::cleanup()
{
    Watchdog dog("cleanup", 20);
    if (form)
        form->close();
    form.reset();
    modem = nullptr;
}

void WindowThreadTest::makeForm()
{
    TMainForm::Options o;
    o.clock = &clock;
    o.settingsPath = dir->filePath("kd36setup.ini").toStdString();
    o.simulator = [this] {
        auto m = std::make_unique<SimulatedModem>(clock);
        modem = m.get();
        return std::unique_ptr<Device>(std::move(m));
    };
    o.displayFolders << dir->path();
    form = std::make_unique<TMainForm>(o);
    form->qtBoxes()->onShow = [this](QWidget* w) {
        ++boxesShown;
        auto* box = qobject_cast<QMessageBox*>(w);
        QTimer::singleShot(0, box, [box] { box->buttons().first()->click(); });
    };
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void WindowThreadTest::openPort()
{
    ui().btnComPort->click();
    QCOMPARE(ui().btnComPort->text(), QString("通信ポート OFF"));
    QVERIFY(modem.load());
    QTest::qWait(50);
}

void WindowThreadTest::closeWhileTheLoopWaitsOnABox()
{
    Watchdog dog("closeWhileTheLoopWaitsOnABox", 30);
    openPort();
    // The next pass finds a framing error and asks the window for a box;
    // the window is busy, so the thread waits.
    modem.load()->raiseLineErrors(CE_FRAME);
    sleepWithoutEvents(150);

    QElapsedTimer t;
    t.start();
    ui().btnComPort->click(); // closes the port
    const qint64 took = t.elapsed();
    qInfo("close with the thread waiting on a box: %lld ms", took);
    QVERIFY2(took < 100, qPrintable(QStringLiteral("close took %1 ms").arg(took)));
    QCOMPARE(ui().btnComPort->text(), QString("通信ポート ON "));

    // The box still comes, once the window takes its events; the port
    // opens again.
    QTRY_COMPARE(boxesShown, 1);
    openPort();
}

void WindowThreadTest::shutdownInEveryState_data()
{
    QTest::addColumn<QString>("state");
    for (const char* s : {"idle", "open", "flood", "box pending", "write in progress"})
        QTest::newRow(s) << QString::fromLatin1(s);
}

void WindowThreadTest::shutdownInEveryState()
{
    QFETCH(QString, state);
    Watchdog dog("shutdownInEveryState", 30);
    if (state != "idle")
        openPort();
    if (state == "flood") {
        ui().spbCommunicationMode->click();
        modem.load()->setStreamRate(11520); // as fast as 115200 bps
        QTest::qWait(300);
    } else if (state == "box pending") {
        modem.load()->raiseLineErrors(CE_OVERRUN);
        sleepWithoutEvents(150);
    } else if (state == "write in progress") {
        // CTS held low: the write waits for room, taking events meanwhile,
        // and the close asked for inside it waits for its end.
        modem.load()->setCtsHeld(true);
        QTimer::singleShot(100, form.get(), [this] { form->close(); });
        ui().txtEdit->setText(QStringLiteral("@INIT"));
        ui().spbCommandTx->click();
    }

    QElapsedTimer t;
    t.start();
    form->close();
    form.reset();
    const qint64 took = t.elapsed();
    qInfo("shutdown (%s): %lld ms", qPrintable(state), took);
    QVERIFY2(took < 1000, qPrintable(QStringLiteral("shutdown took %1 ms").arg(took)));
}

// Through the view, as the engine starts them: a coarse timer may fire up
// to 5 % early, which treats a modem answering just in time as silent.
void WindowThreadTest::replyTimersNeverFireEarly()
{
    struct Probe {
        QtView* view;
        TimerId id;
        const char* name;
        QTimer* timer;
        QElapsedTimer started;
        qint64 firedMs = -1;
        qint64 soonestMs = 1 << 30;
    };
    Probe probes[] = {
        {&form->view(), TimerId::RxWait, "timRxWait", nullptr, {}},
        {&form->linkView(), TimerId::WaitTime, "timWaitTime", nullptr, {}},
        {&form->view(), TimerId::IntervalTx, "timIntervalTx", nullptr, {}},
    };
    const int kIntervalMs = 1400;
    // One idle pass of the window, and what a busy machine adds to a wake-up.
    const int kPassMs = 10, kSlackMs = 15;
    for (Probe& p : probes) {
        p.timer = p.view->timer(p.id);
        QVERIFY2(p.timer, p.name);
        connect(p.timer, &QTimer::timeout, this, [&p] {
            if (p.firedMs < 0)
                p.firedMs = p.started.elapsed();
        });
    }
    // Several starts at different phases of the second: the coarse timer's
    // rounding depends on where in the second it starts.
    QStringList early, late;
    for (int round = 0; round < 3; ++round) {
        for (Probe& p : probes) {
            p.firedMs = -1;
            QTest::qWait(137);
            p.started.start();
            p.view->startTimer(p.id, kIntervalMs);
        }
        QTRY_VERIFY_WITH_TIMEOUT(probes[2].firedMs >= 0, 3000);
        for (Probe& p : probes) {
            p.view->stopTimer(p.id);
            qInfo("%s round %d: fired after %lld ms", p.name, round, p.firedMs);
            const QString what = QStringLiteral("%1 %2 ms").arg(QString::fromLatin1(p.name)).arg(p.firedMs);
            if (p.firedMs < kIntervalMs)
                early << what;
            p.soonestMs = std::min(p.soonestMs, p.firedMs);
        }
    }
    // Lateness: the best of the rounds, as a loaded machine delays single
    // wake-ups; a timer that is late by design is late every time.
    for (const Probe& p : probes)
        if (p.soonestMs > kIntervalMs + kPassMs + kSlackMs)
            late << QStringLiteral("%1 %2 ms").arg(QString::fromLatin1(p.name)).arg(p.soonestMs);
    QVERIFY2(early.isEmpty(), qPrintable(QStringLiteral("fired early: ") + early.join(QStringLiteral(", "))));
    QVERIFY2(late.isEmpty(), qPrintable(QStringLiteral("fired late: ") + late.join(QStringLiteral(", "))));
}

QTEST_MAIN(WindowThreadTest)
#include "window_thread_test.moc"
