#include "zorvik/detail/TransportDispatcher.hpp"

#include "zorvik/detail/ReactorCore.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

namespace zorvik::detail {
namespace {

constexpr const char* kClientReleased = "Transport client is shutting down";
constexpr const char* kExpiredInQueue = "Request timeout expired in the session queue";

// One completion task may wait for every request that can be active at the
// client, and one dispatch task beside them. Cancelled requests stay active
// there until their responses come back while new ones take their places in
// the session, so the connection limit can exceed the in-flight limit's
// worth of tasks. With a place for each, the worker never refuses a step:
// a refused one would run on the delivering thread, ahead of the steps
// queued before it, and start the next request there.
std::size_t completionCapacity(const AsyncSessionConfig& config) {
    const std::uint64_t most = std::max(config.maxInFlightRequests, config.maxConnections);
    const std::uint64_t limit = std::numeric_limits<std::size_t>::max() - 1;
    return static_cast<std::size_t>(std::min<std::uint64_t>(most, limit) + 1);
}

std::shared_ptr<AsyncSessionState> requireBoth(const std::shared_ptr<HttpClient>& client,
                                               std::shared_ptr<AsyncSessionState> state) {
    if (!client || !state) {
        throw std::invalid_argument("TransportDispatcher requires a client and session state");
    }
    return state;
}

// The whole milliseconds left before the deadline, truncated toward zero.
std::int64_t remainingMillis(SessionClock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SessionClock::now()).count();
}

}  // namespace

TransportDispatcher::TransportDispatcher(std::shared_ptr<HttpClient> client, std::shared_ptr<AsyncSessionState> state)
    : client_(std::move(client)),
      state_(requireBoth(client_, std::move(state))),
      executor_(std::make_shared<BoundedTaskExecutor>(1, completionCapacity(state_->config))),
      maxConnections_(state_->config.maxConnections),
      maxConnectionsPerOrigin_(state_->config.maxConnectionsPerOrigin) {}

TransportDispatcher::~TransportDispatcher() {
    shutdown();
}

void TransportDispatcher::enqueue(TransportWork work) {
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            throw std::runtime_error("Transport dispatcher is not accepting requests");
        }
        queue_.push_back(std::move(work));
    }
    dispatchAvailable();
}

void TransportDispatcher::dispatchAvailable() {
    auto selected = selectAvailable();
    for (auto& work : selected) {
        start(work);
    }
}

std::vector<TransportWork> TransportDispatcher::selectAvailable() {
    std::vector<TransportWork> selected;
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return selected;
    }
    const auto eligible = [this](const TransportWork& work) {
        const auto entry = activePerOrigin_.find(work.origin);
        return entry == activePerOrigin_.end() || entry->second < maxConnectionsPerOrigin_;
    };
    while (active_.size() < maxConnections_) {
        // Work of a saturated origin keeps its place for a later pass.
        const auto next = std::find_if(queue_.begin(), queue_.end(), eligible);
        if (next == queue_.end()) {
            break;
        }
        ++activePerOrigin_[next->origin];
        active_.emplace(next->id, next->origin);
        selected.push_back(std::move(*next));
        queue_.erase(next);
    }
    return selected;
}

void TransportDispatcher::start(TransportWork& work) {
    std::shared_ptr<HttpClient> client;
    {
        const std::lock_guard lock(mutex_);
        client = client_;
    }
    if (!client) {
        publishTransportCompletion(work.id, failureResponse(kClientReleased));
        return;
    }
    // A request cancelled meanwhile still starts; its response is discarded later.
    stampDispatched(work.id);
    const std::int64_t remaining = remainingMillis(work.deadline);
    if (remaining < 1) {
        publishTransportCompletion(work.id, failureResponse(kExpiredInQueue));
        return;
    }
    work.request.setTimeout(static_cast<int>(std::min<std::int64_t>(remaining, std::numeric_limits<int>::max())));
    auto callback = [weak = weak_from_this(), id = work.id, logged = work.request.logResponse](HttpResponse response) {
        if (const auto self = weak.lock()) {
            self->publishTransportCompletion(id, std::move(response), logged);
        }
    };
    try {
        client->submit(work.request, std::move(callback));
    } catch (const std::exception& error) {
        publishTransportCompletion(work.id,
                                   failureResponse(std::string("Transport submission failed: ") + error.what()));
    }
}

void TransportDispatcher::stampDispatched(RequestId id) const {
    const std::lock_guard lock(state_->mutex);
    const auto entry = state_->pending.find(id);
    if (entry != state_->pending.end() && !entry->second.dispatchedAt) {
        entry->second.dispatchedAt = SessionClock::now();
    }
}

void TransportDispatcher::publishTransportCompletion(RequestId id, HttpResponse response, bool logged) {
    if (!logged && queuedSteps_.load() == 0) {
        // Bookkeeping alone runs no code of the caller's: done here, it spares
        // a thread hand-off per request. Behind steps still queued it waits
        // its turn, so that completions keep the order their responses came in.
        state_->completeWithResponse(id, std::move(response));
        releaseSlot(id, false);
        return;
    }
    ++queuedSteps_;
    auto step = [weakSelf = weak_from_this(), weakState = std::weak_ptr<AsyncSessionState>(state_), id,
                 response = std::make_shared<HttpResponse>(std::move(response))] {
        if (const auto state = weakState.lock()) {
            state->completeWithResponse(id, std::move(*response));
        }
        if (const auto self = weakSelf.lock()) {
            self->releaseSlot(id, true);
            --self->queuedSteps_;
        }
    };
    // The executor holds a place for every active request, so it refuses only
    // once shut down, when the session has already ended every request it
    // held and nothing is dispatched any more. Running the step here then
    // keeps a completion from ever being lost.
    if (!executor_->submit(step)) {
        step();
    }
}

void TransportDispatcher::releaseSlot(RequestId id, bool onWorker) {
    {
        const std::lock_guard lock(mutex_);
        const auto entry = active_.find(id);
        if (entry != active_.end()) {
            countOriginDown(activePerOrigin_, entry->second);
            active_.erase(entry);
        }
        // Checked under the lock enqueue takes: work queued after this finds
        // the slot free and starts itself.
        if (queue_.empty()) {
            return;
        }
    }
    if (onWorker) {
        dispatchAvailable();
    } else {
        postDispatch();
    }
}

void TransportDispatcher::postDispatch() {
    {
        const std::lock_guard lock(mutex_);
        if (dispatchPosted_) {
            return;
        }
        dispatchPosted_ = true;
    }
    const bool posted = executor_->submit([weak = weak_from_this()] {
        if (const auto self = weak.lock()) {
            {
                const std::lock_guard lock(self->mutex_);
                self->dispatchPosted_ = false;
            }
            self->dispatchAvailable();
        }
    });
    if (!posted) {
        // Shut down, or full of completion tasks that each dispatch anyway.
        const std::lock_guard lock(mutex_);
        dispatchPosted_ = false;
    }
}

void TransportDispatcher::cancelQueued(RequestId id) {
    const std::lock_guard lock(mutex_);
    const auto entry = std::find_if(queue_.begin(), queue_.end(), [id](const TransportWork& work) {
        return work.id == id;
    });
    if (entry != queue_.end()) {
        queue_.erase(entry);
    }
}

void TransportDispatcher::shutdown() {
    std::shared_ptr<HttpClient> client;
    std::deque<TransportWork> dropped;
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        closed_ = true;
        dropped.swap(queue_);
        client = std::move(client_);
    }
    dropped.clear();
    // When this was the last reference the client stops here; what it still
    // carried comes back through the executor, which is still taking tasks.
    client.reset();
    executor_->shutdown(TaskShutdownMode::Drain);
}

}  // namespace zorvik::detail
