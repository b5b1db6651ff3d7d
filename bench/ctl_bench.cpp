// kd36ctl read against a pty peer that answers at once: whole processes,
// as a script runs them, and the exchange on the line as the peer saw it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <cstdio>
#include <vector>

#include "bench/bench_common.h"
#include "tests/support/pty_peer.h"

extern char** environ;

namespace kd36::bench {

double timedRun(std::vector<std::string> args)
{
    std::vector<char*> argv{const_cast<char*>(KD36CTL)};
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const uint64_t t0 = nowUs();
    const int rc = posix_spawn(&pid, KD36CTL, &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const uint64_t t1 = nowUs();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? double(t1 - t0) / 1000.0 : -1;
}

int runCtl(int runs)
{
    test::PtyPeer peer;
    if (!peer.ok())
        return 1;
    peer.start();
    const std::string ini = "/tmp/kd36ctl-bench-" + std::to_string(getpid()) + ".ini";
    if (FILE* f = std::fopen(ini.c_str(), "w"))
        std::fclose(f);
    std::vector<double> process, exchange;
    double lineMs = 0;
    std::vector<double> bare;
    for (int i = 0; i < runs; ++i) {
        peer.clearLines();
        const double ms = timedRun({"read", peer.path(), "--ini", ini});
        if (ms < 0 || peer.lines().size() != 7) {
            std::printf("# ctl run %d failed (%zu lines)\n", i, peer.lines().size());
            return 1;
        }
        process.push_back(ms);
        exchange.push_back(double(peer.lastSentUs() - peer.firstLineUs()) / 1000.0);
        // 10 bits a byte at 9600 bit/s, the settings file's default rate.
        lineMs = double(peer.bytesMoved()) * 10.0 * 1000.0 / 9600.0;
        // The same binary started and ended with nothing to do.
        bare.push_back(timedRun({"--version"}));
    }
    std::remove(ini.c_str());
    std::printf("# ctl: %d runs, %.0f bytes on the line (%.1f ms at 9600 bit/s; a pty has no line time)\n", runs,
                lineMs * 9600.0 / 10000.0, lineMs);
    // The read itself, first command to last reply: the promised 50 ms.
    figure("ctl-read-exchange", median(exchange), "ms", 50, "<=1");
    // The whole process: the 200 ms the port rests after it is configured
    // (as in the window) and 40 ms for everything else: Qt and the code
    // converter loading, the three window layouts, one port scan, the
    // receive thread starting and ending, the read itself. The bare start of
    // the same binary is printed beside it as the floor.
    const double bareMs = median(bare);
    std::printf("# ctl: bare start and exit of the binary %.1f ms (median)\n", bareMs);
    figure("ctl-read-process", median(process), "ms", 200 + 40, "<=1");
    return 0;
}

} // namespace kd36::bench
