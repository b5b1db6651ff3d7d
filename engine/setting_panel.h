#pragma once
// The setting panel as a value: the write values the user set up, the
// items ticked for a write, and the twenty read-back fields. The engine owns
// it and changes it in the panel's handlers; the window only shows it.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "relay_chain.h"

namespace kd36 {

using ItemList = std::vector<std::string>;

// The panel's lists, in the window's order.
enum class PanelChoice { Group, Channel, RouteDest, Rate, Parity, StopBits, Flow, DataBits };
inline constexpr size_t kPanelChoices = 8;
// The items a write can include; SerialSet is the hidden data-bits box.
enum class PanelTick { SystemId, Channel, Route, Frame, DeviceInfo, Serial, SerialSet };
inline constexpr size_t kPanelTicks = 7;
// The frame spin edits.
enum class PanelFrame { Byte, Idle, Wait, TxNumber };
inline constexpr size_t kPanelFrames = 4;
inline constexpr size_t kReadBackFields = 20;

// The items of a list; relays have their own ("-" first: no relay).
const ItemList& panelItems(PanelChoice c);
const ItemList& relayItems();

struct FrameRange {
    int lo, hi, start;
};
const FrameRange& frameRange(PanelFrame f);
// The lists' items that "初期値" and a settings file without them select.
inline constexpr std::array<int, kPanelChoices> kDefaultChoices{0, 0, 0, 1, 0, 0, 1, 1};

struct SettingPanel {
    std::array<bool, kPanelTicks> ticks{};
    std::string systemId;   // Shift-JIS, as typed
    std::string deviceInfo; // Shift-JIS, as typed
    bool channelAuto = true;
    // Selected item of each list, -1 for none (a new window shows the first).
    std::array<int, kPanelChoices> choices{};
    std::array<int, kRelayCount> relays{}; // relay 1..5; 0 is "-"
    std::array<int, kPanelFrames> frame{128, 100, 10, 3};
    std::array<std::string, kReadBackFields> readBack; // fields 1..20, Shift-JIS

    bool tick(PanelTick t) const { return ticks[size_t(t)]; }
    void setTick(PanelTick t, bool on) { ticks[size_t(t)] = on; }
    int& choice(PanelChoice c) { return choices[size_t(c)]; }
    int choice(PanelChoice c) const { return choices[size_t(c)]; }
    int& frameValue(PanelFrame f) { return frame[size_t(f)]; }
    int frameValue(PanelFrame f) const { return frame[size_t(f)]; }
    // Item text of a list or of relay n (1..5); empty when none is selected.
    std::string choiceText(PanelChoice c) const;
    std::string relayText(int n) const;
    // Read-back field n (1..20).
    std::string& read(int n) { return readBack[size_t(n - 1)]; }
    const std::string& read(int n) const { return readBack[size_t(n - 1)]; }

    bool operator==(const SettingPanel&) const = default;
};

// Which of the panel's controls take input: a function of the panel alone.
struct PanelEnables {
    bool systemId = false;    // its label and edit
    bool channelMode = false; // the two channel radio buttons
    bool group = false;
    bool channel = false;
    bool route = false; // the destination and its label
    std::array<bool, kRelayCount> relays{};
    bool frame = false;      // the four spin edits and their labels
    bool deviceInfo = false; // its edit and both labels
    bool serial = false;     // the rate, the hidden box and its group
    bool serialDetail = false; // data bits, parity, stop bits, flow
    bool operator==(const PanelEnables&) const = default;
};
PanelEnables panelEnables(const SettingPanel& p);

// What a window that shows the panel implements.
class PanelView {
public:
    virtual ~PanelView() = default;
    virtual void showPanel(const SettingPanel& panel, const PanelEnables& enables) = 0;
};

} // namespace kd36
