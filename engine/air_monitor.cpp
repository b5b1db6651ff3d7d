// Air monitor through the spectrum display library, and the development
// tab's test commands and interval transmission.
#include <array>
#include <cstdio>
#include <limits>
#include <string>

#include "command_words.h"
#include "conversions.h"
#include "main_engine.h"
#include "sjis.h"
#include "user_text.h"

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

void MainEngine::mnuAirMonitorClick()
{
    FAirMonitorMark = !FAirMonitorMark;
    windowChanged();
}

void MainEngine::unloadDisplay()
{
    std::string err;
    if (!FDisplay.unload(err))
        d.boxes.information(err.empty() ? "The display library could not be unloaded." : err);
}

void MainEngine::RunAirMonitor()
{
    const bool mark = FAirMonitorMark;
    if (mark != FAirMonitorSeen) {
        if (mark && FDisplay.loaded()) {
            FDisplay.show();
            FAirMonitorSeen = mark;
        } else if (mark) {
            loadAndShowDisplay();
        } else if (FDisplay.loaded()) {
            // Switching off completes when the display reports Shown = 0.
            FDisplay.hide();
        } else {
            FAirMonitorSeen = false;
        }
    }
    if (FDisplay.loaded())
        followDisplay();
}

void MainEngine::loadAndShowDisplay()
{
    std::string err;
    switch (FDisplay.load(d.displayLoader, err)) {
    case SpectrumDisplay::Load::Shown:
        FAirMonitorSeen = true;
        return;
    case SpectrumDisplay::Load::NoLibrary:
        d.boxes.warning(KD36_TR_NOOP("QtBoxes", "スペアナ表示用DLLをロードできません。"), err);
        mnuAirMonitorClick();
        FAirMonitorSeen = FAirMonitorMark;
        return;
    case SpectrumDisplay::Load::Unresolved:
        d.boxes.warning(KD36_TR_NOOP("QtBoxes", "関数アドレスを解決できませんでした。"));
        unloadDisplay();
        FAirMonitorMark = false;
        windowChanged();
        FAirMonitorSeen = false;
        return;
    }
}

void MainEngine::followDisplay()
{
    DisplayStatus st = FDisplay.status();
    if (st.Shown == 0 && FAirMonitorSeen) {
        FAirMonitorMark = false;
        windowChanged();
        FAirMonitorSeen = false;
        st.Running = 0;
        st.Shown = 1;
    }
    if (st.Shown != 0 && st.Running != LastRunning) {
        if (!FBusy && LastRunning == 0) {
            LastRunning = st.Running;
            FBusy = true;
            sendFunctionCommand(command(W_ANLZ, "S"));
        } else if (LastRunning == 1) {
            LastRunning = st.Running;
            FBusy = false;
            sendFunctionCommand(command(W_ANLZ, "Q"));
        }
    }
}

void MainEngine::AirMonitorData(const std::string& payload)
{
    if (!FDisplay.loaded())
        return;
    const DisplayStatus st = FDisplay.status();
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
    FDisplay.update(sweep);
}

void MainEngine::AirMonitorCloseStep()
{
    if (!FDisplay.loaded())
        return;
    if (FDisplay.status().Running == 1) {
        FBusy = false;
        sendFunctionCommand(command(W_ANLZ, "Q"));
    }
    unloadDisplay();
}

// ---------------------------------------------------------------- development tab

void MainEngine::btnDBUGClick() { SendCommand("@DBUG\r\n"); }
void MainEngine::btnDIF1Click() { SendCommand("@DIF1\r\n"); }
void MainEngine::btnDIF2Click() { SendCommand("@DIF2\r\n"); }
void MainEngine::btnTESTClick() { SendCommand("@TEST:K=XJ52\r\n"); }
void MainEngine::btnCMNDClick() { SendCommand("@CMND\r\n"); }
void MainEngine::btnSTBYClick() { SendCommand("@STBY\r\n"); }

namespace {

std::string testParams(const WindowInputs& in, int& modulation)
{
    const int idx = in.testModulation;
    modulation = idx == 2 ? 9 : (idx < 0 ? 0 : idx);
    return "F=" + std::to_string(in.testChannel + 7) + ";M=" + std::to_string(modulation);
}

} // namespace

void MainEngine::btnSENDClick()
{
    int mod = 0;
    SendCommand("@SEND:" + testParams(FInputs, mod) + "\r\n");
}

void MainEngine::btnRECVClick()
{
    int mod = 0;
    std::string p = testParams(FInputs, mod);
    if (mod == 9) {
        d.boxes.warning(KD36_TR_NOOP("QtBoxes", "モジュレーション異常"), {}, "デバッグ");
        return;
    }
    SendCommand("@RECV:" + p + "\r\n");
}

void MainEngine::btnIntervalTxClick()
{
    View& v = d.main;
    FIntervalRunning = !FIntervalRunning;
    if (FIntervalRunning) {
        v.startTimer(TimerId::IntervalTx, (FInputs.intervalIndex + 1) * 1000);
        windowChanged();
        SendCommand(FInputs.intervalCommand + "\r\n");
    } else {
        v.stopTimer(TimerId::IntervalTx);
        windowChanged();
    }
}

void MainEngine::timIntervalTxTimer()
{
    SendCommand(FInputs.intervalCommand + "\r\n");
}

void MainEngine::cmbIntervalTxChange(int index)
{
    FInputs.intervalIndex = index;
    if (FIntervalRunning)
        d.main.startTimer(TimerId::IntervalTx, (index + 1) * 1000);
}

} // namespace kd36
