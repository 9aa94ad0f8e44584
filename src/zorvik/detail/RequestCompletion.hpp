#pragma once

#include <functional>
#include <mutex>
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

}  // namespace zorvik::detail
