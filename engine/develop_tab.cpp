// The development tab's test commands and interval transmission, and the
// air monitor's menu item.
#include <string>

#include "air_monitor_run.h"
#include "main_engine.h"
#include "../serial/user_text.h"

namespace kd36 {

void MainEngine::mnuAirMonitorClick()
{
    FAir.toggle();
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
        d.boxes.warning(KD36_TR_NOOP("QtBoxes", "モジュレーション異常"), {}, KD36_TR_NOOP("QtBoxes", "デバッグ"));
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
