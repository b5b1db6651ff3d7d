#include "rs_comm_thread.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <thread>

#include "gensio_device.h"

#include "rs_comm_thread_impl.h"
#include "termios_device.h"
#include "user_text.h"

namespace kd36 {

namespace {

constexpr uint64_t kSettleMs = 200;
constexpr uint64_t kWriteDeadlineMs = 3000;
// Longest the owner's thread waits for the loop to end.
constexpr unsigned long kShutdownMs = 2000;
// Resolve, connect and configure of a network port, all told; the wait
// allows the worker a little more to report its own reason.
constexpr uint64_t kNetworkOpenMs = 5000;
constexpr uint64_t kNetworkGraceMs = 300;

struct ErrorText {
    uint32_t flag;
    const char* text;
};

// Shown in this order, one box each.
constexpr ErrorText kErrorTexts[] = {
    {CE_MODE, KD36_TR_NOOP("QtBoxes", "要求されたモードがサポートされていません。")},
    {CE_BREAK, KD36_TR_NOOP("QtBoxes", "ハードウェアがブレーク条件を検出しました。")},
    {CE_FRAME, KD36_TR_NOOP("QtBoxes", "フレーミング エラーを検出しました。")},
    {CE_IOE, KD36_TR_NOOP("QtBoxes", "デバイスとの通信中にI/Oエラーが発生しました。")},
    {CE_OOP, KD36_TR_NOOP("QtBoxes", "パラレル デバイスが用紙切れであることを警告しました。")},
    {CE_OVERRUN, KD36_TR_NOOP("QtBoxes", "文字バッファがいっぱいです。次に送られる文字は失われます。")},
    {CE_RXOVER, KD36_TR_NOOP("QtBoxes", "入力バッファのオーバーフローが発生しました。")},
    {CE_RXPARITY, KD36_TR_NOOP("QtBoxes", "ハードウェアがパリティ エラーを検出しました。")},
    {CE_TXFULL, KD36_TR_NOOP("QtBoxes", "アプリケーションが文字を転送しようとしましたが､ 出力バッファがいっぱいでした。")},
    {CE_DNS, KD36_TR_NOOP("QtBoxes", "パラレル デバイスが選択されていません。")},
    {CE_PTO, KD36_TR_NOOP("QtBoxes", "パラレル デバイス上でタイムアウトになりました。")},
};

} // namespace


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
        d->linesChanged = nullptr;
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

void RsCommThread::setLinesChanged(std::function<void()> changed)
{
    std::lock_guard lock(d->callbackMutex);
    d->linesChanged = std::move(changed);
}

bool RsCommThread::deviceLost() const { return d->lost.load(); }

PortSettings RsCommThread::actualSettings() const
{
    std::lock_guard lock(d->settingsMutex);
    return d->actual;
}

void RsCommThread::Terminate()
{
    {
        std::lock_guard lock(d->waitMutex);
        d->terminated = true;
    }
    requestInterruption();
    d->wake.notify_all();
    d->wakeFd.signal();
}

// ---------------------------------------------------------------- port

bool RsCommThread::OpenPort(int n, const PortSettings& settings)
{
    if (n > kMaxPorts)
        return false;
    // Called again from the events run while an open waits: the user asked
    // to stop it.
    if (d->opening) {
        cancelOpen();
        return false;
    }
    d->openFailure.clear();

    // The receive state is the loop's: it starts afresh when it sees the
    // new session.
    d->lost = false;
    closeHeld();

    const std::string where = d->opener.portDescription(n);
    if (isNetworkPortName(where))
        return openNetwork(n, where, settings);
    return openLocal(n, settings);
}

void RsCommThread::closeHeld()
{
    if (!d->device)
        return;
    std::lock_guard lock(d->ioMutex);
    d->device->close();
    d->device.reset();
    d->setState(PortState::Closed);
}

void RsCommThread::openFailed(int n, const std::string& reason, int err)
{
    d->openFailure = reason;
    if (d->quietOpen)
        return;
    std::string detail = reason;
    std::string where = d->opener.portDescription(n);
    if (!where.empty())
        detail = where + ": " + detail;
    const std::string hint = err == EACCES ? d->opener.permissionHint(n) : std::string();
    if (!hint.empty())
        detail += "\n(" + hint + ".)";
    d->boxes.warning(KD36_TR_NOOP("QtBoxes", "Comポートオープンの失敗"), detail);
}

bool RsCommThread::openLocal(int n, const PortSettings& settings)
{
    int err = 0;
    takeFailureReason(); // nothing left over from an earlier call
    std::unique_ptr<Device> opened = d->opener.open(n, err);
    if (!opened) {
        std::string why = takeFailureReason();
        openFailed(n, why.empty() ? std::system_category().message(err) : why, err);
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

    takeFailureReason();
    bool ok = dev->configure(settings);
    if (ok) {
        {
            std::lock_guard lock(d->settingsMutex);
            d->actual = dev->actualSettings();
        }
        d->clock.sleepMs(kSettleMs);
        dev->purge();
    } else {
        std::string why = takeFailureReason();
        d->openFailure = why.empty() ? std::system_category().message(dev->errorCode()) : why;
    }
    if (uint32_t e = dev->takeErrors())
        ReportCommErrors(e);
    if (ok)
        d->setState(PortState::Open);
    return ok;
}

bool RsCommThread::openNetwork(int n, const std::string& url, const PortSettings& settings)
{
    auto job = NetworkOpen::start(url, settings, std::chrono::milliseconds(kNetworkOpenMs));
    d->opening = job;
    d->openGivenUp = false;
    const uint64_t until = d->clock.nowMs() + kNetworkOpenMs + kNetworkGraceMs;
    bool finished = false;
    while (!(finished = job->waitFor(10))) {
        if (d->openGivenUp || d->terminated || d->clock.nowMs() >= until || (d->openAbort && d->openAbort()))
            break;
        d->runEvents();
    }
    const bool givenUp = d->openGivenUp || d->terminated || (d->openAbort && d->openAbort());
    d->opening.reset();
    std::unique_ptr<Device> opened = job->take();
    if (!opened) {
        if (givenUp)
            return false;
        openFailed(n, finished ? job->reason() : "no answer within 5 s", finished ? job->error() : ETIMEDOUT);
        return false;
    }
    if (givenUp) {
        // Closed off this thread: a close may wait on the server.
        std::thread([dev = std::move(opened)]() mutable { dev.reset(); }).detach();
        return false;
    }
    std::shared_ptr<Device> dev(std::move(opened));
    {
        std::lock_guard lock(d->settingsMutex);
        d->actual = job->actualSettings();
    }
    d->evtChar = uint8_t(settings.EvtChar);
    {
        std::lock_guard lock(d->ioMutex);
        d->device = dev;
        ++d->session;
    }
    if (uint32_t e = dev->takeErrors())
        ReportCommErrors(e);
    d->setState(PortState::Open);
    return true;
}

bool RsCommThread::opening() const { return d->opening != nullptr; }

void RsCommThread::cancelOpen()
{
    if (d->opening)
        d->openGivenUp = true;
}

void RsCommThread::setOpenAbort(std::function<bool()> abort) { d->openAbort = std::move(abort); }

void RsCommThread::setQuietOpen(bool quiet) { d->quietOpen = quiet; }

std::string RsCommThread::openFailure() const { return d->openFailure; }

bool RsCommThread::ClosePort()
{
    // Closing while the open still waits: the open is given up.
    cancelOpen();
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

        d->runEvents();
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
    for (const auto& e : kErrorTexts) {
        if (!(flags & e.flag))
            continue;
        // Once the end has begun nobody may answer a box: it would hold the exit.
        if (d->terminated)
            d->boxes.report(e.text);
        else
            d->boxes.warning(e.text);
    }
}

void RsCommThread::ShowSystemError(int code)
{
    const std::string text = std::system_category().message(code);
    if (d->terminated)
        d->boxes.report(text);
    else
        d->boxes.information(text);
}

std::vector<std::string> RsCommThread::lineErrorTexts()
{
    std::vector<std::string> out;
    for (const auto& e : kErrorTexts)
        out.emplace_back(e.text);
    return out;
}

void RsCommThread::markDeviceLost()
{
    if (d->lost.exchange(true))
        return;
    std::lock_guard lock(d->callbackMutex);
    if (d->deviceLost)
        d->deviceLost();
}

} // namespace kd36
