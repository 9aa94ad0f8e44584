#include "zorvik/LinuxAsyncEpollClient.hpp"

#include "zorvik/detail/EpollReactor.hpp"
#include "zorvik/detail/ReactorCore.hpp"

#include <atomic>
#include <thread>

namespace zorvik {
namespace {

std::shared_ptr<ThreadFactory> orDefault(std::shared_ptr<ThreadFactory> factory) {
    return factory ? std::move(factory) : std::make_shared<ZorvikThreadFactory>(1);
}

std::shared_ptr<LoggerAdapter> orDefault(std::shared_ptr<LoggerAdapter> logger) {
    return logger ? std::move(logger) : std::make_shared<ConsoleLoggerAdapter>();
}

}  // namespace

class LinuxAsyncEpollClient::Engine {
public:
    Engine(std::shared_ptr<ThreadFactory> threadFactory, std::shared_ptr<LoggerAdapter> logger,
           std::shared_ptr<SSLContext> sslContext)
        : threadFactory_(orDefault(std::move(threadFactory))),
          logger_(orDefault(std::move(logger))),
          reactor_(logger_),
          core_(reactor_, std::move(sslContext), logger_) {
        // The reactor thread comes last; if it cannot start, the members
        // already made are torn down by their own destructors.
        workerThread_ = threadFactory_->createThread([this] { workerLoop(); });
    }

    ~Engine() { shutdown(); }

    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    detail::ReactorCore& core() { return core_; }

    // Stops taking requests, runs the resolver tasks still queued, stops and
    // joins the reactor thread and fails what is left. Never call it on one of
    // the engine's own threads; a second call finds nothing left to do.
    void shutdown() {
        core_.stopAccepting();
        stopping_.store(true);
        reactor_.wakeReactor();
        if (workerThread_.joinable()) {
            workerThread_.join();
        }
        core_.failEverything();
    }

private:
    void workerLoop() {
        core_.adoptCurrentThread();
        std::string failure;
        const auto onReady = [this](int fd) {
            if (const auto connection = core_.findConnection(fd)) {
                core_.processReady(connection);
            }
        };
        while (!stopping_.load()) {
            try {
                if (!reactor_.waitOnce(onReady, failure)) {
                    break;
                }
                core_.expireDeadlines();
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
    detail::EpollReactor reactor_;
    detail::ReactorCore core_;
    std::atomic<bool> stopping_{false};
    std::thread workerThread_;
};

LinuxAsyncEpollClient::LinuxAsyncEpollClient() : LinuxAsyncEpollClient(nullptr, nullptr, nullptr) {}

LinuxAsyncEpollClient::LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory> threadFactory)
    : LinuxAsyncEpollClient(std::move(threadFactory), nullptr, nullptr) {}

LinuxAsyncEpollClient::LinuxAsyncEpollClient(const ZorvikConfig& config)
    : LinuxAsyncEpollClient(config.getThreadFactory(), config.getLogger(), config.getSSLContext()) {}

LinuxAsyncEpollClient::LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory> threadFactory,
                                             std::shared_ptr<LoggerAdapter> logger,
                                             std::shared_ptr<SSLContext> sslContext)
    : engine_(std::make_shared<Engine>(std::move(threadFactory), std::move(logger), std::move(sslContext))) {}

LinuxAsyncEpollClient::~LinuxAsyncEpollClient() {
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

HttpResponse LinuxAsyncEpollClient::execute(const HttpRequest& request) {
    return executeAsync(request).get();
}

std::future<HttpResponse> LinuxAsyncEpollClient::executeAsync(const HttpRequest& request) {
    return engine_->core().submitForFuture(request);
}

HttpResponse LinuxAsyncEpollClient::performRequest(const HttpRequest& request) {
    return execute(request);
}

void LinuxAsyncEpollClient::submit(const HttpRequest& request, std::function<void(HttpResponse)> callback) {
    engine_->core().submit(request, std::move(callback));
}

void LinuxAsyncEpollClient::configureAsyncSession(const AsyncSessionConfig& config) {
    engine_->core().configure(config);
}

}  // namespace zorvik
