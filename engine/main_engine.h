#pragma once
// The main window's logic without any widget: its state, its handlers and
// the protocol work of the idle loop. TMainForm builds the widgets and
// forwards every event here; the engine acts on the window through View.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../serial/clock.h"
#include "../serial/comm_port.h"
#include "../serial/message_boxes.h"
#include "../serial/port_settings.h"
#include "air_monitor_run.h"
#include "display_library.h"
#include "line_state.h"
#include "monitor_buffer.h"
#include "session_observer.h"
#include "setting_panel.h"
#include "view.h"
#include "window_state.h"
#include "../serial/user_text.h"

namespace kd36 {

// The box of a port whose device stopped answering (UTF-8).
inline constexpr const char* kPortLostText = KD36_TR_NOOP("QtBoxes", "通信ポートのデバイスが応答しません。ポートを閉じます。");

class AnswerBackRun;
class LinkLogic;
class PacketLogic;
class RangeRun;

// Runs the port properties dialog on (FPortNumber, PortSettings, FPortList).
class PortDialogRunner {
public:
    virtual ~PortDialogRunner() = default;
    virtual void run(int& portNumber, PortSettings& settings, const std::vector<std::string>& portList,
                     int extension) = 0;
};

struct EngineDeps {
    View& main;
    View& link;   // the answer-back dialog
    View& packet; // the packet dialog
    MessageBoxes& boxes;
    Clock& clock;
    CommPort& port;
    DisplayLibraryLoader* displayLoader = nullptr; // none: the library is missing
    std::function<void()> processEvents = {};      // lets the window breathe while the close waits
    PanelView* panelView = nullptr;                // none: nothing shows the setting panel
};

class MainEngine {
public:
    explicit MainEngine(EngineDeps deps);
    ~MainEngine();
    MainEngine(const MainEngine&) = delete;
    MainEngine& operator=(const MainEngine&) = delete;

    // Items of cmbTemplate, in order ("@INIT" ... "$NEWS").
    static std::vector<std::string> TemplateItems();
    // The rights notice of status panel 3.
    static std::string RightsNotice();

    // --- start-up and shut-down (the caller loads and saves the settings file) ---
    void ConstructBeforeSettings(); // before the settings file is read
    void ConstructAfterSettings();  // after it: port list, initial state, command mode
    void FormClose();               // the caller then saves the settings

    // --- window, modes, port ---
    void spbModeClick(int senderTag, bool senderDown);
    bool SetModeLine(int mode);
    void mnuCommOpenClick();
    void mnuCommSettingsClick(PortDialogRunner& dialog);
    void RefreshPortList();
    void StatusBarMouseDown(int x) { FStatusClickX = x; }
    void StatusBarDblClick();
    void grpCommandMouseDown(bool shift) { FShiftHeld = shift; }
    void grpCommandDblClick();
    void spbMonitorClearClick();
    // The device vanished while open: report once and close.
    void portLost();

    // --- command line and transmission ---
    void EchoMonitor(const std::string& sjis);
    bool SendText(const std::string& sjis);
    // Every sender's path: echoes `echoPrefix + sjis` to the monitor of the
    // mode, sends `sjis` and echoes 送信失敗 when the write fails.
    bool SendCommand(const std::string& sjis, const std::string& echoPrefix = {});
    void spbCommandTxClick();
    // Enter (13) previewed by the window; the key always goes on to the control.
    void FormKeyPress(int key, InputLine focused);
    // A template picked or typed: it becomes the command line.
    void cmbTemplateChange(const std::string& sjis);
    // The user changed a field of the main window.
    void commandLineEdited(const std::string& sjis) { FInputs.commandLine = sjis; }
    void terminalLineEdited(const std::string& sjis) { FInputs.terminalLine = sjis; }
    void chkCRLFClick(bool on) { FInputs.terminalCrLf = on; }
    void testChannelChanged(int index) { FInputs.testChannel = index; }
    void testModulationChanged(int index) { FInputs.testModulation = index; }
    void intervalCommandEdited(const std::string& sjis) { FInputs.intervalCommand = sjis; }
    const WindowInputs& inputs() const { return FInputs; }

    // --- receive hand-over (user-interface thread) ---
    void handOver(const std::string& piece);

    // --- idle loop ---
    void OnIdle();
    // True while passes must follow one another without an outside event:
    // a reply to take, a sequence running, a function switching or running.
    // Anything else (a piece, a timer, the user, a lamp) brings its own pass.
    bool PassCanChange();
    // True when the next pass has work at once (a sequence step to send, a
    // reply to take): it follows without the 10 ms cadence.
    bool passDueNow() const { return FRxReady || (FStep > 0 && FStep % 2 == 1); }
    void UpdateSignalLamps();
    void timRxWaitTimer();
    // A timer of the main window fired.
    void onTimer(TimerId id);

    // --- response parser ---
    void ResponseParser();

    // --- settings sequencer and setting panel ---
    void spbWriteClick();
    void spbReadClick();
    void SettingsSequencer();
    void ClearReadFields();
    void spbDefaultNumberClick();
    void spbDefaultNumberMouseDown(bool shift) { FShiftHeld = shift; }
    // The ticks: `on` is the box's new state.
    void chkSYIDClick(bool on);
    void chkCHANClick(bool on);
    void radChAutoClick();
    void radChHandClick();
    void chkROUTClick(bool on);
    // Relay k (1..5) now shows item `index`.
    void cmbROUTNodeChange(int k, int index);
    void chkFRAMClick(bool on);
    static bool speFRAMKeyPress(int key); // true when the key may reach the spin edit
    void chkINFOClick(bool on);
    void chkSERIClick(bool on);
    void chkSERISetClick(bool on);
    // The user changed a write value.
    void panelChoiceChanged(PanelChoice which, int index);
    void panelFrameChanged(PanelFrame which, int value);
    void systemIdEdited(const std::string& sjis);
    void deviceInfoEdited(const std::string& sjis);
    // The setting panel; every change is shown through EngineDeps::panelView.
    const SettingPanel& panel() const { return FPanel; }
    // Changes the panel outside its handlers (the settings file, a profile).
    void editPanel(const std::function<void(SettingPanel&)>& change);

    // --- air monitor and development tab ---
    void mnuAirMonitorClick();
    void btnDBUGClick();
    void btnDIF1Click();
    void btnDIF2Click();
    void btnTESTClick();
    void btnCMNDClick();
    void btnSENDClick();
    void btnRECVClick();
    void btnSTBYClick();
    void btnIntervalTxClick();
    void timIntervalTxTimer();
    // The interval list now shows item `index`; a running send takes it at once.
    void cmbIntervalTxChange(int index);

    // --- communication-mode terminal ---
    void btnTermTxClick();
    void spbTermClearClick();
    void txtTermMouseDown(bool shift) { FShiftHeld = shift; }
    void txtTermDblClick();

    // --- answer-back (main-window half) ---
    void mnuRssiInfoClick();

    // --- packets (main-window half) ---
    void mnuPacketClick();
    void ReceBlock(const std::string& payload); // hand-off of a "$RECE:" block
    void Err2Reply();

    // --- what the window, the tools and the tests read ---
    bool portOpen() const { return FPortOpen == 1; }
    bool commandMode() const { return FCommandMode == 1; }
    // The two flags the receive thread reads without a lock.
    const std::atomic<uint8_t>* portOpenFlag() const { return &FPortOpen; }
    const std::atomic<uint8_t>* commandModeFlag() const { return &FCommandMode; }
    int portNumber() const { return FPortNumber; }
    const PortSettings& portSettings() const { return FPortSettings; }
    const std::vector<std::string>& portList() const { return FPortList; }
    const std::string& homeUrl() const { return FHomeUrl; }
    int extension() const { return FExtension; }
    // Step of the settings sequence: 0 idle, odd sends next, even awaits a reply.
    int step() const { return FStep; }
    bool busy() const { return FBusy; }
    // The line the settings sequence wrote last (without CR LF), and whether that write failed.
    const std::string& sequenceCommand() const { return FSequenceCommand; }
    bool sequenceWriteFailed() const { return FSequenceWriteFailed; }
    // A failed write ends the settings sequence instead of waiting out its reply
    // time: a script's later commands would go nowhere. The window keeps waiting.
    void setStopSequenceOnWriteFailure(bool on) { FStopOnWriteFailure = on; }
    bool sending() const { return FSending; }
    bool closing() const { return FClosing; }
    // False inside a pass or a write: a pass started then would nest.
    bool passAllowed() const { return idleDepth == 0 && !FSending; }
    bool packetShown() const;
    int linkState() const; // the answer-back dialog's state
    // The line as the status bar and the lamps show it.
    LineState lineState() const;
    // The functions, mode and panels as the window's locks and marks show them.
    WindowState windowState() const;
    // True once the pass has acted on the dialog's present state.
    bool linkStateActedOn() const;
    bool airMonitorShown() const { return FAir.shown(); }
    // Bytes handed over that no pass has read yet.
    size_t receivedPending() const { return RxQueue.size() + FRxText.size(); }
    const MonitorBuffer& txRxMonitor() const { return memTxRxMonitor; }
    const MonitorBuffer& terminalMonitor() const { return memTerm; }

    // --- what the settings file and the dialogs change ---
    // The port the next open uses; an open port keeps its line until reopened.
    void setPort(int number, const PortSettings& settings);
    void setHomeUrl(const std::string& url) { FHomeUrl = url; }
    // The extended-mode switch of the version dialog; the panel follows on the next pass.
    void setExtension(int on);
    // A close is coming: no further write starts.
    void beginClose() { FClosing = true; }
    // The packet dialog tells of its showing and hiding.
    void packetFormShown(bool shown);

    View& mainView() { return d.main; }
    MessageBoxes& boxes() { return d.boxes; }
    LinkLogic& linkForm() { return *FLinkForm; }
    RangeRun& rangeRun() { return *FRange; }
    PacketLogic& packetForm() { return *FPacketForm; }
    bool displayLoaded() const { return FAir.loaded(); }
    // Who is told of sends, pieces, port and mode changes; none by default.
    void setObserver(SessionObserver* o) { FObserver = o; }
    SessionObserver* observer() const { return FObserver; }

private:
    // Air-monitor or answer-back command: DTR low first, then echo and send.
    void sendFunctionCommand(const std::string& sjis);
    void endSequence();
    void sendSettingsCommand(const std::string& sjis);
    bool parseSettingsLine(const std::string& word, const std::string& line);
    // Shows the panel as it now is.
    void panelChanged();
    // Shows the line when it changed since it was last shown (or always).
    void lineChanged(bool always = false);
    // Shows the window's locks and marks when they changed (or always).
    void windowChanged(bool always = false);

    // The window's state, named as its members were.
    std::string FHomeUrl;
    std::atomic<uint8_t> FCommandMode{0};
    std::atomic<uint8_t> FPortOpen{0};
    bool FSending = false;
    bool FClosing = false;
    bool FShiftHeld = false;
    int FPortNumber = 1;
    int FStep = 0;
    PortSettings FPortSettings;
    std::vector<std::string> FPortList;
    bool FRxReady = false;
    std::string RxQueue;
    int FExtension = 1;
    int FStatusClickX = 0;
    bool FReadMode = false;
    bool FBusy = false;
    std::string FSequenceCommand;
    bool FSequenceWriteFailed = false;
    bool FStopOnWriteFailure = false;
    bool FRxTimedOut = false;
    bool FDevelopTab = false;
    bool FCrLfBox = false;
    bool FIntervalRunning = false;
    WindowInputs FInputs;
    std::string FRxText;
    bool portButtonTag = false; // btnComPort's tag: open
    int idleDepth = 0;          // a pass never runs inside another
    uint32_t FModemBits = 0;    // the modem lines last read
    int FOpenedPort = 0;        // the open port and what it was opened with
    PortSettings FOpenedAsked;
    PortSettings FOpenedActual;
    LineState FLineShown;
    WindowShown FWindowShown;
    int sendDepth = 0;          // SendText may nest through the write's event processing

    SettingPanel FPanel;
    MonitorBuffer memTxRxMonitor;
    MonitorBuffer memTerm;

    EngineDeps d;
    SessionObserver* FObserver = nullptr;
    std::unique_ptr<LinkLogic> FLinkForm;
    std::unique_ptr<PacketLogic> FPacketForm;
    AirMonitorRun FAir;
    std::unique_ptr<AnswerBackRun> FAnswerBack;
    std::unique_ptr<RangeRun> FRange;

    // --- steps of the longer handlers ---
    // One complete reply line in command mode; true when it filled read-back fields.
    bool actOnReplyLine(const std::string& line);
};

} // namespace kd36
