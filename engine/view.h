#pragma once
// What the engine shows a window: typed values of what changed (the line,
// the locks and marks, the fields, the dialogs), log lines and timers. All
// texts are Shift-JIS bytes; the window converts at its boundary.
#include <cstdint>
#include <functional>
#include <string>

namespace kd36 {

struct LineShown;
struct WindowShown;
struct WindowInputs;
struct LinkShown;
struct PacketShown;
class RangeRun;

// The log memos: the main window's two, the answer-back dialog's one.
enum class Monitor { Commands, Terminal, AnswerBackLog };

// The timers the engine runs: the reply wait and the interval send of the
// main window, the answer-back dialog's wait between stations and the
// range test's wake-up (its next poll, round or reply deadline).
enum class TimerId { RxWait, IntervalTx, WaitTime, RangeTick };

class View {
public:
    virtual ~View() = default;

    // The main window's status bar, lamps and their captions.
    virtual void showLine(const LineShown&) {}
    // The main window's locks, marks and mode panels.
    virtual void showWindow(const WindowShown&) {}
    // The main window's input fields, after the engine changed one.
    virtual void showInputs(const WindowInputs&) {}
    virtual void focusCommandLine() {}
    // The answer-back dialog's buttons, station ticks and level bars.
    virtual void showLink(const LinkShown&) {}
    // The answer-back dialog's range test: its figures and chart history.
    virtual void showRange(const RangeRun&) {}
    // The packet dialog's route, data, counter and received packet.
    virtual void showPacket(const PacketShown&) {}
    // A log memo: one line added, or its whole text.
    virtual void monitorLine(Monitor, const std::string& sjisLine) = 0;
    virtual void monitorText(Monitor, const std::string& sjisText) = 0;
    // A start restarts the count.
    virtual void startTimer(TimerId, int intervalMs) = 0;
    virtual void stopTimer(TimerId) = 0;
    virtual bool timerActive(TimerId) const = 0;
    virtual int timerInterval(TimerId) const = 0;
    // The window itself (dialogs): show raises it when already shown.
    virtual void showForm() = 0;
    virtual void hideForm() = 0;
    virtual bool formShown() const = 0;
    virtual void repaintNow() = 0;
};

} // namespace kd36
