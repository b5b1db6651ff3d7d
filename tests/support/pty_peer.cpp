#include "tests/support/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "serial/clock.h"
#include "sim/simulated_modem.h"

namespace kd36::test {

struct PtyPeer::Impl {
    int master = -1;
    std::string slave;
    SteadyClock clock;
    std::unique_ptr<SimulatedModem> modem;
    std::map<std::string, std::string> replies;
    std::mutex mu;
    std::vector<std::string> lines;
    std::atomic<bool> stop{false};
    std::thread thread;
    std::atomic<uint64_t> firstLine{0}, lastSent{0}, moved{0};
    std::atomic<uint32_t> replyDelayUs{0};
    // Reply's last byte written to the next line's first byte read (under mu).
    std::vector<uint64_t> turnarounds;
    std::atomic<uint64_t> replyEnd{0}; // 0: no reply waits for its successor

    static uint64_t nowUs()
    {
        using namespace std::chrono;
        return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
    }

    void send(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size() && !stop) {
            const ssize_t k = ::write(master, bytes.data() + done, bytes.size() - done);
            if (k > 0) {
                done += size_t(k);
                moved += uint64_t(k);
                lastSent = nowUs();
            } else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void loop()
    {
        std::string pending;
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            const int ready = poll(&p, 1, 1);
            if (ready > 0 && (p.revents & POLLIN)) {
                char buf[4096];
                const ssize_t k = ::read(master, buf, sizeof buf);
                if (k > 0) {
                    if (pending.empty() && replyEnd != 0) {
                        const uint64_t t = nowUs();
                        std::lock_guard g(mu);
                        turnarounds.push_back(t - replyEnd.load());
                        replyEnd = 0;
                    }
                    moved += uint64_t(k);
                    pending.append(buf, size_t(k));
                    if (modem)
                        modem->write(reinterpret_cast<const uint8_t*>(buf), size_t(k));
                }
            } else if (ready > 0 && (p.revents & POLLHUP)) {
                // No one holds the slave: wait for the next open.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            size_t lf;
            while ((lf = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, lf);
                pending.erase(0, lf + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                {
                    std::lock_guard g(mu);
                    lines.push_back(line);
                }
                if (firstLine == 0)
                    firstLine = nowUs();
                if (!modem) {
                    auto it = replies.find(line);
                    if (it != replies.end()) {
                        if (const uint32_t delay = replyDelayUs.load())
                            std::this_thread::sleep_for(std::chrono::microseconds(delay));
                        send(it->second + "\r\n");
                        replyEnd = nowUs();
                    }
                }
            }
            if (modem) {
                uint8_t out[4096];
                const int n = modem->read(out, sizeof out);
                if (n > 0)
                    send(std::string(reinterpret_cast<char*>(out), size_t(n)));
            }
        }
    }
};

PtyPeer::PtyPeer(Mode mode) : d(std::make_unique<Impl>())
{
    d->master = posix_openpt(O_RDWR | O_NOCTTY);
    if (d->master < 0 || grantpt(d->master) != 0 || unlockpt(d->master) != 0)
        return;
    // Not inherited by the program under test, so that dropping the peer drops its line.
    ::fcntl(d->master, F_SETFD, FD_CLOEXEC);
    d->slave = ptsname(d->master);
    // A raw line from the start: no echo, no CR/LF translation.
    int s = ::open(d->slave.c_str(), O_RDWR | O_NOCTTY);
    if (s >= 0) {
        termios t{};
        tcgetattr(s, &t);
        cfmakeraw(&t);
        tcsetattr(s, TCSANOW, &t);
        ::close(s);
    }
    if (mode == Mode::Simulated) {
        auto memory = std::make_shared<ModemMemory>();
        d->modem = std::make_unique<SimulatedModem>(d->clock, memory);
        PortSettings ps;
        ps.BaudRate = memory->load().line.rate;
        d->modem->configure(ps);
        // A pty carries no DTR: the modem is held in command mode.
        d->modem->setDtr(false);
    }
    d->replies = {
        {"@INIT", ">INIT:F=128/I=100/S=7654321/T=3/W=10"},
        {"@EQID", ">EQID:E=6"},
        {"@FREQ", ">FREQ:M=12"},
        {"@ROUT", ">ROUT:D=3;N=1,A"},
        {"@INFO", ">INFO:U=PTYPEER1/N=6"},
        {"@COMS", ">COMS:R=9600/D=8/P=N/S=1/F=H"},
    };
}

PtyPeer::~PtyPeer()
{
    d->stop = true;
    if (d->thread.joinable())
        d->thread.join();
    if (d->master >= 0)
        ::close(d->master);
}

bool PtyPeer::ok() const
{
    return !d->slave.empty();
}

const std::string& PtyPeer::path() const
{
    return d->slave;
}

std::vector<std::string> PtyPeer::lines()
{
    std::lock_guard g(d->mu);
    return d->lines;
}

void PtyPeer::clearLines()
{
    std::lock_guard g(d->mu);
    d->lines.clear();
    d->turnarounds.clear();
    d->replyEnd = 0;
    d->firstLine = 0;
    d->lastSent = 0;
    d->moved = 0;
}

void PtyPeer::setReplyDelayUs(uint32_t us) { d->replyDelayUs = us; }

std::vector<uint64_t> PtyPeer::turnaroundsUs()
{
    std::lock_guard g(d->mu);
    return d->turnarounds;
}

uint64_t PtyPeer::firstLineUs()
{
    return d->firstLine;
}

uint64_t PtyPeer::lastSentUs()
{
    return d->lastSent;
}

uint64_t PtyPeer::bytesMoved()
{
    return d->moved;
}

std::map<std::string, std::string>& PtyPeer::replies()
{
    return d->replies;
}

void PtyPeer::start()
{
    if (!d->thread.joinable() && d->master >= 0)
        d->thread = std::thread([this] { d->loop(); });
}

} // namespace kd36::test
