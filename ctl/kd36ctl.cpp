// kd36ctl: the setup tool's engine without a window, for scripts. Every
// protocol rule is the engine's; this file only presses the window's
// buttons on a headless view and prints what the window would show.
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "app/settings_file.h"
#include "app/simulator_factory.h"
#include "ctl/ctl_text.h"
#include "host/engine_host.h"
#include "ctl/headless_boxes.h"
#include "ctl/headless_view.h"
#include "engine/link_logic.h"
#include "engine/settings_profile.h"
#include "engine/sjis.h"
#include "serial/port_catalog.h"

#ifndef KD36_VERSION
#define KD36_VERSION "0"
#endif

using namespace kd36;

namespace {

constexpr int kOk = 0;
constexpr int kNoAnswer = 1;
constexpr int kUsage = 2;

// Free number for a port named by path or "simulator" on the command line.
constexpr int kAdHocPort = kMaxPorts;

const char* const kUsageText =
    "Usage: kd36ctl COMMAND [ARGS] [OPTIONS]\n"
    "Drives a KD-36 (QW57) modem through the engine of kd36setup, without a window.\n"
    "\n"
    "Commands:\n"
    "  ports                             list the COM numbers and what each is\n"
    "  read PORT [--json]                read the twenty settings back\n"
    "  write PORT PROFILE [--verify]     write the ticked items of a profile;\n"
    "                                    --verify reads back and fails on any difference\n"
    "  clone PORT PROFILE                read the modem and save its settings as a profile\n"
    "  send PORT TEXT [--wait MS]        send one command line (CR LF is added) and print\n"
    "                                    the reply lines until MS of silence (default 1400)\n"
    "  answerback PORT STATIONS [--json] poll the stations (hex digits, e.g. 2,5,9) for\n"
    "                                    their field-strength level, as the dialog does\n"
    "\n"
    "PORT is COMn (as kd36setup numbers the ports, with the [Ports] pins of its settings\n"
    "file), a device path such as /dev/ttyUSB0, or 'simulator' (the built-in modem).\n"
    "\n"
    "Options:\n"
    "  --ini FILE          settings file to take the port and line settings from\n"
    "                      (default: the one kd36setup uses)\n"
    "  --baud N            line rate (default: the settings file's, else 9600)\n"
    "  --data-bits 7|8     --parity none|odd|even|mark|space\n"
    "  --stop-bits 1|1.5|2 --flow none|xonxoff|rtscts\n"
    "  --json              one JSON object on standard output\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 success, 1 the modem did not answer as required (or the run was\n"
    "interrupted), 2 bad usage or a port that cannot be opened.\n";

// --------------------------------------------------------------- signals

int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_signal = 0;

void onSignal(int sig)
{
    g_signal = sig;
    char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}

// --------------------------------------------------------------- options

struct Options {
    std::string command;
    std::vector<std::string> args;
    bool json = false;
    bool verify = false;
    int waitMs = 1400;
    std::string ini;
    std::optional<uint32_t> baud;
    std::optional<uint8_t> dataBits, parity, stopBits;
    std::optional<int8_t> flow;
};

struct UsageError {
    std::string text;
};

template <class T>
T pick(const std::string& opt, const std::string& v, const std::map<std::string, T>& choices)
{
    auto it = choices.find(v);
    if (it == choices.end())
        throw UsageError{opt + ": '" + v + "' is not one of the choices"};
    return it->second;
}

long number(const std::string& opt, const std::string& v, long lo, long hi)
{
    try {
        size_t used = 0;
        const long n = std::stol(v, &used, 10);
        if (used == v.size() && n >= lo && n <= hi)
            return n;
    } catch (const std::exception&) {
    }
    throw UsageError{opt + ": '" + v + "' is not a number from " + std::to_string(lo) + " to " + std::to_string(hi)};
}

Options parse(const std::vector<std::string>& argv)
{
    Options o;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argv.size())
                throw UsageError{a + " needs a value"};
            return argv[++i];
        };
        if (a == "--json") o.json = true;
        else if (a == "--verify") o.verify = true;
        else if (a == "--wait") o.waitMs = int(number(a, value(), 0, 600000));
        else if (a == "--ini") o.ini = value();
        else if (a == "--baud") o.baud = uint32_t(number(a, value(), 50, 4000000));
        else if (a == "--data-bits") o.dataBits = uint8_t(number(a, value(), 5, 8));
        else if (a == "--parity")
            o.parity = pick<uint8_t>(a, value(), {{"none", 0}, {"odd", 1}, {"even", 2}, {"mark", 3}, {"space", 4}});
        else if (a == "--stop-bits") o.stopBits = pick<uint8_t>(a, value(), {{"1", 0}, {"1.5", 1}, {"2", 2}});
        else if (a == "--flow") o.flow = pick<int8_t>(a, value(), {{"none", 0}, {"xonxoff", 1}, {"rtscts", 2}});
        else if (a.size() > 1 && a[0] == '-' && a != "-") throw UsageError{"unknown option " + a};
        else if (o.command.empty()) o.command = a;
        else o.args.push_back(a);
    }
    static const std::map<std::string, size_t> arity = {{"ports", 0}, {"read", 1},  {"write", 2},
                                                        {"clone", 2}, {"send", 2}, {"answerback", 2}};
    if (o.command.empty())
        throw UsageError{"no command given"};
    auto it = arity.find(o.command);
    if (it == arity.end())
        throw UsageError{"unknown command '" + o.command + "'"};
    if (o.args.size() != it->second)
        throw UsageError{o.command + " takes " + std::to_string(it->second) + " argument(s), got " +
                         std::to_string(o.args.size())};
    if (o.verify && o.command != "write")
        throw UsageError{"--verify belongs to write"};
    return o;
}

// --------------------------------------------------------------- port

// The catalog's opener, remembering why the last open failed.
class RecordingOpener final : public DeviceOpener {
public:
    explicit RecordingOpener(PortCatalog& c) : catalog(c) {}
    std::unique_ptr<Device> open(int n, int& err) override
    {
        auto d = catalog.open(n, err);
        lastError = d ? 0 : err;
        return d;
    }
    std::vector<std::string> portNames() override { return catalog.portNames(); }
    std::string portDescription(int n) override { return catalog.describe(n); }
    PortCatalog& catalog;
    int lastError = 0;
};

std::string settingsPath(const Options& o)
{
    if (!o.ini.empty())
        return o.ini;
    // The file kd36setup uses: beside it, else in the user's folder.
    const std::string dir = QCoreApplication::applicationDirPath().toStdString();
    const std::string config =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() + "/kd36setup";
    return settingsFilePath(dir + "/kd36setup", config);
}

std::string describePort(const std::string& given, int n, PortCatalog& catalog)
{
    if (n == kAdHocPort)
        return given;
    const std::string what = catalog.describe(n);
    return "COM" + std::to_string(n) + (what.empty() ? "" : " (" + (what == kSimulatorDescription ? std::string("simulator") : what) + ")");
}

// --------------------------------------------------------------- the run

class Session {
public:
    Session(const Options& o, std::map<int, std::string> pins)
        : opt(o)
        , main(layout("main_form.ui"), {{"timRxWait", 1400}, {"timIntervalTx", 10000}})
        , link(layout("link_form.ui"), {{"timWaitTime", 10000}})
        , packet(layout("packet_form.ui"), {})
        , catalog(std::move(pins))
        , opener(catalog)
        , host(EngineHost::Views{main, link, packet}, boxes, clock, opener, [this](uint64_t now) {
            main.fireDueTimers(now);
            link.fireDueTimers(now);
        })
    {
        catalog.setSimulatorFactory([this] { return makeSimulatedModem(clock); });
        for (HeadlessView* v : {&main, &link, &packet})
            v->nowMs = [this] { return clock.nowMs(); };
        main.onTimer = [this](const std::string& n) {
            if (n == "timRxWait" && host.engine.FStep != 0 && host.engine.FStep % 2 == 0)
                timedOut.push_back(lastCommand());
            host.mainTimer(n);
        };
        link.onTimer = [this](const std::string& n) { host.linkTimer(n); };
        link.onShow = [this] { host.linkShown(); };
        link.onHide = [this] { host.linkHidden(); };
        packet.onShow = [this] { host.packetShown(); };
        packet.onHide = [this] { host.packetHidden(); };
        // The lists the dialogs fill in code.
        std::vector<std::string> hex, relay{"-"};
        for (const char* c : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F"})
            hex.push_back(c), relay.push_back(c);
        packet.setItems("cmbRoute0", hex, -1);
        packet.setItems("cmbRoute6", hex, -1);
        for (int n = 1; n <= 5; ++n)
            packet.setItems("cmbRoute" + std::to_string(n), relay, -1);
        host.setPieceTap([this](const std::string& p) { received += p; });
        // From the receive thread: a queued call by name carries nothing of
        // ours across, so the hand-over stays visible to the race detector.
        passSoon.setSingleShot(true);
        passSoon.setInterval(0);
        QObject::connect(&passSoon, &QTimer::timeout, &loopOwner, [this] { pass(); });
        host.setPieceNotify([this] { QMetaObject::invokeMethod(&passSoon, "start", Qt::QueuedConnection); });
    }

    static std::string layout(const char* name)
    {
        QFile f(QStringLiteral(":/kd36ctl/") + QLatin1String(name));
        if (!f.open(QIODevice::ReadOnly))
            throw std::runtime_error(std::string("window layout missing: ") + name);
        return f.readAll().toStdString();
    }

    // The window's start: construction, the settings file, the templates.
    void start(const std::string& settingsFile)
    {
        catalog.refresh();
        host.constructBeforeSettings();
        std::vector<std::string> templates = MainEngine::TemplateItems();
        main.setItems("cmbTemplate", templates, -1);
        if (!settingsFile.empty()) {
            StoredSettings s;
            s.port = host.engine.FPortNumber;
            s.com = host.engine.portSettings;
            s.extension = host.engine.FExtension;
            WindowPlacement wp;
            LoadSettings(settingsFile, s, main, wp);
            host.engine.FPortNumber = s.port;
            host.engine.portSettings = s.com;
            host.engine.FExtension = s.extension;
        }
        host.constructAfterSettings();
    }

    // One pass; the run's loop ends when its condition holds.
    void pass()
    {
        // Nothing may leave through Qt's event loop: a fault ends the run.
        try {
            if (fault.empty())
                host.step();
        } catch (const std::exception& e) {
            fault = e.what();
        }
        if (loop && (!fault.empty() || until() || g_signal || clock.nowMs() >= deadline))
            loop->quit();
    }

    // Runs passes (every 10 ms and at each hand-over) until pred() or maxMs.
    // False when interrupted by a signal or out of time.
    bool runUntil(std::function<bool()> pred, uint64_t maxMs)
    {
        if (pred())
            return true;
        until = std::move(pred);
        deadline = clock.nowMs() + maxMs;
        QEventLoop l;
        loop = &l;
        QTimer idle;
        QObject::connect(&idle, &QTimer::timeout, &loopOwner, [this] { pass(); });
        idle.start(10);
        QMetaObject::invokeMethod(&loopOwner, [this] { pass(); }, Qt::QueuedConnection);
        l.exec();
        loop = nullptr;
        if (!fault.empty())
            throw std::runtime_error(fault);
        return !g_signal && until();
    }

    // The last command the window echoed, without its line break.
    std::string lastCommand() const
    {
        const std::string& t = host.engine.memTxRxMonitor.text();
        size_t end = t.size();
        while (end > 0) {
            size_t start = t.rfind("\r\n", end >= 3 ? end - 3 : 0);
            start = start == std::string::npos || start >= end ? 0 : start + 2;
            if (end - start >= 2 && t[start] == '@')
                return t.substr(start, end - start - (t.compare(end - 2, 2, "\r\n") == 0 ? 2 : 0));
            if (start == 0)
                break;
            end = start;
        }
        return {};
    }

    const Options& opt;
    SteadyClock clock;
    HeadlessBoxes boxes;
    HeadlessView main, link, packet;
    PortCatalog catalog;
    RecordingOpener opener;
    QObject loopOwner;
    QTimer passSoon;
    EngineHost host;
    std::vector<std::string> timedOut;
    std::string received;
    std::string fault;

private:
    QEventLoop* loop = nullptr;
    std::function<bool()> until = [] { return false; };
    uint64_t deadline = 0;
};

// The twenty read-back fields, by the names scripts see.
const std::pair<const char*, int> kFields[] = {
    {"system_id", 1},         {"device_id", 2},      {"channel_group", 3},     {"channel", 4},
    {"route_destination", 5}, {"relay1", 6},         {"relay2", 7},            {"relay3", 13},
    {"relay4", 14},           {"relay5", 15},        {"frame_bytes", 8},       {"frame_idle_ms", 9},
    {"frame_wait_s", 10},     {"frame_tx_count", 11}, {"info", 12},            {"rs232c_rate", 16},
    {"rs232c_data_bits", 17}, {"rs232c_parity", 18}, {"rs232c_stop_bits", 19}, {"rs232c_flow", 20},
};

std::string field(Session& s, int n)
{
    return sjisToUtf8(s.main.text("edtRead" + std::to_string(n)));
}

bool runRead(Session& s)
{
    s.timedOut.clear();
    s.host.engine.spbReadClick();
    // Seven commands, each at most its reply time-out plus a pass.
    return s.runUntil([&] { return s.host.engine.FStep == 0 && !s.host.engine.FBusy; }, 7 * 1600 + 1000);
}

void printRead(Session& s, bool json)
{
    if (json) {
        std::string out = "{";
        for (auto& [name, n] : kFields)
            out += jsonString(name) + ":" + jsonString(field(s, n)) + ",";
        out += "\"timed_out\":[";
        for (size_t i = 0; i < s.timedOut.size(); ++i)
            out += (i ? "," : "") + jsonString(sjisToUtf8(s.timedOut[i]));
        out += "]}\n";
        std::fputs(out.c_str(), stdout);
        return;
    }
    for (auto& [name, n] : kFields)
        std::printf("%s=%s\n", name, plainText(field(s, n)).c_str());
    std::string t;
    for (auto& c : s.timedOut)
        t += (t.empty() ? "" : ",") + plainText(sjisToUtf8(c));
    std::printf("timed_out=%s\n", t.c_str());
}

int cmdRead(Session& s)
{
    if (!runRead(s))
        return kNoAnswer;
    printRead(s, s.opt.json);
    return s.timedOut.empty() ? kOk : kNoAnswer;
}

int cmdSend(Session& s, const std::string& text)
{
    const std::string sjis = utf8ToSjis(text);
    s.main.setText("txtEdit", sjis);
    s.received.clear();
    s.host.engine.spbCommandTxClick();
    // Reply lines until the line has been quiet for the wait.
    uint64_t lastSize = 0, quietSince = s.clock.nowMs();
    const uint64_t wait = uint64_t(s.opt.waitMs);
    s.runUntil(
        [&] {
            if (s.received.size() != lastSize) {
                lastSize = s.received.size();
                quietSince = s.clock.nowMs();
            }
            return s.clock.nowMs() - quietSince >= wait;
        },
        wait + 600000);
    if (g_signal)
        return kNoAnswer;
    size_t pos = 0;
    while (pos < s.received.size()) {
        size_t end = s.received.find("\r\n", pos);
        const size_t stop = end == std::string::npos ? s.received.size() : end;
        std::printf("%s\n", plainText(sjisToUtf8(s.received.substr(pos, stop - pos))).c_str());
        pos = end == std::string::npos ? s.received.size() : end + 2;
    }
    return s.received.empty() ? kNoAnswer : kOk;
}

std::vector<int> parseStations(const std::string& list)
{
    std::vector<int> st;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(',', pos);
        const std::string item = list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (item.size() != 1 || !std::isxdigit(static_cast<unsigned char>(item[0])))
            throw UsageError{"station '" + item + "' is not one hexadecimal digit 0-F"};
        const int n = std::stoi(item, nullptr, 16);
        if (std::find(st.begin(), st.end(), n) == st.end())
            st.push_back(n);
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return st;
}

int cmdAnswerBack(Session& s, const std::vector<int>& stations)
{
    MainEngine& e = s.host.engine;
    LinkLogic& dlg = e.linkForm();
    // Open the dialog as its button does.
    e.mnuRssiInfoClick();
    if (!s.runUntil([&] { return e.FLinkState == 1; }, 2000))
        return kNoAnswer;
    std::map<int, StationResult> result;
    std::vector<int> left = stations;
    bool noLine = false;
    // A station that stays silent ends the dialog's run; the stations after
    // it are polled by starting again, as the user would.
    while (!left.empty() && !noLine) {
        for (int n = 0; n < LinkLogic::kStations; ++n)
            s.link.setChecked("CheckBox" + std::to_string(n), std::find(left.begin(), left.end(), n) != left.end());
        dlg.btnGetClick();
        if (!s.runUntil([&] { return e.FLinkState == 3 && e.FLinkStateSeen == 3; },
                        uint64_t(left.size()) * (LinkLogic::kWaitMs + 1000)))
            break;
        bool settled = false;
        for (const StationResult& r : dlg.results()) {
            if (r.result == LinkResult::Pending)
                continue;
            result[r.station] = r;
            settled = true;
            noLine = noLine || r.result == LinkResult::NoLine;
        }
        std::vector<int> next;
        for (int n : left)
            if (!result.count(n))
                next.push_back(n);
        if (!settled)
            break; // nothing moved: do not poll for ever
        left = next;
    }
    // Close the dialog with its close button.
    s.link.hideForm();
    s.runUntil([&] { return e.FLinkState == 0 && e.FLinkStateSeen == 0; }, 2000);
    if (g_signal)
        return kNoAnswer;

    bool all = true;
    std::string out = s.opt.json ? "{\"stations\":[" : "";
    bool first = true;
    for (int n : stations) {
        const std::string id(1, "0123456789ABCDEF"[n]);
        auto it = result.find(n);
        const bool ok = it != result.end() && it->second.result == LinkResult::Ok;
        all = all && ok;
        const std::string level = ok ? std::to_string(it->second.level) : std::string();
        const std::string status = it != result.end() ? linkResultName(it->second.result) : "not-polled";
        if (s.opt.json)
            out += std::string(first ? "" : ",") + "{\"id\":\"" + id + "\",\"level\":" + (ok ? level : "null") +
                   ",\"status\":\"" + status + "\"}";
        else
            out += id + "=" + (ok ? level : status) + "\n";
        first = false;
    }
    if (s.opt.json)
        out += "]}\n";
    std::fputs(out.c_str(), stdout);
    return all ? kOk : kNoAnswer;
}

// The relays as the route command carries them: up to the first "-".
std::vector<std::string> relayChain(const SettingsProfile& p)
{
    std::vector<std::string> chain;
    for (const auto& r : p.relays) {
        if (!r || *r == "-" || r->empty())
            break;
        chain.push_back(*r);
    }
    return chain;
}

std::string show(const std::optional<std::string>& v)
{
    return v ? plainText(sjisToUtf8(*v)) : std::string("(nothing)");
}

std::string show(const std::optional<int>& v)
{
    return v ? std::to_string(*v) : std::string("(nothing)");
}

// What the modem reads back against what was written, item by item, for
// the ticked items only. Each difference as "item: wrote X, read Y".
std::vector<std::string> differences(const SettingsProfile& wrote, const SettingsProfile& read, bool extension)
{
    std::vector<std::string> diff;
    auto check = [&](const char* what, const auto& w, const auto& r) {
        if (w != r)
            diff.push_back(std::string(what) + ": wrote " + show(w) + ", read " + show(r));
    };
    if (wrote.sysIdOn.value_or(false)) {
        // The number counts, not how it was typed ("0012" reads back "12").
        auto num = [](const std::optional<std::string>& t) -> std::optional<long long> {
            if (!t)
                return std::nullopt;
            char* end = nullptr;
            const long long v = std::strtoll(t->c_str(), &end, 10);
            return end && *end == 0 && !t->empty() ? std::optional<long long>(v) : std::nullopt;
        };
        const auto w = num(wrote.systemId), r = num(read.systemId);
        if (!w || !r ? wrote.systemId != read.systemId : *w != *r)
            diff.push_back("system_id: wrote " + show(wrote.systemId) + ", read " + show(read.systemId));
    }
    if (wrote.chanOn.value_or(false)) {
        if (wrote.channelAuto.value_or(true))
            check("channel_group", wrote.group, read.channelAuto.value_or(false) ? read.group : std::nullopt);
        else
            check("channel", wrote.channel, !read.channelAuto.value_or(true) ? read.channel : std::nullopt);
    }
    if (wrote.routOn.value_or(false)) {
        check("route_destination", wrote.routeDest, read.routeDest);
        const auto w = relayChain(wrote), r = relayChain(read);
        if (w != r) {
            auto join = [](const std::vector<std::string>& v) {
                std::string t;
                for (auto& x : v)
                    t += (t.empty() ? "" : ",") + x;
                return t.empty() ? std::string("(none)") : t;
            };
            diff.push_back("relays: wrote " + join(w) + ", read " + join(r));
        }
    }
    if (wrote.framOn.value_or(false)) {
        check("frame_bytes", wrote.frameByte, read.frameByte);
        check("frame_idle_ms", wrote.frameIdle, read.frameIdle);
        check("frame_wait_s", wrote.frameWait, read.frameWait);
        check("frame_tx_count", wrote.frameTxNumber, read.frameTxNumber);
    }
    if (wrote.infoOn.value_or(false))
        check("info", wrote.deviceInfo, read.deviceInfo);
    if (wrote.seriOn.value_or(false)) {
        check("rs232c_rate", wrote.rate, read.rate);
        // Parity, stop bits and flow go out only in extended mode.
        if (extension) {
            check("rs232c_parity", wrote.parity, read.parity);
            check("rs232c_stop_bits", wrote.stopBits, read.stopBits);
            check("rs232c_flow", wrote.flow, read.flow);
        }
    }
    return diff;
}

int cmdWrite(Session& s, const std::string& path)
{
    ProfileReadResult r = readProfileFile(path);
    if (!r.ok) {
        std::fprintf(stderr, "kd36ctl: profile %s: %s\n", path.c_str(), plainText(r.error).c_str());
        return kUsage;
    }
    if (!r.skipped.empty())
        std::fprintf(stderr, "kd36ctl: profile %s: left out:\n%s\n", path.c_str(),
                     plainText(describeIssues(r.skipped)).c_str());
    MainEngine& e = s.host.engine;
    applyProfile(e, r.profile);
    // What the panel holds now is what the write sends.
    const SettingsProfile wrote = profileFromPanel(s.main);
    const size_t boxesBefore = s.boxes.shown;
    s.timedOut.clear();
    e.spbWriteClick();
    if (!s.runUntil([&] { return e.FStep == 0 && !e.FBusy; }, 7 * 1600 + 1000))
        return kNoAnswer;
    int rc = kOk;
    if (!s.timedOut.empty()) {
        std::string t;
        for (auto& c : s.timedOut)
            t += " " + plainText(sjisToUtf8(c));
        std::fprintf(stderr, "kd36ctl: no reply to:%s\n", t.c_str());
        rc = kNoAnswer;
    }
    // A refused system ID (its box went to standard error) was not written.
    if (s.boxes.shown != boxesBefore)
        rc = kNoAnswer;
    if (!s.opt.verify)
        return rc;

    if (!runRead(s))
        return kNoAnswer;
    const SettingsProfile read = profileFromReadBack(s.main, false);
    const auto diff = differences(wrote, read, e.FExtension != 0);
    for (const std::string& d : diff)
        std::fprintf(stderr, "kd36ctl: verify: %s\n", d.c_str());
    if (!diff.empty() || !s.timedOut.empty())
        return kNoAnswer;
    return rc;
}

int cmdClone(Session& s, const std::string& path)
{
    if (!runRead(s))
        return kNoAnswer;
    if (!s.timedOut.empty()) {
        // A partial read would make a profile that quietly leaves items out.
        std::string t;
        for (auto& c : s.timedOut)
            t += " " + plainText(sjisToUtf8(c));
        std::fprintf(stderr, "kd36ctl: no reply to:%s; profile not written\n", t.c_str());
        return kNoAnswer;
    }
    std::vector<ProfileIssue> notCopied;
    const SettingsProfile p = profileFromReadBack(s.main, true, &notCopied);
    if (!notCopied.empty())
        std::fprintf(stderr, "kd36ctl: not copied:\n%s\n", plainText(describeIssues(notCopied)).c_str());
    std::string why;
    if (!writeProfileFile(path, p, why)) {
        std::fprintf(stderr, "kd36ctl: profile %s: %s\n", path.c_str(), plainText(why).c_str());
        return kUsage;
    }
    return notCopied.empty() ? kOk : kNoAnswer;
}

int listPorts(PortCatalog& catalog)
{
    catalog.refresh();
    for (const auto& e : catalog.entries())
        std::printf("COM%d \u2014 %s%s\n", e.number,
                    e.simulator ? "simulator" : plainText(catalog.describe(e.number)).c_str(),
                    e.pinned ? " (pinned)" : "");
    return kOk;
}

} // namespace

int main(int argc, char* argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kUsageText, stdout);
            return kOk;
        }
        if (a == "--version") {
            std::printf("kd36ctl %s\n", KD36_VERSION);
            return kOk;
        }
    }
    Options opt;
    try {
        opt = parse(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kd36ctl: %s\nTry 'kd36ctl --help'.\n", e.text.c_str());
        return kUsage;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kd36ctl"));

    const std::string ini = settingsPath(opt);
    const bool haveIni = std::filesystem::exists(ini);
    if (!opt.ini.empty() && !haveIni) {
        std::fprintf(stderr, "kd36ctl: settings file %s: %s\n", ini.c_str(), std::strerror(ENOENT));
        return kUsage;
    }
    std::map<int, std::string> pins = haveIni ? readPortPins(ini) : std::map<int, std::string>{};

    if (opt.command == "ports") {
        PortCatalog catalog(pins);
        catalog.setSimulatorFactory([] { return std::unique_ptr<Device>(); });
        return listPorts(catalog);
    }

    // The port: COMn from the catalog, or a path / the simulator under a free number.
    const std::string& given = opt.args[0];
    int portNumber = 0;
    if (given == "simulator") {
        pins[kAdHocPort] = "simulator";
        portNumber = kAdHocPort;
    } else if (given.find('/') != std::string::npos) {
        pins[kAdHocPort] = given;
        portNumber = kAdHocPort;
    } else if ((given.rfind("COM", 0) == 0 || given.rfind("com", 0) == 0) && given.size() > 3) {
        try {
            portNumber = int(number("PORT", given.substr(3), 1, kMaxPorts - 1));
        } catch (const UsageError&) {
            portNumber = 0;
        }
    }
    if (portNumber == 0) {
        std::fprintf(stderr, "kd36ctl: '%s' is not a port (COMn, a device path or simulator)\n", given.c_str());
        return kUsage;
    }

    // SIGINT/SIGTERM end the run between passes; the port is closed as on exit.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
    }

    int rc = kOk;
    try {
        Session s(opt, pins);
        QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &s.loopOwner, [&s] {
            char c;
            [[maybe_unused]] auto n = ::read(g_signalPipe[0], &c, 1);
            s.pass(); // ends the loop
        });
        s.start(haveIni ? ini : std::string());
        if (!s.catalog.describe(portNumber).size() && portNumber != kAdHocPort) {
            std::fprintf(stderr, "kd36ctl: COM%d: no such port ('kd36ctl ports' lists them)\n", portNumber);
            return kUsage;
        }
        PortSettings line = s.host.engine.portSettings;
        if (opt.baud) line.BaudRate = *opt.baud;
        if (opt.dataBits) line.ByteSize = *opt.dataBits;
        if (opt.parity) line.Parity = *opt.parity;
        if (opt.stopBits) line.StopBits = *opt.stopBits;
        if (opt.flow) line.FlowCtrl = *opt.flow;

        std::vector<int> stations;
        if (opt.command == "answerback")
            stations = parseStations(opt.args[1]);

        s.boxes.quiet = true;
        s.host.port.start();
        if (!s.host.open(portNumber, line)) {
            const int err = s.opener.lastError;
            std::string why = err ? std::system_category().message(err) : s.boxes.lastDetail;
            if (err == EACCES)
                why += " \u2014 add the user to the group dialout";
            else if (err == EBUSY)
                why += " \u2014 another program holds the port";
            std::fprintf(stderr, "kd36ctl: %s: %s\n", describePort(given, portNumber, s.catalog).c_str(),
                         plainText(why).c_str());
            s.host.shutDown();
            return kUsage;
        }
        s.boxes.quiet = false;

        if (opt.command == "read")
            rc = cmdRead(s);
        else if (opt.command == "send")
            rc = cmdSend(s, opt.args[1]);
        else if (opt.command == "answerback")
            rc = cmdAnswerBack(s, stations);
        else if (opt.command == "write")
            rc = cmdWrite(s, opt.args[1]);
        else
            rc = cmdClone(s, opt.args[1]);
        s.host.shutDown();
        if (g_signal) {
            std::fprintf(stderr, "kd36ctl: interrupted; port closed\n");
            rc = kNoAnswer;
        }
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kd36ctl: %s\nTry 'kd36ctl --help'.\n", e.text.c_str());
        return kUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kd36ctl: %s\n", e.what());
        return kUsage;
    }
    return rc;
}
