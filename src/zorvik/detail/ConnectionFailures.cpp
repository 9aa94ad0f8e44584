// Deadlines, idle lifetime, failing a connection's requests and closing.
#include "zorvik/HttpClientBase.hpp"
#include "zorvik/detail/ReactorCore.hpp"

#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

namespace zorvik::detail {

void ReactorCore::expireDeadlines() {
    // Takes every connection's lock, so it runs at most once per round's
    // budget (ReactorRound). A connection with events checks its own
    // deadlines, and so does a caller driving its own request, whose
    // connection is passed over while the caller holds it.
    for (const auto& connection : table_.snapshot()) {
        bool idleExpired = false;
        std::vector<std::shared_ptr<RequestContext>> expired;
        {
            const auto lock = lockUnlessDriven(*connection);
            if (!lock.owns_lock()) {
                continue;
            }
            idleExpired = connection->phase == ConnectionPhase::Idle &&
                          HttpClientBase::isIdleConnectionExpired(connection->lastActivity, limits_.idleConnectionTtl);
            if (!idleExpired) {
                expired = takeTimedOutLocked(*connection);
            }
        }
        if (idleExpired) {
            closeConnection(connection);
        } else if (!expired.empty()) {
            finishTimedOut(connection, expired);
        }
    }
}

bool ReactorCore::expireTimedOutRequests(const ConnectionPtr& connection) {
    std::vector<std::shared_ptr<RequestContext>> expired;
    {
        const std::lock_guard lock(connection->mutex);
        expired = takeTimedOutLocked(*connection);
    }
    if (expired.empty()) {
        return false;
    }
    finishTimedOut(connection, expired);
    return true;
}

std::vector<std::shared_ptr<RequestContext>> ReactorCore::takeTimedOutLocked(ConnectionState& connection) {
    if (connection.fd < 0 || connection.phase == ConnectionPhase::Closed || connection.pendingRequests.empty()) {
        return {};
    }
    const auto now = Clock::now();
    const bool anyDue = std::any_of(connection.pendingRequests.begin(), connection.pendingRequests.end(),
                                    [now](const auto& context) { return context->deadline <= now; });
    if (!anyDue) {
        return {};
    }
    // The responses still owed on this connection can no longer be matched to their requests.
    return takeAllForFailure(connection);
}

void ReactorCore::finishTimedOut(const ConnectionPtr& connection,
                                 const std::vector<std::shared_ptr<RequestContext>>& expired) {
    closeConnection(connection);
    for (const auto& context : expired) {
        deliver(context->completion, timeoutResponse(context->timeoutMs));
    }
}

std::vector<std::shared_ptr<RequestContext>> ReactorCore::takeAllForFailure(ConnectionState& connection) {
    std::vector<std::shared_ptr<RequestContext>> taken(connection.pendingRequests.begin(),
                                                       connection.pendingRequests.end());
    connection.pendingRequests.clear();
    connection.keepAlive = false;
    connection.closeAfterResponse = true;
    connection.phase = ConnectionPhase::Failing;
    connection.writeBuffer.clear();
    connection.readBuffer.clear();
    connection.writeOffset = 0;
    return taken;
}

void ReactorCore::handleError(const ConnectionPtr& connection, const std::string& message) {
    std::vector<std::shared_ptr<RequestContext>> failed;
    {
        const std::lock_guard lock(connection->mutex);
        failed = takeAllForFailure(*connection);
    }
    closeConnection(connection);
    for (const auto& context : failed) {
        fail(context->completion, message);
    }
}

void ReactorCore::closeConnection(const ConnectionPtr& connection) {
    int fd = -1;
    {
        const std::lock_guard lock(connection->mutex);
        if (connection->phase == ConnectionPhase::Closed && connection->fd < 0) {
            return;
        }
        fd = connection->fd;
        connection->phase = ConnectionPhase::Closed;
        connection->keepAlive = false;
        connection->fd = -1;
        connection->closeAfterResponse = true;
        connection->writeBuffer.clear();
        connection->readBuffer.clear();
        connection->writeOffset = 0;
        // Its close notification still needs the socket.
        connection->ssl.reset();
        connection->handshakeComplete = false;
    }
    if (fd < 0) {
        return;
    }
    // Out of the table before the number can be handed to a new socket.
    table_.remove(fd, connection);
    releaseSocket(*connection, fd);
}

void ReactorCore::releaseSocket(ConnectionState& connection, int fd) {
    backend_.unregisterConnection(fd);
    {
        const std::lock_guard lock(connection.mutex);
        if (connection.socketWaiters > 0) {
            // Wakes the waiting caller, which closes the descriptor.
            connection.deferredCloseFd = fd;
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
    }
    ::close(fd);
}

}  // namespace zorvik::detail
