#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport::net {

// A loopback port that refuses connections: bound, never listening, and held
// so for as long as this lives. A port bound and released at once could be
// taken meanwhile by the server of a test running beside this one, which
// would then accept the connection meant to be refused (and count it).
class ClosedPort {
public:
    ClosedPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        number_ = ntohs(address.sin_port);
    }
    ~ClosedPort() { ::close(fd_); }
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    int number() const { return number_; }

private:
    int fd_;
    int number_ = 0;
};

}  // namespace testsupport::net
