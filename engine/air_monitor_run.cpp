#include "air_monitor_run.h"

#include <array>
#include <cstdio>
#include <limits>
#include <vector>

#include "command_words.h"
#include "conversions.h"
#include "../serial/user_text.h"

namespace kd36 {
namespace {

const std::string& sweepPattern()
{
    static const std::string p = [] {
        std::string s;
        for (int ch = 7; ch <= 46; ++ch) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%s%02d=%%X", ch == 7 ? "" : ",", ch);
            s += buf;
        }
        return s;
    }();
    return p;
}

} // namespace

AirMonitorRun::AirMonitorRun(MessageBoxes& boxes, DisplayLibraryLoader* loader, bool& lineBusy,
                             std::function<void(const std::string&)> send, std::function<void()> marksChanged)
    : boxes_(boxes)
    , loader_(loader)
    , lineBusy_(lineBusy)
    , send_(std::move(send))
    , marksChanged_(std::move(marksChanged))
{
}

void AirMonitorRun::toggle()
{
    on_ = !on_;
    marksChanged_();
}

void AirMonitorRun::switchOff()
{
    on_ = false;
    marksChanged_();
    shown_ = false;
}

void AirMonitorRun::unload()
{
    std::string err;
    if (!display_.unload(err))
        boxes_.information(err.empty() ? "The display library could not be unloaded." : err);
}

void AirMonitorRun::reset()
{
    display_.forget();
    shown_ = false;
}

void AirMonitorRun::pass()
{
    if (on_ != shown_) {
        if (on_ && display_.loaded()) {
            display_.show();
            shown_ = true;
        } else if (on_) {
            loadAndShow();
        } else if (display_.loaded()) {
            // Switching off completes when the display reports Shown = 0.
            display_.hide();
        } else {
            shown_ = false;
        }
    }
    if (display_.loaded())
        followDisplay();
}

void AirMonitorRun::loadAndShow()
{
    std::string err;
    switch (display_.load(loader_, err)) {
    case SpectrumDisplay::Load::Shown:
        shown_ = true;
        return;
    case SpectrumDisplay::Load::NoLibrary:
        boxes_.warning(KD36_TR_NOOP("QtBoxes", "スペアナ表示用DLLをロードできません。"), err);
        switchOff();
        return;
    case SpectrumDisplay::Load::Unresolved:
        boxes_.warning(KD36_TR_NOOP("QtBoxes", "関数アドレスを解決できませんでした。"));
        unload();
        switchOff();
        return;
    }
}

void AirMonitorRun::followDisplay()
{
    DisplayStatus st = display_.status();
    if (st.Shown == 0 && shown_) {
        // Closed by its user: the function goes off, a measurement ends.
        switchOff();
        st.Running = 0;
        st.Shown = 1;
    }
    if (st.Shown != 0 && st.Running != lastRunning_) {
        if (!lineBusy_ && lastRunning_ == 0) {
            lastRunning_ = st.Running;
            lineBusy_ = true;
            send_(command(W_ANLZ, "S"));
        } else if (lastRunning_ == 1) {
            lastRunning_ = st.Running;
            lineBusy_ = false;
            send_(command(W_ANLZ, "Q"));
        }
    }
}

void AirMonitorRun::data(const std::string& payload)
{
    if (!display_.loaded())
        return;
    const DisplayStatus st = display_.status();
    if (st.Shown == 0 || st.Running == 0)
        return;
    std::vector<ScanValue> vals;
    if (scanLite(payload, sweepPattern(), vals) != int(SpectrumDisplay::kChannels))
        return;
    std::array<int32_t, SpectrumDisplay::kChannels> sweep{};
    for (size_t i = 0; i < sweep.size(); ++i) {
        // Millivolts; a garbled reading is clamped rather than overflowed.
        int64_t mv = int64_t(int32_t(vals[i].number)) * 3300 / 1023;
        if (mv > std::numeric_limits<int32_t>::max())
            mv = std::numeric_limits<int32_t>::max();
        if (mv < std::numeric_limits<int32_t>::min())
            mv = std::numeric_limits<int32_t>::min();
        sweep[i] = int32_t(mv);
    }
    display_.update(sweep);
}

void AirMonitorRun::close()
{
    if (!display_.loaded())
        return;
    if (display_.status().Running == 1) {
        lineBusy_ = false;
        send_(command(W_ANLZ, "Q"));
    }
    unload();
}

} // namespace kd36
