#include "zorvik/ZorvikInstance.hpp"

#include <utility>

namespace zorvik {

ZorvikInstance::ZorvikInstance(std::shared_ptr<ZorvikConfig> config) : config_(std::move(config)) {}

// The client goes first (its threads stop and join), then the configuration.
ZorvikInstance::~ZorvikInstance() {
    client_.reset();
}

std::shared_ptr<HttpClient> ZorvikInstance::ensureHttpClient() const {
    const std::lock_guard lock(clientMutex_);
    if (!client_) {
        client_ = HttpClient::create(*config_);
    }
    return client_;
}

ZorvikInstance::HttpRequestBuilder ZorvikInstance::builder(HttpMethod method, const std::string& url) {
    // The client exists before the URL is parsed.
    auto client = ensureHttpClient();
    return HttpRequestBuilder(std::move(client), *config_, method, url);
}

ZorvikInstance::HttpRequestBuilder ZorvikInstance::get(const std::string& url) {
    return builder(HttpMethod::GET, url);
}

ZorvikInstance::HttpRequestBuilder ZorvikInstance::post(const std::string& url) {
    return builder(HttpMethod::POST, url);
}

ZorvikInstance::HttpRequestBuilder ZorvikInstance::put(const std::string& url) {
    return builder(HttpMethod::PUT, url);
}

ZorvikInstance::HttpRequestBuilder ZorvikInstance::patch(const std::string& url) {
    return builder(HttpMethod::PATCH, url);
}

ZorvikInstance::HttpRequestBuilder ZorvikInstance::del(const std::string& url) {
    return builder(HttpMethod::DELETE, url);
}

ZorvikInstance::HttpRequestBuilder ZorvikInstance::head(const std::string& url) {
    return builder(HttpMethod::HEAD, url);
}

ZorvikInstance::HttpRequestBuilder ZorvikInstance::options(const std::string& url) {
    return builder(HttpMethod::OPTIONS, url);
}

HttpResponse ZorvikInstance::fly(const HttpRequest& request) {
    return HttpClient::fly(ensureHttpClient(), request);
}

std::future<HttpResponse> ZorvikInstance::flyAsync(const HttpRequest& request) {
    return HttpClient::flyAsync(ensureHttpClient(), request);
}

std::unique_ptr<AsyncSession> ZorvikInstance::openAsyncSession(AsyncSessionConfig config) {
    IoBackend chosen = config.backend;
    std::shared_ptr<HttpClient> client = HttpClient::create(*config_, config.backend, chosen);
    return std::make_unique<AsyncSession>(std::move(client), std::move(config), chosen);
}

}  // namespace zorvik
