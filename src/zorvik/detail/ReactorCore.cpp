#include "zorvik/detail/ReactorCore.hpp"

#include "zorvik/HttpClientBase.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace zorvik::detail {
namespace {

constexpr std::size_t kResolverWorkers = 2;
constexpr std::size_t kResolverCapacity = 256;

constexpr const char* kResolverRefused = "DNS resolver queue is full or shutting down";
constexpr const char* kNoConnection = "Failed to acquire connection";
constexpr const char* kConnectionUnavailable = "Connection unavailable";

std::size_t clampToSize(std::uint64_t value) {
    return static_cast<std::size_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::size_t>::max()));
}

// The core whose reactor thread or resolver task the calling thread runs.
thread_local const ReactorCore* currentCore = nullptr;

}  // namespace

HttpResponse failureResponse(const std::string& message) {
    return HttpResponse(0, message, {}, "");
}

HttpResponse timeoutResponse(int timeoutMs) {
    return HttpResponse(408, "Request Timeout", {}, "Request timed out after " + std::to_string(timeoutMs) + " ms");
}

ReactorCore::ReactorCore(ReactorBackend& backend, std::shared_ptr<SSLContext> sslContext,
                         std::shared_ptr<LoggerAdapter> logger)
    : backend_(backend),
      sslContext_(std::move(sslContext)),
      logger_(std::move(logger)),
      resolver_(std::make_unique<BoundedTaskExecutor>(kResolverWorkers, kResolverCapacity)) {}

ReactorCore::~ReactorCore() {
    // Normally done by the client's teardown already; a second call returns at once.
    resolver_->shutdown(TaskShutdownMode::Drain);
}

void ReactorCore::submit(const HttpRequest& request, Callback callback) {
    auto completion = std::make_shared<RequestCompletion>();
    completion->callback = std::move(callback);
    performHttpRequest(request, completion);
}

std::future<HttpResponse> ReactorCore::submitForFuture(const HttpRequest& request) {
    auto promise = std::make_shared<std::promise<HttpResponse>>();
    auto future = promise->get_future();
    submit(request, [promise](HttpResponse response) { promise->set_value(std::move(response)); });
    return future;
}

void ReactorCore::adoptCurrentThread() const {
    currentCore = this;
}

bool ReactorCore::runsOnOwnThread() const {
    return currentCore == this;
}

bool ReactorCore::submitResolverTask(std::function<void()> task) {
    return resolver_->submit([this, task = std::move(task)] {
        const ReactorCore* const previous = std::exchange(currentCore, this);
        task();
        currentCore = previous;
    });
}

void ReactorCore::configure(const AsyncSessionConfig& config) {
    limits_.maxConnections = clampToSize(config.maxConnections);
    limitResponseBytes(config.maxResponseBytes);
    limits_.idleConnectionTtl = config.idleConnectionTtl;
    limits_.endpointPolicy = config.endpointPolicy;
}

void ReactorCore::limitResponseBytes(std::uint64_t bytes) {
    limits_.maxResponseBytes = clampToSize(bytes);
}

void ReactorCore::performHttpRequest(const HttpRequest& request,
                                     const std::shared_ptr<RequestCompletion>& completion) {
    if (const auto reason = closedReason()) {
        fail(completion, *reason);
        return;
    }
    const auto started = startOnIdleConnection(request, completion, false);
    if (!started.connection) {
        startOnResolver(request, started.context, completion);
    }
}

void ReactorCore::startOnResolver(const HttpRequest& request, std::shared_ptr<RequestContext> built,
                                  const std::shared_ptr<RequestCompletion>& completion) {
    // A text already built travels alone: the request is neither copied nor
    // built again.
    std::function<void()> task;
    if (built) {
        task = [this, built = std::move(built), completion] { runResolverTask(completion, [&] { return built; }); };
    } else {
        task = [this, request, completion]() mutable {
            runResolverTask(completion, [&] {
                return createRequestContext(std::move(request), completion, 0, Clock::time_point::min());
            });
        };
    }
    if (!submitResolverTask(std::move(task))) {
        fail(completion, kResolverRefused);
    }
}

ReactorCore::Started ReactorCore::startOnIdleConnection(const HttpRequest& request,
                                                        const std::shared_ptr<RequestCompletion>& completion,
                                                        bool callerWaits) {
    // A request that finds an idle pooled connection has no blocking work
    // left, so it need not wait for a resolver worker. The connection is
    // looked for first: a miss must not pay for a copy and a text of the
    // request that the resolver makes again. Anything unusual is left to
    // the resolver's road, which reports it.
    Started started;
    started.connection = takeIdleConnection(request);
    if (!started.connection) {
        return {};
    }
    try {
        started.context = createRequestContext(request, completion, 0, Clock::time_point::min());
    } catch (const std::exception&) {
        returnIdleConnection(started.connection);
        return {};
    }
    if (const auto hook = afterReusedRequestBuilt.load()) {
        std::unique_lock lock(started.connection->mutex);
        const int fd = started.connection->fd;
        lock.unlock();
        hook(fd);
    }
    // Building a large text takes long enough for the server to close the
    // connection meanwhile (its keep-alive time-out): it is tested again
    // right before the first byte is written. On a miss now the text goes
    // to the resolver's road as it is.
    if (!keepReservedConnection(started.connection)) {
        started.connection = takeIdleConnection(request);
        if (!started.connection) {
            return started;
        }
    }
    enqueueRequest(started.connection, started.context, callerWaits);
    return started;
}

void ReactorCore::returnIdleConnection(const ConnectionPtr& connection) {
    int fd = -1;
    {
        const std::lock_guard lock(connection->mutex);
        if (connection->closedLocked() || connection->phase != ConnectionPhase::Active ||
            !connection->pendingRequests.empty()) {
            return;
        }
        connection->phase = ConnectionPhase::Idle;
        fd = connection->fd;
    }
    table_.markIdle(connection, fd);
}

HttpResponse ReactorCore::execute(const HttpRequest& request) {
    if (const auto reason = closedReason()) {
        return failureResponse(*reason);
    }
    auto answer = std::make_shared<AnswerSlot>();
    auto completion = std::make_shared<RequestCompletion>();
    completion->callback = [answer](HttpResponse response) { answer->fill(std::move(response)); };
    const auto started = startOnIdleConnection(request, completion, true);
    if (started.connection) {
        driveUntilAnswered(started.connection, started.context, *answer);
    } else {
        startOnResolver(request, started.context, completion);
    }
    return answer->take();
}

void ReactorCore::runResolverTask(const std::shared_ptr<RequestCompletion>& completion,
                                  const std::function<std::shared_ptr<RequestContext>()>& makeContext) {
    try {
        if (const auto reason = closedReason()) {
            fail(completion, *reason);
            return;
        }
        const auto context = makeContext();
        const auto connection = acquireConnection(context->request);
        if (!connection) {
            fail(completion, kNoConnection);
            return;
        }
        enqueueRequest(connection, context);
    } catch (const std::exception& error) {
        fail(completion, std::string("Request failed: ") + error.what());
    }
}

std::shared_ptr<RequestContext> ReactorCore::createRequestContext(HttpRequest request,
                                                                  std::shared_ptr<RequestCompletion> completion,
                                                                  int redirectCount,
                                                                  Clock::time_point deadline) const {
    std::string text = HttpClientBase::buildHttpRequest(request);
    const int timeoutMs = request.timeout;
    auto context = std::make_shared<RequestContext>(
        RequestContext{std::move(request), std::move(completion), std::move(text), redirectCount, timeoutMs, deadline});
    if (deadline == Clock::time_point::min()) {
        context->deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    }
    return context;
}

void ReactorCore::enqueueRequest(const ConnectionPtr& connection, const std::shared_ptr<RequestContext>& context,
                                 bool callerWaits) {
    std::optional<std::string> refusal;
    std::string writeError;
    {
        const std::lock_guard lock(connection->mutex);
        if (connection->closedLocked() || !connection->keepAlive) {
            refusal = kConnectionUnavailable;
        } else if (auto reason = closedReason()) {
            // The reactor may already have failed every connection it knew.
            refusal = std::move(reason);
        } else {
            connection->pendingRequests.push_back(context);
            // The text lives on only in the write buffer, so a large body is
            // neither copied here nor held twice until its answer arrives.
            std::string text = std::move(context->requestText);
            if (connection->writeBuffer.empty()) {
                connection->writeBuffer = std::move(text);
            } else {
                connection->writeBuffer += text;
            }
            connection->used = true;
            connection->lastActivity = Clock::now();
            if (HttpClientBase::hasHeaderValueIgnoreCase(context->request.headers, "connection", "close")) {
                connection->keepAlive = false;
                connection->closeAfterResponse = true;
            }
            if (connection->phase == ConnectionPhase::Idle) {
                connection->phase = ConnectionPhase::Active;
            }
            connection->drivingRequest = callerWaits ? context.get() : nullptr;
            // Written here rather than after a round through the reactor:
            // the socket of a reused connection is almost always writable.
            if (connection->phase == ConnectionPhase::Active) {
                writeError = writePending(*connection);
            }
        }
    }
    if (refusal) {
        fail(context->completion, *refusal);
    } else if (!writeError.empty()) {
        handleError(connection, writeError);
    } else if (!callerWaits) {
        armIfNeeded(connection);
    }
}

void ReactorCore::armIfNeeded(const ConnectionPtr& connection) {
    {
        const std::lock_guard lock(connection->mutex);
        if (!connection->wantsWatchingLocked() || (connection->armed && !connection->unsentLocked())) {
            return;
        }
        // Marked first: the event may arrive before the arming call returns.
        connection->armed = true;
    }
    std::string failure;
    if (!backend_.rearmConnection(connection, failure) && !failure.empty()) {
        // Unwatched, its requests would wait for their deadlines in silence.
        handleError(connection, failure);
    }
}

void ReactorCore::processReady(const ConnectionPtr& connection) {
    if (round_.mayStep()) {
        stepReady(connection);
    } else {
        // Its event is spent: a place in the queue stands for its arming.
        round_.queue(connection);
    }
}

void ReactorCore::stepReady(const ConnectionPtr& connection) {
    {
        const std::lock_guard lock(connection->mutex);
        connection->armed = false;
        // A connect that ends before the connection's first request is
        // queued is left for that request, which arms the socket again and
        // then hears how the connect went.
        if (connection->phase == ConnectionPhase::Connecting && connection->pendingRequests.empty()) {
            return;
        }
    }
    if (processConnection(connection, true)) {
        const std::lock_guard lock(connection->mutex);
        if (!connection->closedLocked()) {
            // Its next step is as good as an outstanding arming.
            connection->armed = true;
            round_.queue(connection);
            return;
        }
    }
    armIfNeeded(connection);
}

void ReactorCore::resumeConnections() {
    round_.open();
    // Those queued during this pass wait for the next round.
    for (std::size_t left = round_.queuedCount(); left > 0 && round_.mayStep(); --left) {
        stepReady(round_.takeQueued());
    }
}

void ReactorCore::endRound() {
    if (round_.close()) {
        expireDeadlines();
    }
}

bool ReactorCore::markClosed(const std::string& reason) {
    const std::lock_guard lock(closedMutex_);
    if (closed_.load()) {
        return false;
    }
    closedReason_ = reason;
    closed_.store(true);
    return true;
}

std::optional<std::string> ReactorCore::closedReason() const {
    if (!closed_.load()) {
        return std::nullopt;
    }
    return closedReason_;
}

void ReactorCore::deliver(const std::shared_ptr<RequestCompletion>& completion, HttpResponse response) const {
    try {
        completion->complete(std::move(response));
    } catch (const std::exception& error) {
        // A caller's callback must not take a library thread down with it.
        logger_->warn(std::string("Request completion callback failed: ") + error.what());
    } catch (...) {
        logger_->warn("Request completion callback failed");
    }
}

void ReactorCore::fail(const std::shared_ptr<RequestCompletion>& completion, const std::string& message) const {
    deliver(completion, failureResponse(message));
}

}  // namespace zorvik::detail
