#pragma once

#include "zorvik/AsyncSession.hpp"
#include "zorvik/HttpClient.hpp"
#include "zorvik/HttpRequest.hpp"
#include "zorvik/HttpResponse.hpp"
#include "zorvik/ZorvikConfig.hpp"

#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zorvik {

// One configured client handle: its configuration and, from the first
// request on, one shared HTTP client (the epoll back end).
class ZorvikInstance {
public:
    // Starts from the configuration's defaults (logger, timeout, redirects,
    // print switches, default headers); sends with fly or flyAsync, as often
    // as wanted.
    class HttpRequestBuilder {
    public:
        HttpRequestBuilder(std::shared_ptr<HttpClient> client, const ZorvikConfig& config, HttpMethod method,
                           const std::string& url);

        HttpRequestBuilder& header(const std::string& name, const std::string& value);
        // Adds only names not present, so a default header of the same name stays.
        HttpRequestBuilder& headers(const std::map<std::string, std::string>& entries);
        HttpRequestBuilder& queryString(const std::string& key, const std::string& value, bool encode);
        HttpRequestBuilder& queryString(const std::map<std::string, std::string>& entries, bool encode);
        HttpRequestBuilder& routeParam(const std::string& name, const std::string& value);
        HttpRequestBuilder& body(const std::string& text);
        HttpRequestBuilder& contentType(const std::string& value);
        HttpRequestBuilder& userAgent(const std::string& value);
        HttpRequestBuilder& timeout(int milliseconds);
        HttpRequestBuilder& followRedirects(bool follow);
        HttpRequestBuilder& maxRedirects(int count);
        HttpRequestBuilder& basicAuth(const std::string& user, const std::string& password);
        HttpRequestBuilder& bearerAuth(const std::string& token);
        HttpRequestBuilder& logRequest(bool enabled);
        HttpRequestBuilder& logResponse(bool enabled);
        HttpRequestBuilder& useLogger(std::shared_ptr<LoggerAdapter> logger);

        HttpRequest build() const { return request_; }
        HttpResponse fly();
        std::future<HttpResponse> flyAsync();

    private:
        std::shared_ptr<HttpClient> client_;
        HttpRequest request_;
    };

    explicit ZorvikInstance(std::shared_ptr<ZorvikConfig> config);
    ~ZorvikInstance();
    ZorvikInstance(const ZorvikInstance&) = delete;
    ZorvikInstance& operator=(const ZorvikInstance&) = delete;

    ZorvikConfig& getConfig() { return *config_; }
    const ZorvikConfig& getConfig() const { return *config_; }

    // Makes the client on first use; a failure leaves none, so the next call tries again.
    std::shared_ptr<HttpClient> ensureHttpClient() const;
    std::shared_ptr<HttpClient> getHttpClient() const { return ensureHttpClient(); }

    HttpRequestBuilder get(const std::string& url);
    HttpRequestBuilder post(const std::string& url);
    HttpRequestBuilder put(const std::string& url);
    HttpRequestBuilder patch(const std::string& url);
    HttpRequestBuilder del(const std::string& url);
    HttpRequestBuilder head(const std::string& url);
    HttpRequestBuilder options(const std::string& url);

    HttpResponse fly(const HttpRequest& request);
    std::future<HttpResponse> flyAsync(const HttpRequest& request);

    // A session on a client of its own, with the back end the configuration
    // asks for; the instance's own client is neither made nor used.
    std::unique_ptr<AsyncSession> openAsyncSession(AsyncSessionConfig config);

private:
    HttpRequestBuilder builder(HttpMethod method, const std::string& url);

    std::shared_ptr<ZorvikConfig> config_;
    mutable std::mutex clientMutex_;
    mutable std::shared_ptr<HttpClient> client_;
};

}  // namespace zorvik
