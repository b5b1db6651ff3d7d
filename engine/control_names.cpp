#include "control_names.h"

#include <algorithm>

namespace kd36 {

namespace {

void addNumbered(std::vector<std::string>& v, const char* stem, int from, int to)
{
    for (int n = from; n <= to; ++n)
        v.push_back(stem + std::to_string(n));
}

std::vector<std::string> sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

std::vector<std::string> mainNames()
{
    std::vector<std::string> v = {
        "TMainForm", // the window itself: its title
        // Mode, port and function buttons with their menu items.
        "spbMode", "spbCommunicationMode", "btnComPort", "btnComSet", "mnuCommOpen", "mnuFunction",
        "spbAIRM", "mnuAirMonitor", "spbFICK", "mnuRssiInfo", "spbPacket", "mnuPacket",
        // Lamps and their captions.
        "shpLump", "shpSupplySignal", "shpTxableSignal", "lblSupplySignal", "lblTxableSignal",
        // Command line and monitor.
        "pnlCommand", "pnlCommunication", "cmbTemplate", "txtEdit", "spbCommandTx", "memTxRxMonitor",
        // Setting pages.
        "PageControlSetting", "tabExtendSetting", "tabDevelop", "Label2", "spbWrite", "spbRead", "grpSERI",
        "lblSERIData",
        // Development page and terminal.
        "btnDBUG", "btnDIF1", "btnDIF2", "btnTEST", "btnCMND", "btnSEND", "btnRECV", "btnSTBY", "cmbChannel",
        "cmbModulation", "btnIntervalTx", "cmbIntervalTx", "edtIntervalTx", "txtTerm", "btnTermTx", "chkCRLF",
        "memTerm",
        // Timers the window creates.
        "timRxWait", "timIntervalTx",
    };
    return sorted(std::move(v));
}

std::vector<std::string> linkNames()
{
    std::vector<std::string> v = {"btnGet", "btnAbort", "btnCsvSave", "memInfo", "timWaitTime"};
    addNumbered(v, "CheckBox", 0, 15);
    addNumbered(v, "prgLevel", 0, 15);
    return sorted(std::move(v));
}

std::vector<std::string> packetNames()
{
    std::vector<std::string> v = {"chkRoute", "chkEnterKey", "memUserData", "memUserDataRx", "lblMemInfo"};
    addNumbered(v, "cmbRoute", 0, 6);
    addNumbered(v, "edtRoute", 0, 6);
    addNumbered(v, "lblRoute", 0, 6);
    addNumbered(v, "lblArrow", 0, 6);
    return sorted(std::move(v));
}

} // namespace

const std::vector<std::string>& controlNames(WindowKind w)
{
    static const std::vector<std::string> main = mainNames();
    static const std::vector<std::string> link = linkNames();
    static const std::vector<std::string> packet = packetNames();
    switch (w) {
    case WindowKind::Link:
        return link;
    case WindowKind::Packet:
        return packet;
    case WindowKind::Main:
        break;
    }
    return main;
}

bool isControlName(WindowKind w, std::string_view name)
{
    const auto& v = controlNames(w);
    return std::binary_search(v.begin(), v.end(), name, std::less<>());
}

} // namespace kd36
