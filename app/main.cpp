#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include "main_form.h"

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

// Answered before any window or display is touched.
bool printedAndDone(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs("Usage: kd36setup [--help | --version]\n"
                       "Setup and test tool for the KD-36 (QW57) wireless data modem on a serial port.\n"
                       "Opens the main window; the window takes no options. For scripts and many\n"
                       "modems at once use kd36ctl (kd36ctl --help).\n",
                       stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kd36setup %s\n", KD36_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (printedAndDone(argc, argv))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kd36setup"));
    QApplication::setApplicationDisplayName(QStringLiteral("QW57 セットアップ プログラム"));
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
