#pragma once

#include "zorvik/HttpClient.hpp"
#include "zorvik/detail/AsyncSessionState.hpp"
#include "zorvik/detail/BoundedTaskExecutor.hpp"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace zorvik::detail {

// An accepted request waiting for a connection slot.
struct TransportWork {
    RequestId id;
    HttpRequest request;
    std::string origin;
    SessionClock::time_point deadline;  // submission instant plus the request's timeout
};

// Hands a session's accepted requests to its client, oldest eligible first,
// within the total and per-origin connection limits, and routes every
// response onto one completion worker. Its lock is never held together with
// the session state's locks, nor while the client or the executor is called.
class TransportDispatcher : public std::enable_shared_from_this<TransportDispatcher> {
public:
    TransportDispatcher(std::shared_ptr<HttpClient> client, std::shared_ptr<AsyncSessionState> state);
    ~TransportDispatcher();
    TransportDispatcher(const TransportDispatcher&) = delete;
    TransportDispatcher& operator=(const TransportDispatcher&) = delete;

    // Throws std::runtime_error once shut down; otherwise starts what the limits allow.
    void enqueue(TransportWork work);
    void dispatchAvailable();
    // The completion step of a response. It runs on the delivering thread
    // unless it calls the caller's logger, or steps wait on the completion
    // worker; the origin is known from the slot.
    void publishTransportCompletion(RequestId id, HttpResponse response, bool logged = true);
    // Work already handed to the client is not touched.
    void cancelQueued(RequestId id);
    // Drops queued work, releases the client and runs the completion tasks
    // already posted. Never from the completion worker itself.
    void shutdown();

private:
    std::vector<TransportWork> selectAvailable();
    void start(TransportWork& work);
    void stampDispatched(RequestId id) const;
    // Frees the request's connection slot and starts what may follow: here
    // on the completion worker, otherwise by a task posted to it, so that the
    // client is only ever called off its own threads.
    void releaseSlot(RequestId id, bool onWorker);
    void postDispatch();

    mutable std::mutex mutex_;
    std::shared_ptr<HttpClient> client_;
    const std::shared_ptr<AsyncSessionState> state_;
    const std::shared_ptr<BoundedTaskExecutor> executor_;
    std::deque<TransportWork> queue_;
    std::unordered_map<RequestId, std::string> active_;
    OriginCounts activePerOrigin_;
    const std::uint64_t maxConnections_;
    const std::uint64_t maxConnectionsPerOrigin_;
    bool closed_ = false;
    bool dispatchPosted_ = false;  // a dispatch task waits on the completion worker
    std::atomic<std::size_t> queuedSteps_{0};  // completion steps posted and not yet done
};

}  // namespace zorvik::detail
