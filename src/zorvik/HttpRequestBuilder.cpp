#include "zorvik/ZorvikInstance.hpp"

#include <utility>

namespace zorvik {

using Builder = ZorvikInstance::HttpRequestBuilder;

Builder::HttpRequestBuilder(std::shared_ptr<HttpClient> client, const ZorvikConfig& config, HttpMethod method,
                            const std::string& url)
    : client_(std::move(client)), request_(method, url) {
    request_.setLogger(config.getLogger());
    request_.setTimeout(config.getTimeout());
    request_.setFollowRedirects(config.shouldFollowRedirects());
    request_.setMaxRedirects(config.getMaxRedirects());
    request_.logRequest = config.shouldPrintRequests();
    request_.logResponse = config.shouldPrintResponses();
    for (const auto& [name, value] : config.getDefaultHeaders()) {
        request_.setHeader(name, value);
    }
}

Builder& Builder::header(const std::string& name, const std::string& value) {
    request_.setHeader(name, value);
    return *this;
}

Builder& Builder::headers(const std::map<std::string, std::string>& entries) {
    request_.setHeaders(entries);
    return *this;
}

Builder& Builder::queryString(const std::string& key, const std::string& value, bool encode) {
    request_.addQueryString(key, value, encode);
    return *this;
}

Builder& Builder::queryString(const std::map<std::string, std::string>& entries, bool encode) {
    request_.addQueryString(entries, encode);
    return *this;
}

Builder& Builder::routeParam(const std::string& name, const std::string& value) {
    request_.setRouteParam(name, value);
    return *this;
}

Builder& Builder::body(const std::string& text) {
    request_.setBody(text);
    return *this;
}

Builder& Builder::contentType(const std::string& value) {
    request_.setContentType(value);
    return *this;
}

Builder& Builder::userAgent(const std::string& value) {
    request_.setUserAgent(value);
    return *this;
}

Builder& Builder::timeout(int milliseconds) {
    request_.setTimeout(milliseconds);
    return *this;
}

Builder& Builder::followRedirects(bool follow) {
    request_.setFollowRedirects(follow);
    return *this;
}

Builder& Builder::maxRedirects(int count) {
    request_.setMaxRedirects(count);
    return *this;
}

Builder& Builder::basicAuth(const std::string& user, const std::string& password) {
    request_.setBasicAuth(user, password);
    return *this;
}

Builder& Builder::bearerAuth(const std::string& token) {
    request_.setBearerAuth(token);
    return *this;
}

Builder& Builder::logRequest(bool enabled) {
    request_.logRequest = enabled;
    return *this;
}

Builder& Builder::logResponse(bool enabled) {
    request_.logResponse = enabled;
    return *this;
}

Builder& Builder::useLogger(std::shared_ptr<LoggerAdapter> logger) {
    request_.setLogger(std::move(logger));
    return *this;
}

HttpResponse Builder::fly() {
    return HttpClient::fly(client_, request_);
}

std::future<HttpResponse> Builder::flyAsync() {
    return HttpClient::flyAsync(client_, request_);
}

}  // namespace zorvik
