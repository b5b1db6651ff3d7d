// The communication-mode terminal: typed lines out, received chunks shown.
#include <string>

#include "main_engine.h"

namespace kd36 {

void MainEngine::btnTermTxClick()
{
    std::string t = d.main.text("txtTerm");
    if (t.empty())
        return;
    if (d.main.isChecked("chkCRLF"))
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
    if (FShiftHeld)
        d.main.setVisible("chkCRLF", !d.main.isVisible("chkCRLF"));
}

} // namespace kd36
