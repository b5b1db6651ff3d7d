#pragma once
// The simulated modem behind COM1, built where no Qt header is seen (the
// modem's header uses names that Qt defines as macros).
#include <memory>

#include "../serial/clock.h"
#include "../serial/device.h"

namespace kd36 {

std::unique_ptr<Device> makeSimulatedModem(Clock& clock);

} // namespace kd36
