#pragma once
// The rule both relay lists follow (the setting panel's route and the packet
// dialog's): a relay is offered only while every relay before it names a
// station, so a route never has a gap.
#include <string>

namespace kd36 {

class View;

// Relay `k` (1..4) of the list changed: the relays after it up to the first
// "-" are enabled, the rest disabled. Relay n is the combo `combo + n` with
// its label `label + n`; relays run 1..5.
void relayChainChanged(View& v, const std::string& combo, const std::string& label, int k);

} // namespace kd36
