#include "simulated_modem.h"

#include <algorithm>
#include <cstdio>

namespace kd36 {

namespace {

constexpr uint64_t kNsPerUs = 1'000;
constexpr uint64_t kNsPerMs = 1'000'000;
constexpr uint64_t kNsPerS = 1'000'000'000;
constexpr uint64_t kStreamTickNs = 10 * kNsPerMs;
// The generator and the sweep hold back rather than pile up an endless
// backlog when the line is slower than they are.
constexpr uint64_t kStreamBacklogNs = 50 * kNsPerMs;
constexpr uint64_t kSweepBacklogNs = 1'000 * kNsPerMs;
constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxPacketData = 256;
constexpr size_t kKeepLines = 10'000;
constexpr size_t kKeepBytes = size_t(1) << 20;

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
int hexValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// Plain decimal digits only, as the modem reads them.
bool decimal(const std::string& s, size_t maxDigits, long& out)
{
    if (s.empty() || s.size() > maxDigits)
        return false;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

bool inRange(const std::string& s, long lo, long hi, int& out)
{
    long v = 0;
    if (!decimal(s, 7, v) || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        parts.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos)
            return parts;
        start = p + 1;
    }
}

// "K=V/K=V" with one-letter keys; false on any other shape.
bool keyValues(const std::string& params, char sep, std::vector<std::pair<char, std::string>>& out)
{
    for (const std::string& item : split(params, sep)) {
        if (item.size() < 2 || item[1] != '=')
            return false;
        out.emplace_back(item[0], item.substr(2));
    }
    return true;
}

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

uint32_t SimulatedModem::rand()
{
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 17;
    rng_ ^= rng_ << 5;
    return rng_;
}

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
    return true;
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
    return true;
}

int SimulatedModem::errorCode() const
{
    std::lock_guard lock(mu_);
    return error_;
}

// ---- The modem ----

void SimulatedModem::modemReceive(uint8_t byte, uint64_t t)
{
    auto [v, flags] = judge(framingOf(pc_), modemRx_, byte);
    ++stats_.bytesFromPc;
    if (bytesSeen_.size() >= kKeepBytes)
        bytesSeen_.erase(0, kKeepBytes / 2);
    bytesSeen_.push_back(char(v));
    if (dtr_) {
        commByte(v, t);
        return;
    }
    // A clean "@" or "$" after noise starts a new line: the garbage before a
    // command (a wrong rate a moment ago, a glitch) does not spoil it.
    if (!flags && (v == '@' || v == '$')
        && (lineBuf_.empty() || lineCorrupt_ || (lineBuf_[0] != '@' && lineBuf_[0] != '$'))) {
        lineBuf_.clear();
        lineCorrupt_ = false;
    }
    if (flags)
        lineCorrupt_ = true;
    lineBuf_.push_back(char(v));
    if (v == '\n') {
        cancel(TimerKind::PacketWait);
        if (!sendLineIncomplete()) {
            lineComplete(t);
        } else {
            // Data shorter than its length field must not swallow the next
            // command for good: after a pause the line counts as complete.
            const uint64_t seen = stats_.bytesFromPc;
            addTimer(t + kPacketWaitUs * kNsPerUs, TimerKind::PacketWait, [this, seen](uint64_t u) {
                if (stats_.bytesFromPc == seen && !dtr_ && !lineBuf_.empty())
                    lineComplete(u);
            });
        }
    } else if (lineBuf_.size() > kMaxLine) {
        lineBuf_.clear();
        lineCorrupt_ = false;
    }
}

// A "$SEND:" line may carry CR LF in its data; its length field says
// whether this LF ends the line or belongs to the data.
bool SimulatedModem::sendLineIncomplete() const
{
    if (!lineBuf_.starts_with("$SEND:"))
        return false;
    std::string body = lineBuf_.substr(0, lineBuf_.size() - 1);
    if (!body.empty() && body.back() == '\r')
        body.pop_back();
    size_t p1 = body.find(';', 6);
    if (p1 == std::string::npos)
        return false;
    size_t p2 = body.find(';', p1 + 1);
    if (p2 == std::string::npos)
        return false;
    long len = 0;
    if (!decimal(body.substr(p1 + 1, p2 - p1 - 1), 3, len) || len > long(kMaxPacketData))
        return false;
    return body.size() - p2 - 1 < size_t(len);
}

void SimulatedModem::lineComplete(uint64_t t)
{
    std::string line = std::move(lineBuf_);
    lineBuf_.clear();
    line.pop_back();
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const bool corrupt = std::exchange(lineCorrupt_, false);
    if (lines_.size() >= kKeepLines)
        lines_.erase(lines_.begin(), lines_.begin() + kKeepLines / 2);
    lines_.push_back(line);
    ++stats_.linesReceived;
    // A line with framing or parity errors is not a command the modem understood.
    if (!corrupt)
        handleLine(line, t);
}

void SimulatedModem::handleLine(const std::string& line, uint64_t t)
{
    if (line.empty())
        return;
    if (line[0] == '@') {
        if (line.size() < 5 || (line.size() > 5 && line[5] != ':')) {
            reply(">ERR1:CMD", t);
            return;
        }
        handleCommand(line.substr(1, 4), line.size() > 5, line.size() > 5 ? line.substr(6) : std::string(), t);
        if (memory_)
            memory_->store(st_);
    } else if (line[0] == '$') {
        if (line.starts_with("$SEND:"))
            handlePacket(line, t);
        else
            reply(">ERR1:CMD", t);
    }
    // Anything else is noise on the line; the modem ignores it.
}

void SimulatedModem::handleCommand(const std::string& word, bool hasParams, const std::string& params, uint64_t t)
{
    const std::string bad = ">ERR1:PRM";
    std::vector<std::pair<char, std::string>> kv;

    if (word == "INIT") {
        if (!hasParams) {
            reply(initText(), t);
            return;
        }
        ModemSettings n = st_;
        bool ok = keyValues(params, '/', kv);
        for (const auto& [k, v] : kv) {
            long id = 0;
            if (k == 'S' && decimal(v, 7, id))
                n.systemId = uint32_t(id);
            else if (!((k == 'F' && inRange(v, 1, 256, n.frameBytes)) || (k == 'I' && inRange(v, 50, 500, n.idleMs))
                         || (k == 'W' && inRange(v, 3, 100, n.waitSec)) || (k == 'T' && inRange(v, 0, 9, n.txCount))))
                ok = false;
        }
        if (!ok) {
            reply(bad, t);
            return;
        }
        st_ = n;
        reply(initText(), t);
    } else if (word == "EQID") {
        reply(hasParams ? bad : ">EQID:E=" + std::string(1, st_.deviceId), t);
    } else if (word == "FREQ") {
        if (hasParams) {
            int v = 0;
            if (params.size() == 3 && params.starts_with("A=") && inRange(params.substr(2), 0, 7, v)) {
                st_.groupMode = true;
                st_.group = v;
            } else if (params.starts_with("M=") && inRange(params.substr(2), 7, 46, v)) {
                st_.groupMode = false;
                st_.channel = v;
            } else {
                reply(bad, t);
                return;
            }
        }
        reply(freqText(), t);
    } else if (word == "ROUT") {
        if (hasParams) {
            if (params.size() < 3 || !params.starts_with("D=") || !isHexDigit(params[2])) {
                reply(bad, t);
                return;
            }
            std::string relays;
            std::string rest = params.substr(3);
            if (!rest.empty()) {
                if (!rest.starts_with(";N=")) {
                    reply(bad, t);
                    return;
                }
                auto ids = split(rest.substr(3), ',');
                if (ids.size() > 5) {
                    reply(bad, t);
                    return;
                }
                for (const auto& id : ids) {
                    if (id.size() != 1 || !isHexDigit(id[0])) {
                        reply(bad, t);
                        return;
                    }
                    relays += id;
                }
            }
            st_.routeDest = params[2];
            st_.routeRelays = relays;
        }
        reply(routText(), t);
    } else if (word == "INFO") {
        if (hasParams) {
            std::string text = params.substr(std::min<size_t>(2, params.size()));
            bool ok = params.starts_with("U=") && text.size() <= 8
                && std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E && c != '/'; });
            if (!ok) {
                reply(bad, t);
                return;
            }
            st_.info = text;
        }
        reply(infoText(), t);
    } else if (word == "COMS") {
        if (!hasParams) {
            reply(comsText(), t);
            return;
        }
        ModemLine l = st_.line;
        bool ok = keyValues(params, '/', kv);
        for (const auto& [k, v] : kv) {
            int n = 0;
            if (k == 'R' && inRange(v, 1, 115200, n)
                && (n == 1200 || n == 2400 || n == 4800 || n == 9600 || n == 19200 || n == 38400 || n == 57600
                    || n == 115200))
                l.rate = uint32_t(n);
            else if (k == 'D' && (v == "7" || v == "8"))
                l.dataBits = uint8_t(v[0] - '0');
            else if (k == 'P' && (v == "N" || v == "O" || v == "E"))
                l.parity = v[0];
            else if (k == 'S' && (v == "1" || v == "2"))
                l.stopBits = uint8_t(v[0] - '0');
            else if (k == 'F' && (v == "N" || v == "H"))
                l.flow = v[0];
            else
                ok = false;
        }
        if (!ok) {
            reply(bad, t);
            return;
        }
        st_.line = l;
        const Framing f = framingOf(l);
        // The reply still goes out in the old framing; the line changes after it.
        reply(comsText(), t, [this, f](uint64_t end) {
            modemTx_ = f;
            addTimer(end, TimerKind::LineChange, [this, f](uint64_t) { modemRx_ = f; });
        });
    } else if (word == "ANLZ") {
        if (hasParams && params == "S") {
            sweeping_ = true;
            cancel(TimerKind::Sweep);
            addTimer(t + kSweepFirstUs * kNsPerUs, TimerKind::Sweep, [this](uint64_t u) { sweep(u); });
        } else if (hasParams && params == "Q") {
            sweeping_ = false;
            cancel(TimerKind::Sweep);
            reply(">ANLZ:Q", t);
        } else {
            reply(bad, t);
        }
    } else if (word == "AIRC") {
        if (hasParams && params.size() == 3 && params.starts_with("N=") && isHexDigit(params[2])) {
            auto it = stations_.find(hexValue(params[2]));
            if (it != stations_.end()) {
                std::string text = ">AIRC:" + std::string(1, params[2]) + "=" + std::string(1, it->second) + "\r\n";
                addTimer(t + kAircDelayUs * kNsPerUs + extraNs(), TimerKind::Airc,
                         [this, text](uint64_t u) { emitBytes(text, u, true); });
            }
        } else if (hasParams && params == "Q") {
            cancel(TimerKind::Airc); // the poll in progress is given up
            reply(">AIRC:Q", t);
        } else {
            reply(bad, t);
        }
    } else if (word == "DBUG") {
        debugOn_ = !debugOn_;
        reply(debugOn_ ? ">DBUG:ON" : ">DBUG:OFF", t);
    } else if (word == "DIF1") {
        char buf[64];
        std::snprintf(buf, sizeof buf, ">DIF1:ID=%c/SYS=%u/CH=%d", st_.deviceId, unsigned(st_.systemId),
                      st_.groupMode ? st_.group : st_.channel);
        reply(buf, t);
    } else if (word == "DIF2") {
        char buf[64];
        std::snprintf(buf, sizeof buf, ">DIF2:RX=%llu/LINES=%llu", (unsigned long long)stats_.bytesFromPc,
                      (unsigned long long)stats_.linesReceived);
        reply(buf, t);
    } else if (word == "TEST") {
        reply(params == "K=XJ52" ? ">TEST:OK" : ">TEST:NG", t);
    } else if (word == "CMND" || word == "STBY") {
        reply(">" + word + ":OK", t);
    } else if (word == "SEND" || word == "RECV") {
        // Test transmission or reception on one channel: "F=ch;M=modulation".
        int ch = 0;
        int mod = 0;
        bool ok = keyValues(params, ';', kv) && kv.size() == 2 && kv[0].first == 'F' && kv[1].first == 'M'
            && inRange(kv[0].second, 7, 46, ch) && inRange(kv[1].second, 0, 9, mod)
            && (mod == 0 || mod == 1 || (mod == 9 && word == "SEND"));
        reply(">" + word + (ok ? ":" + params : std::string(":NG")), t);
    } else {
        reply(">ERR1:CMD", t);
    }
}

void SimulatedModem::handlePacket(const std::string& line, uint64_t t)
{
    const std::string body = line.substr(6);
    size_t p1 = body.find(';');
    size_t p2 = p1 == std::string::npos ? p1 : body.find(';', p1 + 1);
    if (p2 == std::string::npos) {
        reply(">ERR2:FORMAT", t);
        return;
    }
    const std::string route = body.substr(0, p1);
    const std::string data = body.substr(p2 + 1);
    char own = st_.deviceId;
    char dest = st_.routeDest;
    std::string relays = st_.routeRelays;
    // An empty route means the one stored with "@ROUT".
    if (!route.empty()) {
        auto ids = split(route, ',');
        if (ids.size() < 2 || ids.size() > 7
            || !std::all_of(ids.begin(), ids.end(), [](const std::string& s) { return s.size() == 1 && isHexDigit(s[0]); })) {
            reply(">ERR2:ROUTE", t);
            return;
        }
        if (ids.front()[0] != st_.deviceId) {
            reply(">ERR2:ID", t);
            return;
        }
        dest = ids.back()[0];
        relays.clear();
        for (size_t i = 1; i + 1 < ids.size(); ++i)
            relays += ids[i];
    }
    long len = 0;
    if (!decimal(body.substr(p1 + 1, p2 - p1 - 1), 3, len) || len > long(kMaxPacketData) || size_t(len) != data.size()) {
        reply(">ERR2:LENGTH", t);
        return;
    }
    if (dest == own) {
        reply(">ERR2:ROUTE", t);
        return;
    }
    if (!stations_.contains(hexValue(dest)))
        return; // nobody there to echo it
    std::string rece = "$RECE:" + std::string(1, dest);
    for (auto it = relays.rbegin(); it != relays.rend(); ++it)
        rece += std::string(",") + *it;
    rece += std::string(",") + own + ";" + std::to_string(len) + ";" + data + "\r\n";
    addTimer(t + (kPacketDelayUs + relays.size() * kPacketHopUs) * kNsPerUs + extraNs(), TimerKind::Packet,
             [this, rece](uint64_t u) { emitBytes(rece, u, true); });
}

// Communication mode: the remote gets the data in frames (full frame or idle
// time) and sends each back as one piece.
void SimulatedModem::commByte(uint8_t byte, uint64_t t)
{
    echoBuf_.push_back(char(byte));
    if (echoBuf_.size() >= size_t(std::max(1, st_.frameBytes))) {
        flushEcho(t);
        return;
    }
    cancel(TimerKind::EchoIdle);
    addTimer(t + uint64_t(st_.idleMs) * kNsPerMs, TimerKind::EchoIdle, [this](uint64_t u) { flushEcho(u); });
}

void SimulatedModem::flushEcho(uint64_t t)
{
    cancel(TimerKind::EchoIdle);
    if (echoBuf_.empty())
        return;
    std::string piece = std::move(echoBuf_);
    echoBuf_.clear();
    addTimer(t + kEchoAirUs * kNsPerUs + extraNs(), TimerKind::Echo,
             [this, piece](uint64_t u) { emitBytes(piece, u, false); });
}

void SimulatedModem::sweep(uint64_t t)
{
    if (!sweeping_)
        return;
    if (!dtr_ && modemTxFreeNs_ <= t + kSweepBacklogNs)
        emitBytes(">ANLZ:" + sweepText() + "\r\n", t, true);
    addTimer(t + kSweepIntervalUs * kNsPerUs, TimerKind::Sweep, [this](uint64_t u) { sweep(u); });
}

std::string SimulatedModem::sweepText()
{
    int v[40];
    for (int& x : v)
        x = 0x40 + int(rand() % 0x20); // noise floor
    for (int ch : busy_) {
        if (rand() % 5 == 0)
            continue; // the station is quiet during this sweep
        int level = 0x280 + int(rand() % 0x140);
        auto raise = [&](int i, int lv) {
            if (i >= 0 && i < 40)
                v[i] = std::max(v[i], lv);
        };
        raise(ch, level);
        raise(ch - 1, level * 3 / 8);
        raise(ch + 1, level * 3 / 8);
        raise(ch - 2, level / 6);
        raise(ch + 2, level / 6);
    }
    std::string s;
    char buf[16];
    for (int i = 0; i < 40; ++i) {
        std::snprintf(buf, sizeof buf, "%s%02d=%X", i ? "," : "", i + 7, std::min(v[i], 0x3FF));
        s += buf;
    }
    return s;
}

void SimulatedModem::streamTick(uint64_t t)
{
    if (streamRate_ == 0)
        return;
    addTimer(t + kStreamTickNs, TimerKind::Stream, [this](uint64_t u) { streamTick(u); });
    if (!dtr_ || silent_)
        return;
    streamCredit_ += uint64_t(streamRate_) * kStreamTickNs;
    uint64_t n = streamCredit_ / kNsPerS;
    streamCredit_ %= kNsPerS;
    if (n == 0 || modemTxFreeNs_ > t + kStreamBacklogNs)
        return;
    emitBytes(streamText(streamPos_, size_t(n)), t, false);
    streamPos_ += n;
}

std::string SimulatedModem::streamText(uint64_t offset, size_t length)
{
    std::string s;
    s.reserve(length);
    for (uint64_t i = offset; i < offset + length; ++i) {
        uint64_t line = (i / 32) % 100'000'000;
        unsigned col = unsigned(i % 32);
        if (col < 8) {
            uint64_t div = 1;
            for (unsigned k = col; k < 7; ++k)
                div *= 10;
            s.push_back(char('0' + (line / div) % 10));
        } else if (col == 8) {
            s.push_back(' ');
        } else if (col < 30) {
            s.push_back(char('A' + (col - 9)));
        } else {
            s.push_back(col == 30 ? '\r' : '\n');
        }
    }
    return s;
}

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
}

std::string SimulatedModem::initText() const
{
    return ">INIT:F=" + std::to_string(st_.frameBytes) + "/I=" + std::to_string(st_.idleMs)
        + "/S=" + std::to_string(st_.systemId) + "/T=" + std::to_string(st_.txCount)
        + "/W=" + std::to_string(st_.waitSec);
}

std::string SimulatedModem::freqText() const
{
    return st_.groupMode ? ">FREQ:A=" + std::to_string(st_.group) : ">FREQ:M=" + std::to_string(st_.channel);
}

std::string SimulatedModem::routText() const
{
    std::string s = ">ROUT:D=" + std::string(1, st_.routeDest);
    for (size_t i = 0; i < st_.routeRelays.size(); ++i)
        s += (i ? "," : ";N=") + std::string(1, st_.routeRelays[i]);
    return s;
}

std::string SimulatedModem::infoText() const
{
    return ">INFO:U=" + st_.info + "/N=" + std::string(1, st_.deviceId);
}

std::string SimulatedModem::comsText() const
{
    const ModemLine& l = st_.line;
    return ">COMS:R=" + std::to_string(l.rate) + "/D=" + std::to_string(l.dataBits) + "/P=" + std::string(1, l.parity)
        + "/S=" + std::to_string(l.stopBits) + "/F=" + std::string(1, l.flow);
}

// ---- Stations, knobs, observation ----

void SimulatedModem::setStation(int id, char level)
{
    std::lock_guard lock(mu_);
    advance();
    if (id >= 0 && id < 16)
        stations_[id] = level;
}

void SimulatedModem::removeStation(int id)
{
    std::lock_guard lock(mu_);
    advance();
    stations_.erase(id);
}

void SimulatedModem::clearStations()
{
    std::lock_guard lock(mu_);
    advance();
    stations_.clear();
}

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
}

void SimulatedModem::setCtsHeld(bool held)
{
    std::lock_guard lock(mu_);
    advance();
    ctsHeld_ = held;
    if (!held)
        txNextStartNs_ = std::max(txNextStartNs_, lastNs_);
}

void SimulatedModem::setDsrOff(bool off)
{
    std::lock_guard lock(mu_);
    advance();
    dsrOff_ = off;
}

void SimulatedModem::setRemoved(bool removed, int err)
{
    std::lock_guard lock(mu_);
    advance();
    removed_ = removed;
    removedErr_ = err;
}

void SimulatedModem::setStreamRate(uint32_t bytesPerSecond)
{
    std::lock_guard lock(mu_);
    advance();
    streamRate_ = bytesPerSecond;
    cancel(TimerKind::Stream);
    streamCredit_ = 0;
    if (bytesPerSecond > 0)
        addTimer(lastNs_ + kStreamTickNs, TimerKind::Stream, [this](uint64_t u) { streamTick(u); });
}

std::vector<std::string> SimulatedModem::receivedLines()
{
    std::lock_guard lock(mu_);
    advance();
    return lines_;
}

std::string SimulatedModem::receivedBytes()
{
    std::lock_guard lock(mu_);
    advance();
    return bytesSeen_;
}

bool SimulatedModem::dtr()
{
    std::lock_guard lock(mu_);
    advance();
    return dtr_;
}

bool SimulatedModem::airMonitorRunning()
{
    std::lock_guard lock(mu_);
    advance();
    return sweeping_;
}

ModemSettings SimulatedModem::settings()
{
    std::lock_guard lock(mu_);
    advance();
    return st_;
}

void SimulatedModem::setSettings(const ModemSettings& s)
{
    std::lock_guard lock(mu_);
    advance();
    st_ = s;
    modemTx_ = modemRx_ = framingOf(s.line);
    if (memory_)
        memory_->store(st_);
}

SimulatorStats SimulatedModem::stats()
{
    std::lock_guard lock(mu_);
    advance();
    return stats_;
}

uint64_t SimulatedModem::streamPosition()
{
    std::lock_guard lock(mu_);
    advance();
    return streamPos_;
}

} // namespace kd36
