#pragma once
// A serial line on the network: an RFC 2217 com port server (ser2net, a
// device server) or a raw TCP socket, through the gensio library.
#include <cstdint>
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

class GensioDevice final : public Device {
public:
    // Connects (bounded wait). nullptr with `err` (an errno) when it cannot.
    static std::unique_ptr<GensioDevice> open(const std::string& url, int& err);
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

    // The connection dropped (the server went away or closed it).
    bool connectionLost() const;

    struct Impl;

private:
    explicit GensioDevice(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace kd36
