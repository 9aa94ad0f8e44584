#pragma once

#include "zorvik/detail/ReactorClient.hpp"

#include <cstddef>
#include <memory>

namespace zorvik {

namespace detail {
class UringReactor;
}

// The second Linux client: the epoll client's request path, pool, connection
// processing, deadlines, redirects and teardown, with readiness taken from
// one-shot polls on an io_uring ring. Construction throws std::runtime_error
// ("Failed to create io_uring reactor: ...") where the kernel refuses the ring.
// Unlike the epoll client it holds at most 100 connections unless told otherwise.
class LinuxUringHttpClient : public detail::ReactorClient {
public:
    static constexpr std::size_t kDefaultMaxConcurrentConnections = 100;

    LinuxUringHttpClient();
    explicit LinuxUringHttpClient(std::shared_ptr<ThreadFactory> threadFactory);
    explicit LinuxUringHttpClient(const ZorvikConfig& config);

    // Plain settings, to be made before the client is shared. The ring is set
    // up by the constructor, so a ring size set afterwards changes nothing.
    void setRingSize(std::size_t entries);
    // A read takes at most max(size, 8192) bytes.
    void setBufferSize(std::size_t size);
    void setMaxConcurrentConnections(std::size_t limit);

private:
    explicit LinuxUringHttpClient(detail::ReactorClientParts parts);

    detail::UringReactor& reactor();
};

}  // namespace zorvik
