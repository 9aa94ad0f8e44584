#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "application/port/credential_store.hpp"

namespace testsupport::quil {

namespace port = quarlino::quil::application::port;

// In-memory tokens by profile name; counts every call so tests can tell
// whether the store was consulted at all.
class FakeCredentialStore final : public port::CredentialStore {
public:
    FakeCredentialStore() = default;
    explicit FakeCredentialStore(std::map<std::string, std::string, std::less<>> tokens);

    std::optional<std::string> loadToken(std::string_view profile) const override;
    void saveToken(std::string_view profile, std::string_view token) override;
    void removeToken(std::string_view profile) override;

    const std::map<std::string, std::string, std::less<>>& tokens() const noexcept { return tokens_; }
    int calls() const noexcept { return calls_; }

private:
    std::map<std::string, std::string, std::less<>> tokens_;
    mutable int calls_ = 0;
};

}  // namespace testsupport::quil
