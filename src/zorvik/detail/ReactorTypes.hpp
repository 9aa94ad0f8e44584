#pragma once

#include "zorvik/AsyncSessionConfig.hpp"
#include "zorvik/HttpRequest.hpp"
#include "zorvik/SSLConnection.hpp"
#include "zorvik/detail/RequestCompletion.hpp"
#include "zorvik/detail/ResponseFramer.hpp"
#include "zorvik/detail/SocketConnect.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>

namespace zorvik::detail {

using Clock = std::chrono::steady_clock;

// Pool identity of a connection: requests share a connection only when all three match.
struct ConnectionKey {
    std::string host;
    int port = 0;
    bool useTls = false;

    bool operator==(const ConnectionKey&) const = default;
};

struct ConnectionKeyHash {
    std::size_t operator()(const ConnectionKey& key) const noexcept {
        std::size_t seed = std::hash<std::string>{}(key.host);
        const auto mix = [&seed](std::size_t value) { seed ^= value + 0x9e3779b9 + (seed << 6) + (seed >> 2); };
        mix(std::hash<int>{}(key.port));
        mix(std::hash<bool>{}(key.useTls));
        return seed;
    }
};

enum class ConnectionPhase : std::uint32_t {
    Connecting = 0,  // connect or TLS handshake not finished
    Active = 1,      // requests queued or bytes unsent (or reserved for a request)
    Idle = 2,        // keep-alive, nothing queued
    Failing = 3,     // its requests are being failed
    Closed = 4,      // final
};

// One request (or one redirect hop of it) on its way over a connection.
struct RequestContext {
    HttpRequest request;
    std::shared_ptr<RequestCompletion> completion;  // shared by every hop of one request
    std::string requestText;  // moved to the connection's write buffer when queued
    int redirectCount = 0;
    int timeoutMs = 0;
    Clock::time_point deadline;
};

// A pooled connection. Every field is guarded by `mutex`; once closed, fd is
// -1 and the phase Closed for good.
struct ConnectionState {
    int fd = -1;
    std::string host;
    int port = 0;
    ConnectionKey key;
    std::string writeBuffer;
    std::string readBuffer;
    std::size_t writeOffset = 0;
    std::uint64_t bytesReceived = 0;
    ConnectionPhase phase = ConnectionPhase::Connecting;
    std::mutex mutex;
    std::deque<std::shared_ptr<RequestContext>> pendingRequests;
    bool keepAlive = true;
    bool used = false;
    bool closeAfterResponse = false;
    Clock::time_point lastActivity = Clock::now();
    bool useTls = false;
    // Raised for every poll scheduled by a completion-based back end; only a
    // completion of the latest poll is acted on.
    std::uint64_t pollGeneration = 0;
    // The TCP connect has completed; a TLS handshake may still be running.
    bool tcpConnected = false;
    std::unique_ptr<SSLConnection> ssl;
    bool handshakeComplete = false;
    // Remembers framing progress across reads of one response.
    ResponseFramer framer;
    // A one-shot arming is outstanding; set before arming, cleared when its event arrives.
    bool armed = false;
    // The request whose caller waits on the socket for its own answer: the
    // reactor does not watch the connection meanwhile, or it might take that
    // answer from under the caller's wait. Naming the request, not just a
    // flag, lets a caller that is done give the connection up without
    // clearing the claim of the next caller, who may already have reused it.
    // Written under `mutex`; read without it only to learn whether taking
    // the lock could mean waiting for a caller's read.
    std::atomic<const RequestContext*> drivingRequest = nullptr;
    // Caller threads waiting on the socket; while there are any, closing shuts
    // the socket down and leaves the descriptor to the last of them to close,
    // so that its number is not reused under the wait.
    int socketWaiters = 0;
    int deferredCloseFd = -1;
    // On the client's list of idle connections; guarded by the table's lock,
    // not by `mutex`.
    bool listedIdle = false;
    // The socket's receive low-water mark (SO_RCVLOWAT) while a large body
    // arrives; 1, the kernel's default, otherwise.
    int receiveLowWater = 1;

    bool closedLocked() const {
        return fd < 0 || phase == ConnectionPhase::Failing || phase == ConnectionPhase::Closed;
    }
    bool unsentLocked() const { return writeOffset < writeBuffer.size(); }
    // Whether the reactor should watch the socket: something is under way on
    // it, and no caller waits on the socket itself. An idle connection stays
    // unwatched until it is reused: the reuse test sees a peer's close or
    // stray bytes, and its expiry is a scan.
    bool wantsWatchingLocked() const {
        return !closedLocked() && drivingRequest == nullptr &&
               (phase == ConnectionPhase::Connecting || !pendingRequests.empty() || unsentLocked());
    }
    // For a back end about to arm, decided before the lock was taken again:
    // meanwhile the reactor may have handled the connection and left it
    // quiet, or a caller taken it to drive. An arming that lost its purpose
    // is dropped.
    bool confirmArmingLocked() {
        if (wantsWatchingLocked()) {
            return true;
        }
        armed = false;
        return false;
    }
    // Nothing waits to be read: not in the read buffer, not held back by
    // TLS, not in the socket (no bytes, no end of stream, no error).
    bool nothingToReadLocked() const {
        return readBuffer.empty() && !(ssl && ssl->hasBufferedInput()) && socketIsQuiet(fd);
    }
    Clock::time_point earliestDeadlineLocked() const {
        Clock::time_point earliest = Clock::time_point::max();
        for (const auto& context : pendingRequests) {
            earliest = std::min(earliest, context->deadline);
        }
        return earliest;
    }
    // Writability matters until the TCP connect completes, and afterwards
    // only while request bytes wait on an established connection: a TLS
    // handshake proceeds on readability, so a writable socket never spins
    // the reactor while the server's answer is awaited.
    bool wantsWritableLocked() const {
        return !tcpConnected || (phase != ConnectionPhase::Connecting && writeOffset < writeBuffer.size());
    }
};

// The connection's lock for a pass over many connections (deadlines,
// eviction) that must not wait for a caller driving its own request, who may
// hold it for a whole read: such a connection's lock is taken only when it
// is free. The caller checks its own deadlines.
inline std::unique_lock<std::mutex> lockUnlessDriven(ConnectionState& connection) {
    if (connection.drivingRequest.load(std::memory_order_relaxed) != nullptr) {
        return std::unique_lock(connection.mutex, std::try_to_lock);
    }
    return std::unique_lock(connection.mutex);
}

inline constexpr std::chrono::milliseconds kNeverExpires{std::numeric_limits<std::chrono::milliseconds::rep>::max()};

// The pool's limits: the client's configuration sets the response limit, an
// asynchronous session all of them, before the first request.
struct ReactorLimits {
    std::size_t maxConnections = std::numeric_limits<std::size_t>::max();
    std::size_t maxResponseBytes = std::numeric_limits<std::size_t>::max();
    std::chrono::milliseconds idleConnectionTtl = kNeverExpires;
    EndpointPolicy endpointPolicy;
};

}  // namespace zorvik::detail
