#include "tests/support/ser2net_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <thread>
#include <vector>

namespace kd36::test {

namespace {

constexpr const char* kSer2net = "/usr/sbin/ser2net";

int freePort()
{
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

// Listening, seen without connecting: a connection would make ser2net take
// the device up and down, racing the test's own connection.
bool listening(int port)
{
    std::ifstream tcp("/proc/net/tcp");
    char want[16];
    std::snprintf(want, sizeof want, ":%04X", port);
    std::string line;
    while (std::getline(tcp, line)) {
        std::istringstream in(line);
        std::string slot, local, remote, state;
        in >> slot >> local >> remote >> state;
        if (state == "0A" && local.size() > 5 && local.compare(local.size() - 5, 5, want) == 0)
            return true;
    }
    return false;
}

} // namespace

std::string Ser2netServer::missing()
{
    if (::access(kSer2net, X_OK) == 0)
        return {};
    return std::string(kSer2net) + " is not installed (Debian package ser2net; ./setup.sh test installs it)";
}

Ser2netServer::Ser2netServer(std::string device)
    : device_(std::move(device)), rfc2217Port_(freePort()), rawPort_(freePort())
{
}

Ser2netServer::~Ser2netServer() { kill(); }

bool Ser2netServer::start()
{
    kill();
    // The device is opened for each connection and let go when it ends;
    // "local" ignores the modem lines a pseudo-terminal does not have.
    auto conn = [&](const char* name, const std::string& accepter) {
        return "connection: &" + std::string(name) + "#  accepter: " + accepter + "#  connector: serialdev," + device_
            + ",9600n81,local#  options:#    kickolduser: true#    chardelay: false#";
    };
    const std::string yaml = conn("rfc", "telnet(rfc2217),tcp(nodelay),127.0.0.1," + std::to_string(rfc2217Port_))
        + conn("raw", "tcp,127.0.0.1," + std::to_string(rawPort_));
    pid_ = ::fork();
    if (pid_ == 0) {
        // Quiet, in the foreground, no lock files in /var/lock.
        // Quiet (it says it has no mDNS); a failed redirect only leaves it talking.
        (void)!std::freopen("/dev/null", "w", stdout);
        (void)!std::freopen("/dev/null", "w", stderr);
        ::execl(kSer2net, kSer2net, "-n", "-u", "-Y", yaml.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0)
        return false;
    for (int i = 0; i < 300; ++i) {
        if (listening(rfc2217Port_) && listening(rawPort_))
            return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Ser2netServer::kill()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

} // namespace kd36::test
