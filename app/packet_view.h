#pragma once
// The packet dialog's view: the two user-data memos carry their text
// exactly, line breaks as CR LF and no line end added, since the packet
// length counts every byte of it.
#include "qt_view.h"

namespace kd36 {

class PacketView : public QtView {
public:
    using QtView::QtView;
    std::string text(std::string_view name) const override;
    void setText(std::string_view name, const std::string& sjis) override;

private:
    static bool isDataMemo(std::string_view name);
};

} // namespace kd36
