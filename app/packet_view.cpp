#include "packet_view.h"

#include <QPlainTextEdit>

#include "../dialogs/packet_form.h"

namespace kd36 {

bool PacketView::isDataMemo(std::string_view name)
{
    return name == "memUserData" || name == "memUserDataRx";
}

std::string PacketView::text(std::string_view name) const
{
    if (isDataMemo(name))
        if (auto* m = find<QPlainTextEdit>(name))
            return packetMemoToSjis(m->toPlainText());
    return QtView::text(name);
}

void PacketView::setText(std::string_view name, const std::string& sjis)
{
    if (isDataMemo(name))
        if (auto* m = find<QPlainTextEdit>(name)) {
            m->setPlainText(packetMemoFromSjis(sjis));
            return;
        }
    QtView::setText(name, sjis);
}

} // namespace kd36
