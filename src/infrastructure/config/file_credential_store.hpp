#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "application/port/credential_store.hpp"

namespace quarlino::quil::infrastructure::config {

// Access tokens in "credentials.json", one string member per profile name.
// Every operation reads the file afresh; every change rewrites it whole.
class FileCredentialStore final : public application::port::CredentialStore {
public:
    FileCredentialStore();
    explicit FileCredentialStore(std::filesystem::path path);

    static std::filesystem::path defaultPath();

    std::optional<std::string> loadToken(std::string_view profile) const override;
    void saveToken(std::string_view profile, std::string_view token) override;
    void removeToken(std::string_view profile) override;

private:
    std::filesystem::path path_;
};

}  // namespace quarlino::quil::infrastructure::config
