#include "packet_view.h"

#include <QLabel>

#include "../dialogs/packet_form.h"

namespace kd36 {

PacketView::PacketView(TPacketForm* form) : QtView(form), form_(form) {}

void PacketView::showPacket(const PacketShown& s)
{
    form_->showPacket(s);
    setCaption(form_->counterLabel(), fromQt(TPacketForm::counterText(s.userData.size())));
}

} // namespace kd36
