#include "zorvik/detail/SocketConnect.hpp"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace zorvik::detail {
namespace {

using AddressList = std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)>;

constexpr int kHighestPort = 65535;

AddressList resolve(const std::string& host, int port) {
    // The resolver would keep only the low 16 bits of a larger port and so
    // reach another service than the one named.
    if (port < 0 || port > kHighestPort) {
        return AddressList(nullptr, &::freeaddrinfo);
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    const int status = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &results);
    return AddressList(status == 0 ? results : nullptr, &::freeaddrinfo);
}

bool allowedByPolicy(const EndpointPolicy& policy, const std::string& host, const addrinfo& address) {
    char numeric[1025] = {};
    if (::getnameinfo(address.ai_addr, address.ai_addrlen, numeric, sizeof(numeric), nullptr, 0, NI_NUMERICHOST) != 0 ||
        numeric[0] == '\0') {
        return false;
    }
    try {
        return policy(host, numeric);
    } catch (...) {
        // A policy that cannot decide denies.
        return false;
    }
}

// The socket with its connect done or under way, or -1.
int startConnect(const addrinfo& address) {
    // Close-on-exec: a program the caller starts must not inherit the connection.
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) {
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        ::close(fd);
        return -1;
    }
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0 || errno == EINPROGRESS) {
        return fd;
    }
    ::close(fd);
    return -1;
}

}  // namespace

int openNonBlockingSocket(const std::string& host, int port, const EndpointPolicy& policy) {
    const AddressList addresses = resolve(host, port);
    if (!addresses) {
        return -1;
    }
    bool anyTried = false;
    for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
        if (policy && !allowedByPolicy(policy, host, *address)) {
            continue;
        }
        anyTried = true;
        const int fd = startConnect(*address);
        if (fd >= 0) {
            return fd;
        }
    }
    if (!anyTried && policy) {
        throw std::runtime_error("Endpoint policy denied every resolved address for host " + host);
    }
    return -1;
}

bool socketIsQuiet(int fd) {
    char byte = 0;
    const ssize_t peeked = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

}  // namespace zorvik::detail
