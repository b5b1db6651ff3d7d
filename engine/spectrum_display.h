#pragma once
// The spectrum display library while the air monitor holds it: the library,
// its six entry points and the sweep handed to it.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "../spectrum/analyze32.h"
#include "display_library.h"

namespace kd36 {

class SpectrumDisplay {
public:
    static constexpr size_t kChannels = 40; // channels 7..46

    enum class Load { Shown, NoLibrary, Unresolved };

    SpectrumDisplay();
    ~SpectrumDisplay(); // unloads quietly
    SpectrumDisplay(const SpectrumDisplay&) = delete;
    SpectrumDisplay& operator=(const SpectrumDisplay&) = delete;

    // Loads the library, gives it the titles and the peak settings and shows
    // its window. NoLibrary: nothing held, `why` says why. Unresolved: the
    // library stays loaded without entry points, for unload() to let go.
    Load load(DisplayLibraryLoader* loader, std::string& why);
    bool loaded() const { return lib_ != nullptr; }
    void show();
    void hide();
    // The display's state with Running as 0 or 1; all zero when none is loaded.
    DisplayStatus status() const;
    // One sweep in millivolts, channel 7 first.
    void update(const std::array<int32_t, kChannels>& mv);
    // False, with `why`, when the library would not unload; nothing is held after.
    bool unload(std::string& why);
    // A new start: drops what is held without unloading, and the last sweep.
    void forget();

private:
    void clearEntries();

    std::unique_ptr<DisplayLibrary> lib_;
    DLLShowFn show_ = nullptr;
    DLLHideFn hide_ = nullptr;
    DLLStatusFn status_ = nullptr;
    DLLUpdateFn update_ = nullptr;
    std::array<int32_t, kChannels> sweep_{};
    DisplayData frame_{};
};

} // namespace kd36
