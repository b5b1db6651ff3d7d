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
#include "../spectrum/analyze32.h"
#include "display_library.h"
#include "monitor_buffer.h"
#include "session_observer.h"
#include "view.h"

namespace kd36 {

class LinkLogic;
class PacketLogic;

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
    void EnableDevelopButtons(bool on);
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
    void SendCommand(const std::string& sjis);
    void spbCommandTxClick();
    // Enter (13) previewed by the window; the key always goes on to the control.
    void FormKeyPress(int key);
    void cmbTemplateChange();

    // --- receive hand-over (user-interface thread) ---
    void handOver(const std::string& piece);

    // --- idle loop ---
    void OnIdle();
    // False when a pass would find nothing to do and change nothing: port
    // closed, lamps already at rest, no function, sequence or layout pending.
    bool PassCanChange();
    void UpdateSignalLamps();
    void UpdatePacketLock();
    void PageControlSettingChange();
    void timRxWaitTimer();
    // A named timer of the main window fired.
    void onTimer(const std::string& name);

    // --- response parser ---
    void ResponseParser();

    // --- settings sequencer and setting panel ---
    void spbWriteClick();
    void spbReadClick();
    void SettingsSequencer();
    void ClearReadFields();
    void spbDefaultNumberClick();
    void spbDefaultNumberMouseDown(bool shift) { FShiftHeld = shift; }
    void chkSYIDClick();
    void chkCHANClick();
    void radChAutoClick();
    void radChHandClick();
    void chkROUTClick();
    void cmbROUTNodeChange(int k);
    void chkFRAMClick();
    static bool speFRAMKeyPress(int key); // true when the key may reach the spin edit
    void chkINFOClick();
    void chkSERIClick();
    void chkSERISetClick();
    void endSequence();

    // --- air monitor and development tab ---
    void mnuAirMonitorClick();
    void RunAirMonitor();
    void AirMonitorData(const std::string& payload);
    void AirMonitorCloseStep();
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
    void cmbIntervalTxChange();

    // --- communication-mode terminal ---
    void btnTermTxClick();
    void spbTermClearClick();
    void txtTermMouseDown(bool shift) { FShiftHeld = shift; }
    void txtTermDblClick();

    // --- answer-back (main-window half) ---
    void mnuRssiInfoClick();
    void RunAnswerBack();
    void AircReply(const std::string& payload);

    // --- packets (main-window half) ---
    void mnuPacketClick();
    void ReceBlock(const std::string& payload); // hand-off of a "$RECE:" block
    void Err2Reply();

    // Air-monitor or answer-back command: DTR low first, then echo and send.
    void sendFunctionCommand(const std::string& sjis);

    // --- state shared by the Parts (names as the window's members) ---
    std::string FHomeUrl;
    PortPresentFlags FPortPresent{};
    std::atomic<uint8_t> FCommandMode{0};
    std::atomic<uint8_t> FPortOpen{0};
    bool FSending = false;
    bool FClosing = false;
    bool FShiftHeld = false;
    int FPortNumber = 1;
    int FStep = 0;
    PortSettings portSettings;
    std::vector<std::string> FPortList;
    bool FRxReady = false;
    std::string RxQueue;
    int FExtension = 1;
    int FStatusClickX = 0;
    bool FReadMode = false;
    bool FBusy = false;
    bool FRxTimedOut = false;
    int FExtensionShown = -1;
    int FPacketShown = 0;
    int FPacketShownApplied = 0;
    int FLinkState = 0;
    int FLinkStateSeen = 0;
    bool FLinkCheckedSeen = false;
    bool FAirMonitorSeen = false;
    int32_t LastRunning = 0;
    std::array<int32_t, 40> FAirData{};
    DisplayData displayData{};
    std::string FRxText;
    bool portButtonTag = false; // btnComPort's tag: open
    int idleDepth = 0;          // a pass never runs inside another
    bool FLampsAtRest = false;  // the lamps show a closed port (both red)
    int sendDepth = 0;          // SendText may nest through the write's event processing

    MonitorBuffer memTxRxMonitor;
    MonitorBuffer memTerm;

    View& mainView() { return d.main; }
    View& linkView() { return d.link; }
    View& packetView() { return d.packet; }
    MessageBoxes& boxes() { return d.boxes; }
    Clock& clock() { return d.clock; }
    CommPort& port() { return d.port; }
    LinkLogic& linkForm() { return *FLinkForm; }
    PacketLogic& packetForm() { return *FPacketForm; }
    bool displayLoaded() const { return FDisplayLib != nullptr; }
    // Who is told of sends, pieces, port and mode changes; none by default.
    void setObserver(SessionObserver* o) { FObserver = o; }
    SessionObserver* observer() const { return FObserver; }

private:
    void applyOpenedPort();
    void applyClosedPort();
    void sendSettingsCommand(const std::string& sjis);
    bool displayStatus(DisplayStatus& st);
    void unloadDisplay();
    void setAirControls(bool on);
    void setLinkControls(bool on);
    bool parseSettingsLine(const std::string& word, const std::string& line);

    EngineDeps d;
    SessionObserver* FObserver = nullptr;
    std::unique_ptr<LinkLogic> FLinkForm;
    std::unique_ptr<PacketLogic> FPacketForm;
    std::unique_ptr<DisplayLibrary> FDisplayLib;
    DLLShowFn pShow = nullptr;
    DLLHideFn pHide = nullptr;
    DLLTitleFn pTitle = nullptr;
    DLLStatusFn pStatus = nullptr;
    DLLUpdateFn pUpdate = nullptr;
    DLLControlFn pControl = nullptr;

    // --- steps of the longer handlers ---
    // One complete reply line in command mode; true when it filled read-back fields.
    bool actOnReplyLine(const std::string& line);
    // The air monitor was switched on with no display library loaded yet.
    void loadAndShowDisplay();
    // Follows the loaded display: closed by its user, or measuring started or stopped there.
    void followDisplay();
};

} // namespace kd36
