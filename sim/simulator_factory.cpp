#include "simulator_factory.h"

#include "simulated_modem.h"

namespace kd36 {

std::unique_ptr<Device> makeSimulatedModem(Clock& clock)
{
    // One modem per process: what the user wrote to it survives a reopen,
    // as on the real device.
    static const auto memory = std::make_shared<ModemMemory>();
    return std::make_unique<SimulatedModem>(clock, memory);
}

} // namespace kd36
