// Line and pacing: the model's clock and timers, the bit timing of each
// character in both directions, what a receiver with other framing makes of
// it, and the Device calls the port layer makes on the PC side.
#include "sim/simulated_modem.h"

#include <algorithm>

#include "sim/modem_internal.h"

namespace kd36 {

using namespace simdetail;

namespace {

int parityBit(uint8_t v, uint8_t parity)
{
    int ones = __builtin_popcount(v);
    switch (parity) {
    case 1: return ones % 2 == 0 ? 1 : 0; // odd
    case 2: return ones % 2;              // even
    case 3: return 1;                     // mark
    default: return 0;                    // space
    }
}

uint8_t dataMask(uint8_t bits) { return bits >= 8 ? 0xFF : uint8_t((1u << bits) - 1); }

} // namespace

uint64_t SimulatedModem::Framing::byteNs() const
{
    uint64_t halves = 2 + 2 * uint64_t(dataBits) + (parity ? 2 : 0) + stopHalves;
    return halves * kNsPerS / (2 * uint64_t(rate));
}

SimulatedModem::Framing SimulatedModem::framingOf(const PortSettings& s)
{
    Framing f;
    f.rate = s.BaudRate;
    f.dataBits = s.ByteSize;
    f.parity = s.Parity;
    f.stopHalves = s.StopBits == 0 ? 2 : s.StopBits == 1 ? 3 : 4;
    return f;
}

SimulatedModem::Framing SimulatedModem::framingOf(const ModemLine& l)
{
    Framing f;
    f.rate = l.rate;
    f.dataBits = l.dataBits;
    f.parity = l.parity == 'O' ? 1 : l.parity == 'E' ? 2 : 0;
    f.stopHalves = l.stopBits == 2 ? 4 : 2;
    return f;
}

std::pair<uint8_t, uint32_t> SimulatedModem::judge(const Framing& tx, const Framing& rx, uint8_t byte)
{
    byte &= dataMask(tx.dataBits);
    const uint8_t rxMask = dataMask(rx.dataBits);
    auto far = [](uint32_t a, uint32_t b) { return uint64_t(a > b ? a - b : b - a) * 50 > b; };
    if (far(tx.rate, rx.rate) || tx.dataBits != rx.dataBits) {
        // The receiver samples the wrong bits: a byte unrelated to the one sent.
        uint32_t h = byte * 0x9E3779B1u ^ tx.rate * 0x85EBCA6Bu ^ rx.rate * 0xC2B2AE35u ^ tx.dataBits * 31u;
        h ^= h >> 15;
        h *= 0x2C1B3C6Du;
        h ^= h >> 12;
        uint8_t g = uint8_t(h) & rxMask;
        if (g == (byte & rxMask))
            g ^= 1;
        return {g, CE_FRAME};
    }
    uint32_t flags = 0;
    const int sent = tx.parity ? parityBit(byte, tx.parity) : -1;
    if (rx.parity) {
        // Without a parity bit the stop bit stands where the receiver looks for it.
        if ((sent < 0 ? 1 : sent) != parityBit(byte & rxMask, rx.parity))
            flags |= CE_RXPARITY;
    } else if (sent == 0) {
        flags |= CE_FRAME; // a 0 parity bit read as the stop bit
    }
    const int txLen = (tx.parity ? 2 : 0) + tx.stopHalves;
    const int rxLen = (rx.parity ? 2 : 0) + rx.stopHalves;
    if (rxLen > txLen)
        flags |= CE_FRAME; // the next start bit read as a stop bit
    return {uint8_t(byte & rxMask), flags};
}

SimulatedModem::SimulatedModem(Clock& clock, uint32_t seed)
    : SimulatedModem(clock, nullptr, seed)
{
}

SimulatedModem::SimulatedModem(Clock& clock, std::shared_ptr<ModemMemory> memory, uint32_t seed)
    : clock_(clock)
    , memory_(std::move(memory))
    , rng_(seed ^ 0x9E3779B9u)
{
    if (memory_)
        st_ = memory_->load();
    if (rng_ == 0)
        rng_ = 1;
    for (int i = 0; i < 8; ++i)
        rand();
    lastNs_ = nowNs();
    txNextStartNs_ = lastNs_;
    modemTxFreeNs_ = lastNs_;
    modemTx_ = modemRx_ = framingOf(st_.line);
    stations_ = {{1, '3'}, {3, '1'}, {10, '4'}};
    while (busy_.size() < 3) {
        int ch = int(rand() % 40);
        if (std::find(busy_.begin(), busy_.end(), ch) == busy_.end())
            busy_.push_back(ch);
    }
}

SimulatedModem::~SimulatedModem() = default;

uint64_t SimulatedModem::nowNs() const { return clock_.nowUs() * kNsPerUs; }

bool SimulatedModem::usable()
{
    if (!open_) {
        error_ = EBADF;
        return false;
    }
    if (removed_) {
        error_ = removedErr_;
        return false;
    }
    return true;
}

bool SimulatedModem::txStalled() const { return ctsHeld_ && pc_.FlowCtrl == 2; }

void SimulatedModem::advance() { runUntil(std::max(nowNs(), lastNs_)); }

void SimulatedModem::runUntil(uint64_t now)
{
    for (;;) {
        uint64_t tByte = UINT64_MAX;
        if (!txQueue_.empty() && !txStalled())
            tByte = txNextStartNs_ + framingOf(pc_).byteNs();
        const uint64_t tTimer = timers_.empty() ? UINT64_MAX : timers_.begin()->first.first;
        if (std::min(tByte, tTimer) > now)
            break;
        if (tByte <= tTimer) {
            uint8_t b = txQueue_.front();
            txQueue_.pop_front();
            txNextStartNs_ = tByte;
            modemReceive(b, tByte);
        } else {
            auto node = timers_.extract(timers_.begin());
            node.mapped().fn(tTimer);
        }
    }
    const Framing pcFraming = framingOf(pc_);
    while (!rxPending_.empty() && rxPending_.front().atNs <= now) {
        const Arrival a = rxPending_.front();
        rxPending_.pop_front();
        auto [v, flags] = judge(a.sender, pcFraming, a.byte);
        errors_ |= flags;
        if (rxBuffer_.size() >= kInputQueueSize) {
            errors_ |= CE_RXOVER;
            ++stats_.bytesDropped;
        } else {
            rxBuffer_.push_back(v);
            ++stats_.bytesToPc;
        }
    }
    lastNs_ = now;
}

void SimulatedModem::addTimer(uint64_t atNs, TimerKind kind, std::function<void(uint64_t)> fn)
{
    timers_.emplace(std::make_pair(atNs, timerSeq_++), Timer{kind, std::move(fn)});
    changed_.signal();
}

uint64_t SimulatedModem::nextEventNs() const
{
    uint64_t t = timers_.empty() ? UINT64_MAX : timers_.begin()->first.first;
    if (!txQueue_.empty() && !txStalled())
        t = std::min(t, txNextStartNs_ + framingOf(pc_).byteNs());
    if (!rxPending_.empty()) {
        // Bytes reach the PC as a driver hands them on: a run of back-to-back
        // bytes at its end, at most kDriverBatchNs after its first byte.
        const uint64_t first = rxPending_.front().atNs;
        uint64_t at = first;
        for (const Arrival& a : rxPending_) {
            if (a.atNs > first + kDriverBatchNs || a.atNs > at + 2 * a.sender.byteNs())
                break;
            at = a.atNs;
        }
        t = std::min(t, at);
    }
    return t;
}

void SimulatedModem::waitForEvent(int wakeFd, int64_t timeoutUs)
{
    // Drained before looking, so that a call from now on ends the wait.
    changed_.drain();
    uint64_t due = UINT64_MAX;
    {
        std::lock_guard lock(mu_);
        if (open_ && !removed_) {
            advance();
            if (!rxBuffer_.empty() || errors_)
                return;
            due = nextEventNs();
        }
    }
    if (due != UINT64_MAX) {
        const uint64_t now = nowNs();
        const int64_t untilDue = due <= now ? 0 : int64_t((due - now + kNsPerUs - 1) / kNsPerUs);
        if (timeoutUs < 0 || untilDue < timeoutUs)
            timeoutUs = untilDue;
    }
    waitReadable({changed_.fd(), wakeFd}, timeoutUs);
}

void SimulatedModem::cancel(TimerKind kind)
{
    std::erase_if(timers_, [kind](const auto& e) { return e.second.kind == kind; });
}

// ---- Device ----

bool SimulatedModem::configure(const PortSettings& settings)
{
    std::lock_guard lock(mu_);
    if (!usable())
        return false;
    if (settings.BaudRate < 50 || settings.BaudRate > 4'000'000 || settings.ByteSize < 5 || settings.ByteSize > 8
        || settings.Parity > 4 || settings.StopBits > 2) {
        error_ = EINVAL;
        return false;
    }
    advance();
    pc_ = settings;
    txNextStartNs_ = std::max(txNextStartNs_, lastNs_);
    changed_.signal();
    return true;
}

PortSettings SimulatedModem::actualSettings() const
{
    std::lock_guard lock(mu_);
    return pc_;
}

int SimulatedModem::read(uint8_t* buf, size_t max)
{
    std::lock_guard lock(mu_);
    if (!usable())
        return -1;
    advance();
    size_t n = std::min(max, rxBuffer_.size());
    std::copy_n(rxBuffer_.begin(), n, buf);
    rxBuffer_.erase(rxBuffer_.begin(), rxBuffer_.begin() + std::ptrdiff_t(n));
    return int(n);
}

int SimulatedModem::write(const uint8_t* data, size_t len)
{
    std::lock_guard lock(mu_);
    if (!usable())
        return -1;
    advance();
    if (txQueue_.empty())
        txNextStartNs_ = std::max(txNextStartNs_, lastNs_);
    size_t room = size_t(kDriverQueueSize) - std::min(txQueue_.size(), size_t(kDriverQueueSize));
    size_t n = std::min(len, room);
    txQueue_.insert(txQueue_.end(), data, data + n);
    changed_.signal();
    return int(n);
}

bool SimulatedModem::setDtr(bool on)
{
    std::lock_guard lock(mu_);
    if (!usable())
        return false;
    advance();
    if (on == dtr_)
        return true;
    dtr_ = on;
    changed_.signal();
    // A mode change throws away a half line, and what the remote had not yet sent.
    lineBuf_.clear();
    lineCorrupt_ = false;
    echoBuf_.clear();
    cancel(TimerKind::EchoIdle);
    cancel(TimerKind::PacketWait);
    return true;
}

bool SimulatedModem::modemStatus(uint32_t& bits)
{
    std::lock_guard lock(mu_);
    if (!usable())
        return false;
    advance();
    bits = (dsrOff_ ? 0u : uint32_t(MS_DSR_ON)) | (ctsHeld_ ? 0u : uint32_t(MS_CTS_ON));
    return true;
}

uint32_t SimulatedModem::takeErrors()
{
    std::lock_guard lock(mu_);
    if (!usable())
        return 0;
    advance();
    return std::exchange(errors_, 0u);
}

int SimulatedModem::inQueue()
{
    std::lock_guard lock(mu_);
    if (!usable())
        return -1;
    advance();
    return int(rxBuffer_.size());
}

int SimulatedModem::outQueue()
{
    std::lock_guard lock(mu_);
    if (!usable())
        return -1;
    advance();
    return int(txQueue_.size());
}

void SimulatedModem::purge()
{
    std::lock_guard lock(mu_);
    if (!usable())
        return;
    advance();
    txQueue_.clear();
    rxBuffer_.clear();
}

bool SimulatedModem::close()
{
    std::lock_guard lock(mu_);
    if (!open_) {
        error_ = EBADF;
        return false;
    }
    advance();
    open_ = false;
    changed_.signal();
    return true;
}

int SimulatedModem::errorCode() const
{
    std::lock_guard lock(mu_);
    return error_;
}

// ---- The modem's transmit line ----

void SimulatedModem::reply(const std::string& text, uint64_t t, std::function<void(uint64_t)> after)
{
    addTimer(t + kReplyDelayUs * kNsPerUs + extraNs(), TimerKind::Reply,
             [this, s = text + "\r\n", after = std::move(after)](uint64_t u) {
                 emitBytes(s, u, true);
                 if (after)
                     after(std::max(u, modemTxFreeNs_));
             });
}

void SimulatedModem::emitBytes(const std::string& bytes, uint64_t t, bool isReply)
{
    if (silent_)
        return;
    if (!isReply) {
        emitRaw(bytes, t, 0, 0);
        return;
    }
    ++stats_.repliesSent;
    emitRaw(prefix_ + bytes, t, fragBytes_, fragGapNs_);
}

void SimulatedModem::emitRaw(const std::string& bytes, uint64_t t, size_t fragBytes, uint64_t gapNs)
{
    uint64_t at = std::max(t, modemTxFreeNs_);
    const uint64_t byteNs = modemTx_.byteNs();
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (fragBytes && i && i % fragBytes == 0)
            at += gapNs;
        at += byteNs;
        rxPending_.push_back(Arrival{at, uint8_t(bytes[i]), modemTx_});
    }
    modemTxFreeNs_ = std::max(modemTxFreeNs_, at);
    changed_.signal();
}

// ---- Observation ----

bool SimulatedModem::dtr()
{
    std::lock_guard lock(mu_);
    advance();
    return dtr_;
}

SimulatorStats SimulatedModem::stats()
{
    std::lock_guard lock(mu_);
    advance();
    return stats_;
}

} // namespace kd36
