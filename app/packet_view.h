#pragma once
// The packet dialog's view: the dialog draws the logic's value through its
// own widgets; the counter's caption goes through the view, which keeps the
// label's spoken name equal to it.
#include "qt_view.h"

class TPacketForm;

namespace kd36 {

class PacketView : public QtView {
public:
    explicit PacketView(TPacketForm* form);
    void showPacket(const PacketShown& s) override;

private:
    TPacketForm* form_;
};

} // namespace kd36
