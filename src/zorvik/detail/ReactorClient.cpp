#include "zorvik/detail/ReactorClient.hpp"

#include "zorvik/detail/ReactorBackend.hpp"
#include "zorvik/detail/ReactorCore.hpp"
#include "zorvik/detail/WakeupRound.hpp"

#include <atomic>
#include <thread>

namespace zorvik::detail {
namespace {

std::shared_ptr<ThreadFactory> orDefault(std::shared_ptr<ThreadFactory> factory) {
    return factory ? std::move(factory) : std::make_shared<ZorvikThreadFactory>(1);
}

std::shared_ptr<LoggerAdapter> orDefault(std::shared_ptr<LoggerAdapter> logger) {
    return logger ? std::move(logger) : std::make_shared<ConsoleLoggerAdapter>();
}

}  // namespace

class ReactorClient::Engine {
public:
    Engine(ReactorClientParts parts, const BackendFactory& makeBackend)
        : threadFactory_(orDefault(std::move(parts.threadFactory))),
          logger_(orDefault(std::move(parts.logger))),
          backend_(makeBackend(logger_)),
          core_(*backend_, std::move(parts.sslContext), logger_) {
        core_.limitResponseBytes(parts.maxResponseBytes);
        // The reactor thread comes last; if it cannot start, the members
        // already made are torn down by their own destructors.
        workerThread_ = threadFactory_->createThread([this] { workerLoop(); });
    }

    ~Engine() { shutdown(); }

    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    ReactorCore& core() { return core_; }
    ReactorBackend& backend() { return *backend_; }

    // Stops taking requests, runs the resolver tasks still queued, stops and
    // joins the reactor thread and fails what is left. Never call it on one of
    // the engine's own threads; a second call finds nothing left to do.
    void shutdown() {
        core_.stopAccepting();
        stopping_.store(true);
        backend_->wakeReactor();
        if (workerThread_.joinable()) {
            workerThread_.join();
        }
        core_.failEverything();
    }

private:
    void workerLoop() {
        core_.adoptCurrentThread();
        std::string failure;
        while (!stopping_.load()) {
            try {
                const WakeupRound round;
                core_.resumeConnections();
                // A wait that could block after steps would hold back their
                // wakes: the round ends first, and the next one waits.
                if (core_.roundMayWait() && !backend_->waitOnce(core_, failure)) {
                    break;
                }
                core_.endRound();
            } catch (const std::exception& error) {
                failure = std::string("reactor step failed: ") + error.what();
                break;
            }
        }
        if (!failure.empty()) {
            logger_->error(failure);
            core_.reactorStopped(failure);
        }
    }

    std::shared_ptr<ThreadFactory> threadFactory_;
    std::shared_ptr<LoggerAdapter> logger_;
    std::unique_ptr<ReactorBackend> backend_;
    ReactorCore core_;
    std::atomic<bool> stopping_{false};
    std::thread workerThread_;
};

ReactorClient::ReactorClient(ReactorClientParts parts, const BackendFactory& makeBackend)
    : engine_(std::make_shared<Engine>(std::move(parts), makeBackend)) {}

ReactorClient::~ReactorClient() {
    if (!engine_->core().runsOnOwnThread()) {
        engine_->shutdown();
        return;
    }
    // A completion callback dropped the last reference on the reactor thread
    // or a resolver worker, neither of which can join itself: a thread of its
    // own joins them and then frees the engine. The thread that called us
    // goes on running engine code, so the engine must outlive this object.
    try {
        std::thread([engine = engine_] { engine->shutdown(); }).detach();
    } catch (...) {
        // Without a thread to finish the teardown, leaking the engine is the
        // one safe outcome left.
        new std::shared_ptr<Engine>(engine_);
    }
}

ReactorCore& ReactorClient::core() {
    return engine_->core();
}

ReactorBackend& ReactorClient::backend() {
    return engine_->backend();
}

HttpResponse ReactorClient::execute(const HttpRequest& request) {
    // The caller may do the connection's I/O itself: the engine must outlive
    // the call even when the client is destroyed meanwhile.
    const auto engine = engine_;
    return engine->core().execute(request);
}

std::future<HttpResponse> ReactorClient::executeAsync(const HttpRequest& request) {
    return core().submitForFuture(request);
}

HttpResponse ReactorClient::performRequest(const HttpRequest& request) {
    return execute(request);
}

void ReactorClient::submit(const HttpRequest& request, std::function<void(HttpResponse)> callback) {
    core().submit(request, std::move(callback));
}

void ReactorClient::configureAsyncSession(const AsyncSessionConfig& config) {
    core().configure(config);
}

}  // namespace zorvik::detail
