#pragma once
// kd36ctl's run: the options it was given and the session that presses the
// window's buttons on headless views. The commands share it.
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/settings_file.h"
#include "sim/simulator_factory.h"
#include "host/engine_host.h"
#include "ctl/headless_boxes.h"
#include "host/headless_view.h"
#include "serial/port_catalog.h"

namespace kd36::ctl {

constexpr int kOk = 0;
constexpr int kNoAnswer = 1;
constexpr int kUsage = 2;

// Set by SIGINT/SIGTERM/SIGHUP: the run ends between passes.
extern volatile sig_atomic_t g_signal;

struct Options {
    std::string command;
    std::vector<std::string> args;
    bool json = false;
    bool verify = false;
    int waitMs = 1400;
    int intervalS = 10; // watch: seconds between rounds
    int count = 0;      // watch: rounds; 0 until interrupted
    std::string ini;
    std::optional<uint32_t> baud;
    std::optional<uint8_t> dataBits, parity, stopBits;
    std::optional<int8_t> flow;
};

struct UsageError {
    std::string text;
};

// The catalog's opener, remembering why the last open failed.
class RecordingOpener final : public DeviceOpener {
public:
    explicit RecordingOpener(PortCatalog& c) : catalog(c) {}
    std::unique_ptr<Device> open(int n, int& err) override
    {
        auto d = catalog.open(n, err);
        lastError = d ? 0 : err;
        return d;
    }
    std::vector<std::string> portNames() override { return catalog.portNames(); }
    std::string portDescription(int n) override { return catalog.describe(n); }
    std::string permissionHint(int n) override { return catalog.permissionHint(n); }
    PortCatalog& catalog;
    int lastError = 0;
};

class Session {
public:
    Session(const Options& o, std::map<int, std::string> pins, SimulatorSetup sim = {})
        : opt(o)
        , main(WindowKind::Main)
        , link(WindowKind::Link)
        , packet(WindowKind::Packet)
        , catalog(std::move(pins))
        , opener(catalog)
        , host(EngineHost::Views{main, link, packet}, boxes, clock, opener, [this](uint64_t now) {
            main.fireDueTimers(now);
            link.fireDueTimers(now);
        })
    {
        catalog.setSimulatorFactory([this, sim] { return makeSimulatedModem(clock, sim); });
        for (HeadlessView* v : {&main, &link, &packet})
            v->nowMs = [this] { return clock.nowMs(); };
        main.onTimer = [this](TimerId n) {
            if (n == TimerId::RxWait && host.engine().step() != 0 && host.engine().step() % 2 == 0)
                timedOut.push_back(host.engine().sequenceCommand());
            host.mainTimer(n);
        };
        link.onTimer = [this](TimerId n) { host.linkTimer(n); };
        link.onShow = [this] { host.linkShown(); };
        link.onHide = [this] { host.linkHidden(); };
        packet.onShow = [this] { host.packetShown(); };
        packet.onHide = [this] { host.packetHidden(); };
        host.setPieceTap([this](const std::string& p) { received += p; });
        // From the receive thread: a queued call by name carries nothing of
        // ours across, so the hand-over stays visible to the race detector.
        passSoon.setSingleShot(true);
        passSoon.setInterval(0);
        QObject::connect(&passSoon, &QTimer::timeout, &loopOwner, [this] { pass(); });
        idle.setSingleShot(true);
        QObject::connect(&idle, &QTimer::timeout, &loopOwner, [this] { pass(); });
        host.setPieceNotify([this] { QMetaObject::invokeMethod(&passSoon, "start", Qt::QueuedConnection); });
    }

    // The window's start: construction, the settings file, the templates.
    void start(const std::string& settingsFile)
    {
        if (settingsFile.empty()) {
            host.start();
            return;
        }
        // The panel stays as the window starts it: a write sends the
        // profile, never the window's last session.
        host.start([&settingsFile](StoredSettings& s, SettingPanel&) { LoadLineSettings(settingsFile, s); });
    }

    // One pass; the run's loop ends when its condition holds, or waits
    // for the next thing to happen.
    void pass()
    {
        // Nothing may leave through Qt's event loop: a fault ends the run.
        try {
            if (fault.empty())
                host.step();
        } catch (const std::exception& e) {
            fault = e.what();
        }
        if (!loop)
            return;
        wakeAtMs = UINT64_MAX; // the condition asks again
        if (!fault.empty() || until() || g_signal || clock.nowMs() >= deadline) {
            loop->quit();
            return;
        }
        // A piece, a lamp or a signal brings its own pass; otherwise the
        // next timer, the end, or the engine's own cadence.
        const uint64_t due = host.nextPassDueMs(std::min({deadline, wakeAtMs, main.nextDueMs(), link.nextDueMs()}));
        const uint64_t now = clock.nowMs();
        idle.start(int(std::min<uint64_t>(due > now ? due - now : 0, 60'000)));
    }

    // A condition that turns true with time alone asks for a pass then.
    void wakeAt(uint64_t ms) { wakeAtMs = std::min(wakeAtMs, ms); }

    // Runs passes (at each hand-over, timer and lamp change) until pred()
    // or maxMs. False when interrupted by a signal or out of time.
    bool runUntil(std::function<bool()> pred, uint64_t maxMs)
    {
        if (pred())
            return true;
        until = std::move(pred);
        deadline = clock.nowMs() + maxMs;
        QEventLoop l;
        loop = &l;
        QMetaObject::invokeMethod(&loopOwner, [this] { pass(); }, Qt::QueuedConnection);
        l.exec();
        loop = nullptr;
        idle.stop();
        if (!fault.empty())
            throw std::runtime_error(fault);
        return !g_signal && until();
    }

    const Options& opt;
    SteadyClock clock;
    HeadlessBoxes boxes;
    HeadlessView main, link, packet;
    PortCatalog catalog;
    RecordingOpener opener;
    QObject loopOwner;
    QTimer passSoon;
    QTimer idle; // the next pass nothing else brings
    EngineHost host;
    std::vector<std::string> timedOut;
    std::string received;
    std::string fault;

private:
    QEventLoop* loop = nullptr;
    std::function<bool()> until = [] { return false; };
    uint64_t deadline = 0;
    uint64_t wakeAtMs = UINT64_MAX;
};

// The commands; each returns the exit status.
int cmdRead(Session& s);
int cmdSend(Session& s, const std::string& text);
int cmdAnswerBack(Session& s, const std::vector<int>& stations);
int cmdWatch(Session& s, const std::vector<int>& stations);
int cmdWrite(Session& s, const std::string& path);
int cmdClone(Session& s, const std::string& path);
int listPorts(PortCatalog& catalog, bool json);
// A station list such as "2,5,9"; UsageError when an item is not one hex digit.
std::vector<int> parseStations(const std::string& list);

} // namespace kd36::ctl
