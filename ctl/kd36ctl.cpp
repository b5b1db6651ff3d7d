// kd36ctl: the setup tool's engine without a window, for scripts. Every
// protocol rule is the engine's; this file only presses the window's
// buttons on a headless view and prints what the window would show.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
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
#include "ctl/ctl_options.h"
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

// --------------------------------------------------------------- signals

int g_signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    g_signal = sig;
    char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}

// Bad usage: one line on standard error.
void usageError(const UsageError& e)
{
    complain(QT_TRANSLATE_NOOP("kd36ctl", "%1 (try 'kd36ctl --help')"), {e.text});
}

// --------------------------------------------------------------- port

// Why the settings file could not be read, in the language of standard error.
std::string readerWhy(const settings_io::FileRead& r)
{
    return japaneseStderr() && !r.whyJa.empty() ? r.whyJa : reason(r.why);
}

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
    // The simulator's description is the window's Japanese: the port's word in English.
    const bool simulator = what == kSimulatorDescription && !japaneseStderr();
    return "COM" + std::to_string(n) + (what.empty() ? "" : " (" + (simulator ? std::string("simulator") : what) + ")");
}

// --------------------------------------------------------------- main's steps

// True when --help or --version was asked for (and answered).
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
        const std::string digits = given.substr(3);
        const auto n = digits.find_first_not_of("0123456789") == std::string::npos && digits.size() <= 3
            ? std::stoi(digits) : 0;
        portNumber = n >= 1 && n < kMaxPorts ? n : 0;
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
    s.host.startReceiving();
    s.host.setOpenAbort([] { return g_signal != 0; });
    if (!s.host.open(portNumber, line)) {
        if (g_signal) {
            complain(QT_TRANSLATE_NOOP("kd36ctl", "interrupted while opening the port"));
            s.host.shutDown();
            return false;
        }
        const int err = s.opener.lastError;
        std::string why = s.host.openFailure();
        if (why.empty())
            why = err ? std::system_category().message(err) : s.boxes.lastDetail;
        const std::string hint = err == EACCES ? s.opener.permissionHint(portNumber) : std::string();
        if (!hint.empty())
            why += " \u2014 " + hint;
        else if (err == EBUSY)
            why += " \u2014 " + said(QT_TRANSLATE_NOOP("kd36ctl", "another program holds the port"));
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
    if (opt.command == "watch")
        return cmdWatch(s, stations);
    if (opt.command == "write")
        return cmdWrite(s, opt.args[1]);
    return cmdClone(s, opt.args[1]);
}

// One run on an opened port, from the window's start to the port's close.
int runSession(const Options& opt, const std::map<int, std::string>& pins, const std::string& ini, int portNumber)
{
    std::vector<std::string> ignored;
    const SimulatorSetup sim = ini.empty() ? SimulatorSetup{} : simulatorSetup(readSection(ini, "Simulator"), &ignored);
    Session s(opt, pins, sim);
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &s.loopOwner, [&s] {
        char c;
        [[maybe_unused]] auto n = ::read(g_signalPipe[0], &c, 1);
        s.pass(); // ends the loop
    });
    s.start(ini);
    if (!s.catalog.describe(portNumber).size() && portNumber != kAdHocPort) {
        complain(QT_TRANSLATE_NOOP("kd36ctl", "COM%1: no such port ('kd36ctl ports' lists them)"),
                 {std::to_string(portNumber)});
        return kUsage;
    }
    const auto& entries = s.catalog.entries();
    const bool simulator = std::any_of(entries.begin(), entries.end(),
                                       [&](const auto& e) { return e.number == portNumber && e.simulator; });
    for (const std::string& entry : ignored)
        if (simulator)
            complain(QT_TRANSLATE_NOOP("kd36ctl", "settings file %1: [Simulator] %2 is not understood; left out"),
                     {plainText(ini), plainText(entry)});
    const PortSettings line = lineSettings(opt, s.host.engine().portSettings());

    std::vector<int> stations;
    if (opt.command == "answerback" || opt.command == "watch")
        stations = parseStations(opt.args[1]);

    if (!openPort(s, opt.args[0], portNumber, line))
        return g_signal ? kNoAnswer : kUsage;
    const int rc = runCommand(s, opt, stations);
    s.host.shutDown();
    if (g_signal) {
        complain(QT_TRANSLATE_NOOP("kd36ctl", "interrupted; port closed"));
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
    Options opt;
    try {
        if (const int rc = readCommandLine(args, opt); rc >= 0)
            return rc;
    } catch (const UsageError& e) {
        usageError(e);
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
                                                                                : readerWhy(iniRead);
        complain(QT_TRANSLATE_NOOP("kd36ctl", "settings file %1 cannot be read: %2"), {plainText(ini), plainText(why)});
        return kUsage;
    }
    // Without the whole file a pin after the fault may be missing.
    const std::string pinsProblem =
        iniRead.state == settings_io::FileRead::NotWhole ? readerWhy(iniRead) : std::string();
    std::map<int, std::string> pins = haveIni ? readPortPins(ini) : std::map<int, std::string>{};

    if (opt.command == "ports") {
        if (!pinsProblem.empty())
            complain(QT_TRANSLATE_NOOP("kd36ctl", "settings file %1 cannot be read whole (%2); its pins are left out"),
                     {ini, pinsProblem});
        PortCatalog catalog(pins);
        catalog.setSimulatorFactory([] { return std::unique_ptr<Device>(); });
        return listPorts(catalog, opt.json);
    }

    const std::string& given = opt.args[0];
    // Without all of [Ports] a COM number may name another adapter.
    if (!pinsProblem.empty() && isComName(given)) {
        complain(QT_TRANSLATE_NOOP("kd36ctl",
                                   "settings file %1 cannot be read whole (%2), so its port numbers are not known;"),
                 {ini, pinsProblem});
        complain(QT_TRANSLATE_NOOP("kd36ctl", "give the device path instead of %1"), {given});
        return kUsage;
    }
    const int portNumber = portNumberOf(given, pins);
    if (portNumber == 0) {
        complain(QT_TRANSLATE_NOOP("kd36ctl", "'%1' is not a port (COMn, a device path or simulator)"), {given});
        return kUsage;
    }
    catchSignals();

    try {
        return runSession(opt, pins, haveIni ? ini : std::string(), portNumber);
    } catch (const UsageError& e) {
        usageError(e);
        return kUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kd36ctl: %s\n", e.what());
        return kUsage;
    }
}
