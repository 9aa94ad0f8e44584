#include "config/client_config.hpp"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace quarlino::quil::config {
namespace {

constexpr std::string_view httpsScheme = "https://";
constexpr std::string_view httpScheme = "http://";
constexpr std::chrono::seconds defaultTimeout{30};
constexpr std::chrono::seconds minimumTimeout{1};
constexpr std::chrono::seconds maximumTimeout{300};

bool schemeAccepted(std::string_view url, bool allowInsecureHttp) {
    if (url.size() > httpScheme.size() && url.starts_with(httpsScheme)) {
        return true;
    }
    if (url.size() >= httpScheme.size() && url.starts_with(httpScheme)) {
        return allowInsecureHttp;
    }
    return false;
}

std::string normalisedServerUrl(std::string_view url, bool allowInsecureHttp) {
    if (!schemeAccepted(url, allowInsecureHttp)) {
        throw std::invalid_argument("Quarlino server URL must use HTTPS");
    }
    // "https://" itself keeps its last slash so that the authority check below
    // reports the empty authority.
    while (url.size() > httpsScheme.size() && url.back() == '/') {
        url.remove_suffix(1);
    }
    const std::string_view authority = url.substr(url.find("://") + 3);
    if (authority.empty() || authority.find_first_of("/?#@ \t\r\n") != std::string_view::npos) {
        throw std::invalid_argument("Quarlino server URL must contain only scheme and authority");
    }
    return std::string(url);
}

bool wellFormedHeaderValue(const std::optional<std::string>& value) {
    return !value || (!value->empty() && value->find_first_of("\r\n") == std::string::npos);
}

// Unset and empty both count as absent.
std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::chrono::seconds environmentTimeout() {
    const auto text = environmentValue("QUARLINO_HTTP_TIMEOUT_SECONDS");
    if (!text) {
        return defaultTimeout;
    }
    // from_chars takes an optional "-" and digits only; an overflow is an
    // error result, never an exception.
    std::int64_t seconds = 0;
    const char* const end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, seconds);
    if (error != std::errc{} || stop != end || seconds < minimumTimeout.count() ||
        seconds > maximumTimeout.count()) {
        throw std::invalid_argument("QUARLINO_HTTP_TIMEOUT_SECONDS must be between 1 and 300");
    }
    return std::chrono::seconds(seconds);
}

bool environmentAllowsInsecureHttp() {
    const auto text = environmentValue("QUARLINO_ALLOW_INSECURE_HTTP");
    if (!text || *text == "false" || *text == "0") {
        return false;
    }
    if (*text == "true" || *text == "1") {
        return true;
    }
    throw std::invalid_argument("QUARLINO_ALLOW_INSECURE_HTTP must be true or false");
}

}  // namespace

ClientConfig::ClientConfig(std::string serverUrl,
                           std::optional<std::string> accessToken,
                           std::chrono::seconds requestTimeout,
                           bool allowInsecureHttp,
                           std::optional<std::string> workspaceId)
    : serverUrl_(normalisedServerUrl(serverUrl, allowInsecureHttp)),
      accessToken_(std::move(accessToken)),
      requestTimeout_(requestTimeout),
      allowInsecureHttp_(allowInsecureHttp),
      workspaceId_(std::move(workspaceId)) {
    if (requestTimeout_ < minimumTimeout || requestTimeout_ > maximumTimeout) {
        throw std::invalid_argument("request timeout must be between 1 and 300 seconds");
    }
    if (!wellFormedHeaderValue(accessToken_)) {
        throw std::invalid_argument("Quarlino access token is malformed");
    }
    if (!wellFormedHeaderValue(workspaceId_)) {
        throw std::invalid_argument("Quarlino workspace id is malformed");
    }
}

ClientConfig ClientConfig::fromEnvironment() {
    auto serverUrl = environmentValue("QUARLINO_SERVER_URL").value_or(defaultServerUrl);
    auto accessToken = environmentValue("QUARLINO_ACCESS_TOKEN");
    const auto timeout = environmentTimeout();
    const bool allowInsecureHttp = environmentAllowsInsecureHttp();
    return ClientConfig(std::move(serverUrl), std::move(accessToken), timeout, allowInsecureHttp,
                        std::nullopt);
}

ClientConfig ClientConfig::withServerUrl(std::string serverUrl) const {
    return ClientConfig(std::move(serverUrl), accessToken_, requestTimeout_, allowInsecureHttp_, workspaceId_);
}

ClientConfig ClientConfig::withAccessToken(std::optional<std::string> accessToken) const {
    return ClientConfig(serverUrl_, std::move(accessToken), requestTimeout_, allowInsecureHttp_, workspaceId_);
}

ClientConfig ClientConfig::withWorkspaceId(std::optional<std::string> workspaceId) const {
    return ClientConfig(serverUrl_, accessToken_, requestTimeout_, allowInsecureHttp_, std::move(workspaceId));
}

ClientConfig ClientConfig::withRequestTimeout(std::chrono::seconds requestTimeout) const {
    return ClientConfig(serverUrl_, accessToken_, requestTimeout, allowInsecureHttp_, workspaceId_);
}

}  // namespace quarlino::quil::config
