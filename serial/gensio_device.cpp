#include "gensio_device.h"

#include <gensio/gensio.h>
#include <gensio/gensio_err.h>
#include <gensio/sergensio.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <unordered_map>
#include <thread>
#include <utility>

namespace kd36 {

namespace {

constexpr auto kLineWait = std::chrono::milliseconds(2000);
// A server whose port has no modem-control lines (ser2net on a
// pseudo-terminal) never confirms a DTR request.
constexpr auto kDtrWait = std::chrono::milliseconds(300);
// Received bytes held before the socket is left to push back.
constexpr size_t kReceiveHold = 64 * 1024;

// One gensio event loop for the process, serviced by its own thread. Calls
// from other threads are safe in gensio; they never run the loop themselves,
// so no wake-up signal is needed (the loop wakes at least every 10 ms).
class GensioLoop {
public:
    static GensioLoop* get()
    {
        static GensioLoop loop;
        return loop.os ? &loop : nullptr;
    }
    gensio_os_funcs* os = nullptr;

private:
    GensioLoop()
    {
        if (gensio_default_os_hnd(0, &os) != 0) {
            os = nullptr;
            return;
        }
        thread_ = std::thread([this] {
            while (!stop_.load()) {
                gensio_time t = {0, 10 * 1000 * 1000};
                gensio_os_funcs_service(os, &t);
            }
        });
    }
    ~GensioLoop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

int errnoOf(int ge)
{
    switch (ge) {
    case GE_NOERR: return 0;
    case GE_NOMEM: return ENOMEM;
    case GE_INVAL: return EINVAL;
    case GE_NOTSUP: return EOPNOTSUPP;
    case GE_TIMEDOUT: return ETIMEDOUT;
    case GE_CONNREFUSE: return ECONNREFUSED;
    case GE_PERM: return EACCES;
    case GE_ADDRINUSE: return EADDRINUSE;
    case GE_HOSTDOWN:
    case GE_NOTFOUND:
    case GE_UNKNOWN_NAME_ERROR:
    case GE_NAME_ERROR:
    case GE_NAME_SERVER_FAILURE:
    case GE_NAME_INVALID:
    case GE_NAME_NET_NOT_UP: return EHOSTUNREACH;
    // The connection is gone: reported as a vanished device.
    case GE_REMCLOSE:
    case GE_IOERR:
    case GE_COMMERR:
    case GE_LOCALCLOSED:
    case GE_SHUTDOWN:
    case GE_NOTREADY: return ENODEV;
    default: return EPROTO;
    }
}

// An asynchronous gensio request and the wait for its answer. Shared with
// the callback so that an answer after a timed-out wait lands safely.
struct Pending {
    std::mutex mu;
    std::condition_variable cv;
    bool done = false;
    int err = 0;
    unsigned int val = 0;

    void finish(int e, unsigned int v)
    {
        {
            std::lock_guard g(mu);
            done = true;
            err = e;
            val = v;
        }
        cv.notify_all();
    }
    bool wait(std::chrono::steady_clock::time_point until)
    {
        std::unique_lock lk(mu);
        return cv.wait_until(lk, until, [this] { return done; });
    }
};

// A request as the callback knows it: by number, not by pointer. gensio
// frees a request the server never answered without calling back when the
// connection goes, and an answer after the wait gave up must find nothing.
class Ticket {
public:
    Ticket() : p_(std::make_shared<Pending>())
    {
        Table& t = table();
        std::lock_guard g(t.mu);
        id_ = ++t.next;
        t.open.emplace(id_, p_);
    }
    ~Ticket() { take(id_); }
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;

    void* cb() const { return reinterpret_cast<void*>(id_); }
    Pending* operator->() const { return p_.get(); }

    static void answer(void* cb, int err, unsigned int val)
    {
        if (auto p = take(reinterpret_cast<uintptr_t>(cb)))
            p->finish(err, val);
    }

private:
    struct Table {
        std::mutex mu;
        uintptr_t next = 0;
        std::unordered_map<uintptr_t, std::shared_ptr<Pending>> open;
    };
    // Never destroyed: the event loop's thread may answer during exit.
    static Table& table()
    {
        static Table* t = new Table;
        return *t;
    }
    static std::shared_ptr<Pending> take(uintptr_t id)
    {
        Table& t = table();
        std::lock_guard g(t.mu);
        auto it = t.open.find(id);
        if (it == t.open.end())
            return nullptr;
        auto p = std::move(it->second);
        t.open.erase(it);
        return p;
    }

    std::shared_ptr<Pending> p_;
    uintptr_t id_ = 0;
};

void serDone(sergensio*, int err, unsigned int val, void* cb) { Ticket::answer(cb, err, val); }

void errDone(gensio*, int err, void* cb) { Ticket::answer(cb, err, 0); }

void plainDone(gensio*, void* cb) { Ticket::answer(cb, 0, 0); }

int ignoreEvents(gensio*, void*, int, int, unsigned char*, gensiods* len, const char* const*)
{
    if (len)
        *len = 0;
    return GE_NOTSUP;
}

// gensio's own words for its code, for the reason a user reads.
std::string gensioReason(int ge)
{
    const char* t = gensio_err_to_str(ge);
    return t && *t ? t : "gensio error " + std::to_string(ge);
}

} // namespace

// ------------------------------------------------------------- addresses

uint32_t lineStateErrors(unsigned int s)
{
    uint32_t f = 0;
    if (s & SERGENSIO_LINESTATE_OVERRUN_ERR)
        f |= CE_OVERRUN;
    if (s & SERGENSIO_LINESTATE_PARITY_ERR)
        f |= CE_RXPARITY;
    if (s & SERGENSIO_LINESTATE_FRAMING_ERR)
        f |= CE_FRAME;
    if (s & SERGENSIO_LINESTATE_BREAK)
        f |= CE_BREAK;
    return f;
}

uint32_t modemStateBits(unsigned int s)
{
    uint32_t b = 0;
    if (s & SERGENSIO_MODEMSTATE_CTS)
        b |= MS_CTS_ON;
    if (s & SERGENSIO_MODEMSTATE_DSR)
        b |= MS_DSR_ON;
    if (s & SERGENSIO_MODEMSTATE_RI)
        b |= MS_RING_ON;
    if (s & SERGENSIO_MODEMSTATE_CD)
        b |= MS_RLSD_ON;
    return b;
}

// ------------------------------------------------------------- device

struct GensioDevice::Impl {
    gensio* io = nullptr;
    sergensio* sio = nullptr; // null for a raw socket
    std::atomic<int> lastError{0};
    std::atomic<bool> lost{false};
    std::atomic<bool> readPaused{false};

    mutable std::mutex mu; // guards the fields below
    std::string rx;
    uint32_t errors = 0;
    // Until the server reports its lines, they read as on (a server that
    // never reports them is taken like a three-wire cable).
    uint32_t modem = MS_CTS_ON | MS_DSR_ON;
    PortSettings actual;
    // Signalled on every event the receive loop acts on.
    EventFd changed;

    void markLost()
    {
        lost = true;
        changed.signal();
    }

    bool fail(int err)
    {
        lastError = err;
        return false;
    }
    bool fail(int err, std::string why)
    {
        setFailureReason(std::move(why));
        return fail(err);
    }

    static int onEvent(gensio* io, void* user, int event, int err, unsigned char* buf, gensiods* buflen,
                       const char* const*)
    {
        auto* d = static_cast<Impl*>(user);
        switch (event) {
        case GENSIO_EVENT_READ: {
            if (err) {
                d->lastError = ENODEV;
                d->markLost();
                gensio_set_read_callback_enable(io, false);
                return 0;
            }
            bool full;
            {
                std::lock_guard g(d->mu);
                d->rx.append(reinterpret_cast<const char*>(buf), size_t(*buflen));
                full = d->rx.size() >= kReceiveHold;
            }
            d->changed.signal();
            if (full) {
                d->readPaused = true;
                gensio_set_read_callback_enable(io, false);
            }
            return 0;
        }
        case GENSIO_EVENT_WRITE_READY:
            gensio_set_write_callback_enable(io, false);
            return 0;
        case GENSIO_EVENT_SER_MODEMSTATE: {
            std::lock_guard g(d->mu);
            d->modem = modemStateBits(*reinterpret_cast<unsigned int*>(buf));
            d->changed.signal();
            return 0;
        }
        case GENSIO_EVENT_SER_LINESTATE: {
            std::lock_guard g(d->mu);
            d->errors |= lineStateErrors(*reinterpret_cast<unsigned int*>(buf));
            d->changed.signal();
            return 0;
        }
        default:
            return GE_NOTSUP;
        }
    }

    // Issues one serial request and waits (bounded) for the server's answer.
    template <class Call>
    bool serial(Call call, unsigned int& val, std::chrono::steady_clock::time_point until)
    {
        Ticket p;
        int rv = call(p.cb());
        if (rv)
            return fail(errnoOf(rv), gensioReason(rv));
        if (!p->wait(until))
            return lost ? fail(ENODEV, "the server closed the connection") : fail(ETIMEDOUT, "no answer");
        if (p->err)
            return fail(errnoOf(p->err), gensioReason(p->err));
        val = p->val;
        return true;
    }
};

GensioDevice::GensioDevice(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

GensioDevice::~GensioDevice() { close(); }

std::unique_ptr<GensioDevice> GensioDevice::open(const std::string& url, int& err,
                                                 std::chrono::steady_clock::time_point until)
{
    err = 0;
    std::string why;
    auto addr = resolveNetworkAddress(url, err, why);
    if (!addr) {
        setFailureReason(why);
        return nullptr;
    }
    GensioLoop* loop = GensioLoop::get();
    if (!loop) {
        err = ENOSYS;
        setFailureReason("the network library could not start");
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    int rv = str_to_gensio(addr->gensioString().c_str(), loop->os, &Impl::onEvent, impl.get(), &impl->io);
    if (rv) {
        err = errnoOf(rv);
        setFailureReason(gensioReason(rv));
        return nullptr;
    }
    std::unique_ptr<GensioDevice> dev(new GensioDevice(std::move(impl)));
    Impl& d = *dev->d;

    Ticket p;
    rv = gensio_open(d.io, errDone, p.cb());
    if (rv) {
        err = errnoOf(rv);
        setFailureReason(gensioReason(rv));
        return nullptr; // the destructor frees the unopened gensio
    }
    if (!p->wait(until)) {
        err = ETIMEDOUT;
        setFailureReason("no answer within 5 s");
        return nullptr;
    }
    if (p->err) {
        err = p->err == GE_REMCLOSE ? ECONNREFUSED : errnoOf(p->err);
        setFailureReason(p->err == GE_REMCLOSE ? std::system_category().message(ECONNREFUSED)
                                               : gensioReason(p->err));
        return nullptr;
    }
    if (addr->rfc2217) {
        d.sio = gensio_to_sergensio(d.io);
        if (d.sio) {
            // Ask the server to report line changes and line errors.
            sergensio_modemstate(d.sio, SERGENSIO_MODEMSTATE_CTS_CHANGED | SERGENSIO_MODEMSTATE_DSR_CHANGED
                                            | SERGENSIO_MODEMSTATE_RI_CHANGED | SERGENSIO_MODEMSTATE_CD_CHANGED);
            sergensio_linestate(d.sio, SERGENSIO_LINESTATE_OVERRUN_ERR | SERGENSIO_LINESTATE_PARITY_ERR
                                           | SERGENSIO_LINESTATE_FRAMING_ERR | SERGENSIO_LINESTATE_BREAK);
        }
    }
    gensio_set_read_callback_enable(d.io, true);
    return dev;
}

bool GensioDevice::configure(const PortSettings& s)
{
    return configure(s, std::chrono::steady_clock::now() + kLineWait);
}

bool GensioDevice::configure(const PortSettings& s, std::chrono::steady_clock::time_point until)
{
    if (d->lost)
        return d->fail(ENODEV, "the server closed the connection");
    if (s.ByteSize < 5 || s.ByteSize > 8 || s.BaudRate == 0)
        return d->fail(EINVAL, "line settings no serial port takes");
    PortSettings got = s;
    if (d->sio) {
        static const unsigned int kParity[] = {SERGENSIO_PARITY_NONE, SERGENSIO_PARITY_ODD, SERGENSIO_PARITY_EVEN,
                                               SERGENSIO_PARITY_MARK, SERGENSIO_PARITY_SPACE};
        // RFC 2217 counts stop bits 1, 2, and 3 for one and a half.
        const unsigned int stop = s.StopBits == 2 ? 2 : s.StopBits == 1 ? 3 : 1;
        const unsigned int flow = s.FlowCtrl == 1   ? SERGENSIO_FLOWCONTROL_XON_XOFF
                                  : s.FlowCtrl == 2 ? SERGENSIO_FLOWCONTROL_RTS_CTS
                                                    : SERGENSIO_FLOWCONTROL_NONE;
        const unsigned int parity = s.Parity < 5 ? kParity[s.Parity] : SERGENSIO_PARITY_NONE;
        sergensio* sio = d->sio;
        unsigned int baud = 0, size = 0, par = 0, stops = 0, fl = 0;
        // Each request names itself in the reason when the server fails it.
        auto ask = [&](const char* what, auto call, unsigned int& val) {
            if (d->serial(call, val, until))
                return true;
            // gensio refuses the request itself when the server never took
            // up the serial options: no RFC 2217 there to ask.
            std::string why = d->lastError == EOPNOTSUPP ? "the server offers no RFC 2217 line control"
                                                         : takeFailureReason();
            setFailureReason(std::string("the server did not take the line settings (") + what + "): " + why);
            return false;
        };
        if (!ask("rate", [&](void* h) { return sergensio_baud(sio, s.BaudRate, serDone, h); }, baud)
            || !ask("data bits", [&](void* h) { return sergensio_datasize(sio, s.ByteSize, serDone, h); }, size)
            || !ask("parity", [&](void* h) { return sergensio_parity(sio, parity, serDone, h); }, par)
            || !ask("stop bits", [&](void* h) { return sergensio_stopbits(sio, stop, serDone, h); }, stops)
            || !ask("flow control", [&](void* h) { return sergensio_flowcontrol(sio, flow, serDone, h); }, fl))
            return false;
        // A server that answers with a rate of 0 took nothing.
        if (baud == 0)
            return d->fail(EPROTO, "the server refused the line settings (rate 0 confirmed)");
        // What the server says it set.
        got.BaudRate = baud;
        if (size >= 5 && size <= 8)
            got.ByteSize = uint8_t(size);
        for (uint8_t i = 0; i < 5; ++i)
            if (kParity[i] == par)
                got.Parity = i;
        got.StopBits = stops == 2 ? 2 : stops == 3 ? 1 : 0;
        got.FlowCtrl = fl == SERGENSIO_FLOWCONTROL_XON_XOFF ? 1 : fl == SERGENSIO_FLOWCONTROL_RTS_CTS ? 2 : 0;
    }
    std::lock_guard g(d->mu);
    d->actual = got;
    return true;
}

int GensioDevice::read(uint8_t* buf, size_t max)
{
    size_t n;
    bool resume = false;
    {
        std::lock_guard g(d->mu);
        n = std::min(max, d->rx.size());
        std::memcpy(buf, d->rx.data(), n);
        d->rx.erase(0, n);
        if (n == 0 && d->lost) {
            d->lastError = ENODEV;
            return -1;
        }
        resume = d->readPaused && d->rx.size() < kReceiveHold / 2;
    }
    if (resume && d->readPaused.exchange(false))
        gensio_set_read_callback_enable(d->io, true);
    return int(n);
}

int GensioDevice::write(const uint8_t* data, size_t len)
{
    if (d->lost) {
        d->lastError = ENODEV;
        return -1;
    }
    gensiods count = 0;
    int rv = gensio_write(d->io, &count, data, len, nullptr);
    if (rv) {
        d->lastError = errnoOf(rv);
        if (d->lastError == ENODEV)
            d->markLost();
        return -1;
    }
    return int(count);
}

bool GensioDevice::setDtr(bool on)
{
    if (d->lost)
        return d->fail(ENODEV);
    if (!d->sio)
        return true; // a raw socket has no lines
    unsigned int val = 0;
    sergensio* sio = d->sio;
    if (d->serial([&](void* h) { return sergensio_dtr(sio, on ? SERGENSIO_DTR_ON : SERGENSIO_DTR_OFF, serDone, h); },
                  val, std::chrono::steady_clock::now() + kDtrWait))
        return true;
    // Unconfirmed: taken like a local line without modem control, where a
    // DTR request succeeds without effect. A refusal or a lost link fails.
    if (d->lastError == ETIMEDOUT && !d->lost) {
        d->lastError = 0;
        return true;
    }
    return false;
}

void GensioDevice::waitForEvent(int wakeFd, int64_t timeoutUs)
{
    // Drained before looking, so an event from now on wakes the wait.
    d->changed.drain();
    {
        std::lock_guard g(d->mu);
        if (!d->rx.empty() || d->errors || d->lost)
            return;
    }
    waitReadable({d->changed.fd(), wakeFd}, timeoutUs);
}

bool GensioDevice::modemStatus(uint32_t& bits)
{
    if (d->lost)
        return d->fail(ENODEV);
    std::lock_guard g(d->mu);
    bits = d->modem;
    return true;
}

uint32_t GensioDevice::takeErrors()
{
    std::lock_guard g(d->mu);
    return std::exchange(d->errors, 0u);
}

int GensioDevice::inQueue()
{
    std::lock_guard g(d->mu);
    return int(std::min(d->rx.size(), size_t(1) << 30));
}

void GensioDevice::purge()
{
    {
        std::lock_guard g(d->mu);
        d->rx.clear();
    }
    if (d->sio && !d->lost)
        sergensio_flush(d->sio, SERGENSIO_FLUSH_RCV_XMIT_BUFFERS);
}

bool GensioDevice::close()
{
    if (!d || !d->io)
        return true;
    gensio* io = d->io;
    d->io = nullptr;
    d->sio = nullptr;
    Ticket p;
    if (gensio_close(io, plainDone, p.cb()) == 0)
        p->wait(std::chrono::steady_clock::now() + kLineWait);
    // Nothing may reach this object once it is gone.
    gensio_set_callback(io, ignoreEvents, nullptr);
    gensio_free(io);
    return true;
}

int GensioDevice::errorCode() const { return d->lastError.load(); }

PortSettings GensioDevice::actualSettings() const
{
    std::lock_guard g(d->mu);
    return d->actual;
}

bool GensioDevice::connectionLost() const { return d->lost.load(); }

} // namespace kd36
