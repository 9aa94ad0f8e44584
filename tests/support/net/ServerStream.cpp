#include "support/net/ServerStream.hpp"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport::net {

PlainStream::~PlainStream() {
    ::close(fd_);
}

ssize_t PlainStream::read(char* buffer, std::size_t length) {
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, length, 0);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

bool PlainStream::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace testsupport::net
