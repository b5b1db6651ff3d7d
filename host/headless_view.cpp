#include "headless_view.h"

#include <map>

namespace kd36 {

namespace {

std::map<TimerId, int> timersOf(WindowKind w)
{
    if (w == WindowKind::Main)
        return {{TimerId::RxWait, 1400}, {TimerId::IntervalTx, 10000}};
    if (w == WindowKind::Link)
        return {{TimerId::WaitTime, 10000}, {TimerId::RangeTick, 1000}};
    return {};
}

} // namespace

HeadlessView::HeadlessView(WindowKind w) : timers(timersOf(w)) {}

std::vector<std::string> HeadlessView::memoLines(Monitor m) const
{
    std::vector<std::string> out;
    const std::string& t = memoText(m);
    size_t pos = 0;
    while (pos < t.size()) {
        size_t e = t.find("\r\n", pos);
        if (e == std::string::npos) {
            out.push_back(t.substr(pos));
            break;
        }
        out.push_back(t.substr(pos, e - pos));
        pos = e + 2;
    }
    return out;
}

void HeadlessView::showForm()
{
    const bool was = shown;
    shown = true;
    if (!was && onShow)
        onShow();
}

void HeadlessView::hideForm()
{
    const bool was = shown;
    shown = false;
    if (was && onHide)
        onHide();
}

} // namespace kd36
