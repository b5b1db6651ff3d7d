#include "fake_view.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "../../engine/line_state.h"
#include "../../engine/link_logic.h"
#include "../../engine/packet_logic.h"
#include "../../engine/sjis.h"
#include "../../engine/window_state.h"

namespace kd36::test {

namespace {

std::map<TimerId, int> timersOf(WindowKind w)
{
    if (w == WindowKind::Main)
        return {{TimerId::RxWait, 1400}, {TimerId::IntervalTx, 10000}};
    if (w == WindowKind::Link)
        return {{TimerId::WaitTime, 10000}};
    return {};
}

} // namespace

FakeView::FakeView(WindowKind window) : timers(timersOf(window)), window_(window) {}

std::string FakeView::known(std::string_view n) const
{
    if (isControlName(window_, n))
        return std::string(n);
    const std::string why = "the window has no control '" + std::string(n) + "'";
    std::fprintf(stderr, "FakeView: %s\n", why.c_str());
    throw std::invalid_argument(why);
}

const FakeControl& FakeView::get(std::string_view n) const
{
    static const FakeControl none;
    auto it = controls.find(known(n));
    return it == controls.end() ? none : it->second;
}

std::string FakeView::text(std::string_view n) const
{
    const FakeControl& k = get(n);
    if (!k.items.empty() && k.index >= 0 && k.index < int(k.items.size()))
        return k.items[size_t(k.index)];
    if (!k.items.empty() && k.index < 0 && k.text.empty())
        return {};
    return k.text;
}

void FakeView::setText(std::string_view n, const std::string& s)
{
    FakeControl& k = c(n);
    k.text = s;
    if (!k.items.empty()) {
        auto it = std::find(k.items.begin(), k.items.end(), s);
        k.index = it == k.items.end() ? -1 : int(it - k.items.begin());
    }
}

void FakeView::setItemIndex(std::string_view n, int i)
{
    FakeControl& k = c(n);
    k.index = (i >= 0 && i < int(k.items.size())) ? i : -1;
    if (k.index >= 0)
        k.text = k.items[size_t(k.index)];
}

void FakeView::setItems(std::string_view n, std::vector<std::string> items, int index)
{
    FakeControl& k = c(n);
    k.items = std::move(items);
    setItemIndex(n, index);
}

void FakeView::appendMemoLine(std::string_view n, const std::string& line)
{
    FakeControl& k = c(n);
    k.text += line;
    k.text += "\r\n";
}

void FakeView::setMemoText(std::string_view n, const std::string& t)
{
    c(n).text = t;
}

std::vector<std::string> FakeView::memoLines(std::string_view n) const
{
    std::vector<std::string> out;
    const std::string& t = get(n).text;
    size_t pos = 0;
    while (pos < t.size()) {
        size_t e = t.find("\r\n", pos);
        if (e == std::string::npos) {
            out.push_back(t.substr(pos));
            break;
        }
        out.push_back(t.substr(pos, e - pos));
        pos = e + 2;
    }
    return out;
}

bool FakeView::isTabVisible(std::string_view p) const
{
    auto it = tabs.find(known(p));
    return it == tabs.end() ? true : it->second;
}

std::string FakeView::currentPage(std::string_view pc) const
{
    auto it = pages.find(known(pc));
    return it == pages.end() ? std::string() : it->second;
}

void FakeView::showForm()
{
    bool was = shown;
    shown = true;
    if (!was && onShow)
        onShow();
}

void FakeView::hideForm()
{
    bool was = shown;
    shown = false;
    if (was && onHide)
        onHide();
}

void FakeView::showLine(const LineShown& l)
{
    for (size_t i = 0; i < 4; ++i)
        status[i] = l.status[i];
    statusHints[1] = l.portHint;
    c("shpLump").color = l.portLamp;
    c("shpSupplySignal").color = l.supplyLamp;
    c("shpTxableSignal").color = l.txableLamp;
    c("lblSupplySignal").text = l.supplyCaption;
    c("lblTxableSignal").text = l.txableCaption;
}

void FakeView::showWindow(const WindowShown& w)
{
    const std::pair<const char*, bool> enabled[] = {
        {"spbAIRM", w.airButton},         {"spbFICK", w.answerBackButton},  {"spbPacket", w.packetButton},
        {"spbWrite", w.write},            {"spbRead", w.read},              {"spbCommandTx", w.commandSend},
        {"btnTermTx", w.terminalSend},    {"mnuFunction", w.functionMenu},  {"mnuAirMonitor", w.airMenu},
        {"mnuRssiInfo", w.answerBackMenu}, {"mnuPacket", w.packetMenu},      {"spbMode", w.modeButtons},
        {"spbCommunicationMode", w.modeButtons}, {"btnComPort", w.portButtons}, {"btnComSet", w.portButtons}};
    for (auto [n, on] : enabled)
        c(n).enabled = on;
    for (const char* n : {"btnDBUG", "btnDIF1", "btnDIF2", "btnTEST", "btnCMND", "btnSEND", "btnRECV", "btnSTBY"})
        c(n).enabled = w.developButtons;
    c("mnuAirMonitor").checked = w.airMark;
    c("mnuRssiInfo").checked = w.answerBackMark;
    c("mnuPacket").checked = w.packetMark;
    c("mnuCommOpen").checked = w.portMark;
    c("spbMode").checked = c("pnlCommand").visible = w.commandMode;
    c("spbCommunicationMode").checked = c("pnlCommunication").visible = !w.commandMode;
    tabs["tabDevelop"] = w.developTab;
    c("lblSERIData").visible = c("Label2").visible = w.extended;
    c("grpSERI").height = w.extended ? 121 : 49;
    c("chkCRLF").visible = w.crLfBox;
    c("btnIntervalTx").text = sj(w.intervalRunning ? "ストップ" : "スタート");
}

void FakeView::showLink(const LinkShown& s)
{
    c("btnAbort").visible = s.polling;
    c("btnGet").visible = !s.polling;
    c("btnCsvSave").enabled = s.csvSave;
    for (size_t n = 0; n < s.ticked.size(); ++n) {
        c("CheckBox" + std::to_string(n)).checked = s.ticked[n];
        c("prgLevel" + std::to_string(n)).value = s.levels[n];
    }
}

void FakeView::showPacket(const PacketShown& s)
{
    c("chkRoute").checked = s.route;
    c("chkEnterKey").checked = s.enterSends;
    c("chkEnterKey").visible = s.enterKeyBox;
    for (size_t n = 0; n < s.stations.size(); ++n) {
        const std::string k = std::to_string(n);
        setItemIndex("cmbRoute" + k, s.stations[n]);
        c("cmbRoute" + k).enabled = c("lblRoute" + k).enabled = s.routeEnabled[n];
        c("lblArrow" + k).enabled = s.arrows[n];
        c("edtRoute" + k).text = s.receivedRoute[n];
    }
    c("memUserData").text = s.userData;
    c("memUserDataRx").text = s.received;
    c("lblMemInfo").text = s.counter;
}

void FakeView::showInputs(const WindowInputs& in)
{
    setText("txtEdit", in.commandLine);
    setText("txtTerm", in.terminalLine);
    setText("edtIntervalTx", in.intervalCommand);
    c("chkCRLF").checked = in.terminalCrLf;
    setItemIndex("cmbChannel", in.testChannel);
    setItemIndex("cmbModulation", in.testModulation);
    setItemIndex("cmbIntervalTx", in.intervalIndex);
}

} // namespace kd36::test
