// kd36ctl: the setup tool's engine without a window, for scripts. Every
// protocol rule is the engine's; this file only presses the window's
// buttons on a headless view and prints what the window would show.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "app/settings_file.h"
#include "app/settings_io.h"
#include "ctl/ctl_session.h"
#include "ctl/ctl_text.h"
#include "engine/sjis.h"
#include "serial/device.h"
#include "serial/port_catalog.h"

#ifndef KD36_VERSION
#define KD36_VERSION "0"
#endif

using namespace kd36;
using namespace kd36::ctl;

namespace {

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
    "  send PORT TEXT [--wait MS]        send one command line (CR LF is added; no CR or LF\n"
    "                                    in TEXT, at most 2046 bytes in Shift-JIS) and print\n"
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

void onSignal(int sig)
{
    g_signal = sig;
    char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}

// --------------------------------------------------------------- options

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

// `send` takes one command line that the port's write takes whole; anything
// else is refused before the port is opened.
void checkSendText(const std::string& text)
{
    if (text.empty())
        throw UsageError{"send: the command is empty"};
    if (text.find_first_of("\r\n") != std::string::npos)
        throw UsageError{"send: the command holds a line break (CR or LF); send takes one command line"};
    const size_t bytes = utf8ToSjis(text).size() + 2;
    if (bytes > size_t(kDriverQueueSize))
        throw UsageError{"send: the command is too long for the line: " + std::to_string(bytes) +
                         " bytes in Shift-JIS with CR LF, the port takes at most " + std::to_string(kDriverQueueSize)};
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
    if (o.command == "send")
        checkSendText(o.args[1]);
    return o;
}

// --------------------------------------------------------------- port

std::string settingsPath(const Options& o)
{
    if (!o.ini.empty())
        return o.ini;
    // The file kd36setup uses: a portable one beside it, else the user's.
    const std::string dir = QCoreApplication::applicationDirPath().toStdString();
    return settingsFilePath(dir + "/kd36setup", userConfigFolder());
}

std::string describePort(const std::string& given, int n, PortCatalog& catalog)
{
    if (n == kAdHocPort)
        return given;
    const std::string what = catalog.describe(n);
    return "COM" + std::to_string(n) + (what.empty() ? "" : " (" + (what == kSimulatorDescription ? std::string("simulator") : what) + ")");
}

// --------------------------------------------------------------- main's steps

// True when --help or --version was asked for (and answered).
bool helpOrVersion(const std::vector<std::string>& args)
{
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kUsageText, stdout);
            return true;
        }
        if (a == "--version") {
            std::printf("kd36ctl %s\n", KD36_VERSION);
            return true;
        }
    }
    return false;
}

// The port: COMn from the catalog, or a path / the simulator under a free
// number (pinned in `pins`). 0 when `given` names no port.
bool isComName(const std::string& given)
{
    return given.size() > 3 && (given.rfind("COM", 0) == 0 || given.rfind("com", 0) == 0);
}

int portNumberOf(const std::string& given, std::map<int, std::string>& pins)
{
    int portNumber = 0;
    if (given == "simulator") {
        pins[kAdHocPort] = "simulator";
        portNumber = kAdHocPort;
    } else if (given.find('/') != std::string::npos) {
        pins[kAdHocPort] = given;
        portNumber = kAdHocPort;
    } else if (isComName(given)) {
        try {
            portNumber = int(number("PORT", given.substr(3), 1, kMaxPorts - 1));
        } catch (const UsageError&) {
            portNumber = 0;
        }
    }
    return portNumber;
}

// SIGINT/SIGTERM end the run between passes; the port is closed as on exit.
void catchSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
    }
}

// The settings file's line settings with the command line's changes.
PortSettings lineSettings(const Options& opt, PortSettings line)
{
    if (opt.baud) line.BaudRate = *opt.baud;
    if (opt.dataBits) line.ByteSize = *opt.dataBits;
    if (opt.parity) line.Parity = *opt.parity;
    if (opt.stopBits) line.StopBits = *opt.stopBits;
    if (opt.flow) line.FlowCtrl = *opt.flow;
    return line;
}

// Opens the port as the window would; says why on standard error when not.
bool openPort(Session& s, const std::string& given, int portNumber, const PortSettings& line)
{
    s.boxes.quiet = true;
    s.host.port.start();
    s.host.port.setOpenAbort([] { return g_signal != 0; });
    if (!s.host.open(portNumber, line)) {
        if (g_signal) {
            std::fprintf(stderr, "kd36ctl: interrupted while opening the port\n");
            s.host.shutDown();
            return false;
        }
        const int err = s.opener.lastError;
        std::string why = s.host.port.openFailure();
        if (why.empty())
            why = err ? std::system_category().message(err) : s.boxes.lastDetail;
        const std::string hint = err == EACCES ? s.opener.permissionHint(portNumber) : std::string();
        if (!hint.empty())
            why += " \u2014 " + hint;
        else if (err == EBUSY)
            why += " \u2014 another program holds the port";
        std::fprintf(stderr, "kd36ctl: %s: %s\n", describePort(given, portNumber, s.catalog).c_str(),
                     plainText(why).c_str());
        s.host.shutDown();
        return false;
    }
    s.boxes.quiet = false;
    return true;
}

int runCommand(Session& s, const Options& opt, const std::vector<int>& stations)
{
    if (opt.command == "read")
        return cmdRead(s);
    if (opt.command == "send")
        return cmdSend(s, opt.args[1]);
    if (opt.command == "answerback")
        return cmdAnswerBack(s, stations);
    if (opt.command == "write")
        return cmdWrite(s, opt.args[1]);
    return cmdClone(s, opt.args[1]);
}

// One run on an opened port, from the window's start to the port's close.
int runSession(const Options& opt, const std::map<int, std::string>& pins, const std::string& ini, int portNumber)
{
    Session s(opt, pins);
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &s.loopOwner, [&s] {
        char c;
        [[maybe_unused]] auto n = ::read(g_signalPipe[0], &c, 1);
        s.pass(); // ends the loop
    });
    s.start(ini);
    if (!s.catalog.describe(portNumber).size() && portNumber != kAdHocPort) {
        std::fprintf(stderr, "kd36ctl: COM%d: no such port ('kd36ctl ports' lists them)\n", portNumber);
        return kUsage;
    }
    const PortSettings line = lineSettings(opt, s.host.engine.portSettings());

    std::vector<int> stations;
    if (opt.command == "answerback")
        stations = parseStations(opt.args[1]);

    if (!openPort(s, opt.args[0], portNumber, line))
        return g_signal ? kNoAnswer : kUsage;
    const int rc = runCommand(s, opt, stations);
    s.host.shutDown();
    if (g_signal) {
        std::fprintf(stderr, "kd36ctl: interrupted; port closed\n");
        return kNoAnswer;
    }
    return rc;
}

} // namespace

namespace kd36::ctl {
volatile sig_atomic_t g_signal = 0;
}

int main(int argc, char* argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (helpOrVersion(args))
        return kOk;
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
    const settings_io::FileRead iniRead = settings_io::readSettingsFile(ini);
    const bool haveIni = iniRead.state != settings_io::FileRead::Missing;
    // A file named on the command line is the user's intent: it is read whole or the run stops.
    if (!opt.ini.empty() && iniRead.state != settings_io::FileRead::Whole) {
        const std::string why = iniRead.state == settings_io::FileRead::Missing ? std::strerror(ENOENT)
            : iniRead.state == settings_io::FileRead::Folder                    ? std::strerror(EISDIR)
                                                                                : iniRead.why;
        std::fprintf(stderr, "kd36ctl: settings file %s cannot be read: %s\n", plainText(ini).c_str(),
                     plainText(why).c_str());
        return kUsage;
    }
    std::string pinsProblem;
    std::map<int, std::string> pins = haveIni ? readPortPins(ini, &pinsProblem) : std::map<int, std::string>{};

    if (opt.command == "ports") {
        if (!pinsProblem.empty())
            std::fprintf(stderr, "kd36ctl: settings file %s cannot be read whole (%s); its pins are left out\n",
                         ini.c_str(), pinsProblem.c_str());
        PortCatalog catalog(pins);
        catalog.setSimulatorFactory([] { return std::unique_ptr<Device>(); });
        return listPorts(catalog);
    }

    const std::string& given = opt.args[0];
    // Without all of [Ports] a COM number may name another adapter.
    if (!pinsProblem.empty() && isComName(given)) {
        std::fprintf(stderr,
                     "kd36ctl: settings file %s cannot be read whole (%s), so its port numbers are not known;\n"
                     "kd36ctl: give the device path instead of %s\n",
                     ini.c_str(), pinsProblem.c_str(), given.c_str());
        return kUsage;
    }
    const int portNumber = portNumberOf(given, pins);
    if (portNumber == 0) {
        std::fprintf(stderr, "kd36ctl: '%s' is not a port (COMn, a device path or simulator)\n", given.c_str());
        return kUsage;
    }
    catchSignals();

    try {
        return runSession(opt, pins, haveIni ? ini : std::string(), portNumber);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kd36ctl: %s\nTry 'kd36ctl --help'.\n", e.text.c_str());
        return kUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kd36ctl: %s\n", e.what());
        return kUsage;
    }
}
