#include "simulator_factory.h"

#include <charconv>
#include <cmath>
#include <optional>

#include <strings.h>

#include "simulated_modem.h"

namespace kd36 {

namespace {

std::optional<int> stationOf(std::string_view key, std::string_view prefix)
{
    if (key.size() != prefix.size() + 1 || strncasecmp(key.data(), prefix.data(), prefix.size()) != 0)
        return std::nullopt;
    const char c = char(key.back() | 0x20);
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return std::nullopt;
}

std::string_view trimmed(std::string_view v)
{
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
        v.remove_suffix(1);
    return v;
}

// "LO-HI MS"
std::optional<SimulatorSetup::Drift> driftOf(int station, std::string_view v)
{
    v = trimmed(v);
    if (v.size() < 5 || v[1] != '-' || v[3] != ' ')
        return std::nullopt;
    const int lo = v[0] - '0';
    const int hi = v[2] - '0';
    if (lo < 0 || lo > 9 || hi < lo || hi > 9)
        return std::nullopt;
    const std::string_view ms = trimmed(v.substr(4));
    uint32_t step = 0;
    auto [end, ec] = std::from_chars(ms.data(), ms.data() + ms.size(), step);
    if (ec != std::errc() || end != ms.data() + ms.size() || step == 0 || step > 3'600'000)
        return std::nullopt;
    return SimulatorSetup::Drift{station, lo, hi, step};
}

std::optional<double> percentOf(std::string_view v)
{
    v = trimmed(v);
    if (!v.empty() && v.back() == '%')
        v = trimmed(v.substr(0, v.size() - 1));
    double p = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), p);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size() || !std::isfinite(p) || p < 0 || p > 100)
        return std::nullopt;
    return p / 100;
}

} // namespace

SimulatorSetup simulatorSetup(const std::vector<std::pair<std::string, std::string>>& entries,
                              std::vector<std::string>* ignored)
{
    SimulatorSetup setup;
    for (const auto& [key, value] : entries) {
        bool taken = false;
        if (auto n = stationOf(key, "Drift")) {
            if (auto d = driftOf(*n, value)) {
                setup.drifts.push_back(*d);
                taken = true;
            }
        } else if (auto n = stationOf(key, "Loss")) {
            if (auto p = percentOf(value)) {
                setup.losses.push_back({*n, *p});
                taken = true;
            }
        }
        if (!taken && ignored)
            ignored->push_back(key + "=" + value);
    }
    return setup;
}

std::unique_ptr<Device> makeSimulatedModem(Clock& clock, const SimulatorSetup& setup)
{
    // One modem per process: what the user wrote to it survives a reopen,
    // as on the real device.
    static const auto memory = std::make_shared<ModemMemory>();
    auto modem = std::make_unique<SimulatedModem>(clock, memory);
    for (const auto& d : setup.drifts) {
        modem->setStation(d.station, char('0' + d.lo));
        modem->setStationDrift(d.station, d.lo, d.hi, d.stepMs);
    }
    for (const auto& l : setup.losses)
        modem->setReplyLoss(l.station, l.share);
    return modem;
}

} // namespace kd36
