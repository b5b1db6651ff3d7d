#pragma once
// The engine's timers on a virtual clock, for views without an event loop
// (the command-line tool, the test doubles): a timer comes due after its
// interval and again after each further one, until stopped.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <utility>
#include <string>

#include "../engine/view.h"

namespace kd36 {

class VirtualTimers {
public:
    // The timers this window has, with their intervals before a start sets one.
    explicit VirtualTimers(std::map<TimerId, int> intervals)
    {
        for (auto [id, ms] : intervals)
            t_[id].interval = ms;
    }

    void start(TimerId id, int ms, uint64_t nowMs)
    {
        T& t = get(id);
        t.active = true;
        t.interval = ms;
        t.dueMs = nowMs + uint64_t(std::max(1, ms));
    }
    void stop(TimerId id) { get(id).active = false; }
    bool active(TimerId id) const { return get(id).active; }
    int interval(TimerId id) const { return get(id).interval; }

    // When the next active timer comes due; UINT64_MAX when none runs.
    uint64_t nextDueMs() const
    {
        uint64_t due = UINT64_MAX;
        for (const auto& [k, t] : t_)
            if (t.active)
                due = std::min(due, t.dueMs);
        return due;
    }

    // Fires each due timer in time order through `fire`.
    void fireDue(uint64_t nowMs, const std::function<void(TimerId)>& fire)
    {
        for (;;) {
            T* next = nullptr;
            TimerId id{};
            for (auto& [k, t] : t_)
                if (t.active && t.dueMs <= nowMs && (!next || t.dueMs < next->dueMs)) {
                    next = &t;
                    id = k;
                }
            if (!next)
                return;
            next->dueMs += uint64_t(std::max(1, next->interval));
            if (fire)
                fire(id);
        }
    }

private:
    struct T {
        bool active = false;
        int interval = 0;
        uint64_t dueMs = 0;
    };
    T& get(TimerId id) { return const_cast<T&>(std::as_const(*this).get(id)); }
    const T& get(TimerId id) const
    {
        auto it = t_.find(id);
        if (it == t_.end())
            throw std::invalid_argument("the window has no such timer");
        return it->second;
    }

    std::map<TimerId, T> t_;
};

} // namespace kd36
