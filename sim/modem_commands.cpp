// Command mode: the modem gathers bytes into lines, hands each "@" word to
// its handler, and answers the settings commands from the settings it keeps.
#include "sim/simulated_modem.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "sim/modem_internal.h"

namespace kd36 {

using namespace simdetail;

namespace {

constexpr size_t kMaxLine = 4096;
constexpr size_t kKeepLines = 10'000;
constexpr size_t kKeepBytes = size_t(1) << 20;

// The "@ROUT" parameters "D=d" or "D=d;N=r,r,...": false on any other shape.
bool parseRoute(const std::string& params, std::string& relays)
{
    if (params.size() < 3 || !params.starts_with("D=") || !isHexDigit(params[2]))
        return false;
    const std::string rest = params.substr(3);
    if (rest.empty())
        return true;
    if (!rest.starts_with(";N="))
        return false;
    auto ids = split(rest.substr(3), ',');
    if (ids.size() > 5)
        return false;
    for (const auto& id : ids) {
        if (id.size() != 1 || !isHexDigit(id[0]))
            return false;
        relays += id;
    }
    return true;
}

// One "K=V" item of "@COMS" applied to the line; false when the modem refuses it.
bool applyComsItem(ModemLine& l, char k, const std::string& v)
{
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
        return false;
    return true;
}

} // namespace

// ---- Command-mode lines ----

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
        handleCommand(Command{line.substr(1, 4), line.size() > 5, line.size() > 5 ? line.substr(6) : std::string(), t});
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

SimulatedModem::CommandHandler SimulatedModem::handlerFor(const std::string& word)
{
    static constexpr std::array<std::pair<std::string_view, CommandHandler>, 16> kTable{{
        {"INIT", &SimulatedModem::cmdInit},
        {"EQID", &SimulatedModem::cmdEqid},
        {"FREQ", &SimulatedModem::cmdFreq},
        {"ROUT", &SimulatedModem::cmdRout},
        {"INFO", &SimulatedModem::cmdInfo},
        {"COMS", &SimulatedModem::cmdComs},
        {"ANLZ", &SimulatedModem::cmdAnlz},
        {"AIRC", &SimulatedModem::cmdAirc},
        {"DBUG", &SimulatedModem::cmdDbug},
        {"DIF1", &SimulatedModem::cmdDif1},
        {"DIF2", &SimulatedModem::cmdDif2},
        {"TEST", &SimulatedModem::cmdTest},
        {"CMND", &SimulatedModem::cmdModeAck},
        {"STBY", &SimulatedModem::cmdModeAck},
        {"SEND", &SimulatedModem::cmdRadioTest},
        {"RECV", &SimulatedModem::cmdRadioTest},
    }};
    for (const auto& [name, handler] : kTable) {
        if (name == word)
            return handler;
    }
    return nullptr;
}

void SimulatedModem::handleCommand(const Command& c)
{
    if (CommandHandler h = handlerFor(c.word))
        (this->*h)(c);
    else
        reply(">ERR1:CMD", c.t);
}

// ---- Settings commands ----

void SimulatedModem::cmdInit(const Command& c)
{
    if (!c.hasParams) {
        reply(initText(), c.t);
        return;
    }
    ModemSettings n = st_;
    std::vector<std::pair<char, std::string>> kv;
    bool ok = keyValues(c.params, '/', kv);
    for (const auto& [k, v] : kv) {
        long id = 0;
        if (k == 'S' && decimal(v, 7, id))
            n.systemId = uint32_t(id);
        else if (!((k == 'F' && inRange(v, 1, 256, n.frameBytes)) || (k == 'I' && inRange(v, 50, 500, n.idleMs))
                     || (k == 'W' && inRange(v, 3, 100, n.waitSec)) || (k == 'T' && inRange(v, 0, 9, n.txCount))))
            ok = false;
    }
    if (!ok) {
        reply(kBadParams, c.t);
        return;
    }
    st_ = n;
    reply(initText(), c.t);
}

void SimulatedModem::cmdEqid(const Command& c)
{
    reply(c.hasParams ? kBadParams : ">EQID:E=" + std::string(1, st_.deviceId), c.t);
}

void SimulatedModem::cmdFreq(const Command& c)
{
    if (c.hasParams) {
        const std::string& params = c.params;
        int v = 0;
        if (params.size() == 3 && params.starts_with("A=") && inRange(params.substr(2), 0, 7, v)) {
            st_.groupMode = true;
            st_.group = v;
        } else if (params.starts_with("M=") && inRange(params.substr(2), 7, 46, v)) {
            st_.groupMode = false;
            st_.channel = v;
        } else {
            reply(kBadParams, c.t);
            return;
        }
    }
    reply(freqText(), c.t);
}

void SimulatedModem::cmdRout(const Command& c)
{
    if (c.hasParams) {
        std::string relays;
        if (!parseRoute(c.params, relays)) {
            reply(kBadParams, c.t);
            return;
        }
        st_.routeDest = c.params[2];
        st_.routeRelays = relays;
    }
    reply(routText(), c.t);
}

void SimulatedModem::cmdInfo(const Command& c)
{
    if (c.hasParams) {
        const std::string& params = c.params;
        std::string text = params.substr(std::min<size_t>(2, params.size()));
        bool ok = params.starts_with("U=") && text.size() <= 8
            && std::all_of(text.begin(), text.end(), [](char ch) { return ch >= 0x20 && ch <= 0x7E && ch != '/'; });
        if (!ok) {
            reply(kBadParams, c.t);
            return;
        }
        st_.info = text;
    }
    reply(infoText(), c.t);
}

void SimulatedModem::cmdComs(const Command& c)
{
    if (!c.hasParams) {
        reply(comsText(), c.t);
        return;
    }
    ModemLine l = st_.line;
    std::vector<std::pair<char, std::string>> kv;
    bool ok = keyValues(c.params, '/', kv);
    for (const auto& [k, v] : kv) {
        if (!applyComsItem(l, k, v))
            ok = false;
    }
    if (!ok) {
        reply(kBadParams, c.t);
        return;
    }
    st_.line = l;
    const Framing f = framingOf(l);
    // The reply still goes out in the old framing; the line changes after it.
    reply(comsText(), c.t, [this, f](uint64_t end) {
        modemTx_ = f;
        addTimer(end, TimerKind::LineChange, [this, f](uint64_t) { modemRx_ = f; });
    });
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

// ---- Observation ----

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

} // namespace kd36
