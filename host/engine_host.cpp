#include "host/engine_host.h"

#include <algorithm>

#include "engine/link_logic.h"
#include "engine/packet_logic.h"
#include "engine/sjis.h"

namespace kd36 {

EngineHost::EngineHost(Views views, MessageBoxes& boxes, Clock& clk, DeviceOpener& opener,
                       std::function<void(uint64_t)> fireTimers, DisplayLibraryLoader* displayLoader,
                       std::function<void()> processEvents)
    : clock_(clk)
    , incidents_(boxes, clk)
    , port_(clk, incidents_, opener)
    , engine_(EngineDeps{views.main, views.link, views.packet, incidents_, clk, port_, displayLoader, processEvents,
                        views.panel})
    , fireTimers_(std::move(fireTimers))
{
    for (const std::string& text : RsCommThread::lineErrorTexts())
        incidents_.watch(text);
    // A dropped link fails the writes of a running sequence too: one incident.
    incidents_.watch(kPortLostText, "link");
    incidents_.watch("送信失敗", "link");
    incidents_.setNote([this](const std::string& text, unsigned count) {
        {
            std::lock_guard g(mu_);
            notes_.emplace_back(text, count);
        }
        cv_.notify_one();
        if (notify_)
            notify_();
    });
    port_.bindWindowFlags(engine_.portOpenFlag(), engine_.commandModeFlag());
    if (processEvents)
        port_.setProcessEvents(std::move(processEvents));
    port_.setDeliver([this](const std::string& piece) {
        {
            // The piece travels with its open, under the mutex: a hand-over
            // the race detector can follow.
            std::lock_guard g(mu_);
            pieces_.emplace_back(piece, port_.pieceSession());
        }
        cv_.notify_one();
        if (notify_)
            notify_();
    });
    // A lamp to show: a pass, like a piece.
    port_.setLinesChanged([this] {
        {
            std::lock_guard g(mu_);
            ++linesMoved_;
        }
        cv_.notify_one();
        if (notify_)
            notify_();
    });
    // The loss is acted on once, on the engine's side.
    port_.setDeviceLost([this] {
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
    incidents_.setNote(nullptr);
}

void EngineHost::start(const SettingsLoad& load)
{
    engine_.ConstructBeforeSettings();
    if (load) {
        StoredSettings s = storedSettings();
        SettingPanel panel = engine_.panel();
        load(s, panel);
        engine_.editPanel([&panel](SettingPanel& p) { p = panel; });
        engine_.setHomeUrl(s.home);
        engine_.setPort(s.port, s.com);
        engine_.setExtension(s.extension);
    }
    engine_.ConstructAfterSettings();
    engine_.packetForm().Construct();
}

StoredSettings EngineHost::storedSettings() const
{
    StoredSettings s;
    s.home = engine_.homeUrl();
    s.port = engine_.portNumber();
    s.com = engine_.portSettings();
    s.extension = engine_.extension();
    return s;
}

bool EngineHost::open(int portNumber, const PortSettings& settings)
{
    engine_.setPort(portNumber, settings);
    return open();
}

bool EngineHost::open()
{
    if (!engine_.portOpen())
        engine_.mnuCommOpenClick();
    return engine_.portOpen();
}

void EngineHost::close()
{
    if (engine_.portOpen())
        engine_.mnuCommOpenClick();
}

void EngineHost::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    incidents_.beginClosing();
    engine_.FormClose();
    close();
    // Unbinds the callbacks into this host before its members go.
    port_.shutdown(3000);
}

bool EngineHost::release(unsigned long boundMs)
{
    shutDown_ = true;
    incidents_.beginClosing();
    return port_.shutdown(boundMs);
}

void EngineHost::linkTimer(TimerId id)
{
    engine_.linkForm().onTimer(id);
}

void EngineHost::linkShown()
{
    engine_.linkForm().FormShow();
}

void EngineHost::linkHidden()
{
    engine_.linkForm().FormHide();
}

void EngineHost::packetShown()
{
    engine_.packetForm().FormShow();
}

void EngineHost::packetHidden()
{
    engine_.packetForm().FormHide();
}

bool EngineHost::pieceWaiting()
{
    std::lock_guard g(mu_);
    return somethingWaiting();
}

bool EngineHost::somethingWaiting() const
{
    return !pieces_.empty() || !notes_.empty() || linesMoved_ != linesShown_ || lostReports_ > lostHandled_;
}

void EngineHost::waitForPiece(uint64_t ms)
{
    std::unique_lock lk(mu_);
    cv_.wait_for(lk, std::chrono::milliseconds(ms), [this] { return somethingWaiting(); });
}

uint64_t EngineHost::nextPassDueMs(uint64_t dueMs)
{
    const uint64_t now = clock_.nowMs();
    if (engine_.passDueNow())
        return now;
    return engine_.PassCanChange() ? std::min(dueMs, now + kPassMs) : dueMs;
}

void EngineHost::awaitWork(uint64_t dueMs)
{
    const uint64_t now = clock_.nowMs();
    dueMs = nextPassDueMs(dueMs);
    if (dueMs > now)
        waitForPiece(dueMs - now);
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
        if (!port_.isCurrentSession(p.second))
            continue;
        if (tap_)
            tap_(p.first);
        ++piecesHandedOver_;
        return std::move(p.first);
    }
}

bool EngineHost::takeLoss()
{
    const int reports = lostReports_;
    if (reports <= lostHandled_)
        return false;
    lostHandled_ = reports;
    engine_.portLost();
    return true;
}

bool EngineHost::takeNotes()
{
    std::deque<std::pair<std::string, unsigned>> notes;
    {
        std::lock_guard g(mu_);
        notes.swap(notes_);
    }
    for (const auto& [text, count] : notes) {
        const std::string line = noteWords_(text, count);
        engine_.EchoMonitor(sj(line) + "\r\n");
        if (engine_.observer())
            engine_.observer()->error(line);
    }
    return !notes.empty();
}

bool EngineHost::passAllowed() const
{
    return !inStep_ && engine_.passAllowed() && (!gate_ || gate_());
}

bool EngineHost::idlePass()
{
    if (!passAllowed())
        return false;
    engine_.OnIdle();
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
        linesShown_ = linesMoved_; // this step's pass reads the lines
    }
    for (; waiting > 0; --waiting) {
        std::optional<std::string> p = nextPiece();
        if (!p)
            break;
        engine_.handOver(*p);
    }
    takeLoss();
    takeNotes();
    const uint64_t t0 = clock_.nowUs();
    if (fireTimers_)
        fireTimers_(clock_.nowMs());
    engine_.OnIdle();
    const uint64_t took = clock_.nowUs() - t0;
    if (took > longestPassUs_)
        longestPassUs_ = took;
}

} // namespace kd36
