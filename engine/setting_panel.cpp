#include "setting_panel.h"

namespace kd36 {
namespace {

ItemList numbers(int from, int to)
{
    ItemList v;
    for (int i = from; i <= to; ++i)
        v.push_back(std::to_string(i));
    return v;
}

ItemList hexDigits(bool withDash)
{
    ItemList v;
    if (withDash)
        v.push_back("-");
    for (const char* c : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F"})
        v.push_back(c);
    return v;
}

std::string itemText(const ItemList& items, int index)
{
    return index >= 0 && size_t(index) < items.size() ? items[size_t(index)] : std::string();
}

} // namespace

const ItemList& panelItems(PanelChoice c)
{
    static const std::array<ItemList, kPanelChoices> lists{
        numbers(0, 7),                               // Group
        numbers(7, 46),                              // Channel
        hexDigits(false),                            // RouteDest
        ItemList{"4800", "9600", "19200", "38400"}, // Rate
        ItemList{"None", "Odd", "Even"},             // Parity
        ItemList{"1", "2"},                          // StopBits
        ItemList{"None", "H/w"},                     // Flow
        ItemList{"7", "8"},                          // DataBits
    };
    return lists[size_t(c)];
}

const ItemList& relayItems()
{
    static const ItemList items = hexDigits(true);
    return items;
}

const FrameRange& frameRange(PanelFrame f)
{
    static const FrameRange ranges[kPanelFrames] = {{1, 256, 128}, {50, 500, 100}, {3, 100, 10}, {0, 9, 3}};
    return ranges[size_t(f)];
}

std::string SettingPanel::choiceText(PanelChoice c) const
{
    return itemText(panelItems(c), choice(c));
}

std::string SettingPanel::relayText(int n) const
{
    return n >= 1 && n <= int(kRelayCount) ? itemText(relayItems(), relays[size_t(n - 1)]) : std::string();
}

PanelEnables panelEnables(const SettingPanel& p)
{
    PanelEnables e;
    e.systemId = p.tick(PanelTick::SystemId);
    e.channelMode = p.tick(PanelTick::Channel);
    e.group = e.channelMode && p.channelAuto;
    e.channel = e.channelMode && !p.channelAuto;
    e.route = p.tick(PanelTick::Route);
    std::array<bool, kRelayCount> named{};
    for (size_t n = 0; n < kRelayCount; ++n)
        named[n] = p.relayText(int(n + 1)) != "-";
    e.relays = relayChain(e.route, named);
    e.frame = p.tick(PanelTick::Frame);
    e.deviceInfo = p.tick(PanelTick::DeviceInfo);
    e.serial = p.tick(PanelTick::Serial);
    // The hidden data-bits box cannot be reached on its own: nothing of the
    // line's attributes is written while the rate's box is clear.
    e.serialDetail = e.serial;
    return e;
}

} // namespace kd36
