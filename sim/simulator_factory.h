#pragma once
// The simulated modem behind COM1, built where no Qt header is seen (the
// modem's header uses names that Qt defines as macros).
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../serial/clock.h"
#include "../serial/device.h"

namespace kd36 {

// Remote stations that move, so a range test can be tried without hardware:
// the settings file's [Simulator] section.
//   DriftN=LO-HI MS  station N (0-9, A-F) answers a level wandering between
//                    LO and HI (0-9), one step every MS ms; N is made present
//   LossN=P          P % (0-100) of station N's polls go unanswered
struct SimulatorSetup {
    struct Drift {
        int station = 0;
        int lo = 0;
        int hi = 0;
        uint32_t stepMs = 0;
    };
    struct Loss {
        int station = 0;
        double share = 0; // 0..1
    };
    std::vector<Drift> drifts;
    std::vector<Loss> losses;
};

// The section's entries (key, value) as a setup; an entry it cannot take is
// left out and named in *ignored as "key=value".
SimulatorSetup simulatorSetup(const std::vector<std::pair<std::string, std::string>>& entries,
                              std::vector<std::string>* ignored = nullptr);

std::unique_ptr<Device> makeSimulatedModem(Clock& clock, const SimulatorSetup& setup = {});

} // namespace kd36
