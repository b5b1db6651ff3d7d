#pragma once
// A port that records what is written and reports the lines it is told.
#include <optional>
#include <string>
#include <vector>

#include "../../serial/comm_port.h"

namespace kd36::test {

class FakePort : public CommPort {
public:
    int WritePort(const char* bytes, uint32_t length) override
    {
        if (!open || failWrites || length > 2048)
            return -1;
        written.append(bytes, length);
        writes.emplace_back(bytes, length);
        return int(length);
    }
    bool EscapeLine(int code) override
    {
        if (!open || failEscape)
            return false;
        dtr = code == SETDTR;
        escapes.push_back(code);
        return true;
    }
    bool GetModemStatus(uint32_t& bits) override
    {
        if (!open)
            return false;
        bits = status;
        return true;
    }
    bool OpenPort(int n, const PortSettings& s) override
    {
        lastPort = n;
        lastSettings = s;
        if (!openSucceeds)
            return false;
        open = true;
        dtr = true;
        return true;
    }
    bool ClosePort() override
    {
        open = false;
        ++closes;
        return true;
    }
    PortSettings actualSettings() const override { return actual.value_or(lastSettings); }
    int EnumeratePorts(PortPresentFlags& flags) override
    {
        int count = 0;
        for (int n : present) {
            ++count;
            if (n >= 1 && n <= kMaxPorts)
                flags[size_t(n - 1)] = 1;
        }
        return count;
    }
    void setHexDisplay(bool on) override { hex = on; }
    bool hexDisplay() const override { return hex; }

    bool open = false;
    bool openSucceeds = true;
    bool failWrites = false;
    bool failEscape = false;
    bool dtr = false;
    bool hex = false;
    uint32_t status = 0x30; // CTS and DSR on
    int lastPort = 0;
    int closes = 0;
    PortSettings lastSettings;
    std::optional<PortSettings> actual; // what the device took; unset: as asked
    std::vector<int> present{1};
    std::string written;
    std::vector<std::string> writes;
    std::vector<int> escapes;
};

} // namespace kd36::test
