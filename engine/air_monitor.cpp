// Air monitor through the spectrum display library, and the development
// tab's test commands and interval transmission.
#include <cstdio>
#include <limits>
#include <string>

#include "command_words.h"
#include "conversions.h"
#include "main_engine.h"
#include "sjis.h"

namespace kd36 {
namespace {

constexpr const char* kAirLocked[] = {"spbFICK", "spbPacket", "mnuRssiInfo", "mnuPacket",
                                      "spbCommandTx", "spbWrite", "spbRead", "spbMode",
                                      "spbCommunicationMode", "btnComPort", "btnComSet"};

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

DisplayTitle& titles()
{
    static DisplayTitle t{"RSSI [mV]", "Channel", nullptr, "Air Monitor"};
    return t;
}

DisplayControl& controls()
{
    static DisplayControl c{800, 100, 30};
    return c;
}

} // namespace

void MainEngine::setAirControls(bool on)
{
    for (const char* c : kAirLocked)
        d.main.setEnabled(c, on);
}

void MainEngine::mnuAirMonitorClick()
{
    bool mark = d.main.isChecked("mnuAirMonitor");
    setAirControls(mark);
    d.main.setChecked("mnuAirMonitor", !mark);
}

bool MainEngine::displayStatus(DisplayStatus& st)
{
    st = DisplayStatus{};
    if (!FDisplayLib || !pStatus)
        return false;
    pStatus(&st);
    // The start and stop logic knows only 0 and 1.
    st.Running = st.Running != 0 ? 1 : 0;
    return true;
}

void MainEngine::unloadDisplay()
{
    if (!FDisplayLib)
        return;
    std::string err;
    if (!FDisplayLib->unload(&err))
        d.boxes.information(err.empty() ? "The display library could not be unloaded." : err);
    FDisplayLib.reset();
    pShow = nullptr;
    pHide = nullptr;
    pTitle = nullptr;
    pStatus = nullptr;
    pUpdate = nullptr;
    pControl = nullptr;
}

void MainEngine::RunAirMonitor()
{
    const bool mark = d.main.isChecked("mnuAirMonitor");
    if (mark != FAirMonitorSeen) {
        if (mark && FDisplayLib) {
            pShow();
            FAirMonitorSeen = mark;
        } else if (mark) {
            loadAndShowDisplay();
        } else if (FDisplayLib) {
            // Switching off completes when the display reports Shown = 0.
            pHide();
        } else {
            FAirMonitorSeen = false;
        }
    }
    if (FDisplayLib)
        followDisplay();
}

void MainEngine::loadAndShowDisplay()
{
    std::string err;
    std::unique_ptr<DisplayLibrary> lib = d.displayLoader ? d.displayLoader->load(&err) : nullptr;
    if (!lib) {
        d.boxes.warning("スペアナ表示用DLLをロードできません。", err);
        mnuAirMonitorClick();
        FAirMonitorSeen = d.main.isChecked("mnuAirMonitor");
        return;
    }
    auto show = reinterpret_cast<DLLShowFn>(lib->resolve("DLLShow"));
    auto hide = reinterpret_cast<DLLHideFn>(lib->resolve("DLLHide"));
    auto title = reinterpret_cast<DLLTitleFn>(lib->resolve("DLLTitle"));
    auto status = reinterpret_cast<DLLStatusFn>(lib->resolve("DLLStatus"));
    auto update = reinterpret_cast<DLLUpdateFn>(lib->resolve("DLLUpdate"));
    auto control = reinterpret_cast<DLLControlFn>(lib->resolve("DLLControl"));
    FDisplayLib = std::move(lib);
    if (!show || !hide || !title || !status || !update || !control) {
        d.boxes.warning("関数アドレスを解決できませんでした。");
        unloadDisplay();
        d.main.setChecked("mnuAirMonitor", false);
        setAirControls(true);
        FAirMonitorSeen = false;
        return;
    }
    pShow = show;
    pHide = hide;
    pTitle = title;
    pStatus = status;
    pUpdate = update;
    pControl = control;
    pTitle(&titles());
    pControl(&controls());
    pShow();
    FAirMonitorSeen = true;
}

void MainEngine::followDisplay()
{
    DisplayStatus st;
    displayStatus(st);
    if (st.Shown == 0 && FAirMonitorSeen) {
        d.main.setChecked("mnuAirMonitor", false);
        setAirControls(true);
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
    if (!FDisplayLib)
        return;
    DisplayStatus st;
    displayStatus(st);
    if (st.Shown == 0 || st.Running == 0)
        return;
    std::vector<ScanValue> vals;
    if (scanLite(payload, sweepPattern(), vals) != 40)
        return;
    for (size_t i = 0; i < 40; ++i) {
        // Millivolts; a garbled reading is clamped rather than overflowed.
        int64_t mv = int64_t(int32_t(vals[i].number)) * 3300 / 1023;
        if (mv > std::numeric_limits<int32_t>::max())
            mv = std::numeric_limits<int32_t>::max();
        if (mv < std::numeric_limits<int32_t>::min())
            mv = std::numeric_limits<int32_t>::min();
        FAirData[i] = int32_t(mv);
    }
    pUpdate(&displayData);
}

void MainEngine::AirMonitorCloseStep()
{
    if (!FDisplayLib)
        return;
    DisplayStatus st;
    displayStatus(st);
    if (st.Running == 1) {
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

std::string testParams(View& v, int& modulation)
{
    const int idx = v.itemIndex("cmbModulation");
    modulation = idx == 2 ? 9 : (idx < 0 ? 0 : idx);
    return "F=" + std::to_string(v.itemIndex("cmbChannel") + 7) + ";M=" + std::to_string(modulation);
}

} // namespace

void MainEngine::btnSENDClick()
{
    int mod = 0;
    SendCommand("@SEND:" + testParams(d.main, mod) + "\r\n");
}

void MainEngine::btnRECVClick()
{
    int mod = 0;
    std::string p = testParams(d.main, mod);
    if (mod == 9) {
        d.boxes.warning("モジュレーション異常", {}, "デバッグ");
        return;
    }
    SendCommand("@RECV:" + p + "\r\n");
}

void MainEngine::btnIntervalTxClick()
{
    View& v = d.main;
    if (!v.timerActive("timIntervalTx")) {
        v.setText("btnIntervalTx", sj("ストップ"));
        v.startTimer("timIntervalTx", (v.itemIndex("cmbIntervalTx") + 1) * 1000);
        SendCommand(v.text("edtIntervalTx") + "\r\n");
    } else {
        v.stopTimer("timIntervalTx");
        v.setText("btnIntervalTx", sj("スタート"));
    }
}

void MainEngine::timIntervalTxTimer()
{
    SendCommand(d.main.text("edtIntervalTx") + "\r\n");
}

void MainEngine::cmbIntervalTxChange()
{
    View& v = d.main;
    if (v.timerActive("timIntervalTx"))
        v.startTimer("timIntervalTx", (v.itemIndex("cmbIntervalTx") + 1) * 1000);
}

} // namespace kd36
