#include "termios2_rate.h"

#include <cerrno>

#if defined(KD36_HAVE_BOTHER)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace kd36::detail {

#if defined(KD36_HAVE_BOTHER)

bool haveArbitraryRates() { return true; }

bool setArbitraryRate(int fd, uint32_t rate)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    // Input rate field zero: the input follows the output rate.
    t.c_cflag &= ~tcflag_t(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER;
    t.c_ospeed = rate;
    t.c_ispeed = rate;
    return ioctl(fd, TCSETS2, &t) == 0;
}

uint32_t readActualRate(int fd)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return t.c_ospeed;
}

#else

bool haveArbitraryRates() { return false; }

bool setArbitraryRate(int, uint32_t)
{
    errno = EINVAL;
    return false;
}

uint32_t readActualRate(int) { return 0; }

#endif

} // namespace kd36::detail
