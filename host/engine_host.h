#pragma once
// The engine, its port holder and the window wiring between them, without
// any widget: the one place that joins MainEngine, RsCommThread and the
// three views. The main window, the command-line tool and the test rigs
// build on it; each drives it from its own loop (the window through queued
// calls and its timers, the others through step()).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "engine/main_engine.h"
#include "host/stored_settings.h"
#include "serial/clock.h"
#include "serial/incident_boxes.h"
#include "serial/rs_comm_thread.h"

namespace kd36 {

class EngineHost {
public:
    struct Views {
        View& main;
        View& link;
        View& packet;
        PanelView* panel = nullptr; // what shows the setting panel, if anything
    };
    // fireTimers(nowMs) fires the views' due timers through mainTimer/linkTimer
    // (none: the views' timers fire themselves). processEvents keeps a window
    // alive while the engine waits inside a handler.
    EngineHost(Views views, MessageBoxes& boxes, Clock& clock, DeviceOpener& opener,
               std::function<void(uint64_t)> fireTimers, DisplayLibraryLoader* displayLoader = nullptr,
               std::function<void()> processEvents = {});
    ~EngineHost();
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;

    // The engine's start. `load` gets the engine's values as they start and
    // may change them from a settings file; the engine then takes them.
    using SettingsLoad = std::function<void(StoredSettings&, SettingPanel&)>;
    void start(const SettingsLoad& load = {});
    // The engine's values for the settings file (the caller adds its own);
    // the setting panel is engine().panel().
    StoredSettings storedSettings() const;
    // The receive thread runs from here on (a stepped rig calls receivePass).
    void startReceiving() { port_.start(); }
    // One receive pass by hand, for rigs on a virtual clock or a benchmark
    // that runs the passes itself after stopping the thread's own loop.
    void receivePass() { port_.PollPort(); }
    bool stopReceiving(unsigned long boundMs)
    {
        port_.Terminate();
        return port_.wait(boundMs);
    }

    // Opens COMn as the port button does (DTR then follows the mode).
    bool open(int portNumber, const PortSettings& settings);
    bool open();  // with the port the engine has chosen
    void close(); // as the port button, when open
    // FormClose, then the receive thread is told to end and awaited (bounded).
    void shutDown();
    // Ends the receive thread without the engine's close (a window going
    // away); false when it is still running after `boundMs`.
    bool release(unsigned long boundMs);
    // A window going away with the port still open: the line is let go
    // without the engine (its views may already be gone).
    void dropLine() { port_.ClosePort(); }
    // The receive thread is told to end (the window's close).
    void terminate() { port_.Terminate(); }

    // An open waiting on the network: whether one is, giving it up, why the
    // last one failed, and what may cut it short (a signal).
    bool opening() const { return port_.opening(); }
    void cancelOpen() { port_.cancelOpen(); }
    std::string openFailure() const { return port_.openFailure(); }
    void setOpenAbort(std::function<bool()> abort) { port_.setOpenAbort(std::move(abort)); }
    // An automatic retry's open shows no box on failure.
    void setQuietOpen(bool on) { port_.setQuietOpen(on); }

    // One pass on the user-interface side: hand-overs in arrival order, a
    // lost device, due timers, the idle pass. Not re-entered.
    void step();
    // Waits (real time) at most `ms` for something from the receive thread
    // for step() to act on: a piece, a note, moved lines, a loss.
    void waitForPiece(uint64_t ms);
    bool pieceWaiting();
    // A headless loop's wait after a step: until something arrives, `dueMs`
    // on the clock (its next timer or its end), or the next pass the engine
    // needs without an outside event (the window's 10 ms cadence).
    void awaitWork(uint64_t dueMs);
    // When the next pass is due, given the loop's own next due time: now
    // for work waiting at once, within kPassMs while the engine needs a
    // cadence of its own, else dueMs.
    uint64_t nextPassDueMs(uint64_t dueMs);
    static constexpr uint64_t kPassMs = 10;
    // Called on the receive thread after each piece is queued, and when the
    // modem lines moved (wakes a loop for a pass).
    void setPieceNotify(std::function<void()> notify) { notify_ = std::move(notify); }
    // Called on the receive thread when the device is lost; none: the piece notify.
    void setLostNotify(std::function<void()> notify) { lostNotify_ = std::move(notify); }
    // The oldest piece of the current open, taken from the queue (pieces
    // queued before a close and a new open are dropped on the way).
    std::optional<std::string> nextPiece();
    // Acts on a reported loss of the device once; true when it did.
    bool takeLoss();
    // Echoes the counted repeats of port faults into the monitor and the
    // session log; true when there were any.
    bool takeNotes();
    // The line a repeat leaves, in the window's language (by default the
    // box text with its Japanese count).
    using NoteWords = std::function<std::string(const std::string& text, unsigned count)>;
    void setNoteWords(NoteWords words) { noteWords_ = std::move(words); }
    // From now on no box is shown (the window or the run is ending).
    void beginClosing() { incidents_.beginClosing(); }

    // No pass inside another, inside a write, or where the gate says no
    // (a window: while a message box is open).
    bool passAllowed() const;
    void setPassGate(std::function<bool()> gate) { gate_ = std::move(gate); }
    // The engine's idle pass, when one may run; true when it ran.
    bool idlePass();
    // Every piece handed over, in order, for the caller to read (command mode).
    void setPieceTap(std::function<void(const std::string&)> tap) { tap_ = std::move(tap); }

    // Events of the views, as the windows connect them.
    void mainTimer(TimerId id) { engine_.onTimer(id); }
    void linkTimer(TimerId id);
    void linkShown();
    void linkHidden();
    void packetShown();
    void packetHidden();

    // The session's engine: its handlers take the user's actions, its
    // values are what the views show.
    MainEngine& engine() { return engine_; }
    const MainEngine& engine() const { return engine_; }
    uint64_t piecesHandedOver() const { return piecesHandedOver_; }
    uint64_t longestPassUs() const { return longestPassUs_; }

private:
    Clock& clock_;
    // Every box of the port and the engine passes here (one per incident).
    IncidentBoxes incidents_;
    RsCommThread port_;
    MainEngine engine_;
    uint64_t piecesHandedOver_ = 0;
    uint64_t longestPassUs_ = 0;
    std::function<void(uint64_t)> fireTimers_;
    std::function<void()> notify_;
    std::function<void(const std::string&)> tap_;
    std::function<void()> lostNotify_;
    std::function<bool()> gate_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::pair<std::string, uint64_t>> pieces_; // with the open they came from
    std::deque<std::pair<std::string, unsigned>> notes_; // under mu_
    NoteWords noteWords_ = IncidentBoxes::repeatLine;
    bool somethingWaiting() const; // under mu_
    uint64_t linesMoved_ = 0;      // under mu_
    uint64_t linesShown_ = 0;      // under mu_
    std::atomic<int> lostReports_{0};
    int lostHandled_ = 0;
    bool inStep_ = false;
    bool shutDown_ = false;
};

} // namespace kd36
