#pragma once

#include "zorvik/HttpClientBase.hpp"
#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/SSLContext.hpp"
#include "zorvik/ThreadFactory.hpp"
#include "zorvik/ZorvikConfig.hpp"

#include <memory>

namespace zorvik {

// The default client on Linux: HTTP/1.1 over pooled non-blocking TCP or TLS
// connections, driven by one epoll reactor thread, with two resolver workers
// doing name resolution and connect. Failures come back as status-0
// responses, deadlines as 408; nothing throws to the caller. Destroying the
// client completes every request still under way with status 0. A completion
// callback may drop the last reference to the client: the teardown then
// finishes on a thread of its own, since no thread can join itself.
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
    // The reactor, the core and the threads that run them; it can outlive
    // the client object while its teardown finishes.
    class Engine;

    LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory> threadFactory, std::shared_ptr<LoggerAdapter> logger,
                          std::shared_ptr<SSLContext> sslContext);

    std::shared_ptr<Engine> engine_;
};

}  // namespace zorvik
