#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarlino::quil::application::port {

// The stored access tokens, one per profile name.
class CredentialStore {
public:
    virtual ~CredentialStore() = default;

    virtual std::optional<std::string> loadToken(std::string_view profile) const = 0;
    virtual void saveToken(std::string_view profile, std::string_view token) = 0;
    // Forgetting an absent token is no error.
    virtual void removeToken(std::string_view profile) = 0;

protected:
    CredentialStore() = default;
    CredentialStore(const CredentialStore&) = default;
    CredentialStore& operator=(const CredentialStore&) = default;
};

}  // namespace quarlino::quil::application::port
