#include "application/profile_service.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "config/client_config.hpp"

namespace quarlino::quil::application {
namespace {

[[noreturn]] void profileNotFound(std::string_view name) {
    throw std::invalid_argument("profile not found: " + std::string(name));
}

std::optional<std::string> ownedText(std::optional<std::string_view> text) {
    return text ? std::optional<std::string>(std::string(*text)) : std::nullopt;
}

}  // namespace

ProfileService::ProfileService(port::ProfileRepository& profiles, port::CredentialStore& credentials)
    : profiles_(profiles), credentials_(credentials) {}

std::optional<std::string> ProfileService::activeName() const {
    return profiles_.activeName();
}

bool ProfileService::exists(std::string_view name) const {
    return profiles_.find(name).has_value();
}

void ProfileService::saveToken(std::string_view profile, std::string_view token) {
    if (token.empty()) {
        throw std::invalid_argument("access token cannot be empty");
    }
    credentials_.saveToken(profile, token);
}

void ProfileService::removeToken(std::string_view profile) {
    credentials_.removeToken(profile);
}

std::string ProfileService::selectedName(std::optional<std::string_view> requested) const {
    if (requested) {
        return std::string(*requested);
    }
    return profiles_.activeName().value_or(defaultProfileName);
}

ClientSession ProfileService::resolve(std::optional<std::string_view> profile,
                                      std::optional<std::string_view> serverUrl,
                                      std::optional<std::string_view> workspaceId,
                                      std::optional<std::chrono::seconds> requestTimeout) const {
    // The environment is validated first, even where a later step replaces it.
    config::ClientConfig config = config::ClientConfig::fromEnvironment();
    std::string name = selectedName(profile);
    if (const auto stored = profiles_.find(name)) {
        config = config.withServerUrl(stored->serverUrl).withWorkspaceId(stored->workspaceId);
    }
    // A token from the environment always wins over a stored one.
    if (!config.accessToken()) {
        config = config.withAccessToken(credentials_.loadToken(name));
    }
    if (serverUrl) {
        config = config.withServerUrl(std::string(*serverUrl));
    }
    if (workspaceId) {
        config = config.withWorkspaceId(ownedText(workspaceId));
    }
    if (requestTimeout) {
        config = config.withRequestTimeout(*requestTimeout);
    }
    return ClientSession{std::move(name), std::move(config)};
}

model::Profile ProfileService::create(std::string name, std::string serverUrl) {
    if (name.empty()) {
        throw std::invalid_argument("profile name cannot be empty");
    }
    if (exists(name)) {
        throw std::invalid_argument("profile already exists: " + name);
    }
    // Validates and normalises the URL under this run's plain-HTTP switch.
    const config::ClientConfig environment = config::ClientConfig::fromEnvironment();
    const config::ClientConfig validated(std::move(serverUrl), std::nullopt, environment.requestTimeout(),
                                         environment.allowsInsecureHttp(), std::nullopt);
    model::Profile profile{std::move(name), validated.serverUrl(), std::nullopt};
    profiles_.save(profile);
    if (!profiles_.activeName()) {
        profiles_.setActive(profile.name);
    }
    return profile;
}

model::Profile ProfileService::get(std::optional<std::string_view> name) const {
    const std::string selected = selectedName(name);
    auto profile = profiles_.find(selected);
    if (!profile) {
        profileNotFound(selected);
    }
    return std::move(*profile);
}

model::Profile ProfileService::setWorkspace(std::string_view name, std::string workspaceId) {
    model::Profile profile = get(name);
    profile.workspaceId = std::move(workspaceId);
    profiles_.save(profile);
    return profile;
}

void ProfileService::use(std::string_view name) {
    requireStored(name);
    profiles_.setActive(name);
}

void ProfileService::remove(std::string_view name) {
    requireStored(name);
    // The profile goes first: a failure here leaves both it and its token.
    profiles_.remove(name);
    credentials_.removeToken(name);
}

std::vector<model::Profile> ProfileService::list() const {
    std::vector<model::Profile> profiles = profiles_.list();
    std::sort(profiles.begin(), profiles.end(),
              [](const model::Profile& left, const model::Profile& right) { return left.name < right.name; });
    return profiles;
}

void ProfileService::requireStored(std::string_view name) const {
    if (!exists(name)) {
        profileNotFound(name);
    }
}

}  // namespace quarlino::quil::application
