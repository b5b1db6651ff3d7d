#pragma once
// A TCP server on 127.0.0.1 that misbehaves on purpose, for the network
// port's failure paths: silent (accepts, never answers), garbage (answers
// junk to everything), flapping (drops every connection at once), notifier
// (a bare RFC 2217 server that confirms every line setting and then reports
// a framing error every 50 ms).
#include <atomic>
#include <string>
#include <thread>
#include <map>
#include <vector>

namespace kd36::test {

class HostileServer {
public:
    enum class Mode { Silent, Garbage, Flapping, Notifier };
    explicit HostileServer(Mode mode);
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    bool ok() const { return port_ > 0; }
    int port() const { return port_; }
    std::string rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    // Connections taken so far, and those still open on the server's side.
    int accepted() const { return accepted_.load(); }
    int openConnections() const { return open_.load(); }

private:
    void serve();
    // Notifier: answers what a client sent; true once it set the rate.
    bool answerTelnet(int fd, const char* buf, size_t n, std::string& state);

    Mode mode_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<int> accepted_{0};
    std::atomic<int> open_{0};
    std::thread thread_;
};

} // namespace kd36::test
