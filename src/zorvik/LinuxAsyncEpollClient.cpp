#include "zorvik/LinuxAsyncEpollClient.hpp"

namespace zorvik {
namespace {

std::shared_ptr<ThreadFactory> orDefault(std::shared_ptr<ThreadFactory> factory) {
    return factory ? std::move(factory) : std::make_shared<ZorvikThreadFactory>(1);
}

std::shared_ptr<LoggerAdapter> orDefault(std::shared_ptr<LoggerAdapter> logger) {
    return logger ? std::move(logger) : std::make_shared<ConsoleLoggerAdapter>();
}

}  // namespace

LinuxAsyncEpollClient::LinuxAsyncEpollClient() : LinuxAsyncEpollClient(nullptr, nullptr, nullptr) {}

LinuxAsyncEpollClient::LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory> threadFactory)
    : LinuxAsyncEpollClient(std::move(threadFactory), nullptr, nullptr) {}

LinuxAsyncEpollClient::LinuxAsyncEpollClient(const ZorvikConfig& config)
    : LinuxAsyncEpollClient(config.getThreadFactory(), config.getLogger(), config.getSSLContext()) {}

LinuxAsyncEpollClient::LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory> threadFactory,
                                             std::shared_ptr<LoggerAdapter> logger,
                                             std::shared_ptr<SSLContext> sslContext)
    : threadFactory_(orDefault(std::move(threadFactory))),
      logger_(orDefault(std::move(logger))),
      reactor_(logger_),
      core_(reactor_, std::move(sslContext), logger_) {
    // The reactor thread comes last; if it cannot start, the members already
    // made are torn down by their own destructors.
    workerThread_ = threadFactory_->createThread([this] { workerLoop(); });
}

LinuxAsyncEpollClient::~LinuxAsyncEpollClient() {
    cleanup();
}

HttpResponse LinuxAsyncEpollClient::execute(const HttpRequest& request) {
    return executeAsync(request).get();
}

std::future<HttpResponse> LinuxAsyncEpollClient::executeAsync(const HttpRequest& request) {
    return core_.submitForFuture(request);
}

HttpResponse LinuxAsyncEpollClient::performRequest(const HttpRequest& request) {
    return execute(request);
}

void LinuxAsyncEpollClient::submit(const HttpRequest& request, std::function<void(HttpResponse)> callback) {
    core_.submit(request, std::move(callback));
}

void LinuxAsyncEpollClient::configureAsyncSession(const AsyncSessionConfig& config) {
    core_.configure(config);
}

void LinuxAsyncEpollClient::workerLoop() {
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

void LinuxAsyncEpollClient::cleanup() {
    core_.stopAccepting();
    stopping_.store(true);
    reactor_.wakeReactor();
    if (workerThread_.joinable()) {
        workerThread_.join();
    }
    core_.failEverything();
}

}  // namespace zorvik
