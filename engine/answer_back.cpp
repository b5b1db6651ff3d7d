// Main-window half of the answer-back check: the menu toggle, the idle-pass
// driver and the reply rule, plus the DTR-first send shared with the air
// monitor.
#include "link_logic.h"
#include "main_engine.h"

namespace kd36 {

void MainEngine::mnuRssiInfoClick()
{
    FRssiInfoMark = !FRssiInfoMark;
    windowChanged();
}

void MainEngine::RunAnswerBack()
{
    const bool checked = FRssiInfoMark;
    if (checked != FLinkCheckedSeen) {
        if (checked && linkState() == 0)
            d.link.showForm(); // FormShow moves the state to 1
        else if (!checked && linkState() == 1)
            d.link.hideForm(); // FormHide moves it to 0
        FLinkStateSeen = linkState();
        FLinkCheckedSeen = checked;
        return;
    }
    if (!checked || linkState() == FLinkStateSeen)
        return;

    std::string command;
    switch (linkState()) {
    case 0:
        FRssiInfoMark = false;
        windowChanged();
        if (FLinkStateSeen == 2)
            command = kAircStopCommand;
        break;
    case 2: {
        uint32_t bits = 0;
        if (d.port.GetModemStatus(bits) && (bits & 0x10)) {
            const int n = FLinkForm->NextStation();
            if (n < 0) {
                FLinkForm->btnAbortClick(EndReason::Completed);
            } else {
                command = aircPollCommand(n);
                FLinkForm->RestartWaitTimer();
            }
        } else {
            FLinkForm->btnAbortClick(EndReason::NoLine);
        }
        break;
    }
    case 3:
        command = kAircStopCommand;
        break;
    default:
        break;
    }
    if (!command.empty())
        sendFunctionCommand(command);
    FLinkStateSeen = linkState();
    FLinkCheckedSeen = FRssiInfoMark;
}

void MainEngine::AircReply(const std::string& payload)
{
    auto r = parseAircPayload(payload);
    if (!r) {
        if (payload != "Q") {
            FLinkForm->ReplyNotShown();
            FLinkStateSeen = 0;
        }
        return;
    }
    // A station outside 0..F names no bar; the run still moves on.
    if (r->level && linkState() == 2 && r->station >= 0 && r->station < LinkLogic::kStations)
        FLinkForm->ShowLevel(r->station, *r->level);
    else
        FLinkForm->ReplyNotShown();
    FLinkStateSeen = 0;
}

void MainEngine::sendFunctionCommand(const std::string& sjis)
{
    if (d.port.EscapeLine(CLRDTR))
        SendCommand(sjis);
    FRxTimedOut = false;
    d.main.stopTimer(TimerId::RxWait);
}

} // namespace kd36
