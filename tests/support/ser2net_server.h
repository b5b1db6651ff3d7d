#pragma once
// A real ser2net on loopback, serving one device path (a pseudo-terminal
// whose master a test peer plays) as RFC 2217 and as a raw socket.
#include <sys/types.h>

#include <string>

namespace kd36::test {

class Ser2netServer {
public:
    // Empty when ser2net is installed; else the reason to skip.
    static std::string missing();

    explicit Ser2netServer(std::string device);
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    // Starts (again, on the same ports); true once it accepts connections.
    bool start();
    // SIGKILL: connections drop without a goodbye.
    void kill();

    int rfc2217Port() const { return rfc2217Port_; }
    int rawPort() const { return rawPort_; }
    std::string rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(rfc2217Port_); }
    std::string rawUrl() const { return "tcp://127.0.0.1:" + std::to_string(rawPort_); }

private:
    std::string device_;
    int rfc2217Port_ = 0;
    int rawPort_ = 0;
    pid_t pid_ = -1;
};

} // namespace kd36::test
