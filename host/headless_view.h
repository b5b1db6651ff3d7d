#pragma once
// A window without widgets, for kd36ctl and the tests: it keeps the last
// value the engine showed it and runs the window's timers on the session's
// clock. There is nothing to imitate: the engine hands over values, not
// orders to controls.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/line_state.h"
#include "engine/link_logic.h"
#include "engine/packet_logic.h"
#include "engine/view.h"
#include "engine/window_state.h"
#include "host/virtual_timers.h"

namespace kd36 {

enum class WindowKind { Main, Link, Packet };

class HeadlessView final : public View {
public:
    // With the timers `window` has and their intervals before a start.
    explicit HeadlessView(WindowKind window);

    // --- View ---
    void showLine(const LineShown& l) override { line = l; }
    void showWindow(const WindowShown& w) override { window = w; }
    void showInputs(const WindowInputs& in) override { inputs = in; }
    void focusCommandLine() override { ++commandLineFocus; }
    void showLink(const LinkShown& s) override { linkShown = s; }
    void showPacket(const PacketShown& s) override { packetShown = s; }
    void monitorLine(Monitor m, const std::string& l) override { memo(m).append(l).append("\r\n"); }
    void monitorText(Monitor m, const std::string& text) override { memo(m) = text; }
    void startTimer(TimerId id, int ms) override { timers.start(id, ms, nowMs()); }
    void stopTimer(TimerId id) override { timers.stop(id); }
    bool timerActive(TimerId id) const override { return timers.active(id); }
    int timerInterval(TimerId id) const override { return timers.interval(id); }
    void showForm() override;
    void hideForm() override;
    bool formShown() const override { return shown; }
    void repaintNow() override { ++repaints; }

    // --- the owner's side ---
    // A monitor's text: lines ending in CR LF.
    const std::string& memoText(Monitor m) const { return memos_[size_t(m)]; }
    // Its lines without the line ends.
    std::vector<std::string> memoLines(Monitor m) const;
    // Fires the due timers in time order (a repeating timer comes due again).
    void fireDueTimers(uint64_t now) { timers.fireDue(now, onTimer); }
    uint64_t nextDueMs() const { return timers.nextDueMs(); }

    std::function<uint64_t()> nowMs = [] { return uint64_t(0); };
    std::function<void(TimerId)> onTimer;
    std::function<void()> onShow;
    std::function<void()> onHide;

    LineShown line;
    WindowShown window;
    WindowInputs inputs;
    LinkShown linkShown;
    PacketShown packetShown;
    VirtualTimers timers;
    bool shown = false;
    int repaints = 0;
    int commandLineFocus = 0;

private:
    std::string& memo(Monitor m) { return memos_[size_t(m)]; }

    std::array<std::string, 3> memos_;
};

} // namespace kd36
