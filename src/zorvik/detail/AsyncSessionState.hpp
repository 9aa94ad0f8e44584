#pragma once

#include "zorvik/AsyncSession.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace zorvik::detail {

using SessionClock = std::chrono::steady_clock;

// What a session keeps of an accepted request until it completes or is cancelled.
struct PendingRequest {
    std::shared_ptr<const HttpRequest> loggedRequest;  // kept only when its response is logged
    std::string url;
    std::string origin;
    SessionClock::time_point submittedAt;
    std::optional<SessionClock::time_point> dispatchedAt;
};

enum class SessionLifecycle : std::uint32_t { Accepting = 0, Closing = 1, Closed = 2 };

// "https://" or "http://", the host, ":" and the port.
std::string originKey(const HttpRequest& request);

using OriginCounts = std::unordered_map<std::string, std::uint64_t>;
// Erases the origin's entry instead of letting it drop to 0.
void countOriginDown(OriginCounts& counts, const std::string& origin);

// Shared by the session, its dispatcher and the completion tasks. Locks,
// outermost first: the state lock (`mutex`), then the completion-queue lock
// (`queueMutex`). Members marked "state lock" are read and written under it.
class AsyncSessionState : public std::enable_shared_from_this<AsyncSessionState> {
public:
    AsyncSessionState(AsyncSessionConfig sessionConfig, IoBackend backend);

    const AsyncSessionConfig config;
    const IoBackend activeBackend;
    const std::uint64_t completionCapacity;

    // Completion queue.
    mutable std::mutex queueMutex;
    std::condition_variable queueChanged;
    std::deque<HttpCompletion> completions;
    bool completionsClosed = false;

    // State lock; `changed` is signalled whenever a request leaves `pending`.
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::unordered_map<RequestId, PendingRequest> pending;
    OriginCounts originOutstanding;
    std::atomic<std::uint64_t> nextId{1};
    SessionLifecycle lifecycle = SessionLifecycle::Accepting;
    std::uint64_t accepted = 0;
    std::uint64_t rejected = 0;
    std::uint64_t completed = 0;
    std::uint64_t cancelled = 0;
    std::uint64_t inFlight = 0;
    std::uint64_t outstanding = 0;
    std::uint64_t bufferedResponseBytes = 0;

    // State lock held. Queues a not-retryable error record of a request that ends without a response.
    void publishCancellation(RequestId id, const PendingRequest& request, HttpErrorCode code, std::string message);

    // The completion step of a response the client delivered: classify, apply
    // the byte limits, queue the completion and retire the request. A request
    // no longer pending (cancelled, aborted) is ignored.
    void completeWithResponse(RequestId id, HttpResponse response);

    // Takes the completion-queue lock; the state lock may be held.
    void queueCompletion(HttpCompletion completion);
    void closeCompletions();
    // Moves out up to out.size() completions (completion-queue lock only) and
    // then settles the counters (state lock only).
    std::size_t collect(std::span<HttpCompletion> out);
    std::size_t collectLocked(std::unique_lock<std::mutex>& queueLock, std::span<HttpCompletion> out);
};

// The error of a status-0 response, classified by its text.
HttpError classifyFailure(const std::string& text);

}  // namespace zorvik::detail
