#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

#include "zorvik/HttpResponse.hpp"

namespace zorvik::detail {

// The completion callback of one request, shared by every holder of the request
// (resolver task, connection context, redirect follow-up). Whichever thread
// completes first delivers its response; later completions are dropped. The
// callback runs outside the lock; an exception from it reaches the caller of
// complete, and the callback is spent either way.
struct RequestCompletion {
    std::mutex mutex;
    std::function<void(HttpResponse)> callback;

    void complete(HttpResponse response) {
        std::function<void(HttpResponse)> taken;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!callback) {
                return;
            }
            taken = std::move(callback);
            callback = nullptr;
        }
        taken(std::move(response));
    }
};

// The answer to a request whose caller waits for it: filled once by the
// request's completion, taken once by the caller. Filling it makes a system
// call only when the caller is already asleep on it (a promise makes one
// every time).
class AnswerSlot {
public:
    void fill(HttpResponse response) {
        response_ = std::move(response);
        ready_.store(true, std::memory_order_release);
        ready_.notify_one();
    }
    bool ready() const { return ready_.load(std::memory_order_acquire); }
    HttpResponse take() {
        ready_.wait(false, std::memory_order_acquire);
        return std::move(*response_);
    }

private:
    std::optional<HttpResponse> response_;
    std::atomic<bool> ready_{false};
};

}  // namespace zorvik::detail
