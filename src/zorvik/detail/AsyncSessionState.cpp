// The way back of an asynchronous session: classified completions, byte
// limits, the completion queue and collecting from it.
#include "zorvik/detail/AsyncSessionState.hpp"

#include "zorvik/detail/AsciiText.hpp"
#include "zorvik/detail/WakeupRound.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace zorvik::detail {
namespace {

constexpr const char* kResponseTooLarge = "Response exceeds the per-request byte limit";
constexpr const char* kBufferExhausted = "Session buffered response byte limit is exhausted";

struct ClassificationRule {
    HttpErrorCode code;
    std::array<std::string_view, 3> needles;  // empty entries match nothing
};

// The first rule that matches decides: TLS before time-out, so that "SSL
// handshake timeout" is a TLS failure, and both before connect.
constexpr std::array<ClassificationRule, 6> kRules{{
    {HttpErrorCode::EndpointPolicyDenied, {"endpoint policy"}},
    {HttpErrorCode::DnsFailure, {"dns", "resolve"}},
    {HttpErrorCode::TlsFailure, {"ssl", "tls", "certificate"}},
    {HttpErrorCode::Timeout, {"timeout", "timed out"}},
    {HttpErrorCode::ResponseTooLarge, {"response exceeds", "body limit"}},
    {HttpErrorCode::ConnectFailure, {"connect", "socket"}},
}};

std::uint32_t kindOf(HttpErrorCode code) {
    static constexpr std::array<std::uint32_t, 9> kinds{0, 1, 2, 3, 8, 9, 10, 7, 11};
    return kinds[static_cast<std::size_t>(code)];
}

bool isRetryable(HttpErrorCode code) {
    return ((0x116U >> static_cast<std::uint32_t>(code)) & 1U) != 0;
}

HttpError makeError(HttpErrorCode code, std::string message) {
    return HttpError{code, kindOf(code), std::error_code(0, std::system_category()), isRetryable(code),
                     std::move(message)};
}

std::chrono::microseconds micros(SessionClock::duration elapsed) {
    return std::chrono::duration_cast<std::chrono::microseconds>(elapsed);
}

}  // namespace

std::string originKey(const HttpRequest& request) {
    return (request.useSSL ? "https://" : "http://") + request.host + ":" + std::to_string(request.port);
}

void countOriginDown(OriginCounts& counts, const std::string& origin) {
    const auto entry = counts.find(origin);
    if (entry == counts.end()) {
        return;
    }
    if (entry->second <= 1) {
        counts.erase(entry);
    } else {
        --entry->second;
    }
}

HttpError classifyFailure(const std::string& text) {
    const std::string lowered = toLowerCopy(text);
    for (const auto& rule : kRules) {
        const bool matches = std::any_of(rule.needles.begin(), rule.needles.end(), [&](std::string_view needle) {
            return !needle.empty() && lowered.find(needle) != std::string::npos;
        });
        if (matches) {
            return makeError(rule.code, text);
        }
    }
    return makeError(HttpErrorCode::TransportFailure, text);
}

AsyncSessionState::AsyncSessionState(AsyncSessionConfig sessionConfig, IoBackend backend)
    : config(std::move(sessionConfig)), activeBackend(backend), completionCapacity(config.completionQueueCapacity) {}


void AsyncSessionState::publishCancellation(RequestId id, const PendingRequest& request, HttpErrorCode code,
                                            std::string message) {
    HttpCompletion completion;
    completion.id = id;
    completion.result = makeError(code, std::move(message));
    completion.totalMicros = micros(SessionClock::now() - request.submittedAt);
    completion.url = request.url;
    queueCompletion(std::move(completion));
}

void AsyncSessionState::completeWithResponse(RequestId id, HttpResponse response) {
    std::unique_lock lock(mutex);
    auto entry = pending.find(id);
    if (entry == pending.end()) {
        return;
    }
    if (const auto logged = entry->second.loggedRequest) {
        // The caller's logger runs without the lock, so that it never holds
        // up submissions or the completions of other requests.
        lock.unlock();
        try {
            HttpClient::logResponse(*logged, response);
        } catch (...) {
            // A failing logger must not cost the request its completion.
        }
        lock.lock();
        entry = pending.find(id);
        if (entry == pending.end()) {
            return;  // cancelled meanwhile, with a completion of its own
        }
    }
    const PendingRequest& request = entry->second;
    const auto now = SessionClock::now();
    HttpCompletion completion;
    completion.id = id;
    completion.totalMicros = micros(now - request.submittedAt);
    if (request.dispatchedAt) {
        completion.queueWaitMicros = micros(*request.dispatchedAt - request.submittedAt);
    }
    const std::uint64_t size = response.body.size();
    if (size > config.maxResponseBytes) {
        completion.result = makeError(HttpErrorCode::ResponseTooLarge, kResponseTooLarge);
    } else if (size > config.maxBufferedResponseBytes - bufferedResponseBytes) {
        completion.result = makeError(HttpErrorCode::ResponseTooLarge, kBufferExhausted);
    } else {
        bufferedResponseBytes += size;
        completion.responseBytes = size;
        if (response.statusCode == 0) {
            completion.result = classifyFailure(response.statusMessage.empty() ? response.body
                                                                                : response.statusMessage);
        } else {
            completion.result = std::move(response);
        }
    }
    completion.url = request.url;
    queueCompletion(std::move(completion));
    countOriginDown(originOutstanding, request.origin);
    pending.erase(entry);
    --inFlight;
    ++completed;
    changed.notify_all();
}

void AsyncSessionState::queueCompletion(HttpCompletion completion) {
    {
        const std::lock_guard lock(queueMutex);
        if (completionsClosed) {
            return;
        }
        if (completions.size() >= completionCapacity) {
            throw std::logic_error("Completion queue capacity invariant violated");
        }
        completions.push_back(std::move(completion));
    }
    // Every waiter: a round may have queued several completions by the time it wakes them.
    WakeupRound::wake(this, [self = shared_from_this()] { self->queueChanged.notify_all(); });
}

void AsyncSessionState::closeCompletions() {
    {
        const std::lock_guard lock(queueMutex);
        completionsClosed = true;
    }
    queueChanged.notify_all();
}

std::size_t AsyncSessionState::collect(std::span<HttpCompletion> out) {
    std::unique_lock lock(queueMutex);
    return collectLocked(lock, out);
}

std::size_t AsyncSessionState::collectLocked(std::unique_lock<std::mutex>& queueLock, std::span<HttpCompletion> out) {
    const std::size_t count = std::min(out.size(), completions.size());
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = std::move(completions.front());
        completions.pop_front();
        bytes += out[i].responseBytes;
    }
    queueLock.unlock();
    if (count == 0) {
        return 0;
    }
    const std::lock_guard lock(mutex);
    if (outstanding < count) {
        throw std::logic_error("Consumed completion count exceeds outstanding requests");
    }
    outstanding -= count;
    if (bufferedResponseBytes < bytes) {
        throw std::logic_error("Consumed response bytes exceed buffered response bytes");
    }
    bufferedResponseBytes -= bytes;
    return count;
}

}  // namespace zorvik::detail
