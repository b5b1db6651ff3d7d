#include "ctl/ctl_options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <map>

#include "ctl/ctl_english.h"
#include "engine/sjis.h"
#include "serial/comm_port.h"

#ifndef KD36_VERSION
#define KD36_VERSION "0"
#endif

namespace kd36::ctl {

namespace {

const char* const kUsageText =
    "Usage: kd36ctl COMMAND [ARGS] [OPTIONS]\n"
    "Drives a KD-36 (QW57) modem through the engine of kd36setup, without a window.\n"
    "\n"
    "Commands (kd36ctl COMMAND --help tells more):\n"
    "  ports [--json]                    list the COM numbers and what each is\n"
    "  read PORT [--json]                read the twenty settings back\n"
    "  write PORT PROFILE [--verify]     write the ticked items of a profile\n"
    "  clone PORT PROFILE                read the modem and save its settings as a profile\n"
    "  send PORT TEXT [--wait MS]        send one command line, print the reply lines\n"
    "  answerback PORT STATIONS [--json] poll stations (e.g. 2,5,9) for their level\n"
    "  watch PORT STATIONS [--interval S] [--count N] [--json]\n"
    "                                    poll the stations again and again (range test)\n"
    "\n"
    "PORT is COMn (as kd36setup numbers the ports, with the [Ports] pins of its settings\n"
    "file), a device path such as /dev/ttyUSB0, or 'simulator' (the built-in modem).\n"
    "\n"
    "Options (--opt VALUE or --opt=VALUE; -- ends the options):\n"
    "  --ini FILE          settings file to take the port and line settings from\n"
    "                      (default: the one kd36setup uses)\n"
    "  --baud N            line rate (default: the settings file's, else 9600)\n"
    "  --data-bits 5..8    --parity none|odd|even|mark|space\n"
    "  --stop-bits 1|1.5|2 --flow none|xonxoff|rtscts\n"
    "  --json              JSON on standard output\n"
    "  -h, --help          -V, --version\n"
    "\n"
    "Exit status: 0 success, 1 the modem did not answer as required (or the run was\n"
    "interrupted), 2 bad usage or a port that cannot be opened.\n";

struct Command {
    const char* name;
    size_t arity;
    const char* help;
};

const Command kCommands[] = {
    {"ports", 0,
     "Usage: kd36ctl ports [--json]\n"
     "Lists the COM numbers and what stands behind each: COM1 the built-in simulated modem,\n"
     "then the serial devices present and the [Ports] pins of the settings file.\n"
     "--json prints one array of objects {\"port\", \"path\", \"simulator\", \"pinned\"}.\n"},
    {"read", 1,
     "Usage: kd36ctl read PORT [--json] [line options]\n"
     "Reads the modem's twenty settings back as the window's read button does and prints\n"
     "one name=value line each (or one JSON object), then timed_out, the commands that\n"
     "got no reply. Exit 1 when a command got no reply or could not be written.\n"},
    {"write", 2,
     "Usage: kd36ctl write PORT PROFILE [--verify] [line options]\n"
     "Writes the items a profile ticks (Write=yes), and no other. A profile with any entry\n"
     "left out, a ticked item without every value its command carries, or nothing ticked\n"
     "is not written at all (exit 2, each reason on a line of its own). --verify reads\n"
     "back and fails (exit 1) on any difference from the profile.\n"},
    {"clone", 2,
     "Usage: kd36ctl clone PORT PROFILE [line options]\n"
     "Reads the modem and saves its settings as a profile, every item read whole ticked.\n"
     "A read with a command that got no reply saves nothing (exit 1).\n"},
    {"send", 2,
     "Usage: kd36ctl send PORT TEXT [--wait MS] [line options]\n"
     "Sends TEXT as one command line (CR LF is added; no CR or LF in TEXT, at most 2046\n"
     "bytes in Shift-JIS) and prints the reply lines until MS of silence (default 1400).\n"
     "A TEXT that starts with '-' goes after --: kd36ctl send COM2 -- -X.\n"},
    {"answerback", 2,
     "Usage: kd36ctl answerback PORT STATIONS [--json] [line options]\n"
     "Polls the stations (hexadecimal digits 0-F separated by commas, e.g. 2,5,9) for\n"
     "their field-strength level 0-4, as the answer-back dialog does. Exit 1 when a\n"
     "station gave no level.\n"},
    {"watch", 2,
     "Usage: kd36ctl watch PORT STATIONS [--interval S] [--count N] [--json] [line options]\n"
     "Polls the stations every S seconds (1-3600, default 10) for N rounds (default 0:\n"
     "until interrupted), as the answer-back dialog's range test does. Prints one line per\n"
     "poll as it settles (--json: one object per line with time, round, station, level,\n"
     "status), then a summary per station (polls, replies, min/mean/max level). SIGINT\n"
     "ends the run with the summary. Exit 0 when every station answered every poll, 1\n"
     "otherwise.\n"},
};

template <class T>
T pick(const std::string& opt, const std::string& v, const std::map<std::string, T>& choices)
{
    auto it = choices.find(v);
    if (it == choices.end())
        throw UsageError{said(QT_TRANSLATE_NOOP("kd36ctl", "--%1: '%2' is not one of the choices"), {opt, v})};
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
    throw UsageError{said(QT_TRANSLATE_NOOP("kd36ctl", "--%1: '%2' is not a number from %3 to %4"),
                          {opt, v, std::to_string(lo), std::to_string(hi)})};
}

// `send` takes one command line that the port's write takes whole; anything
// else is refused before the port is opened.
void checkSendText(const std::string& text)
{
    if (text.empty())
        throw UsageError{said(QT_TRANSLATE_NOOP("kd36ctl", "send: the command is empty"))};
    if (text.find_first_of("\r\n") != std::string::npos)
        throw UsageError{said(QT_TRANSLATE_NOOP(
            "kd36ctl", "send: the command holds a line break (CR or LF); send takes one command line"))};
    const size_t bytes = utf8ToSjis(text).size() + 2;
    if (bytes > size_t(kDriverQueueSize))
        throw UsageError{said(QT_TRANSLATE_NOOP("kd36ctl", "send: the command is too long for the line: %1 bytes "
                                                           "in Shift-JIS with CR LF, the port takes at most %2"),
                              {std::to_string(bytes), std::to_string(kDriverQueueSize)})};
}

std::string local(const QString& s) { return s.toLocal8Bit().toStdString(); }

// Qt's parser says why in English (its final full stop taken off): its
// texts as kd36ctl's own.
std::string parserWhy(const std::string& why)
{
    static const char* const forms[] = {
        QT_TRANSLATE_NOOP("kd36ctl", "Unknown option '%1'"),
        QT_TRANSLATE_NOOP("kd36ctl", "Unknown options: %1"),
        QT_TRANSLATE_NOOP("kd36ctl", "Missing value after '%1'"),
        QT_TRANSLATE_NOOP("kd36ctl", "Unexpected value after '%1'"),
    };
    return reworded(why, forms);
}

// The options that carry a value, each read into `o` when given.
void takeValues(const QCommandLineParser& p, Options& o)
{
    auto given = [&](const char* name, auto take) {
        if (p.isSet(QString::fromLatin1(name)))
            take(name, local(p.value(QString::fromLatin1(name))));
    };
    given("wait", [&](auto n, auto v) { o.waitMs = int(number(n, v, 0, 600000)); });
    given("ini", [&](auto, auto v) { o.ini = v; });
    given("interval", [&](auto n, auto v) { o.intervalS = int(number(n, v, 1, 3600)); });
    given("count", [&](auto n, auto v) { o.count = int(number(n, v, 0, 100000000)); });
    given("baud", [&](auto n, auto v) { o.baud = uint32_t(number(n, v, 50, 4000000)); });
    given("data-bits", [&](auto n, auto v) { o.dataBits = uint8_t(number(n, v, 5, 8)); });
    given("parity", [&](auto n, auto v) {
        o.parity = pick<uint8_t>(n, v, {{"none", 0}, {"odd", 1}, {"even", 2}, {"mark", 3}, {"space", 4}});
    });
    given("stop-bits", [&](auto n, auto v) { o.stopBits = pick<uint8_t>(n, v, {{"1", 0}, {"1.5", 1}, {"2", 2}}); });
    given("flow", [&](auto n, auto v) { o.flow = pick<int8_t>(n, v, {{"none", 0}, {"xonxoff", 1}, {"rtscts", 2}}); });
}

const Command* findCommand(const std::string& name)
{
    for (const Command& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

} // namespace

int readCommandLine(const std::vector<std::string>& args, Options& o)
{
    QCommandLineParser p;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    p.addOption(help);
    p.addOption(version);
    for (const char* flag : {"json", "verify"})
        p.addOption(QCommandLineOption(QString::fromLatin1(flag)));
    for (const char* valued : {"wait", "ini", "baud", "data-bits", "parity", "stop-bits", "flow", "interval", "count"})
        p.addOption(QCommandLineOption(QString::fromLatin1(valued), {}, QStringLiteral("value")));
    QStringList line{QStringLiteral("kd36ctl")};
    for (const std::string& a : args)
        line << QString::fromLocal8Bit(a.c_str());
    if (!p.parse(line)) {
        std::string why = local(p.errorText());
        if (!why.empty() && why.back() == '.')
            why.pop_back();
        throw UsageError{parserWhy(why)};
    }

    const QStringList positional = p.positionalArguments();
    if (!positional.isEmpty())
        o.command = local(positional.front());
    for (qsizetype i = 1; i < positional.size(); ++i)
        o.args.push_back(local(positional[i]));
    const Command* command = findCommand(o.command);
    if (p.isSet(help)) {
        std::fputs(command ? command->help : kUsageText, stdout);
        return 0;
    }
    if (p.isSet(version)) {
        std::printf("kd36ctl %s\n", KD36_VERSION);
        return 0;
    }
    o.json = p.isSet(QStringLiteral("json"));
    o.verify = p.isSet(QStringLiteral("verify"));
    takeValues(p, o);
    if (o.command.empty())
        throw UsageError{said(QT_TRANSLATE_NOOP("kd36ctl", "no command given"))};
    if (!command)
        throw UsageError{said(QT_TRANSLATE_NOOP("kd36ctl", "unknown command '%1'"), {o.command})};
    if (o.args.size() != command->arity)
        throw UsageError{said(QT_TRANSLATE_NOOP("kd36ctl", "%1 takes %2 argument(s), got %3"),
                              {o.command, std::to_string(command->arity), std::to_string(o.args.size())})};
    if (o.verify && o.command != "write")
        throw UsageError{said(QT_TRANSLATE_NOOP("kd36ctl", "--verify belongs to write"))};
    if ((p.isSet(QStringLiteral("interval")) || p.isSet(QStringLiteral("count"))) && o.command != "watch")
        throw UsageError{said(QT_TRANSLATE_NOOP("kd36ctl", "--interval and --count belong to watch"))};
    if (o.command == "send")
        checkSendText(o.args[1]);
    return -1;
}

} // namespace kd36::ctl
