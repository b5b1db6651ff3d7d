#include "tests/support/headless_rig.h"

#include "engine/link_logic.h"
#include "tests/support/main_view_setup.h"

namespace kd36::test {
namespace {

std::unique_ptr<Clock> makeClock(bool threaded)
{
    if (threaded)
        return std::make_unique<SteadyClock>();
    return std::make_unique<VirtualClock>();
}

} // namespace

HeadlessRig::HeadlessRig(bool threaded)
    : clock_(makeClock(threaded))
    , opener(*clock_)
    , port(*clock_, boxes, opener)
    , engine(EngineDeps{main, link, packet, boxes, *clock_, port})
    , threaded_(threaded)
{
    setUpMainView(main);
    for (FakeView* v : {&main, &link, &packet})
        v->nowMs = [this] { return clock_->nowMs(); };
    main.onTimer = [this](const std::string& n) { engine.onTimer(n); };
    wireDialogViews(engine, link, packet);
    port.bindWindowFlags(&engine.FPortOpen, &engine.FCommandMode);
    port.setDeliver([this](const std::string& piece) {
        {
            std::lock_guard g(mu_);
            pieces_.push_back(piece);
        }
        cv_.notify_one();
    });
    engine.ConstructBeforeSettings();
    engine.ConstructAfterSettings();
    engine.packetForm().Construct();
    if (threaded_)
        port.start();
}

HeadlessRig::~HeadlessRig()
{
    close();
    port.Terminate();
    if (threaded_)
        port.wait(2000);
}

bool HeadlessRig::open(uint32_t baud)
{
    engine.portSettings.BaudRate = baud;
    ModemSettings s = opener.memory->load();
    s.line.rate = baud;
    opener.memory->store(s);
    engine.mnuCommOpenClick();
    return engine.FPortOpen == 1;
}

void HeadlessRig::close()
{
    if (engine.portButtonTag)
        engine.mnuCommOpenClick();
}

void HeadlessRig::uiStep()
{
    std::deque<std::string> got;
    {
        std::lock_guard g(mu_);
        got.swap(pieces_);
    }
    for (auto& p : got) {
        engine.handOver(p);
        ++piecesHandedOver;
    }
    const uint64_t t0 = clock_->nowUs();
    main.fireDueTimers(clock_->nowMs());
    link.fireDueTimers(clock_->nowMs());
    engine.OnIdle();
    if (threaded_) {
        const uint64_t took = clock_->nowUs() - t0;
        if (took > longestPassUs)
            longestPassUs = took;
    }
}

void HeadlessRig::run(uint64_t ms)
{
    runUntil([] { return false; }, ms);
}

bool HeadlessRig::runUntil(const std::function<bool()>& pred, uint64_t maxMs)
{
    const uint64_t end = clock_->nowMs() + maxMs;
    while (clock_->nowMs() < end) {
        if (pred())
            return true;
        if (threaded_) {
            // Like the window: a pass every 10 ms, and one at once after a hand-over.
            std::unique_lock lk(mu_);
            cv_.wait_for(lk, std::chrono::milliseconds(10), [this] { return !pieces_.empty(); });
            lk.unlock();
            uiStep();
        } else {
            static_cast<VirtualClock&>(*clock_).advanceMs(10);
            port.PollPort();
            uiStep();
        }
    }
    return pred();
}

} // namespace kd36::test
