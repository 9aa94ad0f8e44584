#pragma once

#include "zorvik/HttpResponse.hpp"
#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/SSLContext.hpp"
#include "zorvik/detail/BoundedTaskExecutor.hpp"
#include "zorvik/detail/ConnectionTable.hpp"
#include "zorvik/detail/ReactorBackend.hpp"
#include "zorvik/detail/ReactorRound.hpp"
#include "zorvik/detail/ReactorTypes.hpp"
#include "zorvik/detail/RequestCompletion.hpp"

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zorvik::detail {

// Texts of requests that a client can no longer carry.
inline constexpr const char* kClientShuttingDown = "HTTP client is shutting down";
inline constexpr const char* kReactorStopped = "HTTP client reactor stopped: ";

// Everything of a reactor client but the event back end: the request path
// through the resolver workers, the connection pool, connection processing,
// deadlines, failures, redirects and teardown. A client owns one core and one
// back end and runs the reactor thread that feeds the core its ready
// connections. Resolver tasks refer to the core without owning it; the client
// drains them before the core goes away.
class ReactorCore {
public:
    using ConnectionPtr = std::shared_ptr<ConnectionState>;
    using Callback = std::function<void(HttpResponse)>;

    ReactorCore(ReactorBackend& backend, std::shared_ptr<SSLContext> sslContext,
                std::shared_ptr<LoggerAdapter> logger);
    ~ReactorCore();
    ReactorCore(const ReactorCore&) = delete;
    ReactorCore& operator=(const ReactorCore&) = delete;

    // Takes a session's connection limit, response limit, idle lifetime and endpoint policy.
    // Before the first request only: the limits are read without a lock.
    void configure(const AsyncSessionConfig& config);
    // The most bytes one response may take; before the first request only.
    void limitResponseBytes(std::uint64_t bytes);
    // The limit on open connections alone, under the same rule.
    void setMaxConnections(std::size_t limit) { limits_.maxConnections = limit; }

    // Test seam: called with the socket of a reused connection once a
    // request's text is built, before the connection is tested again.
    static inline std::atomic<void (*)(int fd)> afterReusedRequestBuilt{nullptr};

    // Starts a request; the callback runs exactly once.
    void submit(const HttpRequest& request, Callback callback);
    std::future<HttpResponse> submitForFuture(const HttpRequest& request);
    // Sends and waits. On an idle pooled connection the calling thread does
    // the connection's I/O itself instead of waiting for the reactor.
    HttpResponse execute(const HttpRequest& request);

    // The client marks its reactor thread at its start; resolver workers are
    // marked while they run this core's tasks. A client must not join its
    // threads from one of them.
    void adoptCurrentThread() const;
    bool runsOnOwnThread() const;

    // Reactor thread, one round at a time: resumeConnections opens a round
    // and steps the connections queued for a step, oldest first, while the
    // round's budget lasts; the back end's waitOnce hands over the ready
    // ones, unless its wait could block after those steps; endRound runs the
    // deadline scan once its interval has passed.
    void resumeConnections();
    ConnectionPtr findConnection(int fd) const { return table_.find(fd); }
    // Steps the connection, or queues it for the next round once this one's
    // budget is spent. A step that stops on its read budget queues it too:
    // TLS may hold its bytes where no poll sees them.
    void processReady(const ConnectionPtr& connection);
    // Whether the back end's wait belongs to this round: one that may block
    // comes only before the round's first step, so that the steps' wakes do
    // not wait behind it and the steps after it have a budget of their own.
    bool roundMayWait() const { return round_.hasQueued() || !round_.hasStepped(); }
    // Called by the back end right before it waits: true when it may block,
    // false while connections wait for a step.
    bool waitStarts() {
        const bool mayBlock = !round_.hasQueued();
        round_.waitStarts(mayBlock);
        return mayBlock;
    }
    void endRound();
    // Fails every request queued on the connection with `message` and closes it.
    void failConnection(const ConnectionPtr& connection, const std::string& message) {
        handleError(connection, message);
    }

    // Test seams, see ReactorRound.
    void setRoundBudget(Clock::duration budget) { round_.setBudget(budget); }
    void setStepReadBudget(std::size_t bytes) { round_.setStepReadBudget(bytes); }
    std::size_t mostStepsBetweenScans() const { return round_.mostStepsBetweenScans(); }
    std::size_t wakesHeldOverWaits() const { return round_.wakesHeldOverWaits(); }
    std::size_t stepsRefusedAfterWaits() const { return round_.stepsRefusedAfterWaits(); }

    // Teardown, in this order: stop taking requests and run the resolver
    // tasks still queued; (the client stops its reactor thread); fail what is
    // left on the connections and close them.
    void stopAccepting();
    void failEverything();
    // The reactor thread is gone: every queued and later request fails with
    // kReactorStopped followed by the reason.
    void reactorStopped(const std::string& reason);

private:
    // Request path (ReactorCore.cpp).
    void performHttpRequest(const HttpRequest& request, const std::shared_ptr<RequestCompletion>& completion);
    // Queues the request on an idle pooled connection without a resolver
    // task; null when there is none to take at once.
    struct Started {
        ConnectionPtr connection;
        std::shared_ptr<RequestContext> context;
    };
    Started startOnIdleConnection(const HttpRequest& request, const std::shared_ptr<RequestCompletion>& completion,
                                  bool callerWaits);
    // Gives back an idle connection reserved for a request that did not take it.
    void returnIdleConnection(const ConnectionPtr& connection);
    // Opens or reuses a connection on a resolver worker, and builds the
    // request's context there unless `built` already holds it.
    void startOnResolver(const HttpRequest& request, std::shared_ptr<RequestContext> built,
                         const std::shared_ptr<RequestCompletion>& completion);
    bool submitResolverTask(std::function<void()> task);
    void runResolverTask(const std::shared_ptr<RequestCompletion>& completion,
                         const std::function<std::shared_ptr<RequestContext>()>& makeContext);
    // Builds the request's text once; the request is moved in.
    std::shared_ptr<RequestContext> createRequestContext(HttpRequest request,
                                                         std::shared_ptr<RequestCompletion> completion,
                                                         int redirectCount, Clock::time_point deadline) const;
    // Queues the request and writes what it can at once on an established
    // connection; the reactor watches the rest unless the caller waits on
    // the connection itself.
    void enqueueRequest(const ConnectionPtr& connection, const std::shared_ptr<RequestContext>& context,
                        bool callerWaits = false);
    void armIfNeeded(const ConnectionPtr& connection);
    // One step of a connection the reactor found ready or had queued.
    void stepReady(const ConnectionPtr& connection);
    bool markClosed(const std::string& reason);
    std::optional<std::string> closedReason() const;
    void deliver(const std::shared_ptr<RequestCompletion>& completion, HttpResponse response) const;
    void fail(const std::shared_ptr<RequestCompletion>& completion, const std::string& message) const;

    // Pool (ConnectionPool.cpp).
    ConnectionPtr acquireConnection(const HttpRequest& request);
    // A reusable idle connection, unless another acquisition holds the pool.
    ConnectionPtr takeIdleConnection(const HttpRequest& request);
    ConnectionPtr findReusableConnection(const ConnectionKey& key);
    bool tryReserveReusableConnection(const ConnectionPtr& connection, bool& dead);
    // Whether a connection that waited idle may carry a request: within its
    // idle lifetime, the peer still there and nothing unsolicited to read.
    bool stillReusableLocked(const ConnectionState& connection) const;
    // Tests a connection reserved by tryReserveReusableConnection again; a
    // closed or dead one is closed and false returned.
    bool keepReservedConnection(const ConnectionPtr& connection);
    bool evictOldestIdleConnection();
    ConnectionPtr createConnection(const HttpRequest& request) const;

    // Connection set-up on the reactor thread (ConnectionSetup.cpp); the
    // connection's mutex is held.
    void ensureConnectionEstablished(ConnectionState& connection);
    void initializeSSLConnection(ConnectionState& connection) const;
    static void performSSLHandshake(ConnectionState& connection, Clock::time_point deadline);

    // Processing (ConnectionProcessing.cpp). A readiness event on a
    // connection that expects nothing closes it; a caller driving its own
    // request never does. True when the step stopped on its read budget with
    // more bytes likely waiting.
    bool processConnection(const ConnectionPtr& connection, bool fromReadiness);
    std::string writePending(ConnectionState& connection);
    std::string readAvailable(ConnectionState& connection, bool& peerClosed, bool& budgetSpent);
    void processAvailableResponses(const ConnectionPtr& connection, bool peerClosed);

    // Deadlines and failures (ConnectionFailures.cpp).
    void expireDeadlines();
    bool expireTimedOutRequests(const ConnectionPtr& connection);
    // Every queued request, taken for failing, once one is past its deadline.
    std::vector<std::shared_ptr<RequestContext>> takeTimedOutLocked(ConnectionState& connection);
    void finishTimedOut(const ConnectionPtr& connection, const std::vector<std::shared_ptr<RequestContext>>& expired);
    std::vector<std::shared_ptr<RequestContext>> takeAllForFailure(ConnectionState& connection);
    void handleError(const ConnectionPtr& connection, const std::string& message);
    void closeConnection(const ConnectionPtr& connection);
    void releaseSocket(ConnectionState& connection, int fd);

    // A caller waiting on its own request (RequestDriving.cpp).
    void driveUntilAnswered(const ConnectionPtr& connection, const std::shared_ptr<RequestContext>& context,
                            const AnswerSlot& answer);
    void waitForAnswer(const ConnectionPtr& connection, const std::shared_ptr<RequestContext>& context,
                       const AnswerSlot& answer);

    // Redirects (Redirects.cpp).
    void handleCompletedRequest(const std::shared_ptr<RequestContext>& context, HttpResponse response);
    void followRedirect(const std::shared_ptr<RequestContext>& context, const HttpRequest& next);

    ReactorBackend& backend_;
    std::shared_ptr<SSLContext> sslContext_;
    std::shared_ptr<LoggerAdapter> logger_;
    ReactorLimits limits_;
    std::mutex poolMutex_;
    ConnectionTable table_;
    ReactorRound round_;

    std::mutex closedMutex_;
    std::string closedReason_;  // written once, before closed_ is set
    std::atomic<bool> closed_{false};

    // Last member: destroyed (and its workers joined) first.
    std::unique_ptr<BoundedTaskExecutor> resolver_;
};

// Status-0 response of a failed exchange.
HttpResponse failureResponse(const std::string& message);
// The 408 response of a request past its deadline.
HttpResponse timeoutResponse(int timeoutMs);

}  // namespace zorvik::detail
