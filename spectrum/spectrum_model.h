#pragma once
// What the display window shows, kept apart from the drawing so the peak
// rules can be checked without a window.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace kd36::spectrum {

inline constexpr int kChannels = 40;
inline constexpr int kFirstChannel = 7;
inline constexpr int kFullScaleMv = 3300;

struct ControlValues {
    int peakDecayMvPerSecond = 800; // how fast a peak falls once its hold is over
    int refreshMs = 100;            // repaint interval of the window
    int peakHoldSweeps = 30;        // sweeps a new peak stays put before it falls
};

// One sweep as received, for the CSV export.
struct RecordedSweep {
    int64_t unixMs = 0;
    std::array<int32_t, kChannels> mv{};
};

class SpectrumModel {
public:
    // Values outside 0..3300 are limited, so a bad reading cannot draw
    // outside the plot; a null or short array updates what it holds.
    void update(const int32_t* values, int count);
    // Lets peaks whose hold is over fall by the decay rate.
    void advance(int elapsedMs);
    void clearPeaks();
    void setPeakHold(bool on);
    void setControl(const ControlValues& c);
    void resetSweeps() { sweeps_ = 0; }
    // Every sweep since the last Start is kept for the export, the values
    // as received; beyond kMaxRecorded the oldest give way.
    void record(int64_t unixMs, const int32_t* values, int count);
    void clearRecord() { recorded_.clear(); }
    const std::deque<RecordedSweep>& recorded() const { return recorded_; }
    static constexpr size_t kMaxRecorded = 100000; // some 14 hours at two sweeps a second

    const std::array<int, kChannels>& values() const { return values_; }
    int peak(int index) const { return static_cast<int>(peaks_[index]); }
    bool peakHold() const { return peakHold_; }
    int sweeps() const { return sweeps_; }
    const ControlValues& control() const { return control_; }
    // Index of the strongest channel now, -1 before the first update.
    int strongest() const;

private:
    std::array<int, kChannels> values_{};
    std::array<double, kChannels> peaks_{};
    std::array<int, kChannels> holdLeft_{};
    ControlValues control_;
    std::deque<RecordedSweep> recorded_;
    bool peakHold_ = true;
    bool hasData_ = false;
    int sweeps_ = 0;
};

} // namespace kd36::spectrum
