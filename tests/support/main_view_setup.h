#pragma once
// The main window's lists and start state as its layout sets them, for
// driving the engine without widgets.
#include <string>
#include <vector>

#include "engine/link_logic.h"
#include "engine/main_engine.h"
#include "engine/packet_logic.h"
#include "engine/setting_panel.h"
#include "engine/sjis.h"
#include "tests/support/fake_view.h"

namespace kd36::test {

inline std::vector<std::string> numbers(int from, int to)
{
    std::vector<std::string> v;
    for (int i = from; i <= to; ++i)
        v.push_back(std::to_string(i));
    return v;
}

// The lists of the main window as its layout fills them (the setting
// panel's are the engine's own).
inline void setUpMainView(FakeView& v)
{
    v.setItems("cmbChannel", panelItems(PanelChoice::Channel), -1);
    v.setItems("cmbModulation", {sj("無変調"), sj("データパターン"), sj("PN9段")}, -1);
    v.setItems("cmbIntervalTx", numbers(1, 60), -1);
    v.pages["PageControlSetting"] = "tabBasicSetting";
}

// The two modeless dialogs as their windows wire them: show and hide
// events, the dialog timer and the lists of the packet dialog. Call before
// the engine's construction steps; Construct() of the packet dialog after.
inline void wireDialogViews(MainEngine& engine, FakeView& link, FakeView& packet)
{
    link.onTimer = [&engine](TimerId n) { engine.linkForm().onTimer(n); };
    link.onShow = [&engine] { engine.linkForm().FormShow(); };
    link.onHide = [&engine] { engine.linkForm().FormHide(); };
    link.setVisible("btnAbort", false);
    packet.onShow = [&engine] { engine.packetForm().FormShow(); };
    packet.onHide = [&engine] { engine.packetForm().FormHide(); };
    // Stations as the setting panel's destination list, relays as its relay lists.
    packet.setItems("cmbRoute0", panelItems(PanelChoice::RouteDest));
    packet.setItems("cmbRoute6", panelItems(PanelChoice::RouteDest));
    for (int n = 1; n <= 5; ++n)
        packet.setItems("cmbRoute" + std::to_string(n), relayItems());
    packet.setChecked("chkRoute", true);
    packet.setChecked("chkEnterKey", true);
    packet.setVisible("chkEnterKey", false);
}

} // namespace kd36::test
