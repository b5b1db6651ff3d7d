#include "host/engine_host.h"

#include "engine/link_logic.h"
#include "engine/packet_logic.h"
#include "engine/sjis.h"

namespace kd36 {

EngineHost::EngineHost(Views views, MessageBoxes& boxes, Clock& clk, DeviceOpener& opener,
                       std::function<void(uint64_t)> fireTimers, DisplayLibraryLoader* displayLoader,
                       std::function<void()> processEvents)
    : clock(clk)
    , incidents(boxes, clk)
    , port(clk, incidents, opener)
    , engine(EngineDeps{views.main, views.link, views.packet, incidents, clk, port, displayLoader, processEvents,
                       views.panel})
    , fireTimers_(std::move(fireTimers))
{
    for (const std::string& text : RsCommThread::lineErrorTexts())
        incidents.watch(text);
    // A dropped link fails the writes of a running sequence too: one incident.
    incidents.watch(kPortLostText, "link");
    incidents.watch("送信失敗", "link");
    incidents.setNote([this](const std::string& line) {
        {
            std::lock_guard g(mu_);
            notes_.push_back(line);
        }
        cv_.notify_one();
        if (notify_)
            notify_();
    });
    port.bindWindowFlags(engine.portOpenFlag(), engine.commandModeFlag());
    if (processEvents)
        port.setProcessEvents(std::move(processEvents));
    port.setDeliver([this](const std::string& piece) {
        {
            // The piece travels with its open, under the mutex: a hand-over
            // the race detector can follow.
            std::lock_guard g(mu_);
            pieces_.emplace_back(piece, port.pieceSession());
        }
        cv_.notify_one();
        if (notify_)
            notify_();
    });
    // The loss is acted on once, on the engine's side.
    port.setDeviceLost([this] {
        ++lostReports_;
        cv_.notify_one();
        if (lostNotify_)
            lostNotify_();
        else if (notify_)
            notify_();
    });
}

EngineHost::~EngineHost()
{
    shutDown();
    incidents.setNote(nullptr);
}

void EngineHost::constructBeforeSettings()
{
    engine.ConstructBeforeSettings();
}

void EngineHost::constructAfterSettings()
{
    engine.ConstructAfterSettings();
    engine.packetForm().Construct();
}

bool EngineHost::open(int portNumber, const PortSettings& settings)
{
    engine.setPort(portNumber, settings);
    return open();
}

bool EngineHost::open()
{
    if (!engine.portOpen())
        engine.mnuCommOpenClick();
    return engine.portOpen();
}

void EngineHost::close()
{
    if (engine.portOpen())
        engine.mnuCommOpenClick();
}

void EngineHost::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    incidents.beginClosing();
    engine.FormClose();
    close();
    // Unbinds the callbacks into this host before its members go.
    port.shutdown(3000);
}

bool EngineHost::release(unsigned long boundMs)
{
    shutDown_ = true;
    incidents.beginClosing();
    return port.shutdown(boundMs);
}

void EngineHost::linkTimer(TimerId id)
{
    engine.linkForm().onTimer(id);
}

void EngineHost::linkShown()
{
    engine.linkForm().FormShow();
}

void EngineHost::linkHidden()
{
    engine.linkForm().FormHide();
}

void EngineHost::packetShown()
{
    engine.packetForm().FormShow();
}

void EngineHost::packetHidden()
{
    engine.packetForm().FormHide();
}

bool EngineHost::pieceWaiting()
{
    std::lock_guard g(mu_);
    return !pieces_.empty() || lostReports_ > lostHandled_;
}

void EngineHost::waitForPiece(uint64_t ms)
{
    std::unique_lock lk(mu_);
    cv_.wait_for(lk, std::chrono::milliseconds(ms), [this] { return !pieces_.empty() || lostReports_ > lostHandled_; });
}

std::optional<std::string> EngineHost::nextPiece()
{
    for (;;) {
        std::pair<std::string, uint64_t> p;
        {
            std::lock_guard g(mu_);
            if (pieces_.empty())
                return std::nullopt;
            p = std::move(pieces_.front());
            pieces_.pop_front();
        }
        if (!port.isCurrentSession(p.second))
            continue;
        if (tap_)
            tap_(p.first);
        ++piecesHandedOver;
        return std::move(p.first);
    }
}

bool EngineHost::takeLoss()
{
    const int reports = lostReports_;
    if (reports <= lostHandled_)
        return false;
    lostHandled_ = reports;
    engine.portLost();
    return true;
}

bool EngineHost::takeNotes()
{
    std::deque<std::string> notes;
    {
        std::lock_guard g(mu_);
        notes.swap(notes_);
    }
    for (const std::string& line : notes) {
        engine.EchoMonitor(sj(line) + "\r\n");
        if (engine.observer())
            engine.observer()->error(line);
    }
    return !notes.empty();
}

bool EngineHost::passAllowed() const
{
    return !inStep_ && engine.passAllowed() && (!gate_ || gate_());
}

bool EngineHost::idlePass()
{
    if (!passAllowed())
        return false;
    engine.OnIdle();
    return true;
}

void EngineHost::step()
{
    if (!passAllowed())
        return;
    inStep_ = true;
    struct Done {
        bool& f;
        ~Done() { f = false; }
    } done{inStep_};

    // What has come so far; later pieces wait for the next step.
    size_t waiting = 0;
    {
        std::lock_guard g(mu_);
        waiting = pieces_.size();
    }
    for (; waiting > 0; --waiting) {
        std::optional<std::string> p = nextPiece();
        if (!p)
            break;
        engine.handOver(*p);
    }
    takeLoss();
    takeNotes();
    const uint64_t t0 = clock.nowUs();
    if (fireTimers_)
        fireTimers_(clock.nowMs());
    engine.OnIdle();
    const uint64_t took = clock.nowUs() - t0;
    if (took > longestPassUs)
        longestPassUs = took;
}

} // namespace kd36
