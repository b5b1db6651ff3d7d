#pragma once
// A wake-up a thread can wait on beside a descriptor: an eventfd that a
// signal makes readable until drained.
#include <poll.h>
#include <time.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>

namespace kd36 {

class EventFd {
public:
    EventFd() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~EventFd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;

    int fd() const { return fd_; }
    void signal() const
    {
        const uint64_t one = 1;
        (void)!::write(fd_, &one, sizeof one);
    }
    void drain() const
    {
        uint64_t n;
        (void)!::read(fd_, &n, sizeof n);
    }

private:
    int fd_;
};

// Waits until one of `fds` is readable (or hung up), or `timeoutUs` passes
// (negative: no limit). Negative descriptors are skipped. True when one is ready.
inline bool waitReadable(std::initializer_list<int> fds, int64_t timeoutUs)
{
    pollfd p[4];
    nfds_t n = 0;
    for (int fd : fds)
        if (n < 4)
            p[n++] = pollfd{fd, POLLIN, 0};
    timespec t{time_t(timeoutUs / 1'000'000), long(timeoutUs % 1'000'000) * 1000};
    int r;
    do
        r = ::ppoll(p, n, timeoutUs < 0 ? nullptr : &t, nullptr);
    while (r < 0 && errno == EINTR);
    return r > 0;
}

} // namespace kd36
