#pragma once

#include "zorvik/HttpClientBase.hpp"
#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/SSLContext.hpp"
#include "zorvik/ThreadFactory.hpp"
#include "zorvik/ZorvikConfig.hpp"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

namespace zorvik::detail {

class ReactorBackend;
class ReactorCore;

// What a reactor client is built from; a missing thread factory or logger is
// replaced by the library's defaults, a missing TLS context stays missing, and
// the response limit is unlimited unless the configuration sets one.
struct ReactorClientParts {
    std::shared_ptr<ThreadFactory> threadFactory;
    std::shared_ptr<LoggerAdapter> logger;
    std::shared_ptr<SSLContext> sslContext;
    std::uint64_t maxResponseBytes = std::numeric_limits<std::uint64_t>::max();

    static ReactorClientParts from(const ZorvikConfig& config) {
        return {config.getThreadFactory(), config.getLogger(), config.getSSLContext(), config.getMaxResponseBytes()};
    }
};

// The body shared by the reactor clients: one event back end, the reactor
// core and the threads that run them. Failures come back as status-0
// responses, deadlines as 408; nothing throws to the caller. Destroying the
// client completes every request still under way with status 0. A completion
// callback may drop the last reference to the client: the teardown then
// finishes on a thread of its own, since no thread can join itself.
class ReactorClient : public HttpClientBase {
public:
    ~ReactorClient() override;

    HttpResponse execute(const HttpRequest& request) override;
    std::future<HttpResponse> executeAsync(const HttpRequest& request) override;
    HttpResponse performRequest(const HttpRequest& request) override;
    void submit(const HttpRequest& request, std::function<void(HttpResponse)> callback) override;
    void configureAsyncSession(const AsyncSessionConfig& config) override;

    // The shared core, for the tests that narrow its budgets.
    ReactorCore& core();

protected:
    using BackendFactory = std::function<std::unique_ptr<ReactorBackend>(const std::shared_ptr<LoggerAdapter>&)>;

    // Throws std::runtime_error when the back end cannot be set up.
    ReactorClient(ReactorClientParts parts, const BackendFactory& makeBackend);

    ReactorBackend& backend();

private:
    // It can outlive the client object while its teardown finishes.
    class Engine;

    std::shared_ptr<Engine> engine_;
};

}  // namespace zorvik::detail
