#include "link_view.h"

#include "../dialogs/link_form.h"

namespace kd36 {

LinkView::LinkView(TLinkForm* form) : QtView(form), form_(form) {}

void LinkView::showLink(const LinkShown& s)
{
    form_->showLink(s);
}

void LinkView::showRange(const RangeRun& run)
{
    form_->showRange(run);
}

void LinkView::monitorLine(Monitor which, const std::string& sjisLine)
{
    if (which == Monitor::AnswerBackLog)
        appendLine(form_->logMemo(), sjisLine);
}

void LinkView::monitorText(Monitor which, const std::string& sjisText)
{
    if (which == Monitor::AnswerBackLog)
        replaceText(form_->logMemo(), sjisText);
}

} // namespace kd36
