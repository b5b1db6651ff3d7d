#include "relay_chain.h"

#include "view.h"

namespace kd36 {

void relayChainChanged(View& v, const std::string& combo, const std::string& label, int k)
{
    constexpr int kLast = 5;
    if (k < 1 || k > kLast - 1)
        return;
    auto setRelay = [&](int n, bool on) {
        v.setEnabled(combo + std::to_string(n), on);
        v.setEnabled(label + std::to_string(n), on);
    };
    auto empty = [&](int n) { return v.text(combo + std::to_string(n)) == "-"; };
    // Enabled up to and including the first "-" after k; nothing after it.
    bool on = !empty(k);
    for (int n = k + 1; n <= kLast; ++n) {
        setRelay(n, on);
        if (on && empty(n))
            on = false;
    }
}

} // namespace kd36
