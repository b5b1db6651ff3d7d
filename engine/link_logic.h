#pragma once
// The answer-back dialog's logic without widgets: its handlers and state.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// What became of one station polled in a run.
enum class LinkResult { Pending, Ok, NoReply, Invalid, Aborted, NoLine };
const char* linkResultName(LinkResult r); // "ok", "no-reply", ...

struct StationResult {
    int64_t unixMs = 0; // wall-clock time of the poll
    int station = 0;
    int level = -1;     // 0..4 for ok
    LinkResult result = LinkResult::Pending;
};
// A result's CSV fields: local time, station digit, level (ok only), result name.
std::vector<std::string> stationResultFields(const StationResult& r);

// The dialog as its logic shows it.
struct LinkShown {
    static constexpr int kStations = 16;
    bool polling = false; // btnAbort in place of btnGet
    bool csvSave = false; // btnCsvSave usable
    bool ranging = false; // a range test runs: btnGet is not usable
    std::array<bool, kStations> ticked{}; // CheckBox0..15
    std::array<int, kStations> levels{};  // prgLevel0..15, 0..4
    bool operator==(const LinkShown&) const = default;
};

// What the dialog's log says, in Shift-JIS; "%1" stands for the station or
// the level. The window hands in its language's words.
struct LinkWords {
    std::string selectId, starting, completed, noLine, aborted, noReply;
    std::string checking; // "#%1 ...": the station polled; its level follows on the line
    std::string level;    // "... %1 ...": the level it answered
    static LinkWords japanese();
};

class LinkLogic {
public:
    LinkLogic(MainEngine& main, View& view);
    void setWords(LinkWords words) { words_ = std::move(words); }

    void FormShow();
    void FormHide();
    void btnGetClick();
    void btnAbortClick(EndReason reason);
    void btnAllClick();
    // The user ticked or unticked station `n`'s box.
    void stationTicked(int n, bool on);
    // What the dialog shows now.
    LinkShown shown() const;
    void spbMemClearClick();
    void timWaitTimeTimer();
    void FormKeyPress(int key);
    int NextStation();
    void ShowLevel(int station, int level);
    void RestartWaitTimer();
    void AddMessage(const std::string& sjis);
    // A named timer of the dialog fired.
    void onTimer(TimerId id);

    // A reply during a run that showed no level (bad level character, a
    // station other than the one polled, or an unreadable payload).
    void ReplyNotShown();
    // The last run's results, one per station polled, in order.
    const std::vector<StationResult>& results() const { return FResults; }
    // "time,station,level,result" with a header, RFC 4180, UTF-8.
    std::string resultsCsv() const;
    // "CSV保存": writes the results to `path`; a box tells of a failure.
    bool btnCsvSaveClick(const std::string& path);

    // The range test's page: start with the ticked stations (not during a
    // run of the check itself), stop, and save the whole run.
    bool rangeStartClick(int intervalS, int rounds);
    void rangeStopClick();
    bool rangeCsvSaveClick(const std::string& path);
    // The range run changed: the buttons and the page follow.
    void rangeChanged();
    // Wall-clock milliseconds since 1970 for the results' time stamps.
    std::function<int64_t()> wallClockMs;

    // 0 hidden, 1 shown, 2 polling, 3 run ended; the main window's pass acts on each change.
    int state() const { return FState; }

    static bool CheckAllNext; // one per process
    MonitorBuffer memInfo;

    static constexpr int kStations = LinkShown::kStations;
    static constexpr int kWaitMs = 10000;

private:
    void settleLast(LinkResult r);
    bool saveFile(const std::string& path, const std::string& data);
    // Shows the dialog when it changed since last shown.
    void linkChanged();
    void showLog(const std::string& sjisText);
    void logLine(const std::string& sjisLine);
    std::array<bool, kStations> FTicked{};
    std::array<int, kStations> FLevels{};
    LinkShown FShown;
    std::vector<StationResult> FResults;
    int FState = 0;
    int FNextStation = 0;
    void appendToLastLine(const std::string& sjis);
    void addEmptyLine();
    // Adds a line as it stands: no trimming, no size rule.
    void appendRaw(const std::string& line);
    bool memoLooksEmpty() const;
    MainEngine& main_;
    View& v_;
    LinkWords words_ = LinkWords::japanese();
};

} // namespace kd36
