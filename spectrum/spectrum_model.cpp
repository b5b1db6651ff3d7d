#include "spectrum_model.h"

#include <algorithm>

namespace kd36::spectrum {

void SpectrumModel::update(const int32_t* values, int count)
{
    if (!values || count <= 0)
        return;
    const int n = std::min(count, kChannels);
    for (int i = 0; i < n; ++i) {
        const int v = std::clamp<int32_t>(values[i], 0, kFullScaleMv);
        values_[i] = v;
        if (v >= peaks_[i]) {
            peaks_[i] = v;
            // Counts the sweeps after this one, hence the one extra.
            holdLeft_[i] = control_.peakHoldSweeps + 1;
        } else if (holdLeft_[i] > 0) {
            --holdLeft_[i];
        }
    }
    ++sweeps_;
    hasData_ = true;
}

void SpectrumModel::advance(int elapsedMs)
{
    if (elapsedMs <= 0)
        return;
    const double fall = control_.peakDecayMvPerSecond * elapsedMs / 1000.0;
    for (int i = 0; i < kChannels; ++i) {
        if (holdLeft_[i] > 0)
            continue;
        peaks_[i] = std::max<double>(values_[i], peaks_[i] - fall);
    }
}

void SpectrumModel::clearPeaks()
{
    for (int i = 0; i < kChannels; ++i) {
        peaks_[i] = values_[i];
        holdLeft_[i] = control_.peakHoldSweeps + 1;
    }
}

void SpectrumModel::setPeakHold(bool on)
{
    if (on && !peakHold_)
        clearPeaks();
    peakHold_ = on;
}

void SpectrumModel::setControl(const ControlValues& c)
{
    // Limits keep a foolish record from freezing or flooding the window.
    control_.peakDecayMvPerSecond = std::clamp(c.peakDecayMvPerSecond, 0, 100000);
    control_.refreshMs = std::clamp(c.refreshMs, 20, 2000);
    control_.peakHoldSweeps = std::clamp(c.peakHoldSweeps, 0, 100000);
    for (int& h : holdLeft_)
        h = std::min(h, control_.peakHoldSweeps + 1);
}

void SpectrumModel::record(int64_t unixMs, const int32_t* values, int count)
{
    if (!values || count <= 0)
        return;
    RecordedSweep r;
    r.unixMs = unixMs;
    for (int i = 0; i < std::min(count, kChannels); ++i)
        r.mv[size_t(i)] = values[i];
    if (recorded_.size() >= kMaxRecorded)
        recorded_.pop_front();
    recorded_.push_back(r);
}

int SpectrumModel::strongest() const
{
    if (!hasData_)
        return -1;
    return static_cast<int>(std::max_element(values_.begin(), values_.end()) - values_.begin());
}

} // namespace kd36::spectrum
