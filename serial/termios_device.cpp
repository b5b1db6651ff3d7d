#include "termios_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#if defined(KD36_HAVE_TIOCGICOUNT)
#include <linux/serial.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "termios2_rate.h"

namespace kd36 {

namespace {

struct RateEntry {
    uint32_t rate;
    speed_t speed;
};

constexpr RateEntry kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

uint32_t rateOf(speed_t speed)
{
    for (const auto& e : kRates)
        if (e.speed == speed)
            return e.rate;
    return 0;
}

// A device without modem-control lines (a pty, some adapters) refuses the
// line ioctls this way; it is treated as a looped-back three-wire cable.
bool noModemLines(int err) { return err == ENOTTY || err == EINVAL; }

// Both threads call into one device at once: each failing call leaves its
// errno for the thread that made it, never for the other one.
thread_local int tLastError = 0;

uint64_t steadyMs()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

} // namespace

uint32_t errorFlagsBetween(const LineErrorCounts& before, const LineErrorCounts& after)
{
    uint32_t flags = 0;
    if (after.frame != before.frame)
        flags |= CE_FRAME;
    if (after.parity != before.parity)
        flags |= CE_RXPARITY;
    if (after.overrun != before.overrun)
        flags |= CE_OVERRUN;
    if (after.brk != before.brk)
        flags |= CE_BREAK;
    if (after.bufOverrun != before.bufOverrun)
        flags |= CE_RXOVER;
    return flags;
}

std::optional<speed_t> standardSpeed(uint32_t rate)
{
    for (const auto& e : kRates)
        if (e.rate == rate)
            return e.speed;
    return std::nullopt;
}

bool buildTermios(const PortSettings& s, termios& t)
{
    if (s.ByteSize < 5 || s.ByteSize > 8 || s.Parity > 4 || s.StopBits > 2 || s.BaudRate == 0)
        return false;

    // Raw: no translation, no echo, no signals; INPCK stays clear so bytes
    // with parity errors arrive as received (the driver still counts them).
    t.c_iflag = 0;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag = CREAD | CLOCAL | HUPCL;
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[s.ByteSize - 5];

    switch (s.Parity) {
    case 1: t.c_cflag |= PARENB | PARODD; break;
    case 2: t.c_cflag |= PARENB; break;
    case 3: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 4: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    // One and a half stop bits: the UART sends 1.5 when CSTOPB is set with 5 data bits.
    if (s.StopBits == 1 || s.StopBits == 2)
        t.c_cflag |= CSTOPB;

    std::memset(t.c_cc, 0, sizeof t.c_cc);
    // VMIN 1 with O_NONBLOCK: an empty queue reads EAGAIN, so a read of 0
    // bytes can only mean the line hung up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    if (s.FlowCtrl == 1) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = 0x11;
        t.c_cc[VSTOP] = 0x13;
    } else if (s.FlowCtrl == 2) {
        t.c_cflag |= CRTSCTS;
    }

    speed_t sp = standardSpeed(s.BaudRate).value_or(B38400);
    cfsetispeed(&t, sp);
    cfsetospeed(&t, sp);
    return true;
}

PortSettings decodeTermios(const termios& t, uint32_t actualRate, const PortSettings& requested)
{
    PortSettings a = requested;
    a.BaudRate = actualRate;
    switch (t.c_cflag & CSIZE) {
    case CS5: a.ByteSize = 5; break;
    case CS6: a.ByteSize = 6; break;
    case CS7: a.ByteSize = 7; break;
    default: a.ByteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        a.Parity = 0;
    else if (t.c_cflag & CMSPAR)
        a.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        a.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    if (!(t.c_cflag & CSTOPB))
        a.StopBits = 0;
    else
        a.StopBits = requested.StopBits == 1 ? 1 : 2;
    if (t.c_cflag & CRTSCTS)
        a.FlowCtrl = 2;
    else if ((t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF))
        a.FlowCtrl = 1;
    else
        a.FlowCtrl = 0;
    return a;
}

bool isVanishedError(int err) { return err == EIO || err == ENXIO || err == ENODEV; }

std::unique_ptr<TermiosDevice> TermiosDevice::open(const std::string& path, int& err)
{
    err = 0;
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return nullptr;
    }
    if (!isatty(fd)) {
        err = ENOTTY;
        ::close(fd);
        return nullptr;
    }
    // TIOCEXCL keeps others from opening the line; the flock is the
    // convention other serial programs check.
    if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        err = (errno == EWOULDBLOCK) ? EBUSY : errno;
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<TermiosDevice> dev(new TermiosDevice(fd, path));
    // A line without modem lines (a pseudo-terminal) has none that could move.
    int lines = 0;
    dev->noLines_ = ioctl(fd, TIOCMGET, &lines) != 0 && noModemLines(errno);
    if (!dev->noLines_) {
        TermiosDevice* d = dev.get();
        dev->lineWaiter_ = std::make_unique<LineWaiter>(
            [fd] { return ioctl(fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG) == 0 ? 0 : errno; },
            [d] {
                d->lineTrust_.reported(steadyMs());
                d->linesMoved_.signal();
            },
            [d](int err) {
                // A vanished device is the loop's to find; any other answer
                // means the driver has no such wait.
                if (!isVanishedError(err))
                    d->lineTrust_.refused();
                d->linesMoved_.signal();
            });
    }
    std::lock_guard lock(dev->mutex_);
    dev->haveCounts_ = dev->readCounts(dev->lastCounts_);
    return dev;
}

TermiosDevice::TermiosDevice(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

TermiosDevice::~TermiosDevice() { close(); }

bool TermiosDevice::fail(int err)
{
    tLastError = err;
    return false;
}

int TermiosDevice::errorCode() const { return tLastError; }

bool TermiosDevice::readCounts(LineErrorCounts& c)
{
#if defined(KD36_HAVE_TIOCGICOUNT)
    serial_icounter_struct ic{};
    if (ioctl(fd_.load(), TIOCGICOUNT, &ic) != 0)
        return false;
    c.frame = ic.frame;
    c.parity = ic.parity;
    c.overrun = ic.overrun;
    c.brk = ic.brk;
    c.bufOverrun = ic.buf_overrun;
    return true;
#else
    (void)c;
    return false;
#endif
}

bool TermiosDevice::configure(const PortSettings& settings)
{
    int fd = fd_.load();
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return fail(errno);
    if (!buildTermios(settings, t))
        return fail(EINVAL);
    bool arbitrary = !standardSpeed(settings.BaudRate).has_value();
    if (arbitrary && !detail::haveArbitraryRates())
        return fail(EINVAL);
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        return fail(errno);
    if (arbitrary && !detail::setArbitraryRate(fd, settings.BaudRate))
        return fail(errno);

    // The open raises DTR and RTS (RTS/CTS flow then drives RTS itself).
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd, TIOCMBIS, &lines) != 0 && !noModemLines(errno))
        return fail(errno);

    termios back{};
    if (tcgetattr(fd, &back) != 0)
        return fail(errno);
    uint32_t rate = detail::readActualRate(fd);
    if (rate == 0)
        rate = rateOf(cfgetospeed(&back));
    std::lock_guard lock(mutex_);
    actual_ = decodeTermios(back, rate, settings);
    return true;
}

int TermiosDevice::read(uint8_t* buf, size_t max)
{
    if (max == 0)
        return 0;
    ssize_t n = ::read(fd_.load(), buf, max);
    if (n > 0)
        return int(n);
    if (n == 0) {
        // VMIN is 1, so end of file means the line hung up.
        tLastError = EIO;
        return -1;
    }
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    tLastError = errno;
    return -1;
}

int TermiosDevice::write(const uint8_t* data, size_t len)
{
    if (len == 0)
        return 0;
    ssize_t n = ::write(fd_.load(), data, len);
    if (n >= 0)
        return int(n);
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    tLastError = errno;
    return -1;
}

bool TermiosDevice::setDtr(bool on)
{
    int bit = TIOCM_DTR;
    if (ioctl(fd_.load(), on ? TIOCMBIS : TIOCMBIC, &bit) == 0)
        return true;
    if (noModemLines(errno))
        return true;
    return fail(errno);
}

bool TermiosDevice::modemStatus(uint32_t& bits)
{
    int lines = 0;
    if (ioctl(fd_.load(), TIOCMGET, &lines) != 0) {
        if (!noModemLines(errno))
            return fail(errno);
        bits = MS_CTS_ON | MS_DSR_ON;
        return true;
    }
    bits = 0;
    if (lines & TIOCM_CTS)
        bits |= MS_CTS_ON;
    if (lines & TIOCM_DSR)
        bits |= MS_DSR_ON;
    if (lines & TIOCM_RNG)
        bits |= MS_RING_ON;
    if (lines & TIOCM_CD)
        bits |= MS_RLSD_ON;
    if (lineWaiter_)
        lineTrust_.read(bits, steadyMs());
    return true;
}

uint32_t TermiosDevice::takeErrors()
{
    std::lock_guard lock(mutex_);
    LineErrorCounts now;
    if (!readCounts(now))
        return 0;
    uint32_t flags = haveCounts_ ? errorFlagsBetween(lastCounts_, now) : 0;
    lastCounts_ = now;
    haveCounts_ = true;
    return flags;
}

int TermiosDevice::inQueue()
{
    int n = 0;
    if (ioctl(fd_.load(), FIONREAD, &n) != 0) {
        tLastError = errno;
        return -1;
    }
    return n;
}

int TermiosDevice::outQueue()
{
    int n = 0;
    if (ioctl(fd_.load(), TIOCOUTQ, &n) != 0) {
        tLastError = errno;
        return -1;
    }
    return n;
}

void TermiosDevice::purge()
{
    if (tcflush(fd_.load(), TCIOFLUSH) != 0)
        tLastError = errno;
}

void TermiosDevice::waitForEvent(int wakeFd, int64_t timeoutUs)
{
    // A hang-up wakes it too: the read that follows reports the loss.
    waitReadable({fd_.load(), wakeFd, linesMoved_.fd()}, timeoutUs);
    linesMoved_.drain();
}

bool TermiosDevice::close()
{
    // The waiter holds the descriptor: it ends before the descriptor does.
    lineWaiter_.reset();
    int fd = fd_.exchange(-1);
    if (fd < 0)
        return true;
    ioctl(fd, TIOCNXCL);
    if (::close(fd) != 0)
        return fail(errno);
    return true;
}

PortSettings TermiosDevice::actualSettings() const
{
    std::lock_guard lock(mutex_);
    return actual_;
}

} // namespace kd36
