// kd36ctl's commands: each presses the window's buttons through the session
// and prints what the window would show.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ctl/ctl_session.h"
#include "ctl/ctl_text.h"
#include "ctl/watch_text.h"
#include "engine/link_logic.h"
#include "engine/range_run.h"
#include "engine/settings_profile.h"
#include "engine/sjis.h"

namespace kd36::ctl {

namespace {

// The twenty read-back fields, by the names scripts see.
const std::pair<const char*, int> kFields[] = {
    {"system_id", 1},         {"device_id", 2},      {"channel_group", 3},     {"channel", 4},
    {"route_destination", 5}, {"relay1", 6},         {"relay2", 7},            {"relay3", 13},
    {"relay4", 14},           {"relay5", 15},        {"frame_bytes", 8},       {"frame_idle_ms", 9},
    {"frame_wait_s", 10},     {"frame_tx_count", 11}, {"info", 12},            {"rs232c_rate", 16},
    {"rs232c_data_bits", 17}, {"rs232c_parity", 18}, {"rs232c_stop_bits", 19}, {"rs232c_flow", 20},
};

std::string field(Session& s, int n)
{
    return sjisToUtf8(s.host.engine().panel().read(n));
}

bool runRead(Session& s)
{
    MainEngine& e = s.host.engine();
    s.timedOut.clear();
    // A write that fails ends the read: the commands after it would go nowhere.
    e.setStopSequenceOnWriteFailure(true);
    e.spbReadClick();
    // Seven commands, each at most its reply time-out plus a pass.
    const bool done = s.runUntil([&] { return e.step() == 0 && !e.busy(); }, 7 * 1600 + 1000);
    e.setStopSequenceOnWriteFailure(false);
    if (e.sequenceWriteFailed()) {
        complain(QT_TRANSLATE_NOOP("kd36ctl", "%1 could not be written to the port; no further command was sent"),
                 {plainText(sjisToUtf8(e.sequenceCommand()))});
        return false;
    }
    return done;
}

void printRead(Session& s, bool json)
{
    if (json) {
        std::string out = "{";
        for (auto& [name, n] : kFields)
            out += jsonString(name) + ":" + jsonString(field(s, n)) + ",";
        out += "\"timed_out\":[";
        for (size_t i = 0; i < s.timedOut.size(); ++i)
            out.append(i ? "," : "").append(jsonString(sjisToUtf8(s.timedOut[i])));
        out += "]}\n";
        std::fputs(out.c_str(), stdout);
        return;
    }
    for (auto& [name, n] : kFields)
        std::printf("%s=%s\n", name, plainText(field(s, n)).c_str());
    std::string t;
    for (auto& c : s.timedOut)
        t.append(t.empty() ? "" : ",").append(plainText(sjisToUtf8(c)));
    std::printf("timed_out=%s\n", t.c_str());
}

} // namespace

int cmdRead(Session& s)
{
    if (!runRead(s))
        return kNoAnswer;
    printRead(s, s.opt.json);
    return s.timedOut.empty() ? kOk : kNoAnswer;
}

int cmdSend(Session& s, const std::string& text)
{
    const std::string sjis = utf8ToSjis(text);
    s.host.engine().commandLineEdited(sjis);
    s.received.clear();
    s.host.engine().spbCommandTxClick();
    // Reply lines until the line has been quiet for the wait.
    uint64_t lastSize = 0, quietSince = s.clock.nowMs();
    const uint64_t wait = uint64_t(s.opt.waitMs);
    s.runUntil(
        [&] {
            if (s.received.size() != lastSize) {
                lastSize = s.received.size();
                quietSince = s.clock.nowMs();
            }
            s.wakeAt(quietSince + wait);
            return s.clock.nowMs() - quietSince >= wait;
        },
        wait + 600000);
    if (g_signal)
        return kNoAnswer;
    size_t pos = 0;
    while (pos < s.received.size()) {
        size_t end = s.received.find("\r\n", pos);
        const size_t stop = end == std::string::npos ? s.received.size() : end;
        std::printf("%s\n", plainText(sjisToUtf8(s.received.substr(pos, stop - pos))).c_str());
        pos = end == std::string::npos ? s.received.size() : end + 2;
    }
    return s.received.empty() ? kNoAnswer : kOk;
}

std::vector<int> parseStations(const std::string& list)
{
    std::vector<int> st;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(',', pos);
        const std::string item = list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (item.size() != 1 || !std::isxdigit(static_cast<unsigned char>(item[0])))
            throw UsageError{
                said(QT_TRANSLATE_NOOP("kd36ctl", "station '%1' is not one hexadecimal digit 0-F"), {item})};
        const int n = std::stoi(item, nullptr, 16);
        if (std::find(st.begin(), st.end(), n) == st.end())
            st.push_back(n);
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return st;
}

namespace {

// Polls the stations through the dialog, opened and closed with its own
// buttons. The stations that settled, by number.
std::map<int, StationResult> pollStations(Session& s, const std::vector<int>& stations)
{
    MainEngine& e = s.host.engine();
    LinkLogic& dlg = e.linkForm();
    std::map<int, StationResult> result;
    std::vector<int> left = stations;
    bool noLine = false;
    // A station that stays silent ends the dialog's run; the stations after
    // it are polled by starting again, as the user would.
    while (!left.empty() && !noLine) {
        for (int n = 0; n < LinkLogic::kStations; ++n)
            dlg.stationTicked(n, std::find(left.begin(), left.end(), n) != left.end());
        dlg.btnGetClick();
        if (!s.runUntil([&] { return e.linkState() == 3 && e.linkStateActedOn(); },
                        uint64_t(left.size()) * (LinkLogic::kWaitMs + 1000)))
            break;
        bool settled = false;
        for (const StationResult& r : dlg.results()) {
            if (r.result == LinkResult::Pending)
                continue;
            result[r.station] = r;
            settled = true;
            noLine = noLine || r.result == LinkResult::NoLine;
        }
        std::vector<int> next;
        for (int n : left)
            if (!result.count(n))
                next.push_back(n);
        if (!settled)
            break; // nothing moved: do not poll for ever
        left = next;
    }
    return result;
}

// Prints each station's level or why it has none; true when all have one.
bool printStations(const std::vector<int>& stations, const std::map<int, StationResult>& result, bool json)
{
    bool all = true;
    std::string out = json ? "{\"stations\":[" : "";
    bool first = true;
    for (int n : stations) {
        const std::string id(1, "0123456789ABCDEF"[n]);
        auto it = result.find(n);
        const bool ok = it != result.end() && it->second.result == LinkResult::Ok;
        all = all && ok;
        const std::string level = ok ? std::to_string(it->second.level) : std::string();
        const std::string status = it != result.end() ? linkResultName(it->second.result) : "not-polled";
        if (json)
            out += std::string(first ? "" : ",") + "{\"id\":\"" + id + "\",\"level\":" + (ok ? level : "null") +
                   ",\"status\":\"" + status + "\"}";
        else
            out += id + "=" + (ok ? level : status) + "\n";
        first = false;
    }
    if (json)
        out += "]}\n";
    std::fputs(out.c_str(), stdout);
    return all;
}

} // namespace

namespace {

// Opens the answer-back dialog as its button does; false when it did not open.
bool openLinkDialog(Session& s)
{
    MainEngine& e = s.host.engine();
    e.mnuRssiInfoClick();
    return s.runUntil([&] { return e.linkState() == 1; }, 2000);
}

// Closes it with its close button.
void closeLinkDialog(Session& s)
{
    MainEngine& e = s.host.engine();
    s.link.hideForm();
    s.runUntil([&] { return e.linkState() == 0 && e.linkStateActedOn(); }, 2000);
}

} // namespace

int cmdAnswerBack(Session& s, const std::vector<int>& stations)
{
    if (!openLinkDialog(s))
        return kNoAnswer;
    const std::map<int, StationResult> result = pollStations(s, stations);
    closeLinkDialog(s);
    if (g_signal)
        return kNoAnswer;
    return printStations(stations, result, s.opt.json) ? kOk : kNoAnswer;
}

int cmdWatch(Session& s, const std::vector<int>& stations)
{
    if (!openLinkDialog(s))
        return kNoAnswer;
    MainEngine& e = s.host.engine();
    LinkLogic& dlg = e.linkForm();
    RangeRun& run = e.rangeRun();
    for (int n = 0; n < LinkLogic::kStations; ++n)
        dlg.stationTicked(n, std::find(stations.begin(), stations.end(), n) != stations.end());
    run.onPoll = [&s](const RangePoll& p) {
        std::fputs(watchLine(p, s.opt.json).c_str(), stdout);
        std::fflush(stdout);
    };
    if (!dlg.rangeStartClick(s.opt.intervalS, s.opt.count))
        return kNoAnswer;
    s.runUntil([&] { return !run.running(); }, uint64_t(1) << 50);
    // An interrupt ends the run, not the tool: the modem is told and the summary follows.
    if (run.running())
        dlg.rangeStopClick();
    g_signal = 0;
    closeLinkDialog(s);
    run.onPoll = nullptr;
    std::fputs(watchSummary(run, s.opt.json).c_str(), stdout);
    return watchAllAnswered(run) ? kOk : kNoAnswer;
}

namespace {

// The relays as the route command carries them: up to the first "-".
std::vector<std::string> relayChain(const SettingsProfile& p)
{
    std::vector<std::string> chain;
    for (const auto& r : p.relays) {
        if (!r || *r == "-" || r->empty())
            break;
        chain.push_back(*r);
    }
    return chain;
}

std::string show(const std::optional<std::string>& v)
{
    return v ? plainText(sjisToUtf8(*v)) : said(QT_TRANSLATE_NOOP("kd36ctl", "(nothing)"));
}

std::string show(const std::optional<int>& v)
{
    return v ? std::to_string(*v) : said(QT_TRANSLATE_NOOP("kd36ctl", "(nothing)"));
}

const char* const kWroteRead = QT_TRANSLATE_NOOP("kd36ctl", "%1: wrote %2, read %3");

// What the modem reads back against what was written, item by item, for
// the ticked items only. Each difference as "item: wrote X, read Y".
std::vector<std::string> differences(const SettingsProfile& wrote, const SettingsProfile& read, bool extension)
{
    std::vector<std::string> diff;
    auto check = [&](const char* what, const auto& w, const auto& r) {
        if (w != r)
            diff.push_back(said(kWroteRead, {what, show(w), show(r)}));
    };
    if (wrote.sysIdOn.value_or(false)) {
        // The number counts, not how it was typed ("0012" reads back "12").
        auto num = [](const std::optional<std::string>& t) -> std::optional<long long> {
            if (!t)
                return std::nullopt;
            char* end = nullptr;
            const long long v = std::strtoll(t->c_str(), &end, 10);
            return end && *end == 0 && !t->empty() ? std::optional<long long>(v) : std::nullopt;
        };
        const auto w = num(wrote.systemId), r = num(read.systemId);
        if (!w || !r ? wrote.systemId != read.systemId : *w != *r)
            diff.push_back(said(kWroteRead, {"system_id", show(wrote.systemId), show(read.systemId)}));
    }
    if (wrote.chanOn.value_or(false)) {
        if (wrote.channelAuto.value_or(true))
            check("channel_group", wrote.group, read.channelAuto.value_or(false) ? read.group : std::nullopt);
        else
            check("channel", wrote.channel, !read.channelAuto.value_or(true) ? read.channel : std::nullopt);
    }
    if (wrote.routOn.value_or(false)) {
        check("route_destination", wrote.routeDest, read.routeDest);
        const auto w = relayChain(wrote), r = relayChain(read);
        if (w != r) {
            auto join = [](const std::vector<std::string>& v) {
                std::string t;
                for (auto& x : v)
                    t += (t.empty() ? "" : ",") + x;
                return t.empty() ? said(QT_TRANSLATE_NOOP("kd36ctl", "(none)")) : t;
            };
            diff.push_back(said(kWroteRead, {"relays", join(w), join(r)}));
        }
    }
    if (wrote.framOn.value_or(false)) {
        check("frame_bytes", wrote.frameByte, read.frameByte);
        check("frame_idle_ms", wrote.frameIdle, read.frameIdle);
        check("frame_wait_s", wrote.frameWait, read.frameWait);
        check("frame_tx_count", wrote.frameTxNumber, read.frameTxNumber);
    }
    if (wrote.infoOn.value_or(false))
        check("info", wrote.deviceInfo, read.deviceInfo);
    if (wrote.seriOn.value_or(false)) {
        check("rs232c_rate", wrote.rate, read.rate);
        // Parity, stop bits and flow go out only in extended mode.
        if (extension) {
            check("rs232c_parity", wrote.parity, read.parity);
            check("rs232c_stop_bits", wrote.stopBits, read.stopBits);
            check("rs232c_flow", wrote.flow, read.flow);
        }
    }
    return diff;
}

} // namespace

namespace {

// Which ticked items the modem took, followed from the sequence's steps as
// the passes see them: an odd step sends, the even one after it waits.
class WriteProgress {
public:
    void see(int step, size_t timeouts)
    {
        if (step == last_ && timeouts == timeouts_)
            return;
        if (last_ > 0 && last_ % 2 == 0 && step != last_)
            state_[last_ - 1] = timeouts > timeouts_ ? NoReply : Taken;
        if (step > 0 && step % 2 == 0)
            state_[step - 1] = Sent;
        last_ = step;
        timeouts_ = timeouts;
    }
    // One line per outcome, for standard error.
    void report(const SettingsProfile& p) const
    {
        const std::pair<int, const char*> items[] = {{1, "system_id"}, {5, "channel"}, {7, "route"},
                                                     {9, "frame"},     {11, "info"},   {13, "rs232c"}};
        const std::optional<bool> ticks[] = {p.sysIdOn, p.chanOn, p.routOn, p.framOn, p.infoOn, p.seriOn};
        std::string lists[4];
        for (size_t i = 0; i < std::size(items); ++i) {
            if (!ticks[i].value_or(false))
                continue;
            auto it = state_.find(items[i].first);
            std::string& l = lists[it == state_.end() ? 0 : it->second];
            l += (l.empty() ? "" : ", ") + std::string(items[i].second);
        }
        const char* what[] = {QT_TRANSLATE_NOOP("kd36ctl", "not sent: %1"),
                              QT_TRANSLATE_NOOP("kd36ctl", "sent, no reply yet: %1"),
                              QT_TRANSLATE_NOOP("kd36ctl", "written: %1"),
                              QT_TRANSLATE_NOOP("kd36ctl", "no reply: %1")};
        for (int k : {Taken, NoReply, Sent, NotSent})
            if (!lists[k].empty())
                complain(what[k], {lists[k]});
    }
    bool allTaken(const SettingsProfile& p) const
    {
        const std::pair<int, std::optional<bool>> items[] = {{1, p.sysIdOn}, {5, p.chanOn}, {7, p.routOn},
                                                             {9, p.framOn},  {11, p.infoOn}, {13, p.seriOn}};
        for (auto& [step, tick] : items)
            if (tick.value_or(false) && (!state_.count(step) || state_.at(step) != Taken))
                return false;
        return true;
    }

private:
    enum State { NotSent, Sent, Taken, NoReply };
    std::map<int, int> state_;
    int last_ = 0;
    size_t timeouts_ = 0;
};

const char* const kProfileWhy = QT_TRANSLATE_NOOP("kd36ctl", "profile %1: %2");

// One line per entry the profile reader left out. English as the engine
// words it; in Japanese with the window's reasons.
std::vector<std::string> issueLines(const std::vector<ProfileIssue>& issues)
{
    if (!japaneseStderr())
        return issueLinesEnglish(issues);
    std::vector<std::string> out;
    for (const ProfileIssue& i : issues) {
        const std::string why = i.problem == ProfileProblem::Missing
            ? said(QT_TRANSLATE_NOOP("kd36ctl", "missing (the item is ticked for writing)"))
            : i.reason;
        const std::string entry = issueEntry(i) + ": " + why;
        out.push_back(i.line ? said(QT_TRANSLATE_NOOP("kd36ctl", "line %1: %2"), {std::to_string(i.line), entry})
                             : entry);
    }
    return out;
}

// A profile that cannot be written exactly as it stands is not written at all.
bool writableProfile(const std::string& path, const ProfileReadResult& r, bool extension)
{
    if (!r.ok) {
        complain(kProfileWhy, {path, plainText(reason(r.error))});
        return false;
    }
    const ProfileCheck check = checkProfile(r, extension);
    if (check.writable)
        return true;
    complain(QT_TRANSLATE_NOOP("kd36ctl", "profile %1: nothing written:"), {path});
    for (const std::string& line : issueLines(check.issues))
        std::fprintf(stderr, "kd36ctl:   %s\n", plainText(line).c_str());
    if (!check.ticksSomething) {
        const std::string none = said(QT_TRANSLATE_NOOP("kd36ctl", "no item is ticked for writing (Write=yes)"));
        std::fprintf(stderr, "kd36ctl:   %s\n", none.c_str());
    }
    return false;
}

} // namespace

int cmdWrite(Session& s, const std::string& path)
{
    MainEngine& e = s.host.engine();
    const bool extension = e.extension() != 0;
    const ProfileReadResult r = readProfileFile(path);
    if (!writableProfile(path, r, extension))
        return kUsage;
    // Only what the file ticks goes out, whatever the panel held.
    SettingsProfile wanted = r.profile;
    untickAbsent(wanted);
    applyProfile(e, wanted);
    if (const auto off = differences(wanted, profileFromPanel(e.panel()), extension); !off.empty()) {
        for (const std::string& d : off)
            complain(QT_TRANSLATE_NOOP("kd36ctl", "profile %1: the panel did not take it (%2); nothing written"),
                     {path, d});
        return kUsage;
    }
    const size_t boxesBefore = s.boxes.shown;
    s.timedOut.clear();
    WriteProgress progress;
    // A write that fails ends the sequence: what follows would go nowhere.
    e.setStopSequenceOnWriteFailure(true);
    e.spbWriteClick();
    const bool ended = s.runUntil(
        [&] {
            progress.see(e.step(), s.timedOut.size());
            return e.step() == 0 && !e.busy();
        },
        7 * 1600 + 1000);
    e.setStopSequenceOnWriteFailure(false);
    if (e.sequenceWriteFailed())
        complain(QT_TRANSLATE_NOOP("kd36ctl", "%1 could not be written to the port; no further command was sent"),
                 {plainText(sjisToUtf8(e.sequenceCommand()))});
    if (!ended || e.sequenceWriteFailed() || !progress.allTaken(wanted)) {
        progress.report(wanted);
        return kNoAnswer;
    }
    // A refused system ID (its box went to standard error) was not written.
    if (s.boxes.shown != boxesBefore)
        return kNoAnswer;
    if (!s.opt.verify)
        return kOk;

    if (!runRead(s))
        return kNoAnswer;
    const SettingsProfile read = profileFromReadBack(s.host.engine().panel(), false);
    const auto diff = differences(wanted, read, extension);
    for (const std::string& d : diff)
        complain(QT_TRANSLATE_NOOP("kd36ctl", "verify: %1"), {d});
    if (!diff.empty() || !s.timedOut.empty())
        return kNoAnswer;
    return kOk;
}

int cmdClone(Session& s, const std::string& path)
{
    if (!runRead(s))
        return kNoAnswer;
    if (!s.timedOut.empty()) {
        // A partial read would make a profile that quietly leaves items out.
        std::string t;
        for (auto& c : s.timedOut)
            t.append(1, ' ').append(plainText(sjisToUtf8(c)));
        complain(QT_TRANSLATE_NOOP("kd36ctl", "no reply to:%1; profile not written"), {t});
        return kNoAnswer;
    }
    std::vector<ProfileIssue> notCopied;
    const SettingsProfile p = profileFromReadBack(s.host.engine().panel(), true, &notCopied);
    if (!notCopied.empty()) {
        complain(QT_TRANSLATE_NOOP("kd36ctl", "not copied:"));
        for (const std::string& line : issueLines(notCopied))
            std::fprintf(stderr, "kd36ctl:   %s\n", plainText(line).c_str());
    }
    std::string why;
    if (!writeProfileFile(path, p, why)) {
        complain(kProfileWhy, {path, plainText(reason(why))});
        return kUsage;
    }
    return notCopied.empty() ? kOk : kNoAnswer;
}

int listPorts(PortCatalog& catalog, bool json)
{
    catalog.refresh();
    std::string out = json ? "[" : "";
    for (const auto& e : catalog.entries()) {
        const std::string port = "COM" + std::to_string(e.number);
        const std::string what = e.simulator ? std::string("simulator") : catalog.describe(e.number);
        if (json)
            out.append(out.size() > 1 ? "," : "")
                .append("{\"port\":" + jsonString(port) + ",\"path\":" + jsonString(e.path) +
                        ",\"description\":" + jsonString(what) + ",\"simulator\":" + (e.simulator ? "true" : "false") +
                        ",\"pinned\":" + (e.pinned ? "true" : "false") + "}");
        else
            out.append(port + " \u2014 " + plainText(what) + (e.pinned ? " (pinned)" : "") + "\n");
    }
    if (json)
        out += "]\n";
    std::fputs(out.c_str(), stdout);
    return kOk;
}

} // namespace kd36::ctl
