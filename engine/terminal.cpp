// The communication-mode terminal: typed lines out, received chunks shown.
#include <string>

#include "main_engine.h"

namespace kd36 {

void MainEngine::btnTermTxClick()
{
    std::string t = FInputs.terminalLine;
    if (t.empty())
        return;
    if (FInputs.terminalCrLf)
        t += "\r\n";
    SendCommand(t, "Tx:");
}

void MainEngine::spbTermClearClick()
{
    memTerm.clear();
    d.main.monitorText(Monitor::Terminal, "");
}

void MainEngine::txtTermDblClick()
{
    if (!FShiftHeld)
        return;
    FCrLfBox = !FCrLfBox;
    windowChanged();
}

} // namespace kd36
