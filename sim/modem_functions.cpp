// The modem's functions: the air-monitor sweep, answer-back from the remote
// stations, routed packets, the development replies, the remote's echo in
// communication mode and the numbered data stream.
#include "sim/simulated_modem.h"

#include <algorithm>
#include <cstdio>

#include "sim/modem_internal.h"

namespace kd36 {

using namespace simdetail;

namespace {

constexpr uint64_t kStreamTickNs = 10 * kNsPerMs;
// The generator and the sweep hold back rather than pile up an endless
// backlog when the line is slower than they are.
constexpr uint64_t kStreamBacklogNs = 50 * kNsPerMs;
constexpr uint64_t kSweepBacklogNs = 1'000 * kNsPerMs;

} // namespace

// ---- Function commands ----

void SimulatedModem::cmdAnlz(const Command& c)
{
    if (c.hasParams && c.params == "S") {
        sweeping_ = true;
        cancel(TimerKind::Sweep);
        addTimer(c.t + kSweepFirstUs * kNsPerUs, TimerKind::Sweep, [this](uint64_t u) { sweep(u); });
    } else if (c.hasParams && c.params == "Q") {
        sweeping_ = false;
        cancel(TimerKind::Sweep);
        reply(">ANLZ:Q", c.t);
    } else {
        reply(kBadParams, c.t);
    }
}

void SimulatedModem::cmdAirc(const Command& c)
{
    const std::string& params = c.params;
    if (c.hasParams && params.size() == 3 && params.starts_with("N=") && isHexDigit(params[2])) {
        const int id = hexValue(params[2]);
        auto it = stations_.find(id);
        AircPoll poll{c.t / 1'000'000, id, 0, false};
        if (it != stations_.end()) {
            auto lost = loss_.find(id);
            const bool dropped = lost != loss_.end() && double(rand() % 10000) < lost->second * 10000.0;
            if (!dropped) {
                poll.level = stationLevel(id, it->second, c.t);
                poll.answered = true;
                std::string text = ">AIRC:" + std::string(1, params[2]) + "=" + std::string(1, poll.level) + "\r\n";
                addTimer(c.t + kAircDelayUs * kNsPerUs + extraNs(), TimerKind::Airc,
                         [this, text](uint64_t u) { emitBytes(text, u, true); });
            }
        }
        aircPolls_.push_back(poll);
        if (aircPolls_.size() > 10000)
            aircPolls_.pop_front();
    } else if (c.hasParams && params == "Q") {
        cancel(TimerKind::Airc); // the poll in progress is given up
        reply(">AIRC:Q", c.t);
    } else {
        reply(kBadParams, c.t);
    }
}

void SimulatedModem::cmdDbug(const Command& c)
{
    debugOn_ = !debugOn_;
    reply(debugOn_ ? ">DBUG:ON" : ">DBUG:OFF", c.t);
}

void SimulatedModem::cmdDif1(const Command& c)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, ">DIF1:ID=%c/SYS=%u/CH=%d", st_.deviceId, unsigned(st_.systemId),
                  st_.groupMode ? st_.group : st_.channel);
    reply(buf, c.t);
}

void SimulatedModem::cmdDif2(const Command& c)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, ">DIF2:RX=%llu/LINES=%llu", (unsigned long long)stats_.bytesFromPc,
                  (unsigned long long)stats_.linesReceived);
    reply(buf, c.t);
}

void SimulatedModem::cmdTest(const Command& c) { reply(c.params == "K=XJ52" ? ">TEST:OK" : ">TEST:NG", c.t); }

void SimulatedModem::cmdModeAck(const Command& c) { reply(">" + c.word + ":OK", c.t); }

// Test transmission or reception on one channel: "F=ch;M=modulation".
void SimulatedModem::cmdRadioTest(const Command& c)
{
    std::vector<std::pair<char, std::string>> kv;
    int ch = 0;
    int mod = 0;
    bool ok = keyValues(c.params, ';', kv) && kv.size() == 2 && kv[0].first == 'F' && kv[1].first == 'M'
        && inRange(kv[0].second, 7, 46, ch) && inRange(kv[1].second, 0, 9, mod)
        && (mod == 0 || mod == 1 || (mod == 9 && c.word == "SEND"));
    reply(">" + c.word + (ok ? ":" + c.params : std::string(":NG")), c.t);
}

// ---- Packets ----

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

// ---- Echo ----

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

// ---- Air monitor ----

// The seeded generator behind the busy channels and each sweep's levels.
uint32_t SimulatedModem::rand()
{
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 17;
    rng_ ^= rng_ << 5;
    return rng_;
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

// ---- Data stream ----

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

// ---- Stations, stream rate, observation ----

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

void SimulatedModem::setStationDrift(int id, int lo, int hi, uint32_t stepMs)
{
    std::lock_guard lock(mu_);
    advance();
    lo = std::clamp(lo, 0, 9);
    hi = std::clamp(hi, lo, 9);
    if (lo == hi)
        drift_.erase(id);
    else
        drift_[id] = Drift{lo, hi, std::max<uint32_t>(stepMs, 1)};
}

void SimulatedModem::setReplyLoss(int id, double share)
{
    std::lock_guard lock(mu_);
    advance();
    loss_[id] = std::clamp(share, 0.0, 1.0);
}

char SimulatedModem::stationLevel(int id, char fixed, uint64_t tNs) const
{
    auto d = drift_.find(id);
    if (d == drift_.end())
        return fixed;
    const int span = d->second.hi - d->second.lo;
    const int phase = int((tNs / 1'000'000 / d->second.stepMs) % uint64_t(2 * span));
    return char('0' + d->second.lo + (phase <= span ? phase : 2 * span - phase));
}

std::vector<SimulatedModem::AircPoll> SimulatedModem::aircPolls()
{
    std::lock_guard lock(mu_);
    advance();
    return {aircPolls_.begin(), aircPolls_.end()};
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

bool SimulatedModem::airMonitorRunning()
{
    std::lock_guard lock(mu_);
    advance();
    return sweeping_;
}

uint64_t SimulatedModem::streamPosition()
{
    std::lock_guard lock(mu_);
    advance();
    return streamPos_;
}

} // namespace kd36
