#pragma once
// The answer-back dialog's logic without widgets: its handlers and state.
#include <string>

#include "monitor_buffer.h"
#include "view.h"

namespace kd36 {

class MainEngine;

enum class EndReason { Completed, NoLine, TimedOut, UserAbort, KeyAbort };

class LinkLogic {
public:
    LinkLogic(MainEngine& main, View& view);

    void FormShow();
    void FormHide();
    void btnGetClick();
    void btnAbortClick(EndReason reason);
    void btnAllClick();
    void spbMemClearClick();
    void timWaitTimeTimer();
    void FormKeyPress(int key);
    int NextStation();
    void ShowLevel(int station, int level);
    void RestartWaitTimer();
    void AddMessage(const std::string& sjis);
    // A named timer of the dialog fired.
    void onTimer(const std::string& name);

    bool FAbortByKey = false;
    int FNextStation = 0;
    static bool CheckAllNext; // one per process
    MonitorBuffer memInfo;

private:
    void appendToLastLine(const std::string& sjis);
    MainEngine& main_;
    View& v_;
};

} // namespace kd36
