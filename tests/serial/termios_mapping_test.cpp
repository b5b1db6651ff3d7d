// Line settings → termios, and the driver counters → CE_* flags.
#include <gtest/gtest.h>

#include <cstring>

#include "serial/termios_device.h"

using namespace kd36;

namespace {

termios dirtyTermios()
{
    // Start from a block full of set bits, as a device left by another program may be.
    termios t;
    std::memset(&t, 0xFF, sizeof t);
    return t;
}

termios build(const PortSettings& s)
{
    termios t = dirtyTermios();
    EXPECT_TRUE(buildTermios(s, t));
    return t;
}

} // namespace

TEST(TermiosMapping, FlowControl)
{
    struct Case {
        int8_t flow;
        bool xonxoff;
        bool rtscts;
    } cases[] = {{0, false, false}, {1, true, false}, {2, false, true}, {3, false, false}, {-1, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.flow));
        PortSettings s;
        s.FlowCtrl = c.flow;
        termios t = build(s);
        EXPECT_EQ((t.c_iflag & IXON) != 0, c.xonxoff);
        EXPECT_EQ((t.c_iflag & IXOFF) != 0, c.xonxoff);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.rtscts);
        EXPECT_EQ(t.c_cc[VSTART], c.xonxoff ? 0x11 : 0);
        EXPECT_EQ(t.c_cc[VSTOP], c.xonxoff ? 0x13 : 0);
        EXPECT_EQ(decodeTermios(t, 9600, s).FlowCtrl, c.xonxoff ? 1 : c.rtscts ? 2 : 0);
    }
}

TEST(TermiosMapping, Parity)
{
    struct Case {
        uint8_t parity;
        tcflag_t bits; // of PARENB | PARODD | CMSPAR
    } cases[] = {{0, 0}, {1, PARENB | PARODD}, {2, PARENB}, {3, PARENB | PARODD | CMSPAR}, {4, PARENB | CMSPAR}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.parity));
        PortSettings s;
        s.Parity = c.parity;
        termios t = build(s);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.bits);
        // Bytes with bad parity arrive as received.
        EXPECT_EQ(t.c_iflag & (INPCK | PARMRK | IGNPAR), 0u);
        EXPECT_EQ(decodeTermios(t, 9600, s).Parity, c.parity);
    }
    PortSettings bad;
    bad.Parity = 5;
    termios t = dirtyTermios();
    EXPECT_FALSE(buildTermios(bad, t));
}

TEST(TermiosMapping, StopBits)
{
    for (uint8_t stop : {0, 1, 2}) {
        SCOPED_TRACE(int(stop));
        PortSettings s;
        s.StopBits = stop;
        termios t = build(s);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, stop != 0);
        EXPECT_EQ(decodeTermios(t, 9600, s).StopBits, stop);
    }
}

TEST(TermiosMapping, ByteSize)
{
    struct Case {
        uint8_t size;
        bool accepted;
        tcflag_t cs;
    } cases[] = {{4, false, 0}, {5, true, CS5}, {6, true, CS6}, {7, true, CS7}, {8, true, CS8}, {9, false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.size));
        PortSettings s;
        s.ByteSize = c.size;
        termios t = dirtyTermios();
        ASSERT_EQ(buildTermios(s, t), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(t.c_cflag & CSIZE, c.cs);
            EXPECT_EQ(decodeTermios(t, 9600, s).ByteSize, c.size);
        }
    }
}

TEST(TermiosMapping, RawModeAndRates)
{
    PortSettings s;
    s.BaudRate = 38400;
    termios t = build(s);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetospeed(&t), B38400);
    EXPECT_EQ(cfgetispeed(&t), B38400);

    EXPECT_EQ(standardSpeed(9600), B9600);
    EXPECT_EQ(standardSpeed(115200), B115200);
    EXPECT_FALSE(standardSpeed(31250).has_value());
    s.BaudRate = 0;
    t = dirtyTermios();
    EXPECT_FALSE(buildTermios(s, t));
}

TEST(TermiosMapping, ErrorCountersBecomeFlags)
{
    LineErrorCounts a{1, 2, 3, 4, 5};
    EXPECT_EQ(errorFlagsBetween(a, a), 0u);
    struct Case {
        LineErrorCounts after;
        uint32_t flags;
    } cases[] = {
        {{2, 2, 3, 4, 5}, CE_FRAME},
        {{1, 3, 3, 4, 5}, CE_RXPARITY},
        {{1, 2, 4, 4, 5}, CE_OVERRUN},
        {{1, 2, 3, 5, 5}, CE_BREAK},
        {{1, 2, 3, 4, 6}, CE_RXOVER},
        {{9, 9, 3, 4, 5}, CE_FRAME | CE_RXPARITY},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorFlagsBetween(a, c.after), c.flags);
}

TEST(TermiosMapping, VanishedErrors)
{
    EXPECT_TRUE(isVanishedError(EIO));
    EXPECT_TRUE(isVanishedError(ENXIO));
    EXPECT_TRUE(isVanishedError(ENODEV));
    EXPECT_FALSE(isVanishedError(EAGAIN));
    EXPECT_FALSE(isVanishedError(EBUSY));
}
