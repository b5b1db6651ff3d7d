// The answer-back check's menu item, and the DTR-first send of the
// function commands (air monitor and answer-back).
#include "answer_back_run.h"
#include "main_engine.h"

namespace kd36 {

void MainEngine::mnuRssiInfoClick()
{
    FAnswerBack->toggle();
}

void MainEngine::sendFunctionCommand(const std::string& sjis)
{
    if (d.port.EscapeLine(CLRDTR))
        SendCommand(sjis);
    FRxTimedOut = false;
    d.main.stopTimer(TimerId::RxWait);
}

} // namespace kd36
