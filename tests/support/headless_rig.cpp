#include "tests/support/headless_rig.h"

#include <algorithm>

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
    ModemSettings s = opener.memory->load();
    s.line.rate = baud;
    opener.memory->store(s);
    return host.open(engine.portNumber(), line);
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
    while (!pred()) {
        if (clock_->nowMs() >= end)
            return false;
        if (threaded_) {
            // Like the window: a pass at once, then one for whatever comes next.
            host.step();
            if (pred())
                return true;
            host.awaitWork(std::min({end, main.nextDueMs(), link.nextDueMs()}));
        } else {
            static_cast<VirtualClock&>(*clock_).advanceMs(10);
            host.receivePass();
            host.step();
        }
    }
    return true;
}

} // namespace kd36::test
