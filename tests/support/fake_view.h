#pragma once
// A window without widgets: every control is a record found by name,
// created on first use with the defaults of a fresh control. Only the names
// the engine may address in that window exist: any other is refused
// (std::invalid_argument), so a test that drives a misspelt control fails.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../../engine/control_names.h"
#include "../../engine/view.h"
#include "../../host/virtual_timers.h"

namespace kd36::test {

struct FakeControl {
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    std::string text;
    std::vector<std::string> items; // combo items; text() then follows the index
    int index = -1;
    int value = 0;
    uint32_t color = 0;
    int height = 0;
    std::vector<std::string> memoLines; // appended lines, for memo checks
};

class FakeView : public View {
public:
    explicit FakeView(WindowKind window);

    // --- View ---
    void setEnabled(std::string_view n, bool on) override { c(n).enabled = on; }
    bool isEnabled(std::string_view n) const override { return get(n).enabled; }
    void setVisible(std::string_view n, bool on) override { c(n).visible = on; }
    bool isVisible(std::string_view n) const override { return get(n).visible; }
    void setChecked(std::string_view n, bool on) override { c(n).checked = on; }
    bool isChecked(std::string_view n) const override { return get(n).checked; }
    std::string text(std::string_view n) const override;
    void setText(std::string_view n, const std::string& s) override;
    int itemIndex(std::string_view n) const override { return get(n).index; }
    void setItemIndex(std::string_view n, int i) override;
    int value(std::string_view n) const override { return get(n).value; }
    void setValue(std::string_view n, int v) override { c(n).value = v; }
    void setColor(std::string_view n, uint32_t rgb) override { c(n).color = rgb; }
    void setHeight(std::string_view n, int h) override { c(n).height = h; }
    void setFocus(std::string_view n) override { focus = known(n); }
    bool hasFocus(std::string_view n) const override { return focus == known(n); }
    void appendMemoLine(std::string_view n, const std::string& line) override;
    void setMemoText(std::string_view n, const std::string& t) override;
    void setTabVisible(std::string_view p, bool on) override { tabs[known(p)] = on; }
    bool isTabVisible(std::string_view p) const override;
    std::string currentPage(std::string_view pc) const override;
    void setStatusText(int panel, const std::string& s) override { status[panel & 3] = s; }
    std::string statusText(int panel) const override { return status[panel & 3]; }
    void setStatusHint(int panel, const std::string& s) override { statusHints[panel & 3] = s; }
    // Into the records of the controls that show it.
    void showLine(const LineShown& line) override;
    void showWindow(const WindowShown& w) override;
    void showInputs(const WindowInputs& in) override;
    void focusCommandLine() override { focus = "txtEdit"; }
    void showLink(const LinkShown& s) override;
    void showPacket(const PacketShown& s) override;
    void monitorLine(Monitor m, const std::string& line) override { appendMemoLine(memoOf(m), line); }
    void monitorText(Monitor m, const std::string& text) override { setMemoText(memoOf(m), text); }
    static const char* memoOf(Monitor m)
    {
        return m == Monitor::Commands ? "memTxRxMonitor" : m == Monitor::Terminal ? "memTerm" : "memInfo";
    }
    void startTimer(TimerId id, int ms) override { timers.start(id, ms, nowMs()); }
    void stopTimer(TimerId id) override { timers.stop(id); }
    bool timerActive(TimerId id) const override { return timers.active(id); }
    int timerInterval(TimerId id) const override { return timers.interval(id); }
    void showForm() override;
    void hideForm() override;
    bool formShown() const override { return shown; }
    void repaintNow() override { ++repaints; }

    // --- test side ---
    FakeControl& c(std::string_view n) { return controls[known(n)]; }
    const FakeControl& get(std::string_view n) const;
    void setItems(std::string_view n, std::vector<std::string> items, int index = -1);
    // Memo text as the memo shows it: lines without the final CR LF.
    std::vector<std::string> memoLines(std::string_view n) const;
    // Fires every timer whose due time has come (in time order, repeating).
    void fireDueTimers(uint64_t now) { timers.fireDue(now, onTimer); }

    std::function<uint64_t()> nowMs = [] { return uint64_t(0); };
    std::function<void(TimerId)> onTimer;
    std::function<void()> onShow;
    std::function<void()> onHide;
    std::map<std::string, FakeControl, std::less<>> controls;
    std::map<std::string, bool, std::less<>> tabs;
    std::map<std::string, std::string, std::less<>> pages; // page control -> current page
    VirtualTimers timers;
    std::string status[4];
    std::string statusHints[4];
    std::string focus;
    bool shown = false;
    int repaints = 0;

private:
    // `n` when the window has it; throws otherwise.
    std::string known(std::string_view n) const;

    WindowKind window_;
};

} // namespace kd36::test
