#include "network_open.h"

#include <thread>

#include "gensio_device.h"

namespace kd36 {

namespace {
// Settle time after the line settings, as for a local port.
constexpr auto kSettle = std::chrono::milliseconds(200);
} // namespace

std::shared_ptr<NetworkOpen> NetworkOpen::start(const std::string& url, const PortSettings& settings,
                                                std::chrono::milliseconds bound)
{
    auto job = std::shared_ptr<NetworkOpen>(new NetworkOpen);
    const auto until = std::chrono::steady_clock::now() + bound;
    // Detached: a resolver that never answers must not hold whoever gave up.
    std::thread([job, url, settings, until] { job->run(url, settings, until); }).detach();
    return job;
}

void NetworkOpen::run(const std::string& url, const PortSettings& settings,
                      std::chrono::steady_clock::time_point until)
{
    takeFailureReason();
    int err = 0;
    std::unique_ptr<GensioDevice> dev = GensioDevice::open(url, err, until);
    std::string why = dev ? std::string() : takeFailureReason();
    PortSettings actual;
    if (dev && !dev->configure(settings, until)) {
        err = dev->errorCode();
        why = takeFailureReason();
        dev.reset(); // a refused configure keeps no connection
    }
    if (dev) {
        actual = dev->actualSettings();
        std::this_thread::sleep_for(kSettle);
        dev->purge();
    }
    std::unique_ptr<Device> late;
    {
        std::lock_guard g(mu_);
        finished_ = true;
        error_ = err;
        reason_ = why;
        actual_ = actual;
        if (abandoned_)
            late = std::move(dev);
        else
            device_ = std::move(dev);
    }
    cv_.notify_all();
    // Closed here, off the caller's thread, when nobody waits for it.
    late.reset();
}

bool NetworkOpen::waitFor(uint64_t ms)
{
    std::unique_lock lk(mu_);
    return cv_.wait_for(lk, std::chrono::milliseconds(ms), [this] { return finished_; });
}

std::unique_ptr<Device> NetworkOpen::take()
{
    std::unique_ptr<Device> dev;
    {
        std::lock_guard g(mu_);
        abandoned_ = true;
        dev = std::move(device_);
    }
    return dev;
}

std::string NetworkOpen::reason() const
{
    std::lock_guard g(mu_);
    return reason_;
}

int NetworkOpen::error() const
{
    std::lock_guard g(mu_);
    return error_;
}

PortSettings NetworkOpen::actualSettings() const
{
    std::lock_guard g(mu_);
    return actual_;
}

} // namespace kd36
