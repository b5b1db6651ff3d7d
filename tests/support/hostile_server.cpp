#include "hostile_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kd36::test {

namespace {
constexpr unsigned char IAC = 255, SB = 250, SE = 240, WILL = 251, WONT = 252, DO = 253, DONT = 254, COMPORT = 44;

// A client gone meanwhile must not end the test with SIGPIPE.
void send(int fd, const std::string& bytes) { [[maybe_unused]] auto n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
} // namespace

// Telnet takes apart the commands in `state` (the bytes of a command not yet
// complete); every com-port request is confirmed with the value asked for.
bool HostileServer::answerTelnet(int fd, const char* buf, size_t n, std::string& state)
{
    state.append(buf, n);
    bool rateSet = false;
    size_t i = 0;
    while (i < state.size()) {
        if (uint8_t(state[i]) != IAC) {
            ++i;
            continue;
        }
        if (i + 2 >= state.size())
            break;
        const uint8_t cmd = uint8_t(state[i + 1]), opt = uint8_t(state[i + 2]);
        if (cmd == WILL || cmd == DO) {
            const bool ours = opt == COMPORT;
            std::string r{char(IAC), char(cmd == WILL ? (ours ? DO : DONT) : (ours ? WILL : WONT)), char(opt)};
            send(fd, r);
            i += 3;
        } else if (cmd == SB) {
            size_t end = state.find(std::string{char(IAC), char(SE)}, i + 2);
            if (end == std::string::npos)
                break;
            std::string body = state.substr(i + 3, end - i - 3); // after the option
            if (opt == COMPORT && !body.empty()) {
                rateSet |= body[0] == 1;
                body[0] = char(uint8_t(body[0]) + 100);
                send(fd, std::string{char(IAC), char(SB), char(COMPORT)} + body + std::string{char(IAC), char(SE)});
            }
            i = end + 2;
        } else {
            i += cmd == WONT || cmd == DONT ? 3 : 2;
        }
    }
    state.erase(0, i);
    return rateSet;
}

HostileServer::HostileServer(Mode mode) : mode_(mode)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0
        || ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0
        || ::pipe(wake_) != 0)
        return;
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
}

HostileServer::~HostileServer()
{
    if (thread_.joinable()) {
        [[maybe_unused]] auto n = ::write(wake_[1], "x", 1);
        thread_.join();
    }
    for (int fd : {listener_, wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
}

void HostileServer::serve()
{
    std::vector<int> clients;
    std::map<int, std::string> telnet; // notifier: per client
    std::vector<int> notified;         // notifier: clients that set the rate
    static const char kJunk[] = "\xff\xfa\x2c\x65\x00\xff\xff\xf0\x01\x80junk\r\n\xff\xfb";
    for (;;) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        for (int c : clients)
            fds.push_back({c, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), mode_ == Mode::Notifier ? 50 : 1000) < 0 || fds[0].revents)
            break;
        for (int c : notified) // NOTIFY-LINESTATE: framing error
            send(c, std::string{char(IAC), char(SB), char(COMPORT), char(106), char(0x08), char(IAC), char(SE)});
        if (fds[1].revents & POLLIN) {
            int c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                ++accepted_;
                if (mode_ == Mode::Flapping) {
                    ::close(c);
                } else {
                    ++open_;
                    clients.push_back(c);
                    if (mode_ == Mode::Garbage)
                        send(c, std::string(kJunk, sizeof kJunk - 1));
                }
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[512];
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                ::close(fds[i].fd);
                std::erase(clients, fds[i].fd);
                std::erase(notified, fds[i].fd);
                telnet.erase(fds[i].fd);
                --open_;
            } else if (mode_ == Mode::Notifier) {
                if (answerTelnet(fds[i].fd, buf, size_t(n), telnet[fds[i].fd]))
                    notified.push_back(fds[i].fd);
            } else if (mode_ == Mode::Garbage) {
                send(fds[i].fd, std::string(kJunk, sizeof kJunk - 1));
            }
        }
    }
    for (int c : clients)
        ::close(c);
}

} // namespace kd36::test
