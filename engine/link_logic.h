#pragma once
// The answer-back dialog's logic without widgets: its handlers and state.
#include <optional>
#include <string>

#include "monitor_buffer.h"
#include "view.h"

namespace kd36 {

class MainEngine;

enum class EndReason { Completed, NoLine, TimedOut, UserAbort, KeyAbort };

// One level report of the modem (">AIRC:" payload "3=2"), as read.
struct AircLevel {
    int station = 0; // as sent; may lie outside 0..15
    std::optional<int> level; // none for a level character other than 0-9 and '-'
};
// The station/level of a payload, or none when the station, "=" or the level
// character is missing (which includes the stop answer "Q").
std::optional<AircLevel> parseAircPayload(const std::string& payload);
// "@AIRC:N=<digit>\r\n" for station 0..15.
std::string aircPollCommand(int station);
inline constexpr const char* kAircStopCommand = "@AIRC:Q\r\n";

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

    static constexpr int kStations = 16;
    static constexpr int kWaitMs = 10000;

private:
    void appendToLastLine(const std::string& sjis);
    void addEmptyLine();
    // Adds a line as it stands: no trimming, no size rule.
    void appendRaw(const std::string& line);
    bool memoLooksEmpty() const;
    MainEngine& main_;
    View& v_;
};

} // namespace kd36
