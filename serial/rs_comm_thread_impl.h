#pragma once
// Private to RsCommThread: the state its port operations (rs_comm_thread.cpp)
// and its receive loop (rs_comm_receive.cpp) share.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "event_fd.h"
#include "network_open.h"
#include "rs_comm_thread.h"

namespace kd36 {

inline constexpr int kChunkSize = 1024;
inline constexpr int kLineSize = 2048;
// Code display renders a control byte as up to five bytes ("[0A]" CR LF).
inline constexpr int kCodeRenderLimit = 2042;
inline constexpr uint64_t kSilenceUs = 200'000;
// Lines of a device that does not report their changes are read this often.
inline constexpr uint64_t kLineReadUs = 50'000;

// Closed: no device. Held: opened but its configuration was refused.
// Open: opened and configured.
enum class PortState { Closed, Held, Open };

struct RsCommThread::Impl {
    Impl(Clock& c, MessageBoxes& b, DeviceOpener& o) : clock(c), boxes(b), opener(o) {}

    Clock& clock;
    MessageBoxes& boxes;
    DeviceOpener& opener;

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

    // The loop sleeps on `wake` while no port is open; while one is, it waits
    // on the device and `wakeFd`. Open, close and terminate signal both.
    std::mutex waitMutex;
    std::condition_variable wake;
    EventFd wakeFd;
    std::atomic<bool> terminated{false};
    std::atomic<bool> lost{false};

    // The window's flags; read and unbound under flagsMutex so an unbind
    // leaves no read in flight.
    std::mutex flagsMutex;
    const std::atomic<uint8_t>* portOpen = nullptr;
    const std::atomic<uint8_t>* commandMode = nullptr;
    std::atomic<uint8_t> evtChar{10};

    mutable std::mutex settingsMutex;
    PortSettings actual; // in force since the last open that configured

    // The loop calls deliver and deviceLost while holding callbackMutex
    // (both only post), so clearing them leaves no call in flight.
    std::mutex callbackMutex;
    std::function<void(const std::string&)> deliver;
    std::function<void()> processEvents;
    std::function<void()> deviceLost;
    std::function<void()> linesChanged;

    // The network open being waited for, and what the wait may be told;
    // all on the thread that opens (the user interface).
    std::shared_ptr<NetworkOpen> opening;
    bool openGivenUp = false;
    bool quietOpen = false;
    std::function<bool()> openAbort;
    std::string openFailure;

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
    uint64_t pieceDeadlineUs = 0; // the piece goes over by then even unfinished; 0 = none
    bool readFailed = false;      // the last read failed (not a loss): poll, do not wait on it
    uint64_t nextLineReadUs = 0;
    uint64_t linesSeen = kLinesUnknown; // the bits last reported, or the failure mark
    static constexpr uint64_t kLinesUnknown = ~uint64_t(0);
    static constexpr uint64_t kLinesUnreadable = uint64_t(1) << 32;

    // Move bytes of the chunk into the line until a piece ends (true) or
    // the chunk is used up (false): as text, or in code display.
    bool assembleText(uint8_t evt);
    bool assembleCode(uint8_t evt);
    // Lets the user interface process its events (outside callbackMutex:
    // what runs may set the callbacks).
    void runEvents()
    {
        std::function<void()> hook;
        {
            std::lock_guard lock(callbackMutex);
            hook = processEvents;
        }
        if (hook)
            hook();
    }
    void resetReceive()
    {
        lineLength = 0;
        bytesRead = 0;
        chunkPos = 0;
        pieceDeadlineUs = 0;
        firstByte = secondByte = 0;
        readFailed = false;
        nextLineReadUs = 0;
        linesSeen = kLinesUnknown;
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
        wakeFd.signal();
    }
};

} // namespace kd36
