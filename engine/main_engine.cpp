#include "main_engine.h"

#include <cstdio>
#include <cstring>

#include "answer_back_run.h"
#include "command_words.h"
#include "link_logic.h"
#include "packet_logic.h"
#include "range_run.h"
#include "sjis.h"
#include "../serial/user_text.h"

namespace kd36 {
namespace {

} // namespace

MainEngine::MainEngine(EngineDeps deps)
    : d(std::move(deps))
    , FAir(d.boxes, d.displayLoader, FBusy, [this](const std::string& c) { sendFunctionCommand(c); },
           [this] { windowChanged(); })
{
    FLinkForm = std::make_unique<LinkLogic>(*this, d.link);
    FPacketForm = std::make_unique<PacketLogic>(*this, d.packet);
    FAnswerBack = std::make_unique<AnswerBackRun>(
        *FLinkForm, d.link, d.port, [this](const std::string& c) { sendFunctionCommand(c); },
        [this] { windowChanged(); });
    FRange = std::make_unique<RangeRun>(RangeRun::Deps{d.port, d.clock, d.link,
                                                       [this](const std::string& c) { sendFunctionCommand(c); },
                                                       [this] { return FLinkForm->wallClockMs(); }});
    FRange->onChange = [this] { FLinkForm->rangeChanged(); };
}

MainEngine::~MainEngine() = default;

std::vector<std::string> MainEngine::TemplateItems()
{
    std::vector<std::string> items;
    for (auto w : {W_INIT, W_EQID, W_INFO, W_ROUT, W_FREQ, W_COMS, W_AIRC, W_ANLZ, W_SYID})
        items.push_back(std::string(1, '@').append(CommandWords[w]));
    items.push_back("$SEND");
    items.push_back("$NEWS");
    return items;
}

std::string MainEngine::RightsNotice()
{
    return "Copyright (C) 2026 NORVANE Corporation";
}

void MainEngine::ConstructBeforeSettings()
{
    View& v = d.main;
    FHomeUrl.clear();
    RxQueue.clear();
    FRxText.clear();
    FDevelopTab = false;
    FInputs.testChannel = 0;
    FInputs.testModulation = 0;
    FInputs.intervalIndex = 9;
    v.showInputs(FInputs);
    lineChanged(true);
    windowChanged(true);
}

void MainEngine::ConstructAfterSettings()
{
    RefreshPortList();
    FAir.reset();
    FStep = 0;
    FPortOpen = 0;
    FCommandMode = 0;
    FBusy = false;
    FRxTimedOut = false;
    FSending = false;
    sendDepth = 0;
    FClosing = false;
    FShiftHeld = false;
    FRxReady = false;
    spbModeClick(1, true);
}

void MainEngine::FormClose()
{
    FAir.close();
    FClosing = true;
    // A write still waiting finishes within its own 3000 ms limit; the
    // window defers a close that arrives inside a write, so this wait is
    // bounded rather than trusted.
    const uint64_t until = d.clock.nowMs() + 3500;
    while (FSending && d.processEvents && d.clock.nowMs() < until)
        d.processEvents();
    if (portButtonTag)
        mnuCommOpenClick();
}

// ---------------------------------------------------------------- modes

void MainEngine::spbModeClick(int senderTag, bool senderDown)
{
    if (!senderDown)
        return;
    FCommandMode = senderTag == 0 ? 0 : 1;
    lineChanged();
    windowChanged();
    SetModeLine(FCommandMode);
    if (FObserver)
        FObserver->modeChanged(FCommandMode == 1);
}

bool MainEngine::SetModeLine(int mode)
{
    if (FPortOpen != 1)
        return false;
    return d.port.EscapeLine(mode == 1 ? CLRDTR : SETDTR);
}

// ---------------------------------------------------------------- port

void MainEngine::mnuCommOpenClick()
{
    View& v = d.main;
    if (!portButtonTag) {
        FPortOpen = d.port.OpenPort(FPortNumber, FPortSettings) ? 1 : 0;
        if (FPortOpen != 1) {
            if (FObserver)
                FObserver->openFailed(FPortNumber);
            return;
        }
        // The log's reader needs the mode the session starts in, not only later switches.
        if (FObserver) {
            FObserver->portOpened(FPortNumber, FPortSettings);
            FObserver->modeChanged(FCommandMode == 1);
        }
        portButtonTag = true;
        FOpenedPort = FPortNumber;
        FOpenedAsked = FPortSettings;
        FOpenedActual = d.port.actualSettings();
        lineChanged();
        windowChanged();
        SetModeLine(FCommandMode);
    } else {
        // The receive loop acknowledges the close only while FPortOpen is set.
        d.port.ClosePort();
        FPortOpen = 0;
        portButtonTag = false;
        FRange->portClosed();
        if (FObserver)
            FObserver->portClosed(FPortNumber);
        lineChanged();
        v.repaintNow();
        windowChanged();
    }
}

void MainEngine::mnuCommSettingsClick(PortDialogRunner& dialog)
{
    const bool wasOpen = portButtonTag;
    if (wasOpen)
        mnuCommOpenClick();
    RefreshPortList();
    dialog.run(FPortNumber, FPortSettings, FPortList, FExtension);
    if (wasOpen)
        mnuCommOpenClick();
}

void MainEngine::setPort(int number, const PortSettings& settings)
{
    FPortNumber = number;
    FPortSettings = settings;
}

void MainEngine::portLost()
{
    if (!portButtonTag)
        return;
    if (FObserver)
        FObserver->error(KD36_TR_NOOP("SessionLogWriter", "通信ポートのデバイスが応答しません。"));
    d.boxes.warning(kPortLostText, "The serial device was removed or stopped working.");
    mnuCommOpenClick();
}

void MainEngine::RefreshPortList()
{
    FPortList.clear();
    PortPresentFlags present{};
    int remaining = d.port.EnumeratePorts(present);
    for (int n = 1; n <= kMaxPorts; ++n) {
        char buf[16];
        if (present[size_t(n - 1)]) {
            std::snprintf(buf, sizeof buf, " COM%d", n);
            --remaining;
        } else {
            std::snprintf(buf, sizeof buf, "*COM%d", n);
        }
        FPortList.emplace_back(buf);
        if (remaining <= 0)
            break;
    }
}

void MainEngine::StatusBarDblClick()
{
    const int w0 = 200, w1 = 180, w2 = 60;
    if (FStatusClickX < w0 + w1 || FStatusClickX > w0 + w1 + w2)
        return;
    d.port.setHexDisplay(!d.port.hexDisplay());
    lineChanged();
}

void MainEngine::grpCommandDblClick()
{
    if (!FShiftHeld)
        return;
    FDevelopTab = !FDevelopTab;
    windowChanged();
}

void MainEngine::spbMonitorClearClick()
{
    memTxRxMonitor.clear();
    d.main.monitorText(Monitor::Commands, "");
}

// ---------------------------------------------------------------- transmission

void MainEngine::EchoMonitor(const std::string& text)
{
    if (text.empty())
        return;
    if (FCommandMode)
        memTxRxMonitor.echo(d.main, Monitor::Commands, text);
    else
        memTerm.echo(d.main, Monitor::Terminal, text);
}

bool MainEngine::SendText(const std::string& text)
{
    ++sendDepth;
    FSending = true;
    bool ok = false;
    if (!FClosing) {
        // Told before the write: the write lets replies be handed over while it waits.
        if (FObserver)
            FObserver->sent(text);
        int n = d.port.WritePort(text.data(), uint32_t(text.size()));
        if (n != int(text.size())) {
            if (FObserver)
                FObserver->error(KD36_TR_NOOP("SessionLogWriter", "送信失敗"));
            d.boxes.warning(KD36_TR_NOOP("QtBoxes", "送信失敗"));
        } else {
            ok = true;
        }
    }
    // A send started while another waited must not clear the outer one's flag.
    FSending = --sendDepth > 0;
    return ok;
}

bool MainEngine::SendCommand(const std::string& text, const std::string& echoPrefix)
{
    EchoMonitor(echoPrefix + text);
    if (SendText(text))
        return true;
    EchoMonitor(sj("送信失敗") + "\r\n");
    return false;
}

void MainEngine::spbCommandTxClick()
{
    const std::string& t = FInputs.commandLine;
    if (t.empty() || FBusy)
        return;
    SendCommand(t + "\r\n");
}

void MainEngine::FormKeyPress(int key, InputLine focused)
{
    if (key != 13 || !windowShown(windowState()).commandSend)
        return;
    if (FCommandMode == 1 && focused == InputLine::Command)
        spbCommandTxClick();
    else if (focused == InputLine::Terminal)
        btnTermTxClick();
}

void MainEngine::cmbTemplateChange(const std::string& sjis)
{
    FInputs.commandLine = sjis;
    d.main.showInputs(FInputs);
    d.main.focusCommandLine();
}

void MainEngine::handOver(const std::string& piece)
{
    if (FObserver)
        FObserver->received(piece);
    // The window's text ends at the first NUL, as the display takes it.
    RxQueue.append(piece.data(), strnlen(piece.data(), piece.size()));
    FRxReady = true;
}

// ---------------------------------------------------------------- idle loop

int MainEngine::linkState() const
{
    return FLinkForm->state();
}

void MainEngine::OnIdle()
{
    if (idleDepth > 0 || FSending)
        return;
    struct Depth {
        int& n;
        explicit Depth(int& x) : n(x) { ++n; }
        ~Depth() { --n; }
    } depth(idleDepth);
    UpdateSignalLamps();
    ResponseParser();
    FAir.pass();
    FAnswerBack->pass();
    if (FStep != 0)
        SettingsSequencer();
    windowChanged();
}

bool MainEngine::PassCanChange()
{
    if (FRxReady || FStep != 0 || FAir.mayChange())
        return true;
    return FAnswerBack->mayChange();
}

void MainEngine::UpdateSignalLamps()
{
    uint32_t bits = 0;
    if (!d.port.GetModemStatus(bits))
        bits = 0;
    FModemBits = bits;
    lineChanged();
}

LineState MainEngine::lineState() const
{
    LineState s;
    s.open = portButtonTag;
    if (s.open) {
        s.port = FOpenedPort;
        s.asked = FOpenedAsked;
        s.actual = FOpenedActual;
    }
    s.commandMode = FCommandMode == 1;
    s.hexDisplay = d.port.hexDisplay();
    s.modemBits = FModemBits;
    return s;
}

void MainEngine::lineChanged(bool always)
{
    const LineState s = lineState();
    if (!always && s == FLineShown)
        return;
    FLineShown = s;
    d.main.showLine(lineShown(s));
}

WindowState MainEngine::windowState() const
{
    WindowState s;
    s.portOpen = portButtonTag;
    s.commandMode = FCommandMode == 1;
    s.sequence = FStep != 0;
    s.airMonitor = FAir.on();
    s.answerBack = FAnswerBack->on();
    s.packet = FPacketForm->formShown();
    s.developTab = FDevelopTab;
    s.extended = FExtension != 0;
    s.crLfBox = FCrLfBox;
    s.intervalRunning = FIntervalRunning;
    return s;
}

void MainEngine::windowChanged(bool always)
{
    const WindowShown w = windowShown(windowState());
    if (!always && w == FWindowShown)
        return;
    FWindowShown = w;
    d.main.showWindow(w);
}

void MainEngine::setExtension(int on)
{
    FExtension = on;
    windowChanged();
}

void MainEngine::packetFormShown(bool shown)
{
    FPacketForm->setFormShown(shown);
    windowChanged();
}

bool MainEngine::packetShown() const
{
    return FPacketForm->formShown();
}

bool MainEngine::linkStateActedOn() const
{
    return FAnswerBack->actedOn();
}

void MainEngine::timRxWaitTimer()
{
    d.main.stopTimer(TimerId::RxWait);
    FRxTimedOut = true;
}

void MainEngine::onTimer(TimerId id)
{
    if (id == TimerId::RxWait)
        timRxWaitTimer();
    else if (id == TimerId::IntervalTx)
        timIntervalTxTimer();
}

} // namespace kd36
