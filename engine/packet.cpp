// Main-window half of the packet exchange: the dialog toggle, the hand-off
// of a received "$RECE:" block and the modem's packet error.
#include "conversions.h"
#include "main_engine.h"
#include "packet_logic.h"

namespace kd36 {

void MainEngine::mnuPacketClick()
{
    if (FPacketShown != 0) {
        d.packet.hideForm();
        FPacketShown = 0;
        windowChanged();
        return;
    }
    // The device ID read from the modem presets the own station.
    FPacketForm->presetOwnStation(strToInt("0x" + FPanel.read(2)).value_or(-1));
    d.packet.showForm();
    FPacketShown = 1;
    windowChanged();
}

void MainEngine::ReceBlock(const std::string& payload)
{
    FPacketForm->ClearReceiveView();
    d.packet.repaintNow();
    // The blank view stays up a moment, so that a new packet is seen as new.
    if (FPacketShown != 0)
        d.clock.sleepMs(100);
    if (FPacketForm->ShowReceivedPacket(payload)) {
        FPacketShown = 0;
        mnuPacketClick();
    }
}

void MainEngine::Err2Reply()
{
    if (FPacketShown == 1)
        FPacketForm->ShowPacketError();
}

} // namespace kd36
