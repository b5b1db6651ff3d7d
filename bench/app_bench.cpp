// Benchmarks on the real main window (offscreen): communication-mode
// receive, the idle window (against a bare Qt window), start-up to the
// first paint.
// The modem first: its header declares a member that Qt defines as a macro.
#include "sim/simulated_modem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <cstdio>
#include <cstring>
#include <memory>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/main_form.h"
#include "bench/bench_common.h"
#include "serial/rs_comm_thread.h"
#include "serial/termios_device.h"
#include "tests/support/pty_peer.h"

extern char** environ;

namespace kd36::bench {
namespace {

// Every box is recorded and answered "No": a benchmark must never block.
class CountingBoxes : public MessageBoxes {
public:
    void warning(const std::string& text, const std::string&, const std::string&) override { note(text); }
    void information(const std::string& text, const std::string&) override { note(text); }
    bool question(const std::string& text, bool) override
    {
        note(text);
        return false;
    }
    void beep() override {}
    int count = 0;

private:
    void note(const std::string& text)
    {
        ++count;
        std::printf("# box: %s\n", text.c_str());
    }
};

// The window on COM1 = a simulated modem at `baud`, both ends matched, or
// the device `line` makes.
struct Window {
    explicit Window(uint32_t baud, std::function<std::unique_ptr<Device>()> device = {})
    {
        ModemSettings s = memory->load();
        s.line.rate = baud;
        memory->store(s);
        TMainForm::Options o;
        o.clock = &clock;
        o.boxes = &boxes;
        o.useSettingsFile = false;
        o.simulator = [this] {
            auto m = std::make_unique<SimulatedModem>(clock, memory);
            modem = m.get();
            return std::unique_ptr<Device>(std::move(m));
        };
        simulated = !device;
        if (device)
            o.simulator = std::move(device);
        o.displayFolders << QStringLiteral("/nonexistent");
        form = std::make_unique<TMainForm>(o);
        PortSettings line = form->engine().portSettings();
        line.BaudRate = baud;
        form->engine().setPort(form->engine().portNumber(), line);
        form->show();
    }
    ~Window()
    {
        form->close();
        form.reset();
    }
    void click(const char* name) { form->findChild<QAbstractButton*>(QString::fromLatin1(name))->click(); }
    bool openPort()
    {
        click("btnComPort");
        wait(100);
        return form->engine().portOpen() && (modem.load() || !simulated);
    }
    static void wait(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    SteadyClock clock;
    CountingBoxes boxes;
    std::shared_ptr<ModemMemory> memory = std::make_shared<ModemMemory>();
    std::atomic<SimulatedModem*> modem{nullptr};
    bool simulated = true;
    std::unique_ptr<TMainForm> form;
};

// Lateness of a 5 ms timer on the user-interface thread.
class StallMeter {
public:
    StallMeter()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kPeriodMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const uint64_t t = nowUs();
            if (last_ != 0) {
                const int64_t late = int64_t(t - last_) - kPeriodMs * 1000;
                if (late > maxLateUs)
                    maxLateUs = late;
                if (late > 20'000)
                    ++over20ms;
            }
            last_ = t;
        });
    }
    void start()
    {
        last_ = 0;
        maxLateUs = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }
    int64_t maxLateUs = 0;
    int over20ms = 0;

private:
    static constexpr int kPeriodMs = 5;
    QTimer timer_;
    uint64_t last_ = 0;
};

} // namespace

int runComm(uint32_t baud, int seconds)
{
    Window w(baud);
    if (!w.openPort()) {
        std::printf("# comm-%u: the port did not open\n", baud);
        return 1;
    }
    w.click("spbCommunicationMode");
    w.wait(100);
    if (w.form->engine().commandMode() || !w.modem.load()->dtr()) {
        std::printf("# comm-%u: not in communication mode\n", baud);
        return 1;
    }

    // Count what the window hands to the engine, in order, against the
    // generator's text: the window's own hand-over, seen on its way.
    uint64_t matched = 0;  // bytes received equal to the generator's text so far
    uint64_t received = 0; // bytes handed over
    uint64_t pieces = 0;
    bool corrupt = false;
    TMainForm* form = w.form.get();
    form->setPieceTap([&matched, &received, &pieces, &corrupt](const std::string& piece) {
        received += piece.size();
        ++pieces;
        if (!corrupt) {
            if (SimulatedModem::streamText(matched, piece.size()) == piece)
                matched += piece.size();
            else
                corrupt = true;
        }
    });

    StallMeter stall;
    SimulatedModem* modem = w.modem.load();
    const double cpu0 = cpuSeconds();
    const uint64_t t0 = nowUs();
    modem->setStreamRate(baud / 10); // 8N1: ten bits a byte
    stall.start();
    w.wait(seconds * 1000);
    modem->setStreamRate(0);
    const uint64_t t1 = nowUs();
    const double cpu1 = cpuSeconds();
    stall.stop();
    w.wait(500); // the line and the hand-overs drain
    const uint64_t produced = modem->streamPosition();
    const SimulatorStats st = modem->stats();
    const double traffic = double(t1 - t0) / 1e6;
    const uint64_t lost = produced - std::min(produced, matched);
    std::printf("# comm-%u: produced=%llu received=%llu matched=%llu pieces=%llu dropped-at-driver=%llu corrupt=%d "
                "memTerm=%zu bytes, timer periods late by >20 ms: %d, boxes: %d\n",
                baud, static_cast<unsigned long long>(produced), static_cast<unsigned long long>(received),
                static_cast<unsigned long long>(matched), static_cast<unsigned long long>(pieces),
                static_cast<unsigned long long>(st.bytesDropped), int(corrupt), form->engine().terminalMonitor().text().size(),
                stall.over20ms, w.boxes.count);
    const std::string rate = std::to_string(baud);
    figure("comm-" + rate + "-lost", double(lost), "bytes", 0, "0");
    figure("comm-" + rate + "-cpu", (cpu1 - cpu0) / traffic, "cpu-s/s", 0, "-");
    figure("comm-" + rate + "-ui-stall", double(stall.maxLateUs) / 1000.0, "ms", 0, "<50");
    form->setPieceTap({});
    w.wait(200); // nothing queued may outlive the counters
    return lost == 0 && !corrupt ? 0 : 1;
}

namespace {

// CPU and wake-ups over one idle stretch: the whole process, and the
// user-interface thread (this one) on its own.
struct IdleMeter {
    static double threadCpu()
    {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
    }
    // Context switches of one thread (a wake-up from a wait is one of them).
    static long switches(const std::string& task)
    {
        std::ifstream in("/proc/self/task/" + task + "/status");
        std::string line;
        long n = 0;
        while (std::getline(in, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                n += std::stol(line.substr(line.find(':') + 1));
        return n;
    }
    static long allSwitches()
    {
        long n = 0;
        for (const auto& e : std::filesystem::directory_iterator("/proc/self/task"))
            n += switches(e.path().filename().string());
        return n;
    }
    void start()
    {
        cpu0 = cpuSeconds();
        ui0 = threadCpu();
        sw0 = switches(std::to_string(gettid()));
        all0 = allSwitches();
        t0 = nowUs();
    }
    void stop()
    {
        wall = double(nowUs() - t0) / 1e6;
        cpu = 100.0 * (cpuSeconds() - cpu0) / wall;
        uiCpu = 100.0 * (threadCpu() - ui0) / wall;
        uiWakeups = double(switches(std::to_string(gettid())) - sw0) / wall;
        allWakeups = double(allSwitches() - all0) / wall;
    }
    double cpu0 = 0, ui0 = 0, wall = 0, cpu = 0, uiCpu = 0, uiWakeups = 0, allWakeups = 0;
    long sw0 = 0, all0 = 0;
    uint64_t t0 = 0;
};

// COM1 as the pseudo-terminal at `path`.
std::function<std::unique_ptr<Device>()> ptyLine(const std::string& path)
{
    return [path] {
        int err = 0;
        return std::unique_ptr<Device>(TermiosDevice::open(path, err));
    };
}

// One idle stretch of `seconds` on the user-interface thread.
IdleMeter idleFor(int seconds)
{
    IdleMeter m;
    m.start();
    Window::wait(seconds * 1000);
    m.stop();
    return m;
}

// The floor: a bare Qt window of the tool's size, idle.
IdleMeter bareWindowIdle(int seconds)
{
    QWidget window;
    window.resize(720, 508);
    auto* label = new QLabel(QStringLiteral("KD-36"), &window);
    label->move(10, 10);
    window.show();
    Window::wait(1000);
    return idleFor(seconds);
}

} // namespace

// The floor (a bare Qt window), then the tool's window with the port
// closed, idle, in one process on the platform Qt runs on.
int runIdle(int seconds)
{
    const std::string plat = QGuiApplication::platformName().toStdString();
    const std::string p = "idle-" + plat + "-";
    const IdleMeter bare = bareWindowIdle(seconds);
    Window w(9600);
    Window::wait(1000); // settle after the start
    const uint64_t passes0 = w.form->passCount();
    const IdleMeter closed = idleFor(seconds);
    const uint64_t closedPasses = w.form->passCount() - passes0;
    // One pass on its own, without the wake-up that runs it.
    constexpr int kPasses = 5000;
    const double pass0 = IdleMeter::threadCpu();
    for (int i = 0; i < kPasses; ++i)
        w.form->idlePass();
    const double passUs = (IdleMeter::threadCpu() - pass0) * 1e6 / kPasses;
    const long rssKb = statusKb("VmRSS");
    using Row = std::pair<const char*, const IdleMeter*>;
    for (auto [name, m] : {Row{"bare", &bare}, Row{"closed", &closed}})
        std::printf("# idle %s/%s: process %.3f %%, UI thread %.3f %%, UI wake-ups %.1f/s, all threads %.1f/s\n",
                    plat.c_str(), name, m->cpu, m->uiCpu, m->uiWakeups, m->allWakeups);
    std::printf("# idle: passes with the port closed: %llu; boxes: %d\n",
                static_cast<unsigned long long>(closedPasses), w.boxes.count);
    figure(p + "bare-cpu", bare.cpu, "%core", 0, "-");
    figure(p + "closed-cpu", closed.cpu, "%core", 0, "<=0.1");
    figure(p + "closed-ui-wakeups", closed.uiWakeups, "1/s", 0, "<1");
    figure(p + "pass", passUs, "us", 0, "-");
    figure(p + "rss", double(rssKb) / 1024.0, "MB", 0, "<60");
    return 0;
}

// The window with its port open and nothing happening: on the simulated
// modem, and on a pseudo-terminal whose far end is held open and silent,
// beside a bare Qt window measured in the same run (the floor).
int runIdleOpen(int seconds)
{
    const std::string plat = QGuiApplication::platformName().toStdString();
    const std::string p = "idle-open-" + plat + "-";
    const IdleMeter bare = bareWindowIdle(seconds);
    auto openIdle = [seconds](Window& w, const char* what, IdleMeter& m, double& passRate) {
        if (!w.openPort()) {
            std::printf("# idle-open: the port on %s did not open\n", what);
            return false;
        }
        Window::wait(1000);
        const uint64_t passes0 = w.form->passCount();
        m = idleFor(seconds);
        passRate = double(w.form->passCount() - passes0) / m.wall;
        return w.boxes.count == 0;
    };
    IdleMeter sim, pty;
    double simPasses = 0, ptyPasses = 0;
    bool ok;
    {
        Window w(9600);
        ok = openIdle(w, "the simulated modem", sim, simPasses);
    }
    test::PtyPeer line; // not started: the far end is held open and silent
    {
        Window w(9600, ptyLine(line.path()));
        ok = openIdle(w, line.path().c_str(), pty, ptyPasses) && ok;
    }
    using Row = std::pair<const char*, const IdleMeter*>;
    for (auto [name, m] : {Row{"bare window", &bare}, Row{"open on the simulated modem", &sim}, Row{"open on a pty", &pty}})
        std::printf("# idle-open %s/%s: process %.3f %%, UI thread %.3f %%, all threads %.1f wake-ups/s\n",
                    plat.c_str(), name, m->cpu, m->uiCpu, m->allWakeups);
    std::printf("# idle-open: passes per second, simulated modem %.2f, pty %.2f\n", simPasses, ptyPasses);
    figure(p + "floor-cpu", bare.cpu, "%core", 0, "-");
    figure(p + "floor-wakeups", bare.allWakeups, "1/s", 0, "-");
    figure(p + "sim-cpu", sim.cpu, "%core", 0, "<=0.1");
    figure(p + "sim-wakeups", sim.allWakeups, "1/s", 0, "<=1");
    figure(p + "pty-cpu", pty.cpu, "%core", 0, "<=0.1");
    figure(p + "pty-wakeups", pty.allWakeups, "1/s", 0, "<=21");
    return ok ? 0 : 1;
}

namespace {

// Median and 99th percentile of microsecond samples, in ms.
std::pair<double, double> medianAndP99(std::vector<uint64_t> us)
{
    if (us.empty())
        return {-1, -1};
    std::sort(us.begin(), us.end());
    const double p99 = double(us[std::min(us.size() - 1, us.size() * 99 / 100)]) / 1000.0;
    return {double(us[us.size() / 2]) / 1000.0, p99};
}

// The floor: a script that sends the next command as soon as a reply's
// line end is in, on the same pty.
std::vector<uint64_t> minimalScript(test::PtyPeer& peer, int reads)
{
    peer.clearLines();
    int fd = ::open(peer.path().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return {};
    static const char* const kCommands[] = {"@INIT", "@EQID", "@FREQ", "@ROUT", "@INIT", "@INFO", "@COMS"};
    for (int r = 0; r < reads; ++r)
        for (const char* c : kCommands) {
            const std::string line = std::string(c) + "\r\n";
            if (::write(fd, line.data(), line.size()) != ssize_t(line.size()))
                break;
            char ch = 0;
            while (::read(fd, &ch, 1) == 1 && ch != '\n') {
            }
        }
    ::close(fd);
    return peer.turnaroundsUs();
}

} // namespace

// From a reply's last byte to the next command's first byte, on a pty
// whose far end answers at once: the window reading the settings, kd36ctl
// reading them as a script runs it, and a minimal script (the floor).
int runTurnaround(int runs)
{
    test::PtyPeer peer;
    if (!peer.ok())
        return 1;
    peer.start();
    const auto floor = medianAndP99(minimalScript(peer, runs));

    // The window, first against the instant peer, then against one that
    // answers after the simulated modem's stated reply delay.
    auto windowRun = [&] {
        std::vector<uint64_t> got;
        Window w(9600, ptyLine(peer.path()));
        if (!w.openPort()) {
            std::printf("# turnaround: the window did not open %s\n", peer.path().c_str());
            return got;
        }
        for (int i = 0; i < runs; ++i) {
            peer.clearLines();
            w.click("spbRead");
            QElapsedTimer t;
            t.start();
            while ((w.form->engine().step() != 0 || peer.lines().size() < 7) && t.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const std::vector<uint64_t> run = peer.turnaroundsUs();
            got.insert(got.end(), run.begin(), run.end());
        }
        return got;
    };
    const std::vector<uint64_t> window = windowRun();
    peer.setReplyDelayUs(uint32_t(SimulatedModem::kReplyDelayUs));
    const std::vector<uint64_t> windowModem = windowRun();
    peer.setReplyDelayUs(0);

    std::vector<uint64_t> ctl;
    const std::string ini = "/tmp/kd36-turnaround-" + std::to_string(getpid()) + ".ini";
    if (FILE* f = std::fopen(ini.c_str(), "w"))
        std::fclose(f);
    for (int i = 0; i < runs; ++i) {
        peer.clearLines();
        timedRun({"read", peer.path(), "--ini", ini});
        const std::vector<uint64_t> got = peer.turnaroundsUs();
        ctl.insert(ctl.end(), got.begin(), got.end());
    }
    std::remove(ini.c_str());

    const auto win = medianAndP99(window), winModem = medianAndP99(windowModem), tool = medianAndP99(ctl);
    std::printf("# turnaround: %zu exchanges in the window, %zu through kd36ctl; minimal script median %.3f ms, "
                "99th %.3f ms\n",
                window.size(), ctl.size(), floor.first, floor.second);
    figure("turnaround-floor-median", floor.first, "ms", 0, "-");
    figure("turnaround-window-median", win.first, "ms", 0, "<=0.3");
    figure("turnaround-window-p99", win.second, "ms", 0, "<=1");
    figure("turnaround-window-modem-median", winModem.first, "ms", 0, "<=0.3");
    figure("turnaround-window-modem-p99", winModem.second, "ms", 0, "<=1");
    figure("turnaround-ctl-median", tool.first, "ms", 0, "<=0.3");
    figure("turnaround-ctl-p99", tool.second, "ms", 0, "<=1");
    return window.size() >= size_t(runs) * 6 && windowModem.size() >= size_t(runs) * 6 && ctl.size() >= size_t(runs) * 6
        ? 0
        : 1;
}

// A backlog received while a message box holds the idle loop: the bytes
// are handed over as the receive thread hands them (queued to the window),
// the box is closed once all are queued, and the clock runs until the last
// line is parsed and the window has painted it. Every line is a reply that
// changes a field, so the field's changes count the lines that arrived.
int runBacklog(int megabytes)
{
    Window w(38400);
    if (!w.openPort()) {
        std::printf("# backlog: the port did not open\n");
        return 1;
    }
    TMainForm* form = w.form.get();
    auto* field = form->findChild<QLineEdit*>(QStringLiteral("edtRead12"));
    auto* monitor = form->findChild<QPlainTextEdit*>(QStringLiteral("memTxRxMonitor"));
    uint64_t changes = 0;
    QObject::connect(field, &QLineEdit::textChanged, [&changes] { ++changes; });

    // ">INFO:U=" line number "/N=" filler: 80 bytes a line.
    const uint64_t total = uint64_t(megabytes) * 1000 * 1000 / 80 * 80;
    const uint64_t lines = total / 80;
    auto lineText = [](uint64_t n) {
        char buf[96];
        std::snprintf(buf, sizeof buf, ">INFO:U=%08llu/N=%s\r\n", static_cast<unsigned long long>(n),
                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456");
        return std::string(buf);
    };
    const std::string lastValue = lineText(lines - 1).substr(8, 8);

    std::ofstream("/proc/self/clear_refs") << "5"; // peak RSS from here
    const long rss0 = statusKb("VmRSS");
    std::atomic<uint64_t> handed{0};
    std::thread producer;
    QMessageBox box(QMessageBox::Information, QStringLiteral("KD-36"), QStringLiteral("A box is open"),
                    QMessageBox::Ok, form);
    uint64_t closedAt = 0;
    uint64_t queued = 0; // in the receive queue when the box closes
    QTimer::singleShot(0, [&] {
        producer = std::thread([&] {
            std::string piece;
            for (uint64_t n = 0; n < lines; ++n) {
                piece += lineText(n);
                if (piece.size() >= 2000 || n + 1 == lines) {
                    QMetaObject::invokeMethod(
                        form,
                        [form, piece, &handed] {
                            form->engine().handOver(piece);
                            handed += piece.size();
                            form->idlePass();
                        },
                        Qt::QueuedConnection);
                    piece.clear();
                }
            }
        });
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (handed.load() == total && closedAt == 0) {
            queued = form->engine().receivedPending();
            closedAt = nowUs();
            box.accept();
        }
    });
    poll.start(5);
    box.exec();
    poll.stop();
    producer.join();
    // Caught up: the last line is in its field and in the monitor, painted.
    QElapsedTimer limit;
    limit.start();
    while ((field->text().toStdString() != lastValue || form->engine().receivedPending() != 0) && limit.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const bool shown = monitor->toPlainText().endsWith(QString::fromStdString(lineText(lines - 1)).trimmed());
    form->repaint();
    const double catchUp = double(nowUs() - closedAt) / 1e6;
    const long hwm = statusKb("VmHWM");
    const double growthMb = double(hwm - rss0) / 1024.0 - double(total) / (1024.0 * 1024.0);
    const uint64_t lost = (total - std::min<uint64_t>(total, handed.load())) + (lines - std::min(lines, changes)) * 80;
    std::printf("# backlog: %llu bytes in %llu lines queued behind a box (%llu in the queue at OK); lines parsed %llu; "
                "last line shown %d; RSS %ld kB before, peak %ld kB; monitor %lld chars\n",
                static_cast<unsigned long long>(total), static_cast<unsigned long long>(lines),
                static_cast<unsigned long long>(queued), static_cast<unsigned long long>(changes), int(shown), rss0,
                hwm, static_cast<long long>(monitor->toPlainText().size()));
    const std::string name = "backlog-" + std::to_string(megabytes) + "MB";
    figure(name + "-catch-up", catchUp, "s", 2.0, "<1");
    figure(name + "-rss-growth", growthMb, "MB", 20.0, "<1");
    figure(name + "-lost", double(lost), "bytes", 0, "0");
    // A backlog that never built up would measure nothing.
    return catchUp < 2.0 && growthMb < 20.0 && lost == 0 && shown && queued == total ? 0 : 1;
}

// The child: the window as main() builds it, without the settings file;
// prints the microseconds from entry to the window's first paint.
int runStartupChild(int argc, char** argv)
{
    const uint64_t t0 = nowUs();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kd36setup"));
    TMainForm::Options o;
    o.useSettingsFile = false;
    TMainForm form(o);
    struct FirstPaint : QObject {
        QWidget* window = nullptr;
        uint64_t at = 0;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (at == 0 && e->type() == QEvent::Paint && o->isWidgetType()
                && static_cast<QWidget*>(o)->window() == window) {
                at = nowUs();
                QTimer::singleShot(0, qApp, &QCoreApplication::quit); // after this paint completes
            }
            return false;
        }
    } filter;
    filter.window = &form;
    app.installEventFilter(&filter);
    form.show();
    QTimer::singleShot(10000, qApp, &QCoreApplication::quit);
    app.exec();
    const uint64_t painted = nowUs();
    app.removeEventFilter(&filter);
    std::printf("PAINTED %llu %llu\n", static_cast<unsigned long long>(filter.at ? filter.at - t0 : 0),
                static_cast<unsigned long long>(painted - t0));
    std::fflush(stdout);
    return filter.at ? 0 : 1;
}

// Spawns the child `runs` times; the process figure runs from the spawn to
// the child's report of its first paint.
int runStartup(const char* self, int runs)
{
    std::vector<double> process, inProcess;
    for (int i = 0; i < runs; ++i) {
        int fds[2];
        if (pipe(fds) != 0)
            return 1;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        char arg1[] = "startup-child";
        char* argv[] = {const_cast<char*>(self), arg1, nullptr};
        pid_t pid = 0;
        const uint64_t t0 = nowUs();
        int rc = posix_spawn(&pid, self, &fa, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            return 1;
        }
        std::string out;
        char buf[256];
        uint64_t t1 = 0;
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) {
            out.append(buf, size_t(n));
            if (t1 == 0 && out.find("PAINTED") != std::string::npos)
                t1 = nowUs();
        }
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        unsigned long long firstPaintUs = 0, quitUs = 0;
        const size_t at = out.find("PAINTED");
        if (at == std::string::npos || std::sscanf(out.c_str() + at, "PAINTED %llu %llu", &firstPaintUs, &quitUs) != 2
            || firstPaintUs == 0) {
            std::printf("# startup run %d: no paint reported\n", i);
            return 1;
        }
        // The report follows the first paint by the time the child took to quit.
        process.push_back(double(t1 - t0 - (quitUs - firstPaintUs)) / 1000.0);
        inProcess.push_back(double(firstPaintUs) / 1000.0);
    }
    std::printf("# startup runs (process, ms):");
    for (double v : process)
        std::printf(" %.1f", v);
    std::printf("\n");
    figure("startup-process", median(process), "ms", 0, "-");
    figure("startup-inprocess", median(inProcess), "ms", 0, "-");
    return 0;
}

} // namespace kd36::bench
