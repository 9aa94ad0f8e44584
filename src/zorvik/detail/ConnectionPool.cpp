// The connection pool: reuse of idle keep-alive connections, eviction at the
// connection limit and creation of new connections.
#include "zorvik/HttpClientBase.hpp"
#include "zorvik/detail/ReactorCore.hpp"
#include "zorvik/detail/SocketConnect.hpp"

namespace zorvik::detail {
namespace {

ConnectionKey makeConnectionKey(const HttpRequest& request) {
    return ConnectionKey{request.host, request.port, request.useSSL};
}

}  // namespace

ReactorCore::ConnectionPtr ReactorCore::acquireConnection(const HttpRequest& request) {
    const std::lock_guard pool(poolMutex_);
    const ConnectionKey key = makeConnectionKey(request);
    if (auto reused = findReusableConnection(key)) {
        return reused;
    }
    if (table_.size() >= limits_.maxConnections && !evictOldestIdleConnection()) {
        return nullptr;
    }
    auto connection = createConnection(request);
    if (!connection) {
        return nullptr;
    }
    table_.insert(connection, connection->fd);
    {
        const std::lock_guard lock(connection->mutex);
        connection->armed = true;
    }
    if (!backend_.registerConnection(connection)) {
        closeConnection(connection);
        return nullptr;
    }
    return connection;
}

ReactorCore::ConnectionPtr ReactorCore::takeIdleConnection(const HttpRequest& request) {
    // Takes no pool lock, so it never waits behind another acquisition's
    // name resolution or connect.
    return findReusableConnection(makeConnectionKey(request));
}

ReactorCore::ConnectionPtr ReactorCore::findReusableConnection(const ConnectionKey& key) {
    // The connection that went idle last: listed ones that are no longer
    // reusable fall off the list on the way.
    while (const auto candidate = table_.popIdle(key)) {
        bool dead = false;
        if (tryReserveReusableConnection(candidate, dead)) {
            return candidate;
        }
        if (dead) {
            closeConnection(candidate);
        }
    }
    return nullptr;
}

bool ReactorCore::tryReserveReusableConnection(const ConnectionPtr& connection, bool& dead) {
    const std::lock_guard lock(connection->mutex);
    if (connection->fd < 0 || connection->phase != ConnectionPhase::Idle || !connection->pendingRequests.empty() ||
        !connection->used || !connection->keepAlive || connection->closeAfterResponse) {
        return false;
    }
    if (!stillReusableLocked(*connection)) {
        dead = true;
        return false;
    }
    connection->phase = ConnectionPhase::Active;
    return true;
}

bool ReactorCore::stillReusableLocked(const ConnectionState& connection) const {
    // Bytes an idle connection holds are unsolicited (and would be taken for
    // the next response); end of stream or an error means the peer is gone.
    return !HttpClientBase::isIdleConnectionExpired(connection.lastActivity, limits_.idleConnectionTtl) &&
           connection.nothingToReadLocked();
}

bool ReactorCore::keepReservedConnection(const ConnectionPtr& connection) {
    {
        const std::lock_guard lock(connection->mutex);
        if (!connection->closedLocked() && connection->phase == ConnectionPhase::Active &&
            connection->pendingRequests.empty() && stillReusableLocked(*connection)) {
            return true;
        }
    }
    closeConnection(connection);
    return false;
}

bool ReactorCore::evictOldestIdleConnection() {
    // Requests take idle connections without the pool lock: one taken
    // between the choice and the close is passed over for the next, and so
    // is one that a caller drives and holds: it is not idle.
    for (;;) {
        ConnectionPtr oldest;
        Clock::time_point oldestActivity = Clock::time_point::max();
        for (const auto& connection : table_.snapshot()) {
            const auto lock = lockUnlessDriven(*connection);
            if (lock.owns_lock() && connection->phase == ConnectionPhase::Idle && connection->pendingRequests.empty() &&
                connection->lastActivity < oldestActivity) {
                oldest = connection;
                oldestActivity = connection->lastActivity;
            }
        }
        if (!oldest) {
            return false;
        }
        {
            const auto lock = lockUnlessDriven(*oldest);
            if (!lock.owns_lock() || oldest->phase != ConnectionPhase::Idle || !oldest->pendingRequests.empty()) {
                continue;
            }
            oldest->phase = ConnectionPhase::Failing;  // reserved for closing
        }
        closeConnection(oldest);
        return true;
    }
}

ReactorCore::ConnectionPtr ReactorCore::createConnection(const HttpRequest& request) const {
    auto connection = std::make_shared<ConnectionState>();
    connection->host = request.host;
    connection->port = request.port;
    connection->key = makeConnectionKey(request);
    connection->useTls = request.useSSL;
    connection->lastActivity = Clock::now();
    connection->fd = openNonBlockingSocket(request.host, request.port, limits_.endpointPolicy);
    return connection->fd < 0 ? nullptr : connection;
}

}  // namespace zorvik::detail
