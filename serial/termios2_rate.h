#pragma once
// Rates outside the Bnnn table, through termios2/BOTHER. Kept in its own
// translation unit: <asm/termbits.h> cannot share one with <termios.h>.
#include <cstdint>

namespace kd36::detail {

// True when this build can set arbitrary rates.
bool haveArbitraryRates();
// Sets both directions to `rate`; false with errno set on failure.
bool setArbitraryRate(int fd, uint32_t rate);
// The output rate the driver holds; 0 when it cannot be read.
uint32_t readActualRate(int fd);

} // namespace kd36::detail
