// The receive side of RsCommThread: the loop, one pass over the device, and
// the cutting of what was read into the pieces handed to the window.
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
                d->boxes.information(KD36_TR_NOOP("QtBoxes", "不明なエラーが発生しました。"));
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
        d->silenceDeadline = d->clock.nowMs() + kSilenceMs;
    } else {
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
    if (!terminated && d->lineLength > 0 && d->clock.nowMs() > d->silenceDeadline)
        terminated = true;
    if (!terminated)
        return;
    d->line[d->lineLength] = '\0';
    // Every byte goes over; the engine cuts the window's text at a NUL, the log keeps it all.
    std::string text(d->line, size_t(d->lineLength));
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
