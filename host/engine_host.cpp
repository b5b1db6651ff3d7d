#include "ctl/engine_host.h"

#include "engine/link_logic.h"
#include "engine/packet_logic.h"

namespace kd36 {

EngineHost::EngineHost(Views views, MessageBoxes& boxes, Clock& clk, DeviceOpener& opener,
                       std::function<void(uint64_t)> fireTimers, DisplayLibraryLoader* displayLoader)
    : clock(clk)
    , port(clk, boxes, opener)
    , engine(EngineDeps{views.main, views.link, views.packet, boxes, clk, port, displayLoader})
    , fireTimers_(std::move(fireTimers))
{
    port.bindWindowFlags(&engine.FPortOpen, &engine.FCommandMode);
    port.setDeliver([this](const std::string& piece) {
        {
            std::lock_guard g(mu_);
            pieces_.push_back(piece);
        }
        cv_.notify_one();
        if (notify_)
            notify_();
    });
    // As the window does: the loss is acted on once, on the engine's side.
    port.setDeviceLost([this] {
        ++lostReports_;
        cv_.notify_one();
        if (notify_)
            notify_();
    });
}

EngineHost::~EngineHost()
{
    shutDown();
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
    engine.FPortNumber = portNumber;
    engine.portSettings = settings;
    return open();
}

bool EngineHost::open()
{
    if (!engine.portButtonTag)
        engine.mnuCommOpenClick();
    return engine.FPortOpen == 1;
}

void EngineHost::close()
{
    if (engine.portButtonTag)
        engine.mnuCommOpenClick();
}

void EngineHost::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    engine.FormClose();
    close();
    // Unbinds the callbacks into this host before its members go.
    port.shutdown(3000);
}

void EngineHost::linkTimer(const std::string& name)
{
    engine.linkForm().onTimer(name);
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

void EngineHost::step()
{
    if (inStep_ || engine.idleDepth > 0 || engine.FSending)
        return;
    inStep_ = true;
    struct Done {
        bool& f;
        ~Done() { f = false; }
    } done{inStep_};

    std::deque<std::string> got;
    {
        std::lock_guard g(mu_);
        got.swap(pieces_);
    }
    for (auto& p : got) {
        if (tap_)
            tap_(p);
        engine.handOver(p);
        ++piecesHandedOver;
    }
    if (lostReports_ > lostHandled_) {
        lostHandled_ = lostReports_;
        engine.portLost();
    }
    const uint64_t t0 = clock.nowUs();
    if (fireTimers_)
        fireTimers_(clock.nowMs());
    engine.OnIdle();
    const uint64_t took = clock.nowUs() - t0;
    if (took > longestPassUs)
        longestPassUs = took;
}

} // namespace kd36
