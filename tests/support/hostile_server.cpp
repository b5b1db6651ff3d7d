#include "hostile_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kd36::test {

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
    static const char kJunk[] = "\xff\xfa\x2c\x65\x00\xff\xff\xf0\x01\x80junk\r\n\xff\xfb";
    for (;;) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        for (int c : clients)
            fds.push_back({c, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 1000) < 0 || fds[0].revents)
            break;
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
                        [[maybe_unused]] auto n = ::write(c, kJunk, sizeof kJunk - 1);
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
                --open_;
            } else if (mode_ == Mode::Garbage) {
                [[maybe_unused]] auto w = ::write(fds[i].fd, kJunk, sizeof kJunk - 1);
            }
        }
    }
    for (int c : clients)
        ::close(c);
}

} // namespace kd36::test
