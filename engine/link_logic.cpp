#include "link_logic.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "conversions.h"
#include "main_engine.h"
#include "range_run.h"
#include "records_file.h"
#include "session_log.h"
#include "sjis.h"
#include "../serial/user_text.h"

namespace kd36 {

namespace {

// `text` with its "%1" replaced by `arg`.
std::string withArg(std::string text, const std::string& arg)
{
    if (const size_t at = text.find("%1"); at != std::string::npos)
        text.replace(at, 2, arg);
    return text;
}

} // namespace

LinkWords LinkWords::japanese()
{
    LinkWords w;
    w.selectId = sj("IDを選択してください。");
    w.starting = sj("開始します。");
    w.completed = sj("完了しました。");
    w.noLine = sj("通信ができません。");
    w.aborted = sj("中止しました。");
    w.noReply = sj("応答がありません。");
    w.checking = sj("#%1 を確認中･･･ ");
    w.level = sj("レベル %1 です。");
    return w;
}

bool LinkLogic::CheckAllNext = true;

std::optional<AircLevel> parseAircPayload(const std::string& payload)
{
    std::vector<ScanValue> got;
    if (scanLite(payload, "%X=%c", got) != 2)
        return std::nullopt;
    AircLevel r;
    r.station = int(got[0].number);
    const char c = got[1].ch;
    if (c >= '0' && c <= '9')
        r.level = c - '0';
    else if (c == '-')
        r.level = 0;
    return r;
}

std::string aircPollCommand(int station)
{
    return std::string("@AIRC:N=") + kHexDigits[station & 15] + "\r\n";
}

const char* linkResultName(LinkResult r)
{
    switch (r) {
    case LinkResult::Ok: return "ok";
    case LinkResult::NoReply: return "no-reply";
    case LinkResult::Invalid: return "invalid";
    case LinkResult::Aborted: return "aborted";
    case LinkResult::NoLine: return "no-line";
    case LinkResult::Pending: break;
    }
    return "pending";
}

LinkLogic::LinkLogic(MainEngine& main, View& view) : main_(main), v_(view)
{
    wallClockMs = [] {
        using namespace std::chrono;
        return int64_t(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
    };
}

void LinkLogic::settleLast(LinkResult r)
{
    if (!FResults.empty() && FResults.back().result == LinkResult::Pending)
        FResults.back().result = r;
}

LinkShown LinkLogic::shown() const
{
    LinkShown s;
    s.polling = FState == 2;
    s.csvSave = !FResults.empty() && FState != 2;
    s.ranging = main_.rangeRun().running();
    s.ticked = FTicked;
    s.levels = FLevels;
    return s;
}

void LinkLogic::linkChanged()
{
    const LinkShown s = shown();
    if (s == FShown)
        return;
    FShown = s;
    v_.showLink(s);
}

void LinkLogic::stationTicked(int n, bool on)
{
    if (n < 0 || n >= kStations)
        return;
    FTicked[size_t(n)] = on;
    linkChanged();
}

void LinkLogic::showLog(const std::string& sjisText)
{
    v_.monitorText(Monitor::AnswerBackLog, sjisText);
}

void LinkLogic::logLine(const std::string& sjisLine)
{
    v_.monitorLine(Monitor::AnswerBackLog, sjisLine);
}

void LinkLogic::ReplyNotShown()
{
    if (FState == 2)
        settleLast(LinkResult::Invalid);
}

std::vector<std::string> stationResultFields(const StationResult& r)
{
    return {isoTime(localLogTime(r.unixMs)), std::string(1, kHexDigits[r.station & 15]),
            r.result == LinkResult::Ok ? std::to_string(r.level) : std::string(), linkResultName(r.result)};
}

std::string LinkLogic::resultsCsv() const
{
    std::string out = csvRecord({"time", "station", "level", "result"});
    for (const StationResult& r : FResults)
        out += csvRecord(stationResultFields(r));
    return out;
}

bool LinkLogic::saveFile(const std::string& path, const std::string& data)
{
    std::string why;
    if (replaceFileContents(path, data, why))
        return true;
    main_.boxes().warning(KD36_TR_NOOP("QtBoxes", "CSVファイルを保存できません。"), why);
    return false;
}

bool LinkLogic::btnCsvSaveClick(const std::string& path)
{
    return saveFile(path, resultsCsv());
}

bool LinkLogic::rangeStartClick(int intervalS, int rounds)
{
    if (FState == 0 || FState == 2)
        return false;
    if (std::none_of(FTicked.begin(), FTicked.end(), [](bool b) { return b; })) {
        AddMessage(words_.selectId);
        return false;
    }
    return main_.rangeRun().start(FTicked, intervalS, rounds);
}

void LinkLogic::rangeStopClick()
{
    main_.rangeRun().stop();
}

bool LinkLogic::rangeCsvSaveClick(const std::string& path)
{
    return saveFile(path, main_.rangeRun().csv());
}

void LinkLogic::rangeChanged()
{
    linkChanged();
    v_.showRange(main_.rangeRun());
}

void LinkLogic::FormShow()
{
    FState = 1;
}

void LinkLogic::FormHide()
{
    if (main_.rangeRun().running())
        main_.rangeRun().stop();
    if (FState == 2) {
        settleLast(LinkResult::Aborted);
        AddMessage(words_.aborted);
    }
    FState = 0;
    v_.stopTimer(TimerId::WaitTime);
    linkChanged();
    addEmptyLine();
}

void LinkLogic::btnGetClick()
{
    if (main_.rangeRun().running())
        return;
    bool any = false;
    for (int n = 0; n < kStations && !any; ++n)
        any = FTicked[size_t(n)];
    if (!any) {
        AddMessage(words_.selectId);
        return;
    }
    FState = 2;
    FNextStation = 0;
    FResults.clear();
    FLevels.fill(0);
    linkChanged();
    AddMessage(words_.starting);
}

void LinkLogic::btnAbortClick(EndReason reason)
{
    v_.stopTimer(TimerId::WaitTime);
    if (FState == 2) {
        switch (reason) {
        case EndReason::TimedOut: settleLast(LinkResult::NoReply); break;
        case EndReason::UserAbort:
        case EndReason::KeyAbort: settleLast(LinkResult::Aborted); break;
        case EndReason::NoLine:
            // The station that was due gets the reason it was never polled.
            settleLast(LinkResult::NoLine);
            for (int n = FNextStation; n < kStations; ++n)
                if (FTicked[size_t(n)]) {
                    FResults.push_back({wallClockMs(), n, -1, LinkResult::NoLine});
                    break;
                }
            break;
        case EndReason::Completed: break;
        }
    }
    FState = 3;
    linkChanged();
    switch (reason) {
    case EndReason::Completed: AddMessage(words_.completed); break;
    case EndReason::NoLine: AddMessage(words_.noLine); break;
    case EndReason::TimedOut: break; // already on the station's line
    case EndReason::UserAbort:
    case EndReason::KeyAbort: AddMessage(words_.aborted); break;
    }
    addEmptyLine();
}

void LinkLogic::btnAllClick()
{
    FTicked.fill(CheckAllNext);
    CheckAllNext = !CheckAllNext;
    linkChanged();
}

void LinkLogic::spbMemClearClick()
{
    memInfo.clear();
    showLog("");
}

void LinkLogic::timWaitTimeTimer()
{
    v_.stopTimer(TimerId::WaitTime);
    appendToLastLine(words_.noReply + "\r\n");
    btnAbortClick(EndReason::TimedOut);
}

void LinkLogic::FormKeyPress(int key)
{
    if (key != 13)
        return;
    if (FState == 2) {
        btnAbortClick(EndReason::KeyAbort);
    } else {
        btnGetClick();
    }
}

int LinkLogic::NextStation()
{
    int found = -1;
    int n = FNextStation < 0 ? 0 : FNextStation;
    for (; n < kStations; ++n) {
        if (FTicked[size_t(n)]) {
            found = n;
            break;
        }
    }
    if (found < 0) {
        if (FNextStation < kStations)
            FNextStation = kStations;
        return -1;
    }
    FNextStation = found + 1;
    FResults.push_back({wallClockMs(), found, -1, LinkResult::Pending});
    // Added as it stands: the trailing blank is where the level goes.
    appendRaw(withArg(words_.checking, std::string(1, kHexDigits[found])));
    return found;
}

void LinkLogic::ShowLevel(int station, int level)
{
    v_.stopTimer(TimerId::WaitTime);
    if (station < 0 || station >= kStations)
        return;
    if (level > 4)
        level = 4;
    if (level < 0)
        level = 0;
    if (!FResults.empty() && FResults.back().result == LinkResult::Pending) {
        StationResult& r = FResults.back();
        // A level for another station than the one polled is not its answer.
        if (r.station == station) {
            r.result = LinkResult::Ok;
            r.level = level;
        } else {
            r.result = LinkResult::Invalid;
        }
    }
    FLevels[size_t(station)] = level;
    linkChanged();
    appendToLastLine(withArg(words_.level, std::to_string(level)) + "\r\n");
}

void LinkLogic::RestartWaitTimer()
{
    v_.stopTimer(TimerId::WaitTime);
    v_.startTimer(TimerId::WaitTime, kWaitMs);
}

void LinkLogic::AddMessage(const std::string& sjis)
{
    if (sjis.empty())
        return;
    const bool blank = memoLooksEmpty();
    std::string added;
    if (memInfo.addLine(sjis, &added) || blank)
        showLog(memInfo.text());
    else
        logLine(added);
}

void LinkLogic::onTimer(TimerId id)
{
    if (id == TimerId::WaitTime)
        timWaitTimeTimer();
    else if (id == TimerId::RangeTick)
        main_.rangeRun().onTimer();
}

void LinkLogic::appendToLastLine(const std::string& sjis)
{
    std::string& t = memInfo.mutableText();
    if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0)
        t.resize(t.size() - 2);
    t += sjis;
    showLog(t);
}

void LinkLogic::addEmptyLine()
{
    appendRaw("");
}

bool LinkLogic::memoLooksEmpty() const
{
    // A memo holding one empty line shows as an empty memo, and an appended
    // line would then take that line's place: such a memo is rewritten whole.
    return memInfo.text().empty() || memInfo.text() == "\r\n";
}

void LinkLogic::appendRaw(const std::string& line)
{
    const bool blank = memoLooksEmpty();
    memInfo.mutableText() += line + "\r\n";
    if (blank)
        showLog(memInfo.text());
    else
        logLine(line);
}

} // namespace kd36
