#pragma once
// The packet dialog's logic without widgets, and the "$SEND:"/"$RECE:" codec.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "relay_chain.h"
#include "view.h"

namespace kd36 {

class MainEngine;

// --- codec (Shift-JIS bytes throughout; lengths count bytes) ---

inline constexpr size_t kUserDataMax = 256; // the send memo's limit
inline constexpr size_t kMaxRouteFields = 9;

// Route part of a "$SEND:" line: "own,relay...,dest;". Empty relays are skipped.
std::string composeRoute(const std::string& own, const std::vector<std::string>& relays, const std::string& dest);
// "$SEND:" + route + byte length of data + ";" + data + CR LF.
std::string composeSendLine(const std::string& route, const std::string& data);

struct ReceivedPacket {
    std::vector<std::string> route; // source, relays..., own station
    std::string data;
};
// Reads the payload of a "$RECE:" block (the text after "$RECE:" without the
// final CR LF). None when it is invalid; throws ConversionError when the
// length field is not a number.
std::optional<ReceivedPacket> parseRecePayload(const std::string& payload);
// "12 文字 / 残 244" for user data of 12 bytes.
std::string counterText(size_t length);

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
    // The own station the next showing selects; -1 leaves the list as it is.
    void presetOwnStation(int index) { FOwnIdIndex = index; }

private:
    std::string FTxLine;
    int FOwnIdIndex = -1;
    bool FShiftHeld = false;
    void setRelayEnabled(int n, bool on); // combo, label and arrow
    std::array<bool, kRelayCount> namedRelays() const; // relays 1..5 that name a station
    MainEngine& main_;
    View& v_;
};

} // namespace kd36
