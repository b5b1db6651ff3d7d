#pragma once
// One box per incident: the first report of a port fault is a box, its
// repeats while the incident lasts become one counted line each for the
// monitor. An incident lasts until the same report has been quiet for
// kQuietMs. Once closing has begun no box is shown at all.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "clock.h"
#include "message_boxes.h"

namespace kd36 {

class IncidentBoxes final : public MessageBoxes {
public:
    static constexpr uint64_t kQuietMs = 30000;

    IncidentBoxes(MessageBoxes& inner, Clock& clock) : inner_(inner), clock_(clock) {}

    // Texts of port faults whose repeats are counted rather than shown.
    // Texts of one group are one incident: the first of any is the box.
    void watch(const std::string& text, const std::string& group = {});
    // Takes each counted repeat: the box text and how often it came in this
    // incident (2 and up); called on whichever thread reports.
    using Note = std::function<void(const std::string& text, unsigned count)>;
    void setNote(Note note);
    // From now on every box goes to standard error; a question is No.
    void beginClosing();
    bool closing() const;

    void warning(const std::string& text, const std::string& detail = {}, const std::string& title = {}) override;
    void information(const std::string& text, const std::string& detail = {}) override;
    bool question(const std::string& text, bool warningIcon) override;
    void beep() override;
    void report(const std::string& text, const std::string& detail = {}) override { inner_.report(text, detail); }

    // "<text> (<n>回目)" from the second time on: the line a repeat leaves.
    static std::string repeatLine(const std::string& text, unsigned count);

private:
    // True when the box is to be shown; else the repeat was noted.
    bool admit(const std::string& text, const std::string& detail);

    MessageBoxes& inner_;
    Clock& clock_;
    mutable std::mutex mu_;
    std::map<std::string, std::string> watched_; // text -> group
    struct Incident {
        bool active = false;
        uint64_t lastMs = 0;
        std::map<std::string, unsigned> counts; // per text
    };
    std::map<std::string, Incident> incidents_;
    Note note_;
    bool closing_ = false;
};

} // namespace kd36
