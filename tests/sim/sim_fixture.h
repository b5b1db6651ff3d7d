#pragma once
// A simulated modem on a virtual clock, read the way the receive thread
// reads a port: a little time passes, then everything waiting is taken.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/clock.h"
#include "sim/simulated_modem.h"

namespace kd36::test {

class SimFixture : public ::testing::Test {
protected:
    VirtualClock clock;
    SimulatedModem modem{clock};
    std::string rx;
    // Time (us since the fixture's last mark) at which each byte of rx arrived.
    std::vector<uint64_t> arrivedUs;
    uint64_t markUs = clock.nowUs();

    void commandMode() { ASSERT_TRUE(modem.setDtr(false)); }

    void drain()
    {
        uint8_t buf[512];
        int n;
        while ((n = modem.read(buf, sizeof buf)) > 0) {
            rx.append(reinterpret_cast<char*>(buf), size_t(n));
            arrivedUs.insert(arrivedUs.end(), size_t(n), clock.nowUs() - markUs);
        }
    }
    // Advances in steps, reading after each.
    void runUs(uint64_t us, uint64_t stepUs = 1000)
    {
        for (uint64_t done = 0; done < us; done += stepUs) {
            clock.advanceUs(stepUs);
            drain();
        }
    }
    void runMs(uint64_t ms) { runUs(ms * 1000); }
    void send(const std::string& s)
    {
        ASSERT_EQ(modem.write(reinterpret_cast<const uint8_t*>(s.data()), s.size()), int(s.size()));
    }
    // Clears what was received, sends, and collects the answer for a while.
    std::string ask(const std::string& s, uint64_t ms = 200)
    {
        rx.clear();
        arrivedUs.clear();
        markUs = clock.nowUs();
        send(s);
        runMs(ms);
        return rx;
    }
    static std::vector<std::string> splitLines(const std::string& text)
    {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
            lines.push_back(text.substr(start, p - start));
        return lines;
    }
};

} // namespace kd36::test
