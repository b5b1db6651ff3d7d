// Main-window half of the packet exchange: the dialog toggle, the hand-off
// of a received "$RECE:" block and the modem's packet error.
#include "conversions.h"
#include "main_engine.h"
#include "packet_logic.h"

namespace kd36 {

void MainEngine::mnuPacketClick()
{
    if (FPacketForm->formShown()) {
        d.packet.hideForm();
        packetFormShown(false);
        return;
    }
    // The device ID read from the modem presets the own station.
    FPacketForm->presetOwnStation(strToInt("0x" + FPanel.read(2)).value_or(-1));
    d.packet.showForm();
    packetFormShown(true);
}

void MainEngine::ReceBlock(const std::string& payload)
{
    FPacketForm->ClearReceiveView();
    d.packet.repaintNow();
    // The blank view stays up a moment, so that a new packet is seen as new.
    if (FPacketForm->formShown())
        d.clock.sleepMs(100);
    if (FPacketForm->ShowReceivedPacket(payload)) {
        FPacketForm->setFormShown(false); // shown again, in front
        mnuPacketClick();
    }
}

void MainEngine::Err2Reply()
{
    if (FPacketForm->formShown())
        FPacketForm->ShowPacketError();
}

} // namespace kd36
