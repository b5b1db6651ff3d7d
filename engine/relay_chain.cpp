#include "relay_chain.h"

namespace kd36 {

std::array<bool, kRelayCount> relayChain(bool listOn, const std::array<bool, kRelayCount>& named)
{
    std::array<bool, kRelayCount> on{};
    bool open = listOn;
    for (size_t n = 0; n < kRelayCount; ++n) {
        on[n] = open;
        open = open && named[n];
    }
    return on;
}

} // namespace kd36
