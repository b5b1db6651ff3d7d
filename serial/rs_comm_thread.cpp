#include "rs_comm_thread.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <system_error>

#include "gensio_device.h"
#include "termios_device.h"

namespace kd36 {

namespace {

constexpr int kChunkSize = 1024;
constexpr int kLineSize = 2048;
// Code display renders a control byte as up to five bytes ("[0A]" CR LF).
constexpr int kCodeRenderLimit = 2042;
constexpr uint64_t kSilenceMs = 200;
constexpr uint64_t kSettleMs = 200;
constexpr uint64_t kWriteDeadlineMs = 3000;
// Longest the owner's thread waits for the loop to end.
constexpr unsigned long kShutdownMs = 2000;

struct ErrorText {
    uint32_t flag;
    const char* text;
};

// Shown in this order, one box each.
constexpr ErrorText kErrorTexts[] = {
    {CE_MODE, "要求されたモードがサポートされていません。"},
    {CE_BREAK, "ハードウェアがブレーク条件を検出しました。"},
    {CE_FRAME, "フレーミング エラーを検出しました。"},
    {CE_IOE, "デバイスとの通信中にI/Oエラーが発生しました。"},
    {CE_OOP, "パラレル デバイスが用紙切れであることを警告しました。"},
    {CE_OVERRUN, "文字バッファがいっぱいです。次に送られる文字は失われます。"},
    {CE_RXOVER, "入力バッファのオーバーフローが発生しました。"},
    {CE_RXPARITY, "ハードウェアがパリティ エラーを検出しました。"},
    {CE_TXFULL, "アプリケーションが文字を転送しようとしましたが､ 出力バッファがいっぱいでした。"},
    {CE_DNS, "パラレル デバイスが選択されていません。"},
    {CE_PTO, "パラレル デバイス上でタイムアウトになりました。"},
};

} // namespace

struct RsCommThread::Impl {
    Impl(Clock& c, MessageBoxes& b, DeviceOpener& o) : clock(c), boxes(b), opener(o) {}

    Clock& clock;
    MessageBoxes& boxes;
    DeviceOpener& opener;
    // Until then the loop passes every 2 ms: a reply to what was just
    // written is handed over without waiting out a whole 10 ms pause.
    std::atomic<uint64_t> briskUntilMs{0};

    // The pointer changes only on the user-interface thread, always under
    // ioMutex; the loop holds ioMutex only across device calls that never
    // block, so a close waits for at most one such call and never for a box
    // or a hand-over the loop is busy with.
    std::mutex ioMutex;
    std::shared_ptr<Device> device;
    std::atomic<PortState> state{PortState::Closed};
    // Counts the opens; changes under ioMutex. A piece carries the one its
    // bytes were read in, so nothing of an earlier open reaches the window.
    std::atomic<uint64_t> session{0};

    // The loop sleeps on `wake` while no port is open, and pauses on it
    // between passes; open, close and terminate notify it.
    std::mutex waitMutex;
    std::condition_variable wake;
    std::atomic<bool> terminated{false};
    std::atomic<bool> lost{false};

    // The window's flags; read and unbound under flagsMutex so an unbind
    // leaves no read in flight.
    std::mutex flagsMutex;
    const std::atomic<uint8_t>* portOpen = nullptr;
    const std::atomic<uint8_t>* commandMode = nullptr;
    std::atomic<uint8_t> evtChar{10};

    mutable std::mutex settingsMutex;
    PortSettings applied;

    // The loop calls deliver and deviceLost while holding callbackMutex
    // (both only post), so clearing them leaves no call in flight.
    std::mutex callbackMutex;
    std::function<void(const std::string&)> deliver;
    std::function<void()> processEvents;
    std::function<void()> deviceLost;

    // Receive state: touched only by whoever runs the passes (the loop).
    uint64_t rxSession = 0;      // the open the state below belongs to
    uint64_t pieceSession = 0;   // the open of the piece being handed over
    bool passCommandMode = true; // the window's mode, read at the start of each pass
    uint8_t firstByte = 0;
    uint8_t secondByte = 0;
    uint8_t chunk[kChunkSize] = {};
    int bytesRead = 0;
    int chunkPos = 0; // bytes of the chunk already assembled
    char line[kLineSize + 1] = {};
    int lineLength = 0;
    uint64_t silenceDeadline = 0; // ms on the clock; 0 = none

    void resetReceive()
    {
        lineLength = 0;
        bytesRead = 0;
        chunkPos = 0;
        silenceDeadline = 0;
        firstByte = secondByte = 0;
    }
    // The loop polls only while the window shows the port open.
    bool windowLetsPoll()
    {
        std::lock_guard lock(flagsMutex);
        return portOpen && portOpen->load() == 1;
    }
    bool windowCommandMode()
    {
        std::lock_guard lock(flagsMutex);
        return commandMode ? commandMode->load() == 1 : true;
    }
    void setState(PortState s)
    {
        {
            std::lock_guard lock(waitMutex);
            state = s;
        }
        wake.notify_all();
    }
};

RsCommThread::RsCommThread(Clock& clock, MessageBoxes& boxes, DeviceOpener& opener)
    : d(std::make_unique<Impl>(clock, boxes, opener))
{
    setObjectName(QStringLiteral("RsCommThread")); // the thread's name in the system
}

RsCommThread::~RsCommThread()
{
    if (!shutdown(kShutdownMs)) {
        // Every wait of the loop ends on Terminate, so this cannot happen
        // short of a hung driver call; a running QThread must not be freed.
        qWarning("kd36: the receive thread did not end within %lu ms", kShutdownMs);
        wait();
    }
    ClosePort();
}

bool RsCommThread::shutdown(unsigned long boundMs)
{
    Terminate();
    {
        std::lock_guard lock(d->callbackMutex);
        d->deliver = nullptr;
        d->deviceLost = nullptr;
    }
    bindWindowFlags(nullptr, nullptr);
    if (isRunning() && !wait(QDeadlineTimer(qint64(boundMs))))
        return false;
    // The loop's last act is to let go of this mutex; taking it here orders
    // its end before whatever the caller frees next (QThread's own wait is
    // invisible to the race detector).
    std::lock_guard lock(d->waitMutex);
    return true;
}

void RsCommThread::bindWindowFlags(const std::atomic<uint8_t>* portOpen, const std::atomic<uint8_t>* commandMode)
{
    std::lock_guard lock(d->flagsMutex);
    d->portOpen = portOpen;
    d->commandMode = commandMode;
}

uint64_t RsCommThread::pieceSession() const { return d->pieceSession; }

bool RsCommThread::isCurrentSession(uint64_t session) const { return d->session.load() == session; }

void RsCommThread::setDeliver(std::function<void(const std::string&)> deliver)
{
    std::lock_guard lock(d->callbackMutex);
    d->deliver = std::move(deliver);
}

void RsCommThread::setProcessEvents(std::function<void()> processEvents)
{
    std::lock_guard lock(d->callbackMutex);
    d->processEvents = std::move(processEvents);
}

void RsCommThread::setDeviceLost(std::function<void()> lost)
{
    std::lock_guard lock(d->callbackMutex);
    d->deviceLost = std::move(lost);
}

bool RsCommThread::isHeld() const { return d->state.load() != PortState::Closed; }
PortState RsCommThread::state() const { return d->state.load(); }
bool RsCommThread::deviceLost() const { return d->lost.load(); }

PortSettings RsCommThread::appliedSettings() const
{
    std::lock_guard lock(d->settingsMutex);
    return d->applied;
}

void RsCommThread::Terminate()
{
    {
        std::lock_guard lock(d->waitMutex);
        d->terminated = true;
    }
    requestInterruption();
    d->wake.notify_all();
}

// ---------------------------------------------------------------- port

bool RsCommThread::OpenPort(int n, const PortSettings& settings)
{
    if (n > kMaxPorts)
        return false;

    // The receive state is the loop's: it starts afresh when it sees the
    // new session.
    d->lost = false;

    if (d->device) {
        std::lock_guard lock(d->ioMutex);
        d->device->close();
        d->device.reset();
        d->setState(PortState::Closed);
    }

    int err = 0;
    std::unique_ptr<Device> opened = d->opener.open(n, err);
    if (!opened) {
        std::string detail = std::system_category().message(err);
        std::string where = d->opener.portDescription(n);
        if (!where.empty())
            detail = where + ": " + detail;
        if (err == EACCES)
            detail += "\n(The user may need to be in the group dialout.)";
        d->boxes.warning("Comポートオープンの失敗", detail);
        return false;
    }
    std::shared_ptr<Device> dev(std::move(opened));
    {
        std::lock_guard lock(d->ioMutex);
        d->device = dev;
        ++d->session;
        d->setState(PortState::Held);
    }
    d->evtChar = uint8_t(settings.EvtChar);

    if (uint32_t e = dev->takeErrors())
        ReportCommErrors(e);

    bool ok = dev->configure(settings);
    if (ok) {
        PortSettings actual = settings;
        if (auto* t = dynamic_cast<TermiosDevice*>(dev.get()))
            actual = t->actual();
        else if (auto* g = dynamic_cast<GensioDevice*>(dev.get()))
            actual = g->actual();
        {
            std::lock_guard lock(d->settingsMutex);
            d->applied = actual;
        }
        d->clock.sleepMs(kSettleMs);
        dev->purge();
    }
    if (uint32_t e = dev->takeErrors())
        ReportCommErrors(e);
    if (ok)
        d->setState(PortState::Open);
    return ok;
}

bool RsCommThread::ClosePort()
{
    std::shared_ptr<Device> dev = d->device;
    if (!dev)
        return true;

    // No hand-shake with the loop: it reaches the device only under
    // ioMutex, so taking the lock is all the waiting a close needs, even
    // while the loop waits on a box.
    uint32_t errors;
    {
        std::lock_guard lock(d->ioMutex);
        errors = dev->takeErrors();
    }
    if (errors)
        ReportCommErrors(errors);

    bool closed;
    int err = 0;
    {
        std::lock_guard lock(d->ioMutex);
        dev->purge();
        closed = dev->close();
        if (closed) {
            d->device.reset();
            d->setState(PortState::Closed);
        } else {
            err = dev->errorCode();
        }
    }
    if (!closed) {
        ShowSystemError(err);
        return false;
    }
    return true;
}

int RsCommThread::WritePort(const char* bytes, uint32_t length)
{
    if (length > uint32_t(kDriverQueueSize))
        return -1;

    const uint64_t deadline = d->clock.nowMs() + kWriteDeadlineMs;
    d->briskUntilMs = deadline;
    const int result = -1;
    uint32_t remaining = length;
    uint32_t written = 0;
    auto pastDeadline = [&] { return d->clock.nowMs() > deadline; };
    auto shortWait = [&] { d->clock.sleepMs(1); };

    for (;;) {
        std::shared_ptr<Device> dev = d->device;
        if (!dev || d->lost)
            return result;
        if (uint32_t e = dev->takeErrors())
            ReportCommErrors(e);

        std::function<void()> hook;
        {
            std::lock_guard lock(d->callbackMutex);
            hook = d->processEvents;
        }
        if (hook)
            hook();
        // Something run from the events may have closed the port.
        if (d->device != dev || d->lost)
            return result;

        int queued = dev->outQueue();
        uint32_t room = uint32_t(kDriverQueueSize - (queued > 0 ? std::min(queued, kDriverQueueSize) : 0));
        if (pastDeadline())
            return result;
        // Start only when the whole rest fits; a full 2048 fits an empty queue.
        if (remaining > room) {
            shortWait();
            continue;
        }

        uint32_t bits = 0;
        if (!dev->modemStatus(bits)) {
            reportLineFailure(*dev);
            return -1;
        }

        int n = dev->write(reinterpret_cast<const uint8_t*>(bytes) + written, remaining);
        if (n > 0) {
            written += uint32_t(n);
            if (uint32_t(n) >= remaining)
                return int(written);
            remaining -= uint32_t(n);
        } else if (n < 0 && isVanishedError(dev->errorCode())) {
            markDeviceLost();
            return -1;
        }
        if (pastDeadline())
            return -1;
        shortWait();
    }
}

bool RsCommThread::EscapeLine(int code)
{
    std::shared_ptr<Device> dev = d->device;
    if (!dev || d->lost)
        return false;
    if (code != SETDTR && code != CLRDTR)
        return false;
    if (dev->setDtr(code == SETDTR))
        return true;
    reportLineFailure(*dev);
    return false;
}

bool RsCommThread::GetModemStatus(uint32_t& bits)
{
    std::shared_ptr<Device> dev = d->device;
    if (!dev || d->lost)
        return false;
    uint32_t b = 0;
    if (dev->modemStatus(b)) {
        bits = b;
        return true;
    }
    // The lamps ask 100 times a second: a vanished device is reported once.
    reportLineFailure(*dev);
    return false;
}

void RsCommThread::reportLineFailure(Device& dev)
{
    const int err = dev.errorCode();
    if (isVanishedError(err))
        markDeviceLost();
    else
        ShowSystemError(err);
}

int RsCommThread::EnumeratePorts(PortPresentFlags& flags)
{
    return EnumeratePorts(d->opener.portNames(), flags);
}

int RsCommThread::EnumeratePorts(const std::vector<std::string>& names, PortPresentFlags& flags)
{
    bool scanning = true;
    for (const auto& name : names) {
        if (!scanning)
            continue;
        // The first three characters are the "COM" prefix.
        if (name.size() <= 3)
            continue;
        long n = 0;
        bool numeric = true;
        for (size_t i = 3; i < name.size(); ++i) {
            char c = name[i];
            if (c < '0' || c > '9') {
                numeric = false;
                break;
            }
            n = std::min(n * 10 + (c - '0'), 100000L);
        }
        // Not a number, or port 0: nothing to flag; the scan goes on.
        if (!numeric || n == 0)
            continue;
        if (n - 1 >= kMaxPorts) {
            scanning = false;
            continue;
        }
        flags[size_t(n - 1)] = 1;
    }
    return int(names.size());
}

void RsCommThread::ReportCommErrors(uint32_t flags)
{
    for (const auto& e : kErrorTexts)
        if (flags & e.flag)
            d->boxes.warning(e.text);
}

void RsCommThread::ShowSystemError(int code)
{
    d->boxes.information(std::system_category().message(code));
}

void RsCommThread::markDeviceLost()
{
    if (d->lost.exchange(true))
        return;
    std::lock_guard lock(d->callbackMutex);
    if (d->deviceLost)
        d->deviceLost();
}

// ---------------------------------------------------------------- receive

void RsCommThread::run()
{
    using std::chrono::milliseconds;
    std::unique_lock lock(d->waitMutex);
    while (!d->terminated) {
        if (d->state != PortState::Open) {
            // Nothing to poll: sleep until a port opens or the end.
            d->wake.wait(lock, [this] { return d->terminated || d->state == PortState::Open; });
            continue;
        }
        lock.unlock();
        if (d->windowLetsPoll()) {
            try {
                PollPort();
            } catch (const std::system_error& e) {
                ShowSystemError(e.code().value());
            } catch (const std::exception& e) {
                // A fault in one pass is shown; the next pass starts normally.
                d->boxes.information(e.what());
            } catch (...) {
                d->boxes.information("不明なエラーが発生しました。");
            }
        }
        const bool brisk = d->clock.nowMs() < d->briskUntilMs.load();
        lock.lock();
        d->wake.wait_for(lock, milliseconds(brisk ? 2 : 10), [this] { return d->terminated.load(); });
    }
}

void RsCommThread::PollPort()
{
    if (d->lost)
        return;
    d->passCommandMode = d->windowCommandMode();
    uint32_t errors = 0;
    int n = 0;
    int err = 0;
    {
        std::lock_guard lock(d->ioMutex);
        if (!d->device)
            return;
        if (d->rxSession != d->session.load()) {
            // A new open: nothing collected before it belongs to it.
            d->resetReceive();
            d->rxSession = d->session.load();
        }
        errors = d->device->takeErrors();
        n = d->device->read(d->chunk, kChunkSize);
        if (n < 0)
            err = d->device->errorCode();
    }
    if (errors && !d->terminated)
        ReportCommErrors(errors);

    if (n < 0) {
        if (isVanishedError(err)) {
            // Hand over what was collected, then say once that the line is gone.
            if (d->lineLength > 0)
                DeliverLine(true);
            markDeviceLost();
            return;
        }
        n = 0;
    }
    d->bytesRead = n;
    d->chunkPos = 0;
    if (d->bytesRead == 0) {
        DeliverLine(false);
        return;
    }
    // Bytes after a terminator are kept: each piece of the read is
    // assembled and handed over in turn.
    do {
        bool terminated = AssembleChunk();
        DeliverLine(terminated);
    } while (d->bytesRead != 0);
}

bool RsCommThread::AssembleChunk()
{
    const uint8_t evt = d->evtChar.load();
    bool terminated = false;

    if (HexDisplay.load() == 0) {
        const bool cutAtTerminator = d->passCommandMode;
        while (d->chunkPos < d->bytesRead) {
            uint8_t b = d->chunk[d->chunkPos++];
            if (d->lineLength == 0) {
                d->firstByte = b;
                d->secondByte = 0;
            } else if (d->lineLength == 1) {
                d->secondByte = b;
            }
            d->line[d->lineLength++] = char(b);
            if (cutAtTerminator && d->firstByte != '$' && d->secondByte != 'D' && b == evt) {
                terminated = true;
                break;
            }
            // A full buffer is handed over as it stands.
            if (d->lineLength >= kLineSize) {
                terminated = true;
                break;
            }
        }
        d->silenceDeadline = d->clock.nowMs() + kSilenceMs;
    } else {
        static const char kHex[] = "0123456789ABCDEF";
        while (d->chunkPos < d->bytesRead) {
            uint8_t b = d->chunk[d->chunkPos];
            if (b >= 0x20 && b <= 0x7E) {
                if (d->lineLength >= kLineSize) {
                    terminated = true; // full: this byte starts the next piece
                    break;
                }
                d->line[d->lineLength++] = char(b);
            } else {
                if (d->lineLength >= kCodeRenderLimit) {
                    terminated = true;
                    break;
                }
                char* p = d->line + d->lineLength;
                p[0] = '[';
                p[1] = kHex[b >> 4];
                p[2] = kHex[b & 0x0F];
                p[3] = ']';
                d->lineLength += 4;
                if (b == 0x0A) {
                    p[4] = '\r';
                    p[5] = '\n';
                    d->lineLength += 2;
                }
            }
            ++d->chunkPos;
            if (b == evt) {
                terminated = true;
                break;
            }
        }
    }
    if (d->chunkPos >= d->bytesRead) {
        d->bytesRead = 0;
        d->chunkPos = 0;
    }
    return terminated;
}

void RsCommThread::DeliverLine(bool terminated)
{
    if (!terminated && d->lineLength > 0 && d->clock.nowMs() > d->silenceDeadline)
        terminated = true;
    if (!terminated)
        return;
    d->line[d->lineLength] = '\0';
    // The text ends at the first NUL, as the display takes it.
    std::string text(d->line, strnlen(d->line, size_t(d->lineLength)));
    d->lineLength = 0;
    d->silenceDeadline = 0;
    // Collected before a close that was followed by a new open: dropped.
    if (d->rxSession != d->session.load())
        return;
    d->pieceSession = d->rxSession;
    std::lock_guard lock(d->callbackMutex);
    if (d->deliver)
        d->deliver(text);
}

} // namespace kd36
