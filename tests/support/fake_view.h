#pragma once
// The tests' window: the headless view kd36ctl uses, plus the wiring the
// two modeless dialogs get from their windows.
#include "engine/main_engine.h"
#include "host/headless_view.h"

namespace kd36::test {

using FakeView = HeadlessView;

// A main-window control and the value that says whether it is usable.
struct Usable {
    const char* control;
    bool WindowShown::*on;
};

// Show and hide events and the dialog timer, as the dialogs' windows wire
// them. Call before the engine's construction steps.
inline void wireDialogViews(MainEngine& engine, FakeView& link, FakeView& packet)
{
    link.onTimer = [&engine](TimerId n) { engine.linkForm().onTimer(n); };
    link.onShow = [&engine] { engine.linkForm().FormShow(); };
    link.onHide = [&engine] { engine.linkForm().FormHide(); };
    packet.onShow = [&engine] { engine.packetForm().FormShow(); };
    packet.onHide = [&engine] { engine.packetForm().FormHide(); };
}

} // namespace kd36::test
