// The setting panel: reading and writing the modem's settings one command
// per idle pass, and the panel's enabling rules.
#include <string>

#include "command_words.h"
#include "conversions.h"
#include "main_engine.h"
#include "relay_chain.h"
#include "sjis.h"

namespace kd36 {
namespace {

constexpr const char* kSequenceLocks[] = {"spbCommandTx", "spbAIRM", "spbFICK",
                                          "spbPacket", "spbMode", "spbCommunicationMode"};

std::string firstChar(const std::string& s)
{
    return s.empty() ? std::string() : s.substr(0, 1);
}

// Each write step below returns its command, or nothing when its box is not
// ticked (or its value is refused); a step that sends first clears the
// read-back fields its reply will fill.

std::string systemIdCommand(View& v, MessageBoxes& boxes)
{
    if (!v.isChecked("chkSYID"))
        return {};
    std::string id = v.text("edtSYIDWrite");
    bool valid = false;
    if (id.empty()) {
        boxes.warning("システムIDが設定されていません。");
    } else if (auto n = strToInt(id); !n) {
        boxes.warning("システムIDには整数をセットしてください。");
    } else if (*n == 0) {
        valid = boxes.question("システムIDを 0 に設定しようとしています。\r\nよろしいですか？", true);
    } else {
        valid = true;
    }
    if (!valid)
        return {};
    v.setText("edtRead1", "");
    return command(W_INIT, "S=" + id);
}

std::string channelCommand(View& v)
{
    if (!v.isChecked("chkCHAN"))
        return {};
    v.setText("edtRead3", "");
    v.setText("edtRead4", "");
    return v.isChecked("radChAuto") ? command(W_FREQ, "A=" + v.text("cmbCHANGroup"))
                                    : command(W_FREQ, "M=" + v.text("cmbCHANCh"));
}

std::string routeCommand(View& v)
{
    if (!v.isChecked("chkROUT"))
        return {};
    for (const char* f : {"edtRead5", "edtRead6", "edtRead7", "edtRead13", "edtRead14", "edtRead15"})
        v.setText(f, "");
    std::string p = "D=" + v.text("cmbROUTDest");
    std::string r1 = v.text("cmbROUTNode1");
    if (r1 != "-") {
        p += ";N=" + r1;
        for (int n = 2; n <= 5; ++n) {
            std::string r = v.text("cmbROUTNode" + std::to_string(n));
            if (r == "-")
                break;
            p += "," + r;
        }
    }
    return command(W_ROUT, p);
}

std::string frameCommand(View& v)
{
    if (!v.isChecked("chkFRAM"))
        return {};
    for (const char* f : {"edtRead8", "edtRead9", "edtRead10", "edtRead11"})
        v.setText(f, "");
    return command(W_INIT, "F=" + v.text("speFRAMByte") + "/I=" + v.text("speFRAMIdle") + "/W="
                               + v.text("speFRAMWait") + "/T=" + v.text("speFRAMTxNumber"));
}

std::string infoCommand(View& v)
{
    if (!v.isChecked("chkINFO"))
        return {};
    v.setText("edtRead12", "");
    return command(W_INFO, "U=" + v.text("edtINFOWrite"));
}

// Without the extension the modem takes the rate alone.
std::string serialCommand(View& v, bool extension)
{
    if (!v.isChecked("chkSERI"))
        return {};
    for (int i = 16; i <= 20; ++i)
        v.setText("edtRead" + std::to_string(i), "");
    std::string p = "R=" + v.text("cmbSERI");
    if (extension) {
        // A list without a selection has no first character;
        // its default keeps the command well formed.
        std::string parity = firstChar(v.text("cmbSERIParity"));
        std::string flow = firstChar(v.text("cmbSERIFlow"));
        p += "/P=" + (parity.empty() ? std::string("N") : parity);
        p += "/S=" + v.text("cmbSERIStopBits");
        p += "/F=" + (flow.empty() ? std::string("H") : flow);
    }
    return command(W_COMS, p);
}

// The command of an odd write step.
std::string writeCommand(int step, View& v, MessageBoxes& boxes, bool extension)
{
    switch (step) {
    case 1: return systemIdCommand(v, boxes);
    case 3: return {}; // the device ID is set on the modem's switch, never written
    case 5: return channelCommand(v);
    case 7: return routeCommand(v);
    case 9: return frameCommand(v);
    case 11: return infoCommand(v);
    case 13: return serialCommand(v, extension);
    default: return {};
    }
}

std::string readCommand(int step)
{
    static const CommandWordIndex reads[] = {W_INIT, W_EQID, W_FREQ, W_ROUT, W_INIT, W_INFO, W_COMS};
    return command(reads[(step - 1) / 2]);
}

} // namespace

void MainEngine::spbWriteClick()
{
    if (FBusy)
        return;
    FStep = 1;
    FSequenceCommand.clear();
    FSequenceWriteFailed = false;
    FReadMode = false;
    FBusy = true;
    for (const char* c : kSequenceLocks)
        d.main.setEnabled(c, false);
}

void MainEngine::spbReadClick()
{
    if (FBusy)
        return;
    FStep = 1;
    FSequenceCommand.clear();
    FSequenceWriteFailed = false;
    FReadMode = true;
    FBusy = true;
    for (const char* c : kSequenceLocks)
        d.main.setEnabled(c, false);
    ClearReadFields();
}

void MainEngine::endSequence()
{
    FStep = 0;
    FBusy = false;
    for (const char* c : kSequenceLocks)
        d.main.setEnabled(c, true);
}

void MainEngine::ClearReadFields()
{
    for (int i = 1; i <= 20; ++i)
        d.main.setText("edtRead" + std::to_string(i), "");
}

void MainEngine::sendSettingsCommand(const std::string& cmd)
{
    FRxTimedOut = false;
    FSequenceCommand = cmd.substr(0, cmd.find("\r\n"));
    FSequenceWriteFailed = !SendCommand(cmd);
    if (FSequenceWriteFailed && FStopOnWriteFailure) {
        d.main.stopTimer("timRxWait");
        endSequence();
        return;
    }
    d.main.stopTimer("timRxWait");
    d.main.startTimer("timRxWait", 1400);
}

void MainEngine::SettingsSequencer()
{
    if (FStep <= 0 || FStep > 13 || FStep % 2 == 0)
        return;
    const int step = FStep;
    const std::string cmd = FReadMode ? readCommand(step) : writeCommand(step, d.main, d.boxes, FExtension != 0);
    if (cmd.empty()) {
        // Nothing to write at the last step: the sequence is over.
        if (step == 13)
            endSequence();
        else
            FStep = step + 2;
        return;
    }
    FStep = step + 1;
    sendSettingsCommand(cmd);
}

void MainEngine::spbDefaultNumberClick()
{
    if (FShiftHeld) {
        ClearReadFields();
        return;
    }
    if (!d.boxes.question("書き込み欄を初期値にします。", false))
        return;
    View& v = d.main;
    v.setChecked("radChAuto", true);
    v.setChecked("radChHand", false);
    v.setItemIndex("cmbCHANGroup", 0);
    v.setItemIndex("cmbCHANCh", 0);
    v.setItemIndex("cmbROUTDest", 0);
    for (int n = 1; n <= 5; ++n)
        v.setItemIndex("cmbROUTNode" + std::to_string(n), 0);
    v.setValue("speFRAMByte", 128);
    v.setValue("speFRAMIdle", 100);
    v.setValue("speFRAMWait", 10);
    v.setValue("speFRAMTxNumber", 3);
    v.setItemIndex("cmbSERI", 1);
    v.setItemIndex("cmbSERIData", 1);
    v.setItemIndex("cmbSERIParity", 0);
    v.setItemIndex("cmbSERIStopBits", 0);
    v.setItemIndex("cmbSERIFlow", 1);
}

void MainEngine::chkSYIDClick()
{
    bool on = d.main.isChecked("chkSYID");
    d.main.setEnabled("lblSYID", on);
    d.main.setEnabled("edtSYIDWrite", on);
}

void MainEngine::chkCHANClick()
{
    View& v = d.main;
    bool on = v.isChecked("chkCHAN");
    v.setEnabled("radChAuto", on);
    v.setEnabled("radChHand", on);
    if (on) {
        if (v.isChecked("radChAuto"))
            radChAutoClick();
        else
            radChHandClick();
    } else {
        v.setEnabled("cmbCHANGroup", false);
        v.setEnabled("cmbCHANCh", false);
    }
}

void MainEngine::radChAutoClick()
{
    if (!d.main.isChecked("chkCHAN"))
        return;
    d.main.setEnabled("cmbCHANGroup", true);
    d.main.setEnabled("cmbCHANCh", false);
}

void MainEngine::radChHandClick()
{
    if (!d.main.isChecked("chkCHAN"))
        return;
    d.main.setEnabled("cmbCHANGroup", false);
    d.main.setEnabled("cmbCHANCh", true);
}

void MainEngine::chkROUTClick()
{
    View& v = d.main;
    bool on = v.isChecked("chkROUT");
    v.setEnabled("lblROUTDest", on);
    v.setEnabled("cmbROUTDest", on);
    for (int n = 1; n <= 5; ++n) {
        v.setEnabled("lblROUTNode" + std::to_string(n), on);
        v.setEnabled("cmbROUTNode" + std::to_string(n), on);
    }
    if (on)
        cmbROUTNodeChange(1);
}

void MainEngine::cmbROUTNodeChange(int k)
{
    relayChainChanged(d.main, "cmbROUTNode", "lblROUTNode", k);
}

void MainEngine::chkFRAMClick()
{
    View& v = d.main;
    bool on = v.isChecked("chkFRAM");
    for (const char* c : {"lblFRAMByte", "lblFRAMIdle", "lblFRAMWait", "lblFRAMTxNumber", "speFRAMByte",
                          "speFRAMIdle", "speFRAMWait", "speFRAMTxNumber"})
        v.setEnabled(c, on);
}

bool MainEngine::speFRAMKeyPress(int key)
{
    return (key >= '0' && key <= '9') || key == 8;
}

void MainEngine::chkINFOClick()
{
    View& v = d.main;
    bool on = v.isChecked("chkINFO");
    v.setEnabled("lblEQID", on);
    v.setEnabled("lblINFO", on);
    v.setEnabled("edtINFOWrite", on);
}

void MainEngine::chkSERIClick()
{
    View& v = d.main;
    bool on = v.isChecked("chkSERI");
    for (const char* c : {"lblSERI", "cmbSERI", "chkSERISet", "grpSERISet", "lblSERIData", "cmbSERIData",
                          "lblSERIParity", "cmbSERIParity", "lblSERIStopBits", "cmbSERIStopBits", "lblSERIFlow",
                          "cmbSERIFlow"})
        v.setEnabled(c, on);
}

void MainEngine::chkSERISetClick()
{
    View& v = d.main;
    bool on = v.isChecked("chkSERISet");
    for (const char* c : {"lblSERIData", "cmbSERIData", "lblSERIParity", "cmbSERIParity", "lblSERIStopBits",
                          "cmbSERIStopBits", "lblSERIFlow", "cmbSERIFlow"})
        v.setEnabled(c, on);
}

} // namespace kd36
