#pragma once

#include "zorvik/detail/ReactorClient.hpp"

#include <memory>

namespace zorvik {

// The default client on Linux: HTTP/1.1 over pooled non-blocking TCP or TLS
// connections, driven by one epoll reactor thread, with two resolver workers
// doing name resolution and connect. Everything but the event back end is
// shared with the other reactor client.
class LinuxAsyncEpollClient : public detail::ReactorClient {
public:
    LinuxAsyncEpollClient();
    explicit LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory> threadFactory);
    explicit LinuxAsyncEpollClient(const ZorvikConfig& config);
};

}  // namespace zorvik
