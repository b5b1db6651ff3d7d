// The setting panel: reading and writing the modem's settings one command
// per idle pass, and the panel's enabling rules.
#include <string>

#include "command_words.h"
#include "conversions.h"
#include "main_engine.h"
#include "sjis.h"
#include "../serial/user_text.h"

namespace kd36 {
namespace {

std::string firstChar(const std::string& s)
{
    return s.empty() ? std::string() : s.substr(0, 1);
}

// Each write step below returns its command, or nothing when its box is not
// ticked (or its value is refused); a step that sends first clears the
// read-back fields its reply will fill.

std::string systemIdCommand(SettingPanel& p, MessageBoxes& boxes)
{
    if (!p.tick(PanelTick::SystemId))
        return {};
    const std::string id = p.systemId;
    bool valid = false;
    if (id.empty()) {
        boxes.warning(KD36_TR_NOOP("QtBoxes", "システムIDが設定されていません。"));
    } else if (auto n = strToInt(id); !n) {
        boxes.warning(KD36_TR_NOOP("QtBoxes", "システムIDには整数をセットしてください。"));
    } else if (*n == 0) {
        valid = boxes.question(KD36_TR_NOOP("QtBoxes", "システムIDを 0 に設定しようとしています。\r\nよろしいですか？"), true);
    } else {
        valid = true;
    }
    if (!valid)
        return {};
    p.read(1).clear();
    return command(W_INIT, "S=" + id);
}

std::string channelCommand(SettingPanel& p)
{
    if (!p.tick(PanelTick::Channel))
        return {};
    p.read(3).clear();
    p.read(4).clear();
    return p.channelAuto ? command(W_FREQ, "A=" + p.choiceText(PanelChoice::Group))
                         : command(W_FREQ, "M=" + p.choiceText(PanelChoice::Channel));
}

std::string routeCommand(SettingPanel& p)
{
    if (!p.tick(PanelTick::Route))
        return {};
    for (int f : {5, 6, 7, 13, 14, 15})
        p.read(f).clear();
    std::string c = "D=" + p.choiceText(PanelChoice::RouteDest);
    std::string r1 = p.relayText(1);
    if (r1 != "-") {
        c += ";N=" + r1;
        for (int n = 2; n <= 5; ++n) {
            std::string r = p.relayText(n);
            if (r == "-")
                break;
            c += "," + r;
        }
    }
    return command(W_ROUT, c);
}

std::string frameCommand(SettingPanel& p)
{
    if (!p.tick(PanelTick::Frame))
        return {};
    for (int f : {8, 9, 10, 11})
        p.read(f).clear();
    auto v = [&p](PanelFrame f) { return std::to_string(p.frameValue(f)); };
    return command(W_INIT, "F=" + v(PanelFrame::Byte) + "/I=" + v(PanelFrame::Idle) + "/W=" + v(PanelFrame::Wait)
                               + "/T=" + v(PanelFrame::TxNumber));
}

std::string infoCommand(SettingPanel& p)
{
    if (!p.tick(PanelTick::DeviceInfo))
        return {};
    p.read(12).clear();
    return command(W_INFO, "U=" + p.deviceInfo);
}

// Without the extension the modem takes the rate alone.
std::string serialCommand(SettingPanel& p, bool extension)
{
    if (!p.tick(PanelTick::Serial))
        return {};
    for (int i = 16; i <= 20; ++i)
        p.read(i).clear();
    std::string c = "R=" + p.choiceText(PanelChoice::Rate);
    if (extension) {
        // A list without a selection has no first character;
        // its default keeps the command well formed.
        std::string parity = firstChar(p.choiceText(PanelChoice::Parity));
        std::string flow = firstChar(p.choiceText(PanelChoice::Flow));
        c += "/P=" + (parity.empty() ? std::string("N") : parity);
        c += "/S=" + p.choiceText(PanelChoice::StopBits);
        c += "/F=" + (flow.empty() ? std::string("H") : flow);
    }
    return command(W_COMS, c);
}

// The command of an odd write step.
std::string writeCommand(int step, SettingPanel& p, MessageBoxes& boxes, bool extension)
{
    switch (step) {
    case 1: return systemIdCommand(p, boxes);
    case 3: return {}; // the device ID is set on the modem's switch, never written
    case 5: return channelCommand(p);
    case 7: return routeCommand(p);
    case 9: return frameCommand(p);
    case 11: return infoCommand(p);
    case 13: return serialCommand(p, extension);
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
    windowChanged();
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
    windowChanged();
    ClearReadFields();
}

void MainEngine::endSequence()
{
    FStep = 0;
    FBusy = false;
    windowChanged();
}

void MainEngine::ClearReadFields()
{
    for (std::string& f : FPanel.readBack)
        f.clear();
    panelChanged();
}

void MainEngine::panelChanged()
{
    if (d.panelView)
        d.panelView->showPanel(FPanel, panelEnables(FPanel));
}

void MainEngine::editPanel(const std::function<void(SettingPanel&)>& change)
{
    change(FPanel);
    panelChanged();
}

void MainEngine::sendSettingsCommand(const std::string& cmd)
{
    FRxTimedOut = false;
    FSequenceCommand = cmd.substr(0, cmd.find("\r\n"));
    FSequenceWriteFailed = !SendCommand(cmd);
    if (FSequenceWriteFailed && FStopOnWriteFailure) {
        d.main.stopTimer(TimerId::RxWait);
        endSequence();
        return;
    }
    d.main.stopTimer(TimerId::RxWait);
    d.main.startTimer(TimerId::RxWait, 1400);
}

void MainEngine::SettingsSequencer()
{
    if (FStep <= 0 || FStep > 13 || FStep % 2 == 0)
        return;
    const int step = FStep;
    const std::string cmd = FReadMode ? readCommand(step) : writeCommand(step, FPanel, d.boxes, FExtension != 0);
    if (cmd.empty()) {
        // Nothing to write at the last step: the sequence is over.
        if (step == 13)
            endSequence();
        else
            FStep = step + 2;
        return;
    }
    FStep = step + 1;
    panelChanged(); // the fields the reply fills are empty before it goes
    sendSettingsCommand(cmd);
}

void MainEngine::spbDefaultNumberClick()
{
    if (FShiftHeld) {
        ClearReadFields();
        return;
    }
    if (!d.boxes.question(KD36_TR_NOOP("QtBoxes", "書き込み欄を初期値にします。"), false))
        return;
    // Ticks, texts and read-back stay.
    const SettingPanel fresh;
    FPanel.channelAuto = true;
    FPanel.choices = kDefaultChoices;
    FPanel.relays = fresh.relays;
    FPanel.frame = fresh.frame;
    panelChanged();
}

void MainEngine::chkSYIDClick(bool on)
{
    editPanel([on](SettingPanel& p) { p.setTick(PanelTick::SystemId, on); });
}

void MainEngine::chkCHANClick(bool on)
{
    editPanel([on](SettingPanel& p) { p.setTick(PanelTick::Channel, on); });
}

void MainEngine::radChAutoClick()
{
    editPanel([](SettingPanel& p) { p.channelAuto = true; });
}

void MainEngine::radChHandClick()
{
    editPanel([](SettingPanel& p) { p.channelAuto = false; });
}

void MainEngine::chkROUTClick(bool on)
{
    editPanel([on](SettingPanel& p) { p.setTick(PanelTick::Route, on); });
}

void MainEngine::cmbROUTNodeChange(int k, int index)
{
    if (k < 1 || k > int(kRelayCount))
        return;
    editPanel([k, index](SettingPanel& p) { p.relays[size_t(k - 1)] = index; });
}

void MainEngine::chkFRAMClick(bool on)
{
    editPanel([on](SettingPanel& p) { p.setTick(PanelTick::Frame, on); });
}

bool MainEngine::speFRAMKeyPress(int key)
{
    return (key >= '0' && key <= '9') || key == 8;
}

void MainEngine::chkINFOClick(bool on)
{
    editPanel([on](SettingPanel& p) { p.setTick(PanelTick::DeviceInfo, on); });
}

void MainEngine::chkSERIClick(bool on)
{
    editPanel([on](SettingPanel& p) { p.setTick(PanelTick::Serial, on); });
}

void MainEngine::chkSERISetClick(bool on)
{
    editPanel([on](SettingPanel& p) { p.setTick(PanelTick::SerialSet, on); });
}

void MainEngine::panelChoiceChanged(PanelChoice which, int index)
{
    editPanel([which, index](SettingPanel& p) { p.choice(which) = index; });
}

void MainEngine::panelFrameChanged(PanelFrame which, int value)
{
    editPanel([which, value](SettingPanel& p) { p.frameValue(which) = value; });
}

void MainEngine::systemIdEdited(const std::string& sjis)
{
    editPanel([&sjis](SettingPanel& p) { p.systemId = sjis; });
}

void MainEngine::deviceInfoEdited(const std::string& sjis)
{
    editPanel([&sjis](SettingPanel& p) { p.deviceInfo = sjis; });
}

} // namespace kd36
