// The receive side of RsCommThread: the loop, one pass over the device, and
// the cutting of what was read into the pieces handed to the window.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <system_error>

#include "rs_comm_thread.h"
#include "rs_comm_thread_impl.h"
#include "termios_device.h"
#include "user_text.h"

namespace kd36 {

void RsCommThread::run()
{
    std::unique_lock lock(d->waitMutex);
    while (!d->terminated) {
        if (d->state != PortState::Open) {
            // Nothing to watch: sleep until a port opens or the end.
            d->wake.wait(lock, [this] { return d->terminated || d->state == PortState::Open; });
            continue;
        }
        lock.unlock();
        // Drained before the pass: whatever signals from now on ends the wait below.
        d->wakeFd.drain();
        // Until the window shows the port open the loop only looks again shortly.
        int64_t waitUs = Device::kPollUs;
        std::shared_ptr<Device> dev;
        if (d->windowLetsPoll()) {
            try {
                PollPort();
            } catch (const std::system_error& e) {
                ShowSystemError(e.code().value());
            } catch (const std::exception& e) {
                // A fault in one pass is shown; the next pass starts normally.
                d->boxes.information(e.what());
            } catch (...) {
                d->boxes.information(KD36_TR_NOOP("QtBoxes", "不明なエラーが発生しました。"));
            }
            {
                std::lock_guard io(d->ioMutex);
                dev = d->device;
            }
            if (d->lost)
                dev.reset(); // nothing more to read: wait for the close
            waitUs = dev ? idleWaitUs() : -1;
            if (d->readFailed) {
                // A device that fails its reads is polled, not waited on.
                dev.reset();
                waitUs = Device::kPollUs;
            }
        }
        if (dev)
            dev->waitForEvent(d->wakeFd.fd(), waitUs);
        else if (!d->terminated)
            waitReadable({d->wakeFd.fd()}, waitUs);
        lock.lock();
    }
}

int64_t RsCommThread::idleWaitUs() const
{
    uint64_t until = UINT64_MAX;
    if (d->lineLength > 0)
        until = d->pieceDeadlineUs;
    {
        std::lock_guard io(d->ioMutex);
        if (d->device && !d->device->reportsLineChanges())
            until = std::min(until, d->nextLineReadUs);
    }
    if (until == UINT64_MAX)
        return -1;
    const uint64_t now = d->clock.nowUs();
    return until <= now ? 0 : int64_t(until - now);
}

void RsCommThread::watchLines(Device& dev)
{
    const uint64_t now = d->clock.nowUs();
    if (!dev.reportsLineChanges() && now < d->nextLineReadUs)
        return;
    d->nextLineReadUs = now + kLineReadUs;
    uint32_t bits = 0;
    bool ok;
    int err = 0;
    {
        std::lock_guard lock(d->ioMutex);
        if (d->device.get() != &dev)
            return;
        ok = dev.modemStatus(bits);
        if (!ok)
            err = dev.errorCode();
    }
    if (!ok && isVanishedError(err)) {
        if (d->lineLength > 0)
            DeliverLine(true);
        markDeviceLost();
        return;
    }
    const uint64_t seen = ok ? bits : Impl::kLinesUnreadable;
    if (seen == d->linesSeen)
        return;
    d->linesSeen = seen;
    std::lock_guard lock(d->callbackMutex);
    if (d->linesChanged)
        d->linesChanged();
}

void RsCommThread::PollPort()
{
    if (d->lost)
        return;
    d->passCommandMode = d->windowCommandMode();
    uint32_t errors = 0;
    int n = 0;
    int err = 0;
    std::shared_ptr<Device> dev;
    {
        std::lock_guard lock(d->ioMutex);
        if (!d->device)
            return;
        dev = d->device;
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
    d->readFailed = n < 0 && !isVanishedError(err);

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
    } else {
        // Bytes after a terminator are kept: each piece of the read is
        // assembled and handed over in turn.
        do {
            bool terminated = AssembleChunk();
            DeliverLine(terminated);
        } while (d->bytesRead != 0);
    }
    watchLines(*dev);
}

bool RsCommThread::Impl::assembleText(uint8_t evt)
{
    const bool cutAtTerminator = passCommandMode;
    while (chunkPos < bytesRead) {
        uint8_t b = chunk[chunkPos++];
        if (lineLength == 0) {
            firstByte = b;
            secondByte = 0;
        } else if (lineLength == 1) {
            secondByte = b;
        }
        line[lineLength++] = char(b);
        if (cutAtTerminator && firstByte != '$' && secondByte != 'D' && b == evt)
            return true;
        // A full buffer is handed over as it stands.
        if (lineLength >= kLineSize)
            return true;
    }
    return false;
}

bool RsCommThread::Impl::assembleCode(uint8_t evt)
{
    static const char kHex[] = "0123456789ABCDEF";
    while (chunkPos < bytesRead) {
        uint8_t b = chunk[chunkPos];
        if (b >= 0x20 && b <= 0x7E) {
            if (lineLength >= kLineSize)
                return true; // full: this byte starts the next piece
            line[lineLength++] = char(b);
        } else {
            if (lineLength >= kCodeRenderLimit)
                return true;
            char* p = line + lineLength;
            p[0] = '[';
            p[1] = kHex[b >> 4];
            p[2] = kHex[b & 0x0F];
            p[3] = ']';
            lineLength += 4;
            if (b == 0x0A) {
                p[4] = '\r';
                p[5] = '\n';
                lineLength += 2;
            }
        }
        ++chunkPos;
        if (b == evt)
            return true;
    }
    return false;
}

bool RsCommThread::AssembleChunk()
{
    const uint8_t evt = d->evtChar.load();
    bool terminated;
    if (HexDisplay.load() == 0) {
        terminated = d->assembleText(evt);
        d->pieceDeadlineUs = d->clock.nowUs() + kSilenceUs;
    } else {
        // Code display hands over each read as it stands (deadline 0: now).
        terminated = d->assembleCode(evt);
    }
    if (d->chunkPos >= d->bytesRead) {
        d->bytesRead = 0;
        d->chunkPos = 0;
    }
    return terminated;
}

void RsCommThread::DeliverLine(bool terminated)
{
    if (!terminated && d->lineLength > 0 && d->clock.nowUs() >= d->pieceDeadlineUs)
        terminated = true;
    if (!terminated)
        return;
    d->line[d->lineLength] = '\0';
    // Every byte goes over; the engine cuts the window's text at a NUL, the log keeps it all.
    std::string text(d->line, size_t(d->lineLength));
    d->lineLength = 0;
    d->pieceDeadlineUs = 0;
    // Collected before a close that was followed by a new open: dropped.
    if (d->rxSession != d->session.load())
        return;
    d->pieceSession = d->rxSession;
    std::lock_guard lock(d->callbackMutex);
    if (d->deliver)
        d->deliver(text);
}

} // namespace kd36
