#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/SSLContext.hpp"
#include "zorvik/ThreadFactory.hpp"

namespace zorvik {

// Settings of one library instance, shared by the instance, its request
// builders and its HTTP client. Not locked: set it up before the first request.
// The client reads logger, TLS context, thread factory and response limit
// once, when it is created; timeout, redirects, logging switches and default headers are read
// by every new request builder.
class ZorvikConfig {
public:
    using HeaderMap = std::map<std::string, std::string>;

    ZorvikConfig();

    // Null is accepted: requests then carry no logger and are never logged.
    ZorvikConfig& logger(std::shared_ptr<LoggerAdapter> value);
    ZorvikConfig& printRequests(bool value);
    ZorvikConfig& printResponses(bool value);
    ZorvikConfig& timeout(int milliseconds);
    ZorvikConfig& followRedirects(bool value);
    ZorvikConfig& maxRedirects(int value);
    // Inserts, or replaces the value under exactly this name.
    ZorvikConfig& defaultHeader(const std::string& name, const std::string& value);
    // Null means no TLS: "https" requests fail.
    ZorvikConfig& ssl(std::shared_ptr<SSLContext> context);
    ZorvikConfig& threadFactory(std::shared_ptr<ThreadFactory> factory);
    // Most bytes a response may take as received (head included) and once
    // decoded; a larger one fails with status 0. Read when the client is
    // created; unlimited by default.
    ZorvikConfig& maxResponseBytes(std::uint64_t bytes);

    std::shared_ptr<LoggerAdapter> getLogger() const { return logger_; }
    bool shouldPrintRequests() const { return printRequests_; }
    bool shouldPrintResponses() const { return printResponses_; }
    int getTimeout() const { return timeout_; }
    bool shouldFollowRedirects() const { return followRedirects_; }
    int getMaxRedirects() const { return maxRedirects_; }
    const HeaderMap& getDefaultHeaders() const { return defaultHeaders_; }
    std::shared_ptr<SSLContext> getSSLContext() const { return sslContext_; }
    bool hasSSL() const { return sslContext_ != nullptr; }
    std::shared_ptr<ThreadFactory> getThreadFactory() const { return threadFactory_; }
    std::uint64_t getMaxResponseBytes() const { return maxResponseBytes_; }

private:
    // The one console logger shared by every configuration made with defaults.
    // A function-local static, so that configurations made during static
    // initialisation elsewhere still find it constructed.
    static const std::shared_ptr<LoggerAdapter>& defaultLogger_();

    std::shared_ptr<LoggerAdapter> logger_;
    bool printRequests_ = false;
    bool printResponses_ = false;
    int timeout_ = 30000;
    bool followRedirects_ = true;
    int maxRedirects_ = 5;
    HeaderMap defaultHeaders_;
    std::shared_ptr<SSLContext> sslContext_;
    std::shared_ptr<ThreadFactory> threadFactory_;
    std::uint64_t maxResponseBytes_ = std::numeric_limits<std::uint64_t>::max();
};

}  // namespace zorvik
