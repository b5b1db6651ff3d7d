#pragma once
// Which function holds the main window and what that leaves usable. Every
// lock, mark and shown panel of the window follows from this value alone, so
// a close, a failed load or a dialog shut from elsewhere cannot leave a
// button behind in the wrong state.
#include <string>

namespace kd36 {

struct WindowState {
    bool portOpen = false;
    bool commandMode = false;
    bool sequence = false;   // a settings read or write runs
    bool airMonitor = false; // the functions as the menu marks them
    bool answerBack = false;
    bool packet = false;
    bool developTab = false;
    bool extended = true;    // the version dialog's extended mode
    bool crLfBox = false;    // the terminal's CR LF box, shown by a shift double-click
    bool intervalRunning = false;
    bool operator==(const WindowState&) const = default;
};

struct WindowShown {
    // Usable: spbAIRM, spbFICK, spbPacket, spbWrite, spbRead, spbCommandTx,
    // btnTermTx, the development tab's eight command buttons.
    bool airButton = false;
    bool answerBackButton = false;
    bool packetButton = false;
    bool write = false;
    bool read = false;
    bool commandSend = false;
    bool terminalSend = false;
    bool developButtons = false;
    // mnuFunction and its three items.
    bool functionMenu = false;
    bool airMenu = true;
    bool answerBackMenu = true;
    bool packetMenu = true;
    bool modeButtons = true; // spbMode, spbCommunicationMode
    bool portButtons = true; // btnComPort, btnComSet
    // Marks: the three function items and mnuCommOpen.
    bool airMark = false;
    bool answerBackMark = false;
    bool packetMark = false;
    bool portMark = false;
    bool commandMode = false; // spbMode down and pnlCommand shown, else the online pair
    bool developTab = false;
    bool extended = true;     // the data-bits rows of grpSERI
    bool crLfBox = false;     // chkCRLF
    bool intervalRunning = false; // btnIntervalTx offers to stop
    bool operator==(const WindowShown&) const = default;
};

// What the user typed or picked in the main window's own fields; texts in
// Shift-JIS.
struct WindowInputs {
    std::string commandLine;                // txtEdit
    std::string terminalLine;               // txtTerm
    bool terminalCrLf = true;               // chkCRLF
    int testChannel = 0;                    // cmbChannel: channels 7..46
    int testModulation = 0;                 // cmbModulation
    int intervalIndex = 9;                  // cmbIntervalTx: 1..60 s
    std::string intervalCommand = "$SEND:"; // edtIntervalTx
    bool operator==(const WindowInputs&) const = default;
};

// The field that has the keyboard when Enter is pressed.
enum class InputLine { Other, Command, Terminal };

WindowShown windowShown(const WindowState& s);

} // namespace kd36
