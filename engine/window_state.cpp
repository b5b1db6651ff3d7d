#include "window_state.h"

namespace kd36 {

WindowShown windowShown(const WindowState& s)
{
    // A function holds the line until it ends: it locks the others' buttons,
    // the commands that would talk over it and the mode switch. The settings
    // sequence leaves its own buttons usable (a second click is ignored).
    const bool air = s.airMonitor, link = s.answerBack, packet = s.packet, seq = s.sequence;
    WindowShown w;
    w.airButton = s.portOpen && !link && !packet && !seq;
    w.answerBackButton = s.portOpen && !air && !packet && !seq;
    w.packetButton = s.portOpen && !air && !link && !seq;
    w.write = w.read = s.portOpen && !air && !link && !packet;
    w.commandSend = s.portOpen && !air && !link && !packet && !seq;
    w.terminalSend = w.developButtons = s.portOpen;
    w.functionMenu = s.portOpen && s.commandMode;
    w.airMenu = !link && !packet;
    w.answerBackMenu = !air && !packet;
    w.packetMenu = !air && !link;
    w.modeButtons = !air && !link && !packet && !seq;
    w.portButtons = !air;
    w.airMark = air;
    w.answerBackMark = link;
    w.packetMark = packet;
    w.portMark = s.portOpen;
    w.commandMode = s.commandMode;
    w.developTab = s.developTab;
    w.extended = s.extended;
    w.crLfBox = s.crLfBox;
    w.intervalRunning = s.intervalRunning;
    return w;
}

} // namespace kd36
