#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "application/client_session.hpp"
#include "application/port/credential_store.hpp"
#include "application/port/profile_repository.hpp"
#include "model/profile.hpp"

namespace quarlino::quil::application {

// Selects the profile a command runs under, resolves its session from the
// environment, the stored profile and token and the explicit options, and
// carries out the profile and token commands. Holds no state of its own.
class ProfileService {
public:
    static constexpr const char* defaultProfileName = "default";

    ProfileService(port::ProfileRepository& profiles, port::CredentialStore& credentials);

    std::optional<std::string> activeName() const;
    bool exists(std::string_view name) const;
    void saveToken(std::string_view profile, std::string_view token);
    void removeToken(std::string_view profile);

    // The requested name (even ""), else the active one, else "default".
    std::string selectedName(std::optional<std::string_view> requested) const;

    ClientSession resolve(std::optional<std::string_view> profile,
                          std::optional<std::string_view> serverUrl,
                          std::optional<std::string_view> workspaceId,
                          std::optional<std::chrono::seconds> requestTimeout) const;

    model::Profile create(std::string name, std::string serverUrl);
    model::Profile get(std::optional<std::string_view> name) const;
    model::Profile setWorkspace(std::string_view name, std::string workspaceId);
    void use(std::string_view name);
    void remove(std::string_view name);
    // Sorted by name, byte-wise.
    std::vector<model::Profile> list() const;

private:
    void requireStored(std::string_view name) const;

    port::ProfileRepository& profiles_;
    port::CredentialStore& credentials_;
};

}  // namespace quarlino::quil::application
