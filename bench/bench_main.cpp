// kd36bench <figure>: one group of figures per process, so that one
// group's memory and threads never colour another's.
#include <QApplication>
#include <QFont>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kd36::bench {
int runSettings(bool verbose);
int runComm(uint32_t baud, int seconds);
int runIdle(int seconds);
int runIdleOpen(int seconds);
int runTurnaround(int runs);
int runBacklog(int megabytes);
int runStartupChild(int argc, char** argv);
int runStartup(const char* self, int runs);
int runCtl(int runs);
int runRange(int rounds);
} // namespace kd36::bench

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: kd36bench settings [-v]\n"
                 "       kd36bench comm <baud> [seconds=60]\n"
                 "       kd36bench idle [seconds=20]\n"
                 "       kd36bench idle-open [seconds=20]\n"
                 "       kd36bench turnaround [runs=20]\n"
                 "       kd36bench backlog [megabytes=3]\n"
                 "       kd36bench startup [runs=10]\n"
                 "       kd36bench ctl [runs=10]\n"
                 "       kd36bench range [rounds=1000]\n");
    return 2;
}

int intArg(int argc, char** argv, int i, int fallback)
{
    return argc > i ? std::atoi(argv[i]) : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace kd36::bench;
    if (argc < 2)
        return usage();
    const std::string what = argv[1];
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (what == "settings")
        return runSettings(argc > 2 && std::strcmp(argv[2], "-v") == 0);
    if (what == "startup-child")
        return runStartupChild(argc, argv);
    if (what == "ctl")
        return runCtl(intArg(argc, argv, 2, 10));
    if (what == "startup")
        return runStartup(argv[0], intArg(argc, argv, 2, 10));
    if (what == "comm" || what == "idle" || what == "idle-open" || what == "backlog" || what == "turnaround"
        || what == "range") {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("kd36setup"));
        if (what == "comm")
            return argc > 2 ? runComm(uint32_t(std::atoi(argv[2])), intArg(argc, argv, 3, 60)) : usage();
        if (what == "range")
            return runRange(intArg(argc, argv, 2, 1000));
        if (what == "backlog")
            return runBacklog(intArg(argc, argv, 2, 3));
        if (what == "idle-open")
            return runIdleOpen(intArg(argc, argv, 2, 20));
        if (what == "turnaround")
            return runTurnaround(intArg(argc, argv, 2, 20));
        return runIdle(intArg(argc, argv, 2, 20));
    }
    return usage();
}
