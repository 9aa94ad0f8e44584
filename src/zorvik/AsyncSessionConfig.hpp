#pragma once

#include "zorvik/IoBackend.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

namespace zorvik {

// Decides whether a resolved address of a host may be connected to.
using EndpointPolicy = std::function<bool(std::string_view host, std::string_view numericAddress)>;

// Limits and endpoint policy of an asynchronous session. The reactor clients
// read maxConnections, maxResponseBytes, idleConnectionTtl and endpointPolicy.
struct AsyncSessionConfig {
    IoBackend backend = IoBackend::Auto;
    std::uint64_t maxInFlightRequests = 0;
    std::uint64_t completionQueueCapacity = 0;
    std::uint64_t maxConnections = 0;
    std::uint64_t maxConnectionsPerOrigin = 0;
    std::uint64_t maxOutstandingPerOrigin = 0;
    std::uint64_t maxResponseBytes = 0;
    std::uint64_t maxBufferedResponseBytes = 0;
    std::chrono::milliseconds idleConnectionTtl{0};
    EndpointPolicy endpointPolicy;
};

}  // namespace zorvik
