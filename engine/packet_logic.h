#pragma once
// The packet dialog's logic without widgets, and the "$SEND:"/"$RECE:" codec.
#include <string>
#include <vector>

#include "view.h"

namespace kd36 {

class MainEngine;

class PacketLogic {
public:
    PacketLogic(MainEngine& main, View& view);

    void Construct(); // creation steps, once the dialog's controls exist
    void FormShow();
    void FormHide();
    void ClearReceiveView();
    bool ShowReceivedPacket(const std::string& payload);
    void ShowPacketError();
    void spbPacketClick();
    void chkRouteClick();
    void cmbRouteChange(int k);
    void spbClearClick(const std::string& senderName);
    void memUserDataChange();
    // True when the key was taken (Enter sends); false lets the memo have it.
    bool memUserDataKeyPress(int key);
    void grpTxMouseDown(bool shift) { FShiftHeld = shift; }
    void grpTxDblClick();

    std::string FTxLine;
    int FOwnIdIndex = -1;
    bool FShiftHeld = false;

private:
    MainEngine& main_;
    View& v_;
};

} // namespace kd36
