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

// The dialog as its logic shows it: Shift-JIS texts, memo line breaks as
// CR LF. Stations are list items: the own station and the destination
// 0..15 (-1 none), relays 0 for "-" and 1..16 for stations 0..15.
struct PacketShown {
    static constexpr int kFields = 7; // own station, relays 1..5, destination
    bool route = true;                                        // chkRoute
    std::array<int, kFields> stations{-1, 0, 0, 0, 0, 0, -1}; // cmbRoute0..6
    std::array<bool, kFields> routeEnabled{};                 // cmbRoute and lblRoute 0..6
    std::array<bool, kFields> arrows{};                       // lblArrow0..6
    std::string userData;                                     // memUserData
    bool enterSends = true;                                   // chkEnterKey
    bool enterKeyBox = false;                                 // chkEnterKey shown
    std::string received;                                     // memUserDataRx
    std::array<std::string, kFields> receivedRoute;           // edtRoute0..6
    bool operator==(const PacketShown&) const = default;
};

// The two data memos' clear buttons.
enum class PacketMemo { Send, Received };

class PacketLogic {
public:
    PacketLogic(MainEngine& main, View& view);

    void Construct(); // creation steps, once the dialog's controls exist
    // Whether the dialog is up, as the menu item and its own events set it.
    bool formShown() const { return FFormShown; }
    void setFormShown(bool on) { FFormShown = on; }
    void FormShow();
    void FormHide();
    void ClearReceiveView();
    bool ShowReceivedPacket(const std::string& payload);
    void ShowPacketError();
    void spbPacketClick();
    // The route box is now `on`.
    void chkRouteClick(bool on);
    // Route list k (0 own station, 1..5 relays, 6 destination) now shows item `index`.
    void cmbRouteChange(int k, int index);
    void spbClearClick(PacketMemo which);
    // The user data as the memo now holds it.
    void memUserDataChange(const std::string& sjis);
    void chkEnterKeyClick(bool on);
    // What the dialog shows now.
    PacketShown shown() const;
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
    std::array<bool, kRelayCount> namedRelays() const; // relays 1..5 that name a station
    // Shows the dialog when it changed since last shown.
    void packetChanged();
    // The text of route list k's item `index`.
    static std::string stationText(int k, int index);
    PacketShown FIn; // the user's fields and the received packet; the enables are derived
    bool FFormShown = false;
    PacketShown FShown;
    bool FShownOnce = false;
    MainEngine& main_;
    View& v_;
};

} // namespace kd36
