#include "tests/support/headless_rig.h"

#include "engine/link_logic.h"

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
    , host(EngineHost::Views{main, link, packet}, boxes, *clock_, opener,
           [this](uint64_t now) {
               main.fireDueTimers(now);
               link.fireDueTimers(now);
           })
    , engine(host.engine())
    , threaded_(threaded)
{
    for (FakeView* v : {&main, &link, &packet})
        v->nowMs = [this] { return clock_->nowMs(); };
    main.onTimer = [this](TimerId n) { host.mainTimer(n); };
    wireDialogViews(engine, link, packet);
    host.start();
    if (threaded_)
        host.startReceiving();
}

HeadlessRig::~HeadlessRig()
{
    host.shutDown();
}

bool HeadlessRig::open(uint32_t baud)
{
    PortSettings line = engine.portSettings();
    line.BaudRate = baud;
    engine.setPort(engine.portNumber(), line);
    ModemSettings s = opener.memory->load();
    s.line.rate = baud;
    opener.memory->store(s);
    engine.mnuCommOpenClick();
    return engine.portOpen();
}

void HeadlessRig::close()
{
    host.close();
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
            host.waitForPiece(10);
        } else {
            static_cast<VirtualClock&>(*clock_).advanceMs(10);
            host.receivePass();
        }
        host.step();
    }
    return pred();
}

} // namespace kd36::test
