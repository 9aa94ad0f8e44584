#include "zorvik/HttpClient.hpp"

#include "zorvik/LinuxAsyncEpollClient.hpp"
#include "zorvik/LinuxUringClient.hpp"
#include "zorvik/ZorvikConfig.hpp"
#include "zorvik/detail/BoundedTaskExecutor.hpp"
#include "zorvik/detail/WakeupRound.hpp"

#include <memory>
#include <stdexcept>

namespace zorvik {
namespace {

// Moves response logging, and the fulfilment of the futures whose responses
// are logged, off the clients' own threads. Every callback holds a
// reference, so the executor outlives each client that may still post to it,
// including clients of the named-instance registry, destroyed at exit after
// this static.
const std::shared_ptr<detail::BoundedTaskExecutor>& compatibilityCompletionExecutor() {
    // The last holder, never the worker itself, runs what is still queued,
    // so no future is broken by the executor going away.
    static const std::shared_ptr<detail::BoundedTaskExecutor> executor(
        new detail::BoundedTaskExecutor(1, 4096), [](detail::BoundedTaskExecutor* last) {
            last->shutdown(detail::TaskShutdownMode::Drain);
            delete last;
        });
    return executor;
}

}  // namespace

std::unique_ptr<HttpClient> HttpClient::create(const ZorvikConfig& config) {
    return std::make_unique<LinuxAsyncEpollClient>(config);
}

std::unique_ptr<HttpClient> HttpClient::create(const ZorvikConfig& config, IoBackend requested, IoBackend& chosen) {
    switch (requested) {
        case IoBackend::Auto:
        case IoBackend::Epoll:
            chosen = IoBackend::Epoll;
            return std::make_unique<LinuxAsyncEpollClient>(config);
        case IoBackend::IoUring:
            chosen = IoBackend::IoUring;
            return std::make_unique<LinuxUringHttpClient>(config);
    }
    throw std::invalid_argument("Requested I/O backend is unavailable on Linux");
}

HttpResponse HttpClient::fly(const std::shared_ptr<HttpClient>& client, const HttpRequest& request) {
    if (request.logRequest) {
        logRequest(request);
    }
    HttpResponse response = client->execute(request);
    if (request.logResponse) {
        logResponse(request, response);
    }
    return response;
}

std::future<HttpResponse> HttpClient::flyAsync(const std::shared_ptr<HttpClient>& client, const HttpRequest& request) {
    if (request.logRequest) {
        logRequest(request);
    }
    auto promise = std::make_shared<std::promise<HttpResponse>>();
    auto future = promise->get_future();
    // Kept, once and shared, only for the response's log line: the callbacks
    // need not carry copies of the request and its body.
    std::shared_ptr<const HttpRequest> logged;
    if (request.logResponse) {
        logged = std::make_shared<const HttpRequest>(request);
    }
    auto callback = [promise, logged, executor = compatibilityCompletionExecutor()](HttpResponse response) {
        if (!logged) {
            // Fulfilling a promise runs no code of the caller's: nothing to move
            // off the client's thread. It is done at the end of the reactor's
            // round, so that a caller waiting on several answers wakes once.
            detail::WakeupRound::wake(promise.get(), [promise, response = std::move(response)]() mutable {
                promise->set_value(std::move(response));
            });
            return;
        }
        auto shared = std::make_shared<HttpResponse>(std::move(response));
        const bool queued = executor->submit([promise, logged, shared] {
            try {
                if (logged) {
                    logResponse(*logged, *shared);
                }
            } catch (...) {
                // A failing logger must not cost the caller its response.
            }
            promise->set_value(std::move(*shared));
        });
        if (!queued) {
            promise->set_value(std::move(*shared));
        }
    };
    client->submit(request, std::move(callback));
    return future;
}

}  // namespace zorvik
