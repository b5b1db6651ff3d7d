#pragma once
// The answer-back dialog's view: its buttons, station ticks and level bars
// drawn by the dialog from the logic's value, its log as a monitor.
#include "qt_view.h"

class TLinkForm;

namespace kd36 {

class LinkView : public QtView {
public:
    explicit LinkView(TLinkForm* form);
    void showLink(const LinkShown& s) override;
    void showRange(const RangeRun& run) override;
    void monitorLine(Monitor which, const std::string& sjisLine) override;
    void monitorText(Monitor which, const std::string& sjisText) override;

private:
    TLinkForm* form_;
};

} // namespace kd36
