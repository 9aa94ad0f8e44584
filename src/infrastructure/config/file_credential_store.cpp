#include "infrastructure/config/file_credential_store.hpp"

#include <utility>

#include <nlohmann/json.hpp>

#include "infrastructure/config/config_files.hpp"

namespace quarlino::quil::infrastructure::config {

FileCredentialStore::FileCredentialStore() : path_(defaultPath()) {}

FileCredentialStore::FileCredentialStore(std::filesystem::path path) : path_(std::move(path)) {}

std::filesystem::path FileCredentialStore::defaultPath() {
    return detail::configurationRoot() / "credentials.json";
}

std::optional<std::string> FileCredentialStore::loadToken(std::string_view profile) const {
    const nlohmann::json document = detail::readJson(path_, nlohmann::json::object());
    if (!document.is_object()) {
        return std::nullopt;
    }
    const auto entry = document.find(std::string(profile));
    if (entry == document.end() || !entry->is_string()) {
        return std::nullopt;
    }
    return entry->get<std::string>();
}

void FileCredentialStore::saveToken(std::string_view profile, std::string_view token) {
    detail::updateJson(path_, nlohmann::json::object(), [&](nlohmann::json& document) {
        document[std::string(profile)] = std::string(token);
    });
}

void FileCredentialStore::removeToken(std::string_view profile) {
    // Written even when nothing was erased, so the file always exists after.
    detail::updateJson(path_, nlohmann::json::object(),
                       [&](nlohmann::json& document) { document.erase(std::string(profile)); });
}

}  // namespace quarlino::quil::infrastructure::config
