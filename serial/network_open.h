#pragma once
// Resolving, connecting and configuring a network port on a thread of its
// own: the caller waits only as long as it chooses and can give up at any
// moment. What the thread opens after the caller gave up, it closes itself.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device.h"
#include "port_settings.h"

namespace kd36 {

class NetworkOpen {
public:
    // Everything (name, connection, line settings) within `bound`. Network
    // waits run on the steady clock: the caller's clock may be a test's.
    static std::shared_ptr<NetworkOpen> start(const std::string& url, const PortSettings& settings,
                                              std::chrono::milliseconds bound);

    // Waits at most `ms`; true once the thread has finished.
    bool waitFor(uint64_t ms);
    // The configured device, once; nullptr when the open failed or has not
    // finished. Either way the job is then the caller's no longer.
    std::unique_ptr<Device> take();

    // After the thread finished: why it failed (English) and the errno.
    std::string reason() const;
    int error() const;
    PortSettings actualSettings() const;

private:
    void run(const std::string& url, const PortSettings& settings, std::chrono::steady_clock::time_point until);

    mutable std::mutex mu_;
    std::condition_variable cv_;
    bool finished_ = false;
    bool abandoned_ = false;
    std::unique_ptr<Device> device_;
    std::string reason_;
    int error_ = 0;
    PortSettings actual_;
};

} // namespace kd36
