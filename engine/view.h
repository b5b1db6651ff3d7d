#pragma once
// What the engine may do to a window: controls addressed by their names
// (widgets, menu actions, timers, status panels). All texts are Shift-JIS
// bytes; the window converts at its boundary.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kd36 {

struct LineShown;
struct WindowShown;
struct WindowInputs;
struct LinkShown;
struct PacketShown;

// The log memos: the main window's two, the answer-back dialog's one.
enum class Monitor { Commands, Terminal, AnswerBackLog };

// The timers the engine runs: the reply wait and the interval send of the
// main window, the answer-back dialog's wait between stations.
enum class TimerId { RxWait, IntervalTx, WaitTime };

class View {
public:
    virtual ~View() = default;

    virtual void setEnabled(std::string_view name, bool on) = 0;
    virtual bool isEnabled(std::string_view name) const = 0;
    virtual void setVisible(std::string_view name, bool on) = 0;
    virtual bool isVisible(std::string_view name) const = 0;
    // Check boxes, radio buttons, checkable buttons and menu actions.
    virtual void setChecked(std::string_view name, bool on) = 0;
    virtual bool isChecked(std::string_view name) const = 0;
    // Edit text, combo current text, spin text as shown, memo text, caption.
    virtual std::string text(std::string_view name) const = 0;
    virtual void setText(std::string_view name, const std::string& sjis) = 0;
    // Combo boxes: selected index, -1 for none.
    virtual int itemIndex(std::string_view name) const = 0;
    virtual void setItemIndex(std::string_view name, int index) = 0;
    // Spin boxes and progress bars.
    virtual int value(std::string_view name) const = 0;
    virtual void setValue(std::string_view name, int v) = 0;
    // Lamps: 0xRRGGBB.
    virtual void setColor(std::string_view name, uint32_t rgb) = 0;
    virtual void setHeight(std::string_view name, int h) = 0;
    virtual void setFocus(std::string_view name) = 0;
    virtual bool hasFocus(std::string_view name) const = 0;
    // Memos: append one line (no line break inside `line` is needed), or replace all.
    virtual void appendMemoLine(std::string_view name, const std::string& sjisLine) = 0;
    virtual void setMemoText(std::string_view name, const std::string& sjisText) = 0;
    // Tab pages: whether the page's tab is shown; which page is current.
    virtual void setTabVisible(std::string_view page, bool on) = 0;
    virtual bool isTabVisible(std::string_view page) const = 0;
    virtual std::string currentPage(std::string_view pageControl) const = 0;
    // Status bar panels 0..3.
    virtual void setStatusText(int panel, const std::string& sjis) = 0;
    virtual std::string statusText(int panel) const = 0;
    // A status panel's tooltip (plain text); empty removes it.
    virtual void setStatusHint(int panel, const std::string& sjis) = 0;
    // The main window's status bar, lamps and their captions.
    virtual void showLine(const LineShown&) {}
    // The main window's locks, marks and mode panels.
    virtual void showWindow(const WindowShown&) {}
    // The main window's input fields, after the engine changed one.
    virtual void showInputs(const WindowInputs&) {}
    virtual void focusCommandLine() {}
    // The answer-back dialog's buttons, station ticks and level bars.
    virtual void showLink(const LinkShown&) {}
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
