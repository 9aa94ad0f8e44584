#pragma once

#include "zorvik/AsyncSessionConfig.hpp"
#include "zorvik/HttpClient.hpp"
#include "zorvik/HttpRequest.hpp"
#include "zorvik/HttpResponse.hpp"
#include "zorvik/IoBackend.hpp"

#include <chrono>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <variant>

namespace zorvik {

// A request of one session; 0 stands for none and is never handed out.
struct RequestId {
    std::uint64_t value = 0;

    friend auto operator<=>(const RequestId&, const RequestId&) = default;
};

enum class SubmitStatus : std::uint32_t {
    Accepted = 0,
    NotAccepting = 1,       // the session is closing or closed
    CapacityExhausted = 2,  // a session-wide or per-origin limit is reached
    InvalidRequest = 3,     // unresolved URL placeholder, time limit below 1 ms
    DispatchFailed = 4,     // the dispatcher refused the request after acceptance
};

struct SubmitResult {
    SubmitStatus status = SubmitStatus::Accepted;
    RequestId id;
    std::string message;  // empty when accepted

    static SubmitResult rejected(SubmitStatus status, std::string message);
};

enum class HttpErrorCode : std::uint32_t {
    EndpointPolicyDenied = 0,
    DnsFailure = 1,
    ConnectFailure = 2,
    TlsFailure = 3,
    Timeout = 4,
    Cancelled = 5,
    SessionAborted = 6,
    ResponseTooLarge = 7,
    TransportFailure = 8,
};

struct HttpError {
    HttpErrorCode code = HttpErrorCode::TransportFailure;
    std::uint32_t kind = 0;  // a second number fixed by the code alone
    std::error_code systemError;
    bool retryable = false;
    std::string message;
};

// One finished request. The timing figures between queueWaitMicros and
// totalMicros are kept for later use and always 0.
struct HttpCompletion {
    RequestId id;
    std::variant<HttpResponse, HttpError> result = HttpError{};
    std::chrono::microseconds queueWaitMicros{0};
    std::chrono::microseconds connectMicros{0};
    std::chrono::microseconds tlsMicros{0};
    std::chrono::microseconds requestWriteMicros{0};
    std::chrono::microseconds firstByteMicros{0};
    std::chrono::microseconds responseReadMicros{0};
    std::chrono::microseconds totalMicros{0};
    std::string url;
    std::uint64_t responseBytes = 0;  // raw body bytes counted into the session's buffer
};

enum class WaitStatus : std::uint32_t {
    Ready = 0,
    TimedOut = 1,
    Closed = 2,
};

struct WaitResult {
    WaitStatus status = WaitStatus::Ready;
    std::uint64_t count = 0;
};

struct AsyncSessionStats {
    std::uint64_t accepted = 0;
    std::uint64_t rejected = 0;
    std::uint64_t completed = 0;
    std::uint64_t cancelled = 0;
    std::uint64_t inFlight = 0;
    std::uint64_t outstanding = 0;
    std::uint64_t queuedCompletions = 0;
    std::uint64_t bufferedResponseBytes = 0;
    IoBackend backend = IoBackend::Auto;
};

enum class ShutdownMode : std::uint32_t {
    Drain = 0,  // wait up to the time limit for pending requests, then abort the rest
    Abort = 1,  // abort every pending request at once
};

// Many requests in flight without a thread per request. submit returns at
// once with an id or a refusal; every accepted request ends in exactly one
// completion, collected with poll or wait. Everything the session holds is
// bounded by its configuration. It owns its HTTP client and one completion
// worker; neither outlives it.
class AsyncSession {
public:
    // Throws std::invalid_argument for an inconsistent configuration or an empty client.
    AsyncSession(std::shared_ptr<HttpClient> client, AsyncSessionConfig config, IoBackend activeBackend);
    // Aborts what is still pending unless the session was shut down.
    ~AsyncSession();
    AsyncSession(const AsyncSession&) = delete;
    AsyncSession& operator=(const AsyncSession&) = delete;

    // Never throws for a bad request or a limit; the result says what happened.
    SubmitResult submit(HttpRequest request);
    // Moves out up to out.size() completions, oldest first; never waits.
    std::size_t poll(std::span<HttpCompletion> out);
    // As poll, but waits up to `timeout` for a first completion.
    WaitResult wait(std::span<HttpCompletion> out, std::chrono::milliseconds timeout);
    // True if the request was pending and now ends as cancelled.
    bool cancel(RequestId id);
    // Only the first call does anything; completions queued before it stay collectable.
    void shutdown(ShutdownMode mode, std::chrono::milliseconds timeout);
    AsyncSessionStats stats() const;
    IoBackend activeBackend() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zorvik

template <>
struct std::hash<zorvik::RequestId> {
    std::size_t operator()(const zorvik::RequestId& id) const noexcept { return std::hash<std::uint64_t>{}(id.value); }
};
