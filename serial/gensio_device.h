#pragma once
// A serial line on the network: an RFC 2217 com port server (ser2net, a
// device server) or a raw TCP socket, through the gensio library.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device.h"

namespace kd36 {

// "rfc2217://HOST:PORT" or "tcp://HOST:PORT" taken apart. Hosts are names,
// IPv4 addresses or bracketed IPv6 addresses; anything else is refused, so
// that a settings file can never smuggle extra layers into the gensio string.
struct NetworkAddress {
    bool rfc2217 = false;
    std::string host;
    uint16_t port = 0;
    // The gensio string that opens it.
    std::string gensioString() const;
};
std::optional<NetworkAddress> parseNetworkAddress(const std::string& text);
// Names a network port at all (scheme present), valid or not.
bool isNetworkPortName(const std::string& text);

// CE_* flags for an RFC 2217 line-state report.
uint32_t lineStateErrors(unsigned int lineState);
// MS_* bits for an RFC 2217 modem-state report.
uint32_t modemStateBits(unsigned int modemState);

// Turns a host name into a numeric address; empty with `why` when it
// cannot. The default asks the system's resolver, which may block for long:
// only ever called off the window's thread.
using NetworkResolver = std::function<std::string(const std::string& host, std::string& why)>;
// Tests hand in a resolver of their own; an empty one restores the system's.
void setNetworkResolver(NetworkResolver resolver);
// The address of `url` with its host resolved to a numeric one, so that
// gensio itself never waits on a name server; nullopt with an errno and a
// reason when it cannot be.
std::optional<NetworkAddress> resolveNetworkAddress(const std::string& url, int& err, std::string& why);

class GensioDevice final : public Device {
public:
    // Resolves and connects, giving up at `until`. nullptr with `err` (an
    // errno) and a failure reason (takeFailureReason) when it cannot.
    static std::unique_ptr<GensioDevice> open(const std::string& url, int& err,
                                              std::chrono::steady_clock::time_point until);
    static std::unique_ptr<GensioDevice> open(const std::string& url, int& err)
    {
        return open(url, err, std::chrono::steady_clock::now() + std::chrono::seconds(5));
    }
    // Line settings confirmed by `until`; false with errorCode() and a
    // failure reason otherwise.
    bool configure(const PortSettings& settings, std::chrono::steady_clock::time_point until);
    ~GensioDevice() override;

    bool configure(const PortSettings& settings) override;
    // What the server confirmed after the last configure.
    PortSettings actualSettings() const override;
    int read(uint8_t* buf, size_t max) override;
    int write(const uint8_t* data, size_t len) override;
    bool setDtr(bool on) override;
    bool modemStatus(uint32_t& bits) override;
    uint32_t takeErrors() override;
    int inQueue() override;
    // RFC 2217 cannot ask the server's output queue: always -1 (unknown).
    int outQueue() override { return -1; }
    void purge() override;
    bool close() override;
    int errorCode() const override;
    void waitForEvent(int wakeFd, int64_t timeoutUs) override;
    // The server reports its lines (a raw socket has none to change).
    bool reportsLineChanges() const override { return true; }

    // The connection dropped (the server went away or closed it).
    bool connectionLost() const;

    struct Impl;

private:
    explicit GensioDevice(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace kd36
