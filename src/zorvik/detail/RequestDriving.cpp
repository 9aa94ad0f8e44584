// A caller that sent its request on an idle pooled connection waits on that
// connection's socket itself and reads its own answer: one thread, woken
// once, instead of a reactor thread that wakes and then wakes the caller.
// The caller keeps the connection's deadlines (the reactor's scan passes
// over a connection whose lock is held) and the reactor its teardown;
// everything that touches the connection still happens under its mutex, so
// the reactor and the caller never step on each other.
#include "zorvik/detail/ReactorCore.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <poll.h>
#include <unistd.h>

namespace zorvik::detail {
namespace {

// Milliseconds until the deadline, rounded up so that a wait that ends finds it due.
int millisecondsUntil(Clock::time_point deadline) {
    const auto now = Clock::now();
    if (deadline <= now) {
        return 0;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<long long>(left, INT_MAX));
}

}  // namespace

void ReactorCore::driveUntilAnswered(const ConnectionPtr& connection, const std::shared_ptr<RequestContext>& context,
                                     const AnswerSlot& answer) {
    waitForAnswer(connection, context, answer);
    {
        const std::lock_guard lock(connection->mutex);
        if (connection->drivingRequest == context.get()) {
            connection->drivingRequest = nullptr;
        }
    }
    // A redirect may already have queued its next hop here.
    armIfNeeded(connection);
}

void ReactorCore::waitForAnswer(const ConnectionPtr& connection, const std::shared_ptr<RequestContext>& context,
                                const AnswerSlot& answer) {
    bool budgetSpent = false;
    while (!answer.ready()) {
        pollfd watched{};
        int timeoutMs = 0;
        {
            const std::lock_guard lock(connection->mutex);
            const auto& pending = connection->pendingRequests;
            // Closed, failed or answered (a redirect goes on elsewhere): the
            // answer tells the rest.
            if (connection->closedLocked() || std::find(pending.begin(), pending.end(), context) == pending.end()) {
                return;
            }
            watched.fd = connection->fd;
            watched.events = static_cast<short>(POLLIN | (connection->unsentLocked() ? POLLOUT : 0));
            // A step that stopped on its read budget may leave bytes in TLS
            // that the socket does not show; the lock is given up in between.
            timeoutMs = budgetSpent ? 0 : millisecondsUntil(connection->earliestDeadlineLocked());
            ++connection->socketWaiters;
        }
        ::poll(&watched, 1, timeoutMs);
        int closeNow = -1;
        {
            const std::lock_guard lock(connection->mutex);
            if (--connection->socketWaiters == 0) {
                closeNow = std::exchange(connection->deferredCloseFd, -1);
            }
        }
        if (closeNow >= 0) {
            ::close(closeNow);
        }
        // Also fails the connection's requests once a deadline has passed.
        budgetSpent = processConnection(connection, false);
    }
}

}  // namespace zorvik::detail
