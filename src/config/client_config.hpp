#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace quarlino::quil::config {

// The connection settings of one command. Validated on construction and never
// changed afterwards: every `with` operation builds and validates a new value.
class ClientConfig {
public:
    static constexpr const char* defaultServerUrl = "https://api.quarlino.com";

    ClientConfig(std::string serverUrl,
                 std::optional<std::string> accessToken,
                 std::chrono::seconds requestTimeout,
                 bool allowInsecureHttp,
                 std::optional<std::string> workspaceId);

    // Server URL, token, timeout and plain-HTTP switch from the environment;
    // never a workspace.
    static ClientConfig fromEnvironment();

    ClientConfig withServerUrl(std::string serverUrl) const;
    ClientConfig withAccessToken(std::optional<std::string> accessToken) const;
    ClientConfig withWorkspaceId(std::optional<std::string> workspaceId) const;
    ClientConfig withRequestTimeout(std::chrono::seconds requestTimeout) const;

    const std::string& serverUrl() const noexcept { return serverUrl_; }
    const std::optional<std::string>& accessToken() const noexcept { return accessToken_; }
    std::chrono::seconds requestTimeout() const noexcept { return requestTimeout_; }
    bool allowsInsecureHttp() const noexcept { return allowInsecureHttp_; }
    const std::optional<std::string>& workspaceId() const noexcept { return workspaceId_; }

private:
    std::string serverUrl_;
    std::optional<std::string> accessToken_;
    std::chrono::seconds requestTimeout_;
    bool allowInsecureHttp_;
    std::optional<std::string> workspaceId_;
};

}  // namespace quarlino::quil::config
