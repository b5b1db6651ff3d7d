#pragma once
// The engine, its port holder and the window wiring between them, without
// any widget: the one place that joins MainEngine, RsCommThread and the
// three views. The command-line tool and the test rigs build on it; the
// windowed tool keeps its own Qt wiring (queued calls, idle hook).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "engine/main_engine.h"
#include "serial/clock.h"
#include "serial/rs_comm_thread.h"

namespace kd36 {

class EngineHost {
public:
    struct Views {
        View& main;
        View& link;
        View& packet;
    };
    // fireTimers(nowMs) fires the views' due timers through mainTimer/linkTimer.
    EngineHost(Views views, MessageBoxes& boxes, Clock& clock, DeviceOpener& opener,
               std::function<void(uint64_t)> fireTimers, DisplayLibraryLoader* displayLoader = nullptr);
    ~EngineHost();
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;

    // The engine's start-up steps; the caller loads the settings in between.
    void constructBeforeSettings();
    void constructAfterSettings();

    // Opens COMn as the port button does (DTR then follows the mode).
    bool open(int portNumber, const PortSettings& settings);
    bool open();  // with the engine's own FPortNumber and portSettings
    void close(); // as the port button, when open
    // FormClose, then the receive thread is told to end and awaited (bounded).
    void shutDown();

    // One pass on the user-interface side: hand-overs in arrival order, a
    // lost device, due timers, the idle pass. Not re-entered.
    void step();
    // Waits (real time) at most `ms` for a piece from the receive thread.
    void waitForPiece(uint64_t ms);
    bool pieceWaiting();
    // Called on the receive thread after each piece is queued (wakes a loop).
    void setPieceNotify(std::function<void()> notify) { notify_ = std::move(notify); }
    // Every piece handed over, in order, for the caller to read (command mode).
    void setPieceTap(std::function<void(const std::string&)> tap) { tap_ = std::move(tap); }

    // Events of the views, as the windows connect them.
    void mainTimer(const std::string& name) { engine.onTimer(name); }
    void linkTimer(const std::string& name);
    void linkShown();
    void linkHidden();
    void packetShown();
    void packetHidden();

    uint64_t piecesHandedOver = 0;
    uint64_t longestPassUs = 0;

    Clock& clock;
    RsCommThread port;
    MainEngine engine;

private:
    std::function<void(uint64_t)> fireTimers_;
    std::function<void()> notify_;
    std::function<void(const std::string&)> tap_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::string> pieces_;
    std::atomic<int> lostReports_{0};
    int lostHandled_ = 0;
    bool inStep_ = false;
    bool shutDown_ = false;
};

} // namespace kd36
