// Faults a test can switch on at any moment: a mute or slow modem, replies
// cut up or preceded by garbage, noise and line errors, held CTS, DSR off,
// and a device that has gone away.
#include "sim/simulated_modem.h"

#include <algorithm>

#include "sim/modem_internal.h"

namespace kd36 {

using namespace simdetail;

void SimulatedModem::setSilent(bool on)
{
    std::lock_guard lock(mu_);
    advance();
    silent_ = on;
}

void SimulatedModem::setExtraDelayMs(uint32_t ms)
{
    std::lock_guard lock(mu_);
    advance();
    extraDelayMs_ = ms;
}

void SimulatedModem::setFragments(size_t bytes, uint32_t gapMs)
{
    std::lock_guard lock(mu_);
    advance();
    fragBytes_ = bytes;
    fragGapNs_ = uint64_t(gapMs) * kNsPerMs;
}

void SimulatedModem::setReplyPrefix(std::string bytes)
{
    std::lock_guard lock(mu_);
    advance();
    prefix_ = std::move(bytes);
}

void SimulatedModem::injectBytes(const std::string& bytes)
{
    std::lock_guard lock(mu_);
    advance();
    emitRaw(bytes, lastNs_, 0, 0);
}

void SimulatedModem::raiseLineErrors(uint32_t flags)
{
    std::lock_guard lock(mu_);
    advance();
    errors_ |= flags;
    changed_.signal();
}

void SimulatedModem::setCtsHeld(bool held)
{
    std::lock_guard lock(mu_);
    advance();
    ctsHeld_ = held;
    if (!held)
        txNextStartNs_ = std::max(txNextStartNs_, lastNs_);
    changed_.signal();
}

void SimulatedModem::setDsrOff(bool off)
{
    std::lock_guard lock(mu_);
    advance();
    dsrOff_ = off;
    changed_.signal();
}

void SimulatedModem::setRemoved(bool removed, int err)
{
    std::lock_guard lock(mu_);
    advance();
    removed_ = removed;
    removedErr_ = err;
    changed_.signal();
}

} // namespace kd36
