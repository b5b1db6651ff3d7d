// Takes what the receive thread handed over, echoes it and acts on the
// modem's replies.
#include <string>

#include "answer_back_run.h"
#include "conversions.h"
#include "main_engine.h"
#include "packet_logic.h"
#include "range_run.h"
#include "sjis.h"

namespace kd36 {
namespace {

// The line from 0-based index `from` to the end (empty past the end).
std::string rest(const std::string& s, size_t from)
{
    return from < s.size() ? s.substr(from) : std::string();
}

// The line from `from` up to, not including, `to`.
std::string span(const std::string& s, size_t from, size_t to)
{
    if (from >= s.size() || to <= from)
        return {};
    return s.substr(from, to - from);
}

bool at(const std::string& s, size_t pos, std::string_view what)
{
    return s.size() >= pos + what.size() && s.compare(pos, what.size(), what) == 0;
}

// Each settings reply fills its read-back fields; false when the line is
// not the reply it names and nothing was shown.

bool showInit(SettingPanel& f, const std::string& line)
{
    std::vector<ScanValue> vals;
    int n = scanLite(rest(line, 6), "F=%d/I=%d/S=%d/T=%d/W=%d", vals);
    if (n == 0)
        return false;
    static const int fields[] = {8, 9, 1, 11, 10};
    for (size_t i = 0; i < vals.size() && i < 5; ++i)
        if (vals[i].number != -1)
            f.read(fields[i]) = std::to_string(vals[i].number);
    return true;
}

bool showEqid(SettingPanel& f, const std::string& line)
{
    if (!at(line, 5, ":E="))
        return false;
    f.read(2) = rest(line, 8);
    return true;
}

bool showFreq(SettingPanel& f, const std::string& line)
{
    if (at(line, 6, "A=")) {
        f.read(3) = rest(line, 8);
        f.read(4) = "";
        return true;
    }
    if (at(line, 6, "M=")) {
        f.read(4) = rest(line, 8);
        f.read(3) = "";
        return true;
    }
    return false;
}

bool showRout(SettingPanel& f, const std::string& line)
{
    if (!at(line, 6, "D="))
        return false;
    size_t p = line.find(";N=");
    f.read(5) = p == std::string::npos ? rest(line, 8) : span(line, 8, p);
    f.read(6) = "";
    f.read(7) = "";
    if (p == std::string::npos)
        return true;
    // 1-based positions 13, 15, ... 21 hold relays 1 to 5.
    static const int relays[] = {6, 7, 13, 14, 15};
    for (size_t pos = p + 1 + 3; pos <= line.size(); pos += 2)
        if (pos >= 13 && pos <= 21 && pos % 2 == 1)
            f.read(relays[(pos - 13) / 2]) = std::string(1, line[pos - 1]);
    return true;
}

bool showInfo(SettingPanel& f, const std::string& line)
{
    if (!at(line, 5, ":U="))
        return false;
    size_t p = line.find("/N=");
    f.read(12) = p == std::string::npos ? rest(line, 8) : span(line, 8, p);
    if (p != std::string::npos)
        f.read(2) = rest(line, p + 3);
    return true;
}

bool showComs(SettingPanel& f, const std::string& line)
{
    bool seen = false;
    const size_t npos = std::string::npos;
    size_t c = line.find(':');
    size_t s = c == npos ? npos : line.find('/', c + 1);
    size_t pD = line.find("/D="), pP = line.find("/P="), pS = line.find("/S="), pF = line.find("/F=");
    // A value ends only at the key that follows it in the order D, P, S, F.
    auto value = [&](size_t key, size_t next) {
        size_t start = key + 3;
        return (next != npos && next >= start) ? span(line, start, next) : rest(line, start);
    };
    if (at(line, 5, ":R=")) {
        f.read(16) = s == npos ? rest(line, 8) : span(line, 8, s);
        seen = true;
    }
    if (pD != npos) {
        f.read(17) = value(pD, pP);
        seen = true;
    }
    if (pP != npos) {
        f.read(18) = value(pP, pS);
        seen = true;
    }
    if (pS != npos) {
        f.read(19) = value(pS, pF);
        seen = true;
    }
    if (pF != npos) {
        f.read(20) = rest(line, pF + 3);
        seen = true;
    }
    return seen;
}

struct SettingsReply {
    const char* word;
    bool (*show)(SettingPanel&, const std::string&);
};
const SettingsReply kSettingsReplies[] = {{"INIT", showInit}, {"EQID", showEqid}, {"FREQ", showFreq},
                                          {"ROUT", showRout}, {"INFO", showInfo}, {"COMS", showComs}};

} // namespace

void MainEngine::ResponseParser()
{
    bool advance = FRxTimedOut;
    if (FRxReady) {
        FRxReady = false;
        FRxText = std::move(RxQueue);
        RxQueue.clear();
        // Whatever happens below, nothing of this take survives the pass.
        struct Drop {
            std::string& t;
            ~Drop() { t.clear(); }
        } drop{FRxText};
        if (FCommandMode)
            EchoMonitor(FRxText);
        else
            EchoMonitor("Rx:" + FRxText);
        if (FCommandMode) {
            // Lines are taken by index: a backlog of any size is read once.
            size_t pos = 0;
            size_t e;
            while ((e = FRxText.find("\r\n", pos)) != std::string::npos) {
                if (FRxText[pos] == '$') {
                    // A packet block runs to the end of the take: its data may hold CR LF.
                    std::string word = FRxText.substr(pos + 1, 4);
                    const size_t size = FRxText.size() - pos;
                    std::string payload = size >= 8 ? FRxText.substr(pos + 6, size - 8) : std::string();
                    FRxText.clear();
                    if (word == "RECE")
                        ReceBlock(payload);
                    break;
                }
                std::string line = FRxText.substr(pos, e - pos);
                pos = e + 2;
                if (actOnReplyLine(line))
                    advance = true;
            }
        }
    }
    if (advance && FStep != 0) {
        // An odd step has no command waiting: a late reply there must not
        // move the sequence to an even step that nothing would time out.
        if (FStep % 2 == 0) {
            ++FStep;
            if (FStep > 14)
                endSequence();
        }
        FRxTimedOut = false;
        d.main.stopTimer(TimerId::RxWait);
    }
}

bool MainEngine::actOnReplyLine(const std::string& line)
{
    if (line.empty() || line[0] != '>')
        return false;
    std::string word = line.substr(1, 4);
    std::string payload = rest(line, 6);
    if (word == "ANLZ")
        FAir.data(payload);
    else if (word == "AIRC") {
        if (!FRange->reply(payload))
            FAnswerBack->reply(payload);
    } else if (word == "ERR2") {
        if (FPacketForm->formShown())
            Err2Reply();
    } else {
        return parseSettingsLine(word, line);
    }
    return false;
}

bool MainEngine::parseSettingsLine(const std::string& word, const std::string& line)
{
    for (const SettingsReply& r : kSettingsReplies)
        if (word == r.word) {
            if (!r.show(FPanel, line))
                return false;
            panelChanged();
            return true;
        }
    return false;
}

} // namespace kd36
