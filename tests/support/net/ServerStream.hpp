#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <sys/types.h>

namespace testsupport::net {

// One accepted connection as the loopback server sees it. A TLS variant wraps
// the accepted socket and implements the same operations; the server ends a
// connection by shutting its socket down, which a blocked read notices.
class ServerStream {
public:
    virtual ~ServerStream() = default;
    // Bytes read (> 0), 0 at end of stream, < 0 on error.
    virtual ssize_t read(char* buffer, std::size_t length) = 0;
    virtual bool writeAll(std::string_view bytes) = 0;
};

// Plain TCP: owns the socket and closes it when destroyed.
class PlainStream : public ServerStream {
public:
    explicit PlainStream(int fd) : fd_(fd) {}
    ~PlainStream() override;
    PlainStream(const PlainStream&) = delete;
    PlainStream& operator=(const PlainStream&) = delete;

    ssize_t read(char* buffer, std::size_t length) override;
    bool writeAll(std::string_view bytes) override;

private:
    int fd_;
};

// Turns an accepted socket into a stream that owns it (for example after a
// TLS handshake); returns null to drop the connection, whose socket the
// server then closes.
using StreamFactory = std::function<std::unique_ptr<ServerStream>(int fd)>;

}  // namespace testsupport::net
