#pragma once

#include "zorvik/HttpRequest.hpp"
#include "zorvik/HttpResponse.hpp"
#include "zorvik/IoBackend.hpp"

#include <functional>
#include <future>
#include <memory>

namespace zorvik {

class ZorvikConfig;
struct AsyncSessionConfig;

// The library's HTTP clients. Exchange failures never throw: they come back
// as responses with status 0 and the error as status text.
class HttpClient {
public:
    HttpClient() = default;
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;
    virtual ~HttpClient() = default;

    // Sends and blocks until the response is complete.
    virtual HttpResponse execute(const HttpRequest& request) = 0;
    virtual std::future<HttpResponse> executeAsync(const HttpRequest& request) = 0;
    virtual HttpResponse performRequest(const HttpRequest& request) = 0;
    // The callback runs exactly once: on a client thread, or on the caller's
    // thread when the request is refused at once.
    virtual void submit(const HttpRequest& request, std::function<void(HttpResponse)> callback) = 0;
    // Must precede the first request.
    virtual void configureAsyncSession(const AsyncSessionConfig& config) = 0;

    static std::unique_ptr<HttpClient> create(const ZorvikConfig& config);
    static std::unique_ptr<HttpClient> create(const ZorvikConfig& config, IoBackend requested, IoBackend& chosen);

    static HttpResponse fly(const std::shared_ptr<HttpClient>& client, const HttpRequest& request);
    static std::future<HttpResponse> flyAsync(const std::shared_ptr<HttpClient>& client, const HttpRequest& request);

    static void logRequest(const HttpRequest& request);
    static void logResponse(const HttpRequest& request, const HttpResponse& response);
};

}  // namespace zorvik
