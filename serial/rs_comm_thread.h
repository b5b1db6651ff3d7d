#pragma once
// The serial port holder and the receive thread in one object: the port
// operations run on the user-interface thread, the receive loop (Execute)
// on its own thread, sharing the one device.
#include <QThread>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "clock.h"
#include "comm_port.h"
#include "device.h"
#include "message_boxes.h"
#include "port_settings.h"

namespace kd36 {

class RsCommThread : public QThread, public CommPort {
public:
    RsCommThread(Clock& clock, MessageBoxes& boxes, DeviceOpener& opener);
    ~RsCommThread() override;

    // Flags of the main window that the receive loop reads; nullptr unbinds
    // (no read is in flight once this returns).
    void bindWindowFlags(const std::atomic<uint8_t>* portOpen, const std::atomic<uint8_t>* commandMode);
    // Hand-over of one complete piece; called on the receive thread. Pieces
    // collected before a close that was followed by a new open are dropped.
    void setDeliver(std::function<void(const std::string&)> deliver);
    // Inside the deliver callback: the open the piece belongs to. A piece
    // queued to the window is taken only while isCurrentSession() holds for it.
    uint64_t pieceSession() const;
    bool isCurrentSession(uint64_t session) const;
    // Lets the user interface process its events while WritePort waits.
    void setProcessEvents(std::function<void()> processEvents);
    // Called once (receive or UI thread) when the device vanished.
    void setDeviceLost(std::function<void()> lost);
    // Called on the receive thread when the modem lines read otherwise than
    // before (and once after each open): the lamps have something to show.
    void setLinesChanged(std::function<void()> changed);

    // A network port is resolved, connected and configured off the calling
    // thread within 5 s; the caller's events run meanwhile (setProcessEvents).
    // Inside that wait a second OpenPort, a ClosePort or cancelOpen gives the
    // open up: it returns false and shows nothing.
    bool OpenPort(int n, const PortSettings& settings) override;
    bool opening() const;
    void cancelOpen();
    // Asked during an open's wait; true gives the open up (a signal).
    void setOpenAbort(std::function<bool()> abort);
    // A failed open shows no box (an automatic retry); the reason is kept.
    void setQuietOpen(bool quiet);
    // Why the last OpenPort failed, in English; empty after one that
    // succeeded or was given up.
    std::string openFailure() const;
    bool ClosePort() override;
    int WritePort(const char* bytes, uint32_t length) override;
    bool EscapeLine(int code) override;
    bool GetModemStatus(uint32_t& bits) override;
    int EnumeratePorts(PortPresentFlags& flags) override;
    PortSettings actualSettings() const override;
    void setHexDisplay(bool on) override { HexDisplay = on ? 1 : 0; }
    bool hexDisplay() const override { return HexDisplay != 0; }
    // Pure rule over a list of "COMn" names; flags[n-1] set for each.
    static int EnumeratePorts(const std::vector<std::string>& names, PortPresentFlags& flags);
    // After Terminate these write to standard error instead of a box.
    void ReportCommErrors(uint32_t flags);
    // The texts ReportCommErrors shows, in its order.
    static std::vector<std::string> lineErrorTexts();
    void ShowSystemError(int code);

    // One receive pass; Execute runs it whenever the line has something
    // (or a piece's time is up), tests call it directly.
    void PollPort();
    bool AssembleChunk();
    void DeliverLine(bool terminated);

    // Asks the loop to end; the owner then waits for the thread.
    void Terminate();
    // Terminate, drop the callbacks and the window's flags (no call into
    // them is in flight afterwards), then wait at most boundMs for the loop.
    // False when it is still running: the owner must then keep this object
    // and what it was given alive.
    bool shutdown(unsigned long boundMs);
    // The device vanished since the last OpenPort (reported once).
    bool deviceLost() const;

    std::atomic<uint8_t> HexDisplay{0};

protected:
    void run() override; // Execute

private:
    void markDeviceLost();
    // The loop's look at the modem lines, when they may have moved.
    void watchLines(Device& dev);
    // How long the loop may wait for the line before a pass is due anyway;
    // negative: until something happens.
    int64_t idleWaitUs() const;
    bool openNetwork(int n, const std::string& url, const PortSettings& settings);
    bool openLocal(int n, const PortSettings& settings);
    void openFailed(int n, const std::string& reason, int err);
    void closeHeld();
    // A line call failed: a vanished device is reported once, any other
    // failure shows the system's text.
    void reportLineFailure(Device& dev);

    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kd36
