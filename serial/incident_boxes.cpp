#include "incident_boxes.h"

#include <cerrno>
#include <cstdio>

namespace kd36 {

void IncidentBoxes::watch(const std::string& text, const std::string& group)
{
    std::lock_guard g(mu_);
    watched_[text] = group.empty() ? text : group;
}

void IncidentBoxes::setNote(Note note)
{
    std::lock_guard g(mu_);
    note_ = std::move(note);
}

void IncidentBoxes::beginClosing()
{
    std::lock_guard g(mu_);
    closing_ = true;
}

bool IncidentBoxes::closing() const
{
    std::lock_guard g(mu_);
    return closing_;
}

std::string IncidentBoxes::repeatLine(const std::string& text, unsigned count)
{
    return count < 2 ? text : text + " (" + std::to_string(count) + "回目)";
}

bool IncidentBoxes::admit(const std::string& text, const std::string& detail)
{
    Note note;
    unsigned count = 0;
    {
        std::unique_lock g(mu_);
        if (closing_) {
            g.unlock();
            // Nobody may answer a box now: it would hold the exit.
            inner_.report(text, detail);
            return false;
        }
        auto w = watched_.find(text);
        if (w == watched_.end())
            return true;
        const uint64_t now = clock_.nowMs();
        Incident& inc = incidents_[w->second];
        const bool ongoing = inc.active && now - inc.lastMs < kQuietMs;
        if (!ongoing)
            inc.counts.clear();
        inc.active = true;
        inc.lastMs = now;
        count = ++inc.counts[text];
        if (!ongoing)
            return true;
        note = note_;
    }
    if (note)
        note(text, count);
    return false;
}

void IncidentBoxes::warning(const std::string& text, const std::string& detail, const std::string& title)
{
    if (admit(text, detail))
        inner_.warning(text, detail, title);
}

void IncidentBoxes::information(const std::string& text, const std::string& detail)
{
    if (admit(text, detail))
        inner_.information(text, detail);
}

bool IncidentBoxes::question(const std::string& text, bool warningIcon)
{
    if (closing()) {
        inner_.report(text + " -> No");
        return false;
    }
    return inner_.question(text, warningIcon);
}

void IncidentBoxes::beep()
{
    if (!closing())
        inner_.beep();
}

} // namespace kd36
