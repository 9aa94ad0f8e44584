#include "infrastructure/http/zorvik_http_transport.hpp"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/Zorvik.hpp"
#include "zorvik/ZorvikConfig.hpp"
#include "zorvik/ZorvikInstance.hpp"

namespace quarlino::quil::infrastructure::http {
namespace {

constexpr const char* kUserAgent = "Quil/0.1.0";
constexpr std::int64_t kMaxTimeoutMilliseconds = 2147483647;
// No platform answer comes near this; a larger one is a hostile or broken server.
constexpr std::uint64_t kMaxResponseBytes = std::uint64_t{256} << 20;

// The program reports failures itself; the library must print nothing, and
// must never echo a request (and with it the token) anywhere.
class SilentLogger : public zorvik::LoggerAdapter {
public:
    void trace(const std::string&) override {}
    void debug(const std::string&) override {}
    void info(const std::string&) override {}
    void warn(const std::string&) override {}
    void error(const std::string&) override {}
    void critical(const std::string&) override {}
    bool shouldLog(int) const override { return false; }
};

bool isServerRelative(std::string_view path) {
    return !path.empty() && path.front() == '/' && path.substr(0, 2) != "//" &&
           path.find("://") == std::string_view::npos;
}

using Verb = zorvik::ZorvikInstance::HttpRequestBuilder (zorvik::ZorvikInstance::*)(const std::string&);

// Indexed by the port's method value.
constexpr std::array<Verb, 5> kVerbs = {
    &zorvik::ZorvikInstance::get,   &zorvik::ZorvikInstance::post, &zorvik::ZorvikInstance::put,
    &zorvik::ZorvikInstance::patch, &zorvik::ZorvikInstance::del,
};

}  // namespace

int zorvikTimeoutMilliseconds(std::chrono::seconds timeout) {
    const std::int64_t milliseconds = static_cast<std::int64_t>(timeout.count()) * 1000;
    if (milliseconds > kMaxTimeoutMilliseconds) {
        throw std::invalid_argument("request timeout exceeds the Zorvik supported range");
    }
    return static_cast<int>(milliseconds);
}

class ZorvikHttpTransport::Implementation {
public:
    explicit Implementation(const quil::config::ClientConfig& clientConfig)
        : serverUrl_(clientConfig.serverUrl()), config_(createZorvikConfiguration(clientConfig)), instance_(config_) {}

    static std::shared_ptr<zorvik::ZorvikConfig> createZorvikConfiguration(const quil::config::ClientConfig& clientConfig);

    application::port::HttpResponse send(const application::port::HttpRequest& request);

private:
    // Destroyed in reverse: the instance (joining its threads) before the
    // configuration it reads.
    std::string serverUrl_;
    std::shared_ptr<zorvik::ZorvikConfig> config_;
    zorvik::ZorvikInstance instance_;
};

std::shared_ptr<zorvik::ZorvikConfig> ZorvikHttpTransport::Implementation::createZorvikConfiguration(
    const quil::config::ClientConfig& clientConfig) {
    auto configuration = std::make_shared<zorvik::ZorvikConfig>();
    configuration->logger(std::make_shared<SilentLogger>());
    configuration->ssl(zorvik::Zorvik::SSL::createOpenSSLContext());

    configuration->timeout(zorvikTimeoutMilliseconds(clientConfig.requestTimeout()));
    configuration->followRedirects(false).printRequests(false).printResponses(false);
    configuration->maxResponseBytes(kMaxResponseBytes);

    configuration->defaultHeader("User-Agent", kUserAgent);
    if (const auto& token = clientConfig.accessToken()) {
        configuration->defaultHeader("Authorization", "Bearer " + *token);
        configuration->defaultHeader("quarlino-token", *token);
    }
    if (const auto& workspaceId = clientConfig.workspaceId()) {
        configuration->defaultHeader("quarlino-workspace-id", *workspaceId);
    }
    return configuration;
}

application::port::HttpResponse ZorvikHttpTransport::Implementation::send(
    const application::port::HttpRequest& request) {
    if (!isServerRelative(request.path)) {
        throw std::invalid_argument("HTTP request path must be server relative");
    }
    const auto methodIndex = static_cast<std::size_t>(request.method);
    if (methodIndex >= kVerbs.size()) {
        throw std::invalid_argument("unsupported HTTP method");
    }

    auto builder = (instance_.*kVerbs[methodIndex])(serverUrl_ + request.path);
    builder.headers(request.headers);
    if (!request.body.empty()) {
        builder.body(request.body);
    }
    zorvik::HttpResponse response = builder.fly();
    std::string body = response.takeBody();
    return application::port::HttpResponse{response.statusCode, std::move(response.headers), std::move(body)};
}

ZorvikHttpTransport::ZorvikHttpTransport(const quil::config::ClientConfig& config)
    : implementation_(std::make_unique<Implementation>(config)) {}

ZorvikHttpTransport::~ZorvikHttpTransport() = default;

application::port::HttpResponse ZorvikHttpTransport::send(const application::port::HttpRequest& request) {
    return implementation_->send(request);
}

}  // namespace quarlino::quil::infrastructure::http
