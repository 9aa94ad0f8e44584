#pragma once

#include "zorvik/AsyncSession.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zorvik::testing {

// A client that only records what a session hands it; the test answers,
// either at once from submit or later through respond.
class StubClient : public HttpClient {
public:
    using Answer = std::function<HttpResponse(const HttpRequest&)>;

    HttpResponse execute(const HttpRequest&) override { throw std::logic_error("not used by sessions"); }
    std::future<HttpResponse> executeAsync(const HttpRequest&) override {
        throw std::logic_error("not used by sessions");
    }
    HttpResponse performRequest(const HttpRequest&) override { throw std::logic_error("not used by sessions"); }

    void submit(const HttpRequest& request, std::function<void(HttpResponse)> callback) override {
        Answer answer;
        std::function<void(const HttpRequest&)> hook;
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back(request);
            callbacks_.push_back(callback);
            answer = answer_;
            hook = onSubmit_;
        }
        if (hook) {
            hook(request);
        }
        if (answer) {
            callback(answer(request));
        }
    }

    void configureAsyncSession(const AsyncSessionConfig&) override {}

    void answerAtOnce(Answer answer) {
        const std::lock_guard lock(mutex_);
        answer_ = std::move(answer);
    }

    // Runs inside submit, on the submitting thread, once respond can answer the request.
    void onSubmit(std::function<void(const HttpRequest&)> hook) {
        const std::lock_guard lock(mutex_);
        onSubmit_ = std::move(hook);
    }

    // Delivers a response to the index-th request handed over, on the calling thread.
    void respond(std::size_t index, HttpResponse response) {
        std::function<void(HttpResponse)> callback;
        {
            const std::lock_guard lock(mutex_);
            callback = callbacks_.at(index);
        }
        callback(std::move(response));
    }

    std::vector<HttpRequest> requests() const {
        const std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    mutable std::mutex mutex_;
    Answer answer_;
    std::function<void(const HttpRequest&)> onSubmit_;
    std::vector<HttpRequest> requests_;
    std::vector<std::function<void(HttpResponse)>> callbacks_;
};

// Limits no test reaches unless it lowers them.
inline AsyncSessionConfig roomyConfig() {
    AsyncSessionConfig config;
    config.backend = IoBackend::Epoll;
    config.maxInFlightRequests = 16;
    config.completionQueueCapacity = 32;
    config.maxConnections = 16;
    config.maxConnectionsPerOrigin = 16;
    config.maxOutstandingPerOrigin = 16;
    config.maxResponseBytes = 1 << 20;
    config.maxBufferedResponseBytes = 1 << 22;
    config.idleConnectionTtl = std::chrono::seconds(30);
    return config;
}

inline HttpRequest sessionRequest(const std::string& url, int timeoutMs = 10000) {
    HttpRequest request(HttpMethod::GET, url);
    request.setTimeout(timeoutMs);
    return request;
}

// Polls until the condition holds (bounded).
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto limit = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The next completion; a test that waits in vain fails instead of hanging.
inline HttpCompletion nextCompletion(AsyncSession& session,
                                     std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::vector<HttpCompletion> out(1);
    const auto result = session.wait(out, limit);
    EXPECT_EQ(result.status, WaitStatus::Ready);
    EXPECT_EQ(result.count, 1U);
    return std::move(out[0]);
}

// Every completion of the accepted ids, in arrival order.
inline std::vector<HttpCompletion> completionsOf(AsyncSession& session, std::size_t count) {
    std::vector<HttpCompletion> all;
    for (std::size_t i = 0; i < count; ++i) {
        all.push_back(nextCompletion(session));
    }
    return all;
}

inline void expectError(const HttpCompletion& completion, HttpErrorCode code, const std::string& message) {
    const auto* error = std::get_if<HttpError>(&completion.result);
    ASSERT_NE(error, nullptr) << "a response where an error was expected";
    EXPECT_EQ(error->code, code);
    EXPECT_EQ(error->message, message);
}

inline int statusOf(const HttpCompletion& completion) {
    const auto* response = std::get_if<HttpResponse>(&completion.result);
    return response ? response->statusCode : -1;
}

}  // namespace zorvik::testing
