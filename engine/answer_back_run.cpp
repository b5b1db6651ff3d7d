#include "answer_back_run.h"

#include "link_logic.h"

namespace kd36 {

AnswerBackRun::AnswerBackRun(LinkLogic& dialog, View& dialogView, CommPort& port,
                             std::function<void(const std::string&)> send, std::function<void()> marksChanged)
    : dialog_(dialog)
    , dialogView_(dialogView)
    , port_(port)
    , send_(std::move(send))
    , marksChanged_(std::move(marksChanged))
{
}

void AnswerBackRun::toggle()
{
    on_ = !on_;
    marksChanged_();
}

bool AnswerBackRun::actedOn() const
{
    return actedState_ == dialog_.state();
}

bool AnswerBackRun::mayChange() const
{
    return on_ || actedOnSwitch_ || dialog_.state() != 0 || !actedOn();
}

void AnswerBackRun::pass()
{
    const bool checked = on_;
    if (checked != actedOnSwitch_) {
        if (checked && dialog_.state() == 0)
            dialogView_.showForm(); // FormShow moves the state to 1
        else if (!checked && dialog_.state() == 1)
            dialogView_.hideForm(); // FormHide moves it to 0
        actedState_ = dialog_.state();
        actedOnSwitch_ = checked;
        return;
    }
    if (!checked || actedOn())
        return;

    std::string command;
    switch (dialog_.state()) {
    case 0:
        on_ = false;
        marksChanged_();
        if (actedState_ == 2)
            command = kAircStopCommand;
        break;
    case 2: {
        uint32_t bits = 0;
        if (port_.GetModemStatus(bits) && (bits & 0x10)) {
            const int n = dialog_.NextStation();
            if (n < 0) {
                dialog_.btnAbortClick(EndReason::Completed);
            } else {
                command = aircPollCommand(n);
                dialog_.RestartWaitTimer();
            }
        } else {
            dialog_.btnAbortClick(EndReason::NoLine);
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
        send_(command);
    actedState_ = dialog_.state();
    actedOnSwitch_ = on_;
}

void AnswerBackRun::reply(const std::string& payload)
{
    auto r = parseAircPayload(payload);
    if (!r) {
        if (payload != "Q") {
            dialog_.ReplyNotShown();
            actedState_ = 0;
        }
        return;
    }
    // A station outside 0..F names no bar; the run still moves on.
    if (r->level && dialog_.state() == 2 && r->station >= 0 && r->station < LinkLogic::kStations)
        dialog_.ShowLevel(r->station, *r->level);
    else
        dialog_.ReplyNotShown();
    actedState_ = 0;
}

} // namespace kd36
