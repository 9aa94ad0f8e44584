// The end of a client: no request is left waiting, whether the client is
// destroyed or its reactor thread has stopped.
#include "zorvik/detail/ReactorCore.hpp"


namespace zorvik::detail {

void ReactorCore::stopAccepting() {
    markClosed(kClientShuttingDown);
    // Tasks still queued run, see the closed mark and fail their requests at once.
    resolver_->shutdown(TaskShutdownMode::Drain);
}

void ReactorCore::reactorStopped(const std::string& reason) {
    if (markClosed(kReactorStopped + reason)) {
        failEverything();
    }
}

void ReactorCore::failEverything() {
    const auto reason = closedReason().value_or(kClientShuttingDown);
    for (const auto& connection : table_.takeAll()) {
        std::vector<std::shared_ptr<RequestContext>> orphaned;
        int fd = -1;
        {
            const std::lock_guard lock(connection->mutex);
            orphaned = takeAllForFailure(*connection);
            fd = connection->fd;
            connection->fd = -1;
            connection->phase = ConnectionPhase::Closed;
            connection->ssl.reset();
            connection->handshakeComplete = false;
        }
        if (fd >= 0) {
            releaseSocket(*connection, fd);
        }
        for (const auto& context : orphaned) {
            fail(context->completion, reason);
        }
    }
}

}  // namespace zorvik::detail
