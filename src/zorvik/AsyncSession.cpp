#include "zorvik/AsyncSession.hpp"

#include "zorvik/detail/AsyncSessionState.hpp"
#include "zorvik/detail/TransportDispatcher.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace zorvik {
namespace {

using detail::AsyncSessionState;
using detail::PendingRequest;
using detail::SessionClock;
using detail::SessionLifecycle;

constexpr const char* kNotAccepting = "Asynchronous session is not accepting requests";
constexpr const char* kCapacityExhausted = "Asynchronous session capacity is exhausted";
constexpr const char* kOriginCapacityExhausted = "Asynchronous session origin capacity is exhausted";
constexpr const char* kSessionAborted = "Asynchronous session aborted";

void checkConfiguration(const AsyncSessionConfig& config, const std::shared_ptr<HttpClient>& client) {
    if (config.maxInFlightRequests == 0) {
        throw std::invalid_argument("maxInFlightRequests must be greater than zero");
    }
    if (config.completionQueueCapacity < config.maxInFlightRequests) {
        throw std::invalid_argument("completionQueueCapacity must be at least maxInFlightRequests");
    }
    if (config.maxResponseBytes == 0 || config.maxBufferedResponseBytes < config.maxResponseBytes) {
        throw std::invalid_argument("maxBufferedResponseBytes must be at least maxResponseBytes");
    }
    if (config.maxConnections == 0 || config.maxConnectionsPerOrigin == 0 ||
        config.maxConnectionsPerOrigin > config.maxConnections || config.maxOutstandingPerOrigin == 0 ||
        config.idleConnectionTtl < std::chrono::milliseconds(1)) {
        throw std::invalid_argument("Connection capacities and idleConnectionTtl must be positive and consistent");
    }
    if (!client) {
        throw std::invalid_argument("AsyncSession requires a transport client");
    }
}

// Counted here: a refusal leaves no other trace.
SubmitResult rejectLocked(AsyncSessionState& state, SubmitStatus status, std::string message) {
    ++state.rejected;
    return SubmitResult::rejected(status, std::move(message));
}

// Now plus the time limit; none for a limit the clock cannot represent.
std::optional<SessionClock::time_point> deadlineAfter(std::chrono::milliseconds timeout) {
    const auto now = SessionClock::now();
    if (timeout <= std::chrono::milliseconds::zero()) {
        return now;
    }
    if (timeout >= std::chrono::duration_cast<std::chrono::milliseconds>(SessionClock::time_point::max() - now)) {
        return std::nullopt;
    }
    return now + timeout;
}

}  // namespace

SubmitResult SubmitResult::rejected(SubmitStatus status, std::string message) {
    return SubmitResult{status, RequestId{}, std::move(message)};
}

struct AsyncSession::Impl {
    std::shared_ptr<AsyncSessionState> state;
    std::shared_ptr<detail::TransportDispatcher> dispatcher;
    std::mutex shutdownMutex;
    bool shutDown = false;

    // State lock held: every pending request ends as aborted.
    void abortPending();
    // Closes the session; with a drain limit, pending requests get that long first.
    void close(std::optional<std::chrono::milliseconds> drainLimit);
};

void AsyncSession::Impl::abortPending() {
    std::vector<RequestId> ids;
    ids.reserve(state->pending.size());
    for (const auto& [id, request] : state->pending) {
        ids.push_back(id);
    }
    // Oldest first, so that the records come out in submission order.
    std::sort(ids.begin(), ids.end());
    for (const RequestId id : ids) {
        const PendingRequest& request = state->pending.at(id);
        state->publishCancellation(id, request, HttpErrorCode::SessionAborted, kSessionAborted);
        ++state->cancelled;
        detail::countOriginDown(state->originOutstanding, request.origin);
    }
    state->pending.clear();
    state->inFlight = 0;
    state->changed.notify_all();
}

void AsyncSession::Impl::close(std::optional<std::chrono::milliseconds> drainLimit) {
    {
        std::unique_lock lock(state->mutex);
        if (state->lifecycle == SessionLifecycle::Accepting) {
            state->lifecycle = SessionLifecycle::Closing;
        }
        if (drainLimit) {
            const auto drained = [this] { return state->pending.empty(); };
            if (const auto deadline = deadlineAfter(*drainLimit)) {
                state->changed.wait_until(lock, *deadline, drained);
            } else {
                state->changed.wait(lock, drained);
            }
        }
        abortPending();
        state->lifecycle = SessionLifecycle::Closed;
    }
    state->closeCompletions();
    dispatcher->shutdown();
    shutDown = true;
}

AsyncSession::AsyncSession(std::shared_ptr<HttpClient> client, AsyncSessionConfig config, IoBackend activeBackend)
    : impl_(std::make_unique<Impl>()) {
    checkConfiguration(config, client);
    auto state = std::make_shared<AsyncSessionState>(std::move(config), activeBackend);
    // Before the dispatcher exists, so that the first request already meets the limits.
    client->configureAsyncSession(state->config);
    impl_->dispatcher = std::make_shared<detail::TransportDispatcher>(std::move(client), state);
    impl_->state = std::move(state);
}

AsyncSession::~AsyncSession() {
    const std::lock_guard guard(impl_->shutdownMutex);
    if (impl_->shutDown) {
        return;
    }
    try {
        impl_->close(std::nullopt);
    } catch (...) {
        // A bookkeeping defect must not escape a destructor.
    }
}

SubmitResult AsyncSession::submit(HttpRequest request) {
    std::string url;
    try {
        url = request.processUrl();
        if (request.timeout < 1) {
            throw std::invalid_argument("Request timeout must be greater than zero");
        }
    } catch (const std::exception& error) {
        const std::lock_guard lock(impl_->state->mutex);
        return rejectLocked(*impl_->state, SubmitStatus::InvalidRequest, error.what());
    }
    auto& state = *impl_->state;
    const auto submittedAt = SessionClock::now();
    std::string origin = detail::originKey(request);
    RequestId id;
    {
        const std::lock_guard lock(state.mutex);
        if (state.lifecycle != SessionLifecycle::Accepting) {
            return rejectLocked(state, SubmitStatus::NotAccepting, kNotAccepting);
        }
        const auto& limits = state.config;
        if (state.inFlight >= limits.maxInFlightRequests || state.outstanding >= limits.completionQueueCapacity ||
            state.bufferedResponseBytes >= limits.maxBufferedResponseBytes) {
            return rejectLocked(state, SubmitStatus::CapacityExhausted, kCapacityExhausted);
        }
        const auto perOrigin = state.originOutstanding.find(origin);
        if (perOrigin != state.originOutstanding.end() && perOrigin->second >= limits.maxOutstandingPerOrigin) {
            return rejectLocked(state, SubmitStatus::CapacityExhausted, kOriginCapacityExhausted);
        }
        id = RequestId{state.nextId.fetch_add(1)};
        ++state.originOutstanding[origin];
        state.pending.emplace(id, PendingRequest{request.logResponse ? std::make_shared<const HttpRequest>(request)
                                                                     : nullptr,
                                                 std::move(url), origin, SessionClock::now(), std::nullopt});
        ++state.accepted;
        ++state.inFlight;
        ++state.outstanding;
    }
    if (request.logRequest) {
        try {
            HttpClient::logRequest(request);
        } catch (...) {
            // The request is accepted; a failing logger must not strand it.
        }
    }
    const auto deadline = submittedAt + std::chrono::milliseconds(request.timeout);
    try {
        impl_->dispatcher->enqueue(detail::TransportWork{id, std::move(request), std::move(origin), deadline});
    } catch (const std::exception& error) {
        const std::lock_guard lock(state.mutex);
        const auto entry = state.pending.find(id);
        if (entry == state.pending.end()) {
            // A shutdown in between has already ended it with a completion of
            // its own, so it stays accepted rather than being counted twice.
            return SubmitResult{SubmitStatus::Accepted, id, {}};
        }
        detail::countOriginDown(state.originOutstanding, entry->second.origin);
        state.pending.erase(entry);
        --state.accepted;
        --state.inFlight;
        --state.outstanding;
        state.changed.notify_all();
        return rejectLocked(state, SubmitStatus::DispatchFailed, error.what());
    }
    return SubmitResult{SubmitStatus::Accepted, id, {}};
}

std::size_t AsyncSession::poll(std::span<HttpCompletion> out) {
    return impl_->state->collect(out);
}

WaitResult AsyncSession::wait(std::span<HttpCompletion> out, std::chrono::milliseconds timeout) {
    auto& state = *impl_->state;
    std::unique_lock lock(state.queueMutex);
    const auto ready = [&state] { return state.completionsClosed || !state.completions.empty(); };
    if (const auto deadline = deadlineAfter(timeout)) {
        if (!state.queueChanged.wait_until(lock, *deadline, ready)) {
            return WaitResult{WaitStatus::TimedOut, 0};
        }
    } else {
        state.queueChanged.wait(lock, ready);
    }
    if (state.completions.empty()) {
        return WaitResult{WaitStatus::Closed, 0};
    }
    return WaitResult{WaitStatus::Ready, state.collectLocked(lock, out)};
}

bool AsyncSession::cancel(RequestId id) {
    auto& state = *impl_->state;
    {
        const std::lock_guard lock(state.mutex);
        const auto entry = state.pending.find(id);
        if (entry == state.pending.end()) {
            return false;
        }
        state.publishCancellation(id, entry->second, HttpErrorCode::Cancelled, "Request cancelled");
        detail::countOriginDown(state.originOutstanding, entry->second.origin);
        state.pending.erase(entry);
        ++state.cancelled;
        --state.inFlight;
        state.changed.notify_all();
    }
    impl_->dispatcher->cancelQueued(id);
    return true;
}

void AsyncSession::shutdown(ShutdownMode mode, std::chrono::milliseconds timeout) {
    const std::lock_guard guard(impl_->shutdownMutex);
    if (impl_->shutDown) {
        return;
    }
    impl_->close(mode == ShutdownMode::Drain ? std::optional(timeout) : std::nullopt);
}

AsyncSessionStats AsyncSession::stats() const {
    const auto& state = *impl_->state;
    const std::lock_guard lock(state.mutex);
    AsyncSessionStats stats{state.accepted, state.rejected, state.completed, state.cancelled, state.inFlight,
                            state.outstanding, 0, state.bufferedResponseBytes, state.activeBackend};
    {
        const std::lock_guard queueLock(state.queueMutex);
        stats.queuedCompletions = state.completions.size();
    }
    return stats;
}

IoBackend AsyncSession::activeBackend() const {
    return impl_->state->activeBackend;
}

}  // namespace zorvik
