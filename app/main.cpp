#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "language.h"
#include "main_form.h"
#include "settings_file.h"

namespace {

int g_signalPipe[2] = {-1, -1};

volatile sig_atomic_t g_signals = 0;

void onTerminate(int sig)
{
    // A second signal while the first is being handled ends the process.
    if (g_signals != 0)
        ::_exit(128 + sig);
    g_signals = 1;
    char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}

#ifndef KD36_VERSION
#define KD36_VERSION "0"
#endif

// Qt's own options, which QApplication takes from the command line: those
// that carry a value, then the switches.
const char* const kQtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                       "display", "geometry", "style", "stylesheet", "title", "name",
                                       "fn", "font", "bg", "background", "fg", "foreground", "btn",
                                       "button", "visual", "ncols", "cmap", "im", "inputstyle"};
const char* const kQtSwitches[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "qmljsdebugger"};

// The command line, read before any window or display is touched: -1 to
// go on and open the window, else the exit status.
int readCommandLine(int argc, char* argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform offscreen).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    for (const char* o : kQtValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(o), {}, QStringLiteral("value")));
    for (const char* o : kQtSwitches)
        parser.addOption(QCommandLineOption(QString::fromLatin1(o)));
    if (!parser.parse(args) || !parser.positionalArguments().isEmpty()) {
        const QString why = parser.errorText().isEmpty()
            ? QStringLiteral("the window takes no arguments: ") + parser.positionalArguments().join(' ')
            : parser.errorText();
        std::fprintf(stderr, "kd36setup: %s Try 'kd36setup --help'.\n", why.toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs("Usage: kd36setup [-h | --help] [-V | --version] [Qt options such as -platform NAME]\n"
                   "Setup and test tool for the KD-36 (QW57) wireless data modem on a serial port.\n"
                   "Opens the main window; the window takes no arguments. For scripts and many\n"
                   "modems at once use kd36ctl (kd36ctl --help).\n",
                   stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("kd36setup %s\n", KD36_VERSION);
        return 0;
    }
    return -1;
}

// The menu's choice from the settings file, else the locale's. Chosen before
// any window is built, as the windows translate their texts when built.
kd36::Language startLanguage()
{
    kd36::StoredSettings stored;
    kd36::LoadLineSettings(
        kd36::settingsFilePath(QCoreApplication::applicationFilePath().toStdString(), kd36::userConfigFolder()),
        stored);
    const auto chosen = kd36::languageFromKey(stored.language);
    return chosen ? *chosen : kd36::windowLanguage(kd36::messagesLocale());
}

} // namespace

int main(int argc, char* argv[])
{
    if (const int rc = readCommandLine(argc, argv); rc >= 0)
        return rc;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kd36setup"));
    kd36::useLanguage(startLanguage());
    QApplication::setApplicationDisplayName(QApplication::translate("TMainForm", "QW57 セットアップ プログラム"));
    if (QFile::exists(QStringLiteral(":/icon.png")))
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    kd36::TMainForm form;

    // A log-out or kill closes the window like the close box, so the port is
    // closed and the settings are saved.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
            char c;
            [[maybe_unused]] auto n = ::read(g_signalPipe[0], &c, 1);
            form.closeForSignal();
        });
        struct sigaction sa = {};
        sa.sa_handler = onTerminate;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
    }
    // A write past the file-size limit fails with an error instead of
    // killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    form.show();
    const int rc = app.exec();
    if (!form.isClosed())
        form.close();
    return rc;
}
