#pragma once
// A window without widgets for the command-line tool: the controls of one
// window layout (.ui), held by name with the state the layout gives them.
// A name the layout does not have is refused (std::invalid_argument), so
// an engine that drifts from the windows fails loudly instead of writing
// into a control nobody reads.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/line_state.h"
#include "engine/view.h"
#include "host/virtual_timers.h"

namespace kd36 {

class HeadlessView final : public View {
public:
    struct Control {
        std::string kind; // the layout's class name (QComboBox, QSpinBox, QAction ...)
        bool enabled = true;
        bool visible = true;
        bool checked = false;
        std::string text;               // Shift-JIS
        std::vector<std::string> items; // combo items; the text follows the index
        int index = -1;
        int value = 0;
        int minimum = 0;
        int maximum = 99;
        uint64_t writes = 0; // value and text changes by the engine
    };
    // `uiXml`: the layout file's content. `timers`: the window's timers
    // (created in code, not in the layout) with their intervals.
    HeadlessView(const std::string& uiXml, std::map<TimerId, int> timers);

    // --- View ---
    void setEnabled(std::string_view n, bool on) override { c(n).enabled = on; }
    bool isEnabled(std::string_view n) const override { return get(n).enabled; }
    void setVisible(std::string_view n, bool on) override { c(n).visible = on; }
    bool isVisible(std::string_view n) const override { return get(n).visible; }
    void setChecked(std::string_view n, bool on) override { c(n).checked = on; }
    bool isChecked(std::string_view n) const override { return get(n).checked; }
    std::string text(std::string_view n) const override;
    void setText(std::string_view n, const std::string& sjis) override;
    int itemIndex(std::string_view n) const override;
    void setItemIndex(std::string_view n, int index) override;
    int value(std::string_view n) const override;
    void setValue(std::string_view n, int v) override;
    void setColor(std::string_view n, uint32_t) override { c(n); }
    void setHeight(std::string_view n, int) override { c(n); }
    void setFocus(std::string_view n) override { c(n), focus_ = std::string(n); }
    bool hasFocus(std::string_view n) const override { return get(n), focus_ == n; }
    void appendMemoLine(std::string_view n, const std::string& line) override;
    void setMemoText(std::string_view n, const std::string& text) override;
    void setTabVisible(std::string_view page, bool on) override;
    bool isTabVisible(std::string_view page) const override;
    std::string currentPage(std::string_view pageControl) const override;
    void setStatusText(int panel, const std::string& s) override { status_[panel & 3] = s; }
    std::string statusText(int panel) const override { return status_[panel & 3]; }
    // No pointer, no tooltip.
    void setStatusHint(int, const std::string&) override {}
    static const char* memoOf(Monitor m)
    {
        return m == Monitor::Commands ? "memTxRxMonitor" : m == Monitor::Terminal ? "memTerm" : "memInfo";
    }
    void monitorLine(Monitor m, const std::string& line) override
    {
        appendMemoLine(memoOf(m), line);
    }
    void monitorText(Monitor m, const std::string& text) override
    {
        setMemoText(memoOf(m), text);
    }
    void showLine(const LineShown& line) override
    {
        for (size_t i = 0; i < 4; ++i)
            status_[i] = line.status[i];
    }
    void startTimer(TimerId id, int ms) override { timers_.start(id, ms, nowMs()); }
    void stopTimer(TimerId id) override { timers_.stop(id); }
    bool timerActive(TimerId id) const override { return timers_.active(id); }
    int timerInterval(TimerId id) const override { return timers_.interval(id); }
    void showForm() override;
    void hideForm() override;
    bool formShown() const override { return shown_; }
    void repaintNow() override {}

    // --- the tool's side ---
    bool has(std::string_view n) const { return controls_.count(n) != 0; }
    const Control& control(std::string_view n) const { return get(n); }
    // Items of a combo box the window fills in code.
    void setItems(std::string_view n, std::vector<std::string> items, int index);
    // Fires the due timers in time order (a repeating timer comes due again).
    void fireDueTimers(uint64_t now) { timers_.fireDue(now, onTimer); }

    std::function<uint64_t()> nowMs = [] { return uint64_t(0); };
    std::function<void(TimerId)> onTimer;
    std::function<void()> onShow;
    std::function<void()> onHide;

private:
    Control& c(std::string_view n);
    const Control& get(std::string_view n) const;
    [[noreturn]] void refuse(std::string_view what, std::string_view n) const;

    std::string root_;
    std::map<std::string, Control, std::less<>> controls_;
    std::map<std::string, std::vector<std::string>, std::less<>> pagesOf_; // tab widget -> pages
    std::map<std::string, int, std::less<>> currentIndex_;
    std::set<std::string, std::less<>> hiddenTabs_;
    VirtualTimers timers_;
    std::string status_[4];
    std::string focus_;
    bool shown_ = false;
};

} // namespace kd36
