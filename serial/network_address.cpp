// Network port addresses: taking a pinned URL apart and resolving its host.
#include <netdb.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <mutex>

#include "gensio_device.h"

namespace kd36 {

namespace {

bool hostCharOk(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
        || c == '_';
}

std::string systemResolve(const std::string& host, std::string& why)
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    if (int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found); rc != 0 || !found) {
        why = std::string("name not resolved (") + gai_strerror(rc) + ")";
        return {};
    }
    char text[NI_MAXHOST] = {};
    int rc = getnameinfo(found->ai_addr, found->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST);
    freeaddrinfo(found);
    if (rc != 0) {
        why = std::string("name not resolved (") + gai_strerror(rc) + ")";
        return {};
    }
    return text;
}

std::mutex resolverMutex;
NetworkResolver& resolverSlot()
{
    static NetworkResolver r;
    return r;
}

NetworkResolver currentResolver()
{
    std::lock_guard g(resolverMutex);
    return resolverSlot() ? resolverSlot() : NetworkResolver(systemResolve);
}

} // namespace

void setNetworkResolver(NetworkResolver resolver)
{
    std::lock_guard g(resolverMutex);
    resolverSlot() = std::move(resolver);
}

bool isNetworkPortName(const std::string& text)
{
    return text.rfind("rfc2217://", 0) == 0 || text.rfind("tcp://", 0) == 0;
}

std::optional<NetworkAddress> parseNetworkAddress(const std::string& text)
{
    NetworkAddress a;
    std::string rest;
    if (text.rfind("rfc2217://", 0) == 0) {
        a.rfc2217 = true;
        rest = text.substr(10);
    } else if (text.rfind("tcp://", 0) == 0) {
        rest = text.substr(6);
    } else {
        return std::nullopt;
    }
    size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    std::string host = rest.substr(0, colon);
    std::string port = rest.substr(colon + 1);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']')
            return std::nullopt;
        for (char c : host.substr(1, host.size() - 2))
            if (!std::isxdigit(uint8_t(c)) && c != ':' && c != '.')
                return std::nullopt;
    } else {
        for (char c : host)
            if (!hostCharOk(c))
                return std::nullopt;
    }
    if (port.empty() || port.size() > 5)
        return std::nullopt;
    unsigned long n = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + unsigned(c - '0');
    }
    if (n == 0 || n > 65535)
        return std::nullopt;
    a.host = host;
    a.port = uint16_t(n);
    return a;
}

std::string NetworkAddress::gensioString() const
{
    std::string h = host;
    if (h.size() > 2 && h.front() == '[')
        h = "ipv6," + h.substr(1, h.size() - 2);
    std::string tcp = "tcp(nodelay)," + h + "," + std::to_string(port);
    return rfc2217 ? "telnet(rfc2217)," + tcp : tcp;
}

// The address with its host replaced by the numeric one the resolver
// found, so that gensio itself never waits on a name server.
std::optional<NetworkAddress> resolveNetworkAddress(const std::string& url, int& err, std::string& why)
{
    auto addr = parseNetworkAddress(url);
    if (!addr) {
        err = EINVAL;
        why = "not a network port address";
        return std::nullopt;
    }
    if (addr->host.front() == '[')
        return addr;
    std::string numeric = currentResolver()(addr->host, why);
    if (numeric.empty()) {
        err = EHOSTUNREACH;
        if (why.empty())
            why = "name not resolved";
        return std::nullopt;
    }
    addr->host = numeric.find(':') != std::string::npos ? "[" + numeric + "]" : numeric;
    return addr;
}


} // namespace kd36
