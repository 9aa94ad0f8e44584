#pragma once

#include "zorvik/HttpClientBase.hpp"
#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/SSLContext.hpp"
#include "zorvik/ThreadFactory.hpp"
#include "zorvik/ZorvikConfig.hpp"
#include "zorvik/detail/EpollReactor.hpp"
#include "zorvik/detail/ReactorCore.hpp"

#include <atomic>
#include <memory>
#include <thread>

namespace zorvik {

// The default client on Linux: HTTP/1.1 over pooled non-blocking TCP or TLS
// connections, driven by one epoll reactor thread, with two resolver workers
// doing name resolution and connect. Failures come back as status-0
// responses, deadlines as 408; nothing throws to the caller. Destroying the
// client completes every request still under way with status 0. The client's
// own threads never hold it: a completion callback must not own the last
// reference to the client either, since its destructor joins those threads.
class LinuxAsyncEpollClient : public HttpClientBase {
public:
    LinuxAsyncEpollClient();
    explicit LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory> threadFactory);
    explicit LinuxAsyncEpollClient(const ZorvikConfig& config);
    ~LinuxAsyncEpollClient() override;

    HttpResponse execute(const HttpRequest& request) override;
    std::future<HttpResponse> executeAsync(const HttpRequest& request) override;
    HttpResponse performRequest(const HttpRequest& request) override;
    void submit(const HttpRequest& request, std::function<void(HttpResponse)> callback) override;
    void configureAsyncSession(const AsyncSessionConfig& config) override;

private:
    LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory> threadFactory, std::shared_ptr<LoggerAdapter> logger,
                          std::shared_ptr<SSLContext> sslContext);
    void workerLoop();
    void cleanup();

    std::shared_ptr<ThreadFactory> threadFactory_;
    std::shared_ptr<LoggerAdapter> logger_;
    detail::EpollReactor reactor_;
    detail::ReactorCore core_;
    std::atomic<bool> stopping_{false};
    std::thread workerThread_;
};

}  // namespace zorvik
