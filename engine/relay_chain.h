#pragma once
// The rule both relay lists follow (the setting panel's route and the packet
// dialog's): a relay is offered only while every relay before it names a
// station, so a route never has a gap.
#include <array>
#include <cstddef>

namespace kd36 {

inline constexpr size_t kRelayCount = 5;

// Which of relays 1..5 are offered: relay 1 while the list is, each later
// one only while every relay before it names a station (`named`).
std::array<bool, kRelayCount> relayChain(bool listOn, const std::array<bool, kRelayCount>& named);

} // namespace kd36
