// Test double of libanalyze32.so; see fake_analyze32.h.
#include "fake_analyze32.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct FakeState {
    std::mutex mutex;
    DisplayStatus status{};
    std::vector<std::string> calls;
    std::map<std::string, int> counts;
    std::array<std::optional<std::string>, 4> titles;
    std::optional<DisplayControl> control;
    std::vector<int32_t> data;
    bool haveData = false;
    const void* dataAddress = nullptr;
};

FakeState& state()
{
    static FakeState s;
    return s;
}

void record(FakeState& s, const char* name, bool inOrder = true)
{
    ++s.counts[name];
    if (inOrder)
        s.calls.emplace_back(name);
}

} // namespace

FAKE_EXPORT void DLLShow(void)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    record(s, "DLLShow");
    s.status.Shown = 1;
}

FAKE_EXPORT void DLLHide(void)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    record(s, "DLLHide");
    s.status.Shown = 0;
}

FAKE_EXPORT void DLLTitle(const DisplayTitle* t)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    record(s, "DLLTitle");
    s.titles = {};
    if (!t)
        return;
    const char* texts[4] = {t->ValueAxis, t->ChannelAxis, t->Reserved, t->Window};
    for (int i = 0; i < 4; ++i)
        if (texts[i])
            s.titles[i] = texts[i];
}

#ifndef FAKE_ANALYZE32_WITHOUT_CONTROL
FAKE_EXPORT void DLLControl(const DisplayControl* c)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    record(s, "DLLControl");
    if (c)
        s.control = *c;
}
#endif

FAKE_EXPORT void DLLStatus(DisplayStatus* out)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    record(s, "DLLStatus", false);
    if (out)
        *out = s.status;
}

FAKE_EXPORT void DLLUpdate(const DisplayData* d)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    record(s, "DLLUpdate");
    if (!d)
        return;
    s.haveData = true;
    s.dataAddress = d->Values;
    s.data.assign(d->Values, d->Values ? d->Values + std::max(0, d->Count) : d->Values);
}

FAKE_EXPORT void FakeReset(void)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    s.status = {};
    s.calls.clear();
    s.counts.clear();
    s.titles = {};
    s.control.reset();
    s.data.clear();
    s.haveData = false;
    s.dataAddress = nullptr;
}

FAKE_EXPORT void FakeSetStatus(int32_t running, int32_t shown)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    s.status.Running = running;
    s.status.Shown = shown;
}

FAKE_EXPORT int32_t FakeCalls(char* buf, int32_t size)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    std::string all;
    for (const auto& c : s.calls)
        all += (all.empty() ? "" : ",") + c;
    if (buf && size > 0) {
        const size_t n = std::min(all.size(), static_cast<size_t>(size - 1));
        std::memcpy(buf, all.data(), n);
        buf[n] = '\0';
    }
    return static_cast<int32_t>(all.size());
}

FAKE_EXPORT int32_t FakeCallCount(const char* name)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    auto it = name ? s.counts.find(name) : s.counts.end();
    return it == s.counts.end() ? 0 : it->second;
}

FAKE_EXPORT const char* FakeTitle(int32_t index)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    if (index < 0 || index > 3 || !s.titles[index])
        return nullptr;
    return s.titles[index]->c_str();
}

FAKE_EXPORT int32_t FakeLastControl(DisplayControl* out)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.control)
        return 0;
    if (out)
        *out = *s.control;
    return 1;
}

FAKE_EXPORT int32_t FakeLastData(int32_t* out, int32_t max)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.haveData)
        return -1;
    if (out && max > 0)
        std::copy_n(s.data.begin(), std::min<size_t>(s.data.size(), static_cast<size_t>(max)), out);
    return static_cast<int32_t>(s.data.size());
}

FAKE_EXPORT const void* FakeLastDataAddress(void)
{
    FakeState& s = state();
    std::lock_guard lock(s.mutex);
    return s.dataAddress;
}
