#pragma once
// A scripted Device and an opener that hands it out, for the port tests.
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/device.h"

namespace kd36::test {

// What the device does and what was done to it; outlives the device.
struct FakeLine {
    std::mutex m;
    std::deque<std::string> reads; // each read returns the next entry
    int readError = 0;             // nonzero: reads fail with it
    std::string written;
    std::deque<size_t> writeLimits; // bytes accepted per write call; empty: all
    int writeError = 0;
    int outQueue = 0;
    uint32_t errors = 0;
    uint32_t status = 0x30;
    int statusError = 0;
    bool configureOk = true;
    PortSettings configured;
    uint32_t takenRate = 0; // nonzero: the rate the driver reports taking
    bool dtr = true;
    int readCalls = 0, writeCalls = 0, purges = 0, closes = 0, configures = 0, errorTakes = 0;
    // Set: the device wakes the loop when bytes or lines change (arrive,
    // setStatus); otherwise the loop polls it.
    bool eventDriven = false;
    EventFd event;

    void arrive(std::string bytes)
    {
        {
            std::lock_guard g(m);
            reads.push_back(std::move(bytes));
        }
        event.signal();
    }
    void setStatus(uint32_t bits)
    {
        {
            std::lock_guard g(m);
            status = bits;
        }
        event.signal();
    }
};

class FakeDevice final : public Device {
public:
    explicit FakeDevice(std::shared_ptr<FakeLine> line) : l_(std::move(line)) {}
    bool configure(const PortSettings& s) override
    {
        std::lock_guard g(l_->m);
        ++l_->configures;
        if (!l_->configureOk) {
            err_ = EINVAL;
            return false;
        }
        l_->configured = s;
        return true;
    }
    PortSettings actualSettings() const override
    {
        std::lock_guard g(l_->m);
        PortSettings a = l_->configured;
        if (l_->takenRate)
            a.BaudRate = l_->takenRate;
        return a;
    }
    int read(uint8_t* buf, size_t max) override
    {
        std::lock_guard g(l_->m);
        ++l_->readCalls;
        if (l_->readError) {
            err_ = l_->readError;
            return -1;
        }
        if (l_->reads.empty())
            return 0;
        std::string& next = l_->reads.front();
        size_t n = std::min(max, next.size());
        std::memcpy(buf, next.data(), n);
        next.erase(0, n);
        if (next.empty())
            l_->reads.pop_front();
        return int(n);
    }
    int write(const uint8_t* data, size_t len) override
    {
        std::lock_guard g(l_->m);
        ++l_->writeCalls;
        if (l_->writeError) {
            err_ = l_->writeError;
            return -1;
        }
        size_t n = len;
        if (!l_->writeLimits.empty()) {
            n = std::min(len, l_->writeLimits.front());
            l_->writeLimits.pop_front();
        }
        l_->written.append(reinterpret_cast<const char*>(data), n);
        return int(n);
    }
    bool setDtr(bool on) override
    {
        std::lock_guard g(l_->m);
        l_->dtr = on;
        return true;
    }
    bool modemStatus(uint32_t& bits) override
    {
        std::lock_guard g(l_->m);
        if (l_->statusError) {
            err_ = l_->statusError;
            return false;
        }
        bits = l_->status;
        return true;
    }
    uint32_t takeErrors() override
    {
        std::lock_guard g(l_->m);
        ++l_->errorTakes;
        uint32_t e = l_->errors;
        l_->errors = 0;
        return e;
    }
    int inQueue() override
    {
        std::lock_guard g(l_->m);
        return l_->reads.empty() ? 0 : int(l_->reads.front().size());
    }
    int outQueue() override
    {
        std::lock_guard g(l_->m);
        return l_->outQueue;
    }
    void purge() override
    {
        std::lock_guard g(l_->m);
        ++l_->purges;
    }
    bool close() override
    {
        std::lock_guard g(l_->m);
        ++l_->closes;
        return true;
    }
    int errorCode() const override { return err_; }
    void waitForEvent(int wakeFd, int64_t timeoutUs) override
    {
        if (!l_->eventDriven)
            return Device::waitForEvent(wakeFd, timeoutUs);
        l_->event.drain();
        {
            std::lock_guard g(l_->m);
            if (!l_->reads.empty())
                return;
        }
        waitReadable({l_->event.fd(), wakeFd}, timeoutUs);
    }
    bool reportsLineChanges() const override { return l_->eventDriven; }

private:
    std::shared_ptr<FakeLine> l_;
    // Per thread, as the real device keeps it.
    static inline thread_local int err_ = 0;
};

class FakeOpener final : public DeviceOpener {
public:
    std::shared_ptr<FakeLine> add(int n)
    {
        auto line = std::make_shared<FakeLine>();
        lines[n] = line;
        return line;
    }
    std::unique_ptr<Device> open(int n, int& err) override
    {
        ++opens;
        auto it = lines.find(n);
        if (it == lines.end()) {
            err = ENOENT;
            return nullptr;
        }
        return std::make_unique<FakeDevice>(it->second);
    }
    std::vector<std::string> portNames() override { return names; }
    std::string portDescription(int n) override { return "/dev/fake" + std::to_string(n); }

    std::map<int, std::shared_ptr<FakeLine>> lines;
    std::vector<std::string> names;
    int opens = 0;
};

} // namespace kd36::test
