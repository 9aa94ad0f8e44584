#include "infrastructure/config/file_profile_repository.hpp"

#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "infrastructure/config/config_files.hpp"

namespace quarlino::quil::infrastructure::config {
namespace {

using nlohmann::json;

constexpr const char* activeKey = "activeProfile";
constexpr const char* profilesKey = "profiles";

json emptyDocument() {
    return json{{activeKey, nullptr}, {profilesKey, json::array()}};
}

json profileJson(const model::Profile& profile) {
    return json{
        {"name", profile.name},
        {"serverUrl", profile.serverUrl},
        {"workspaceId", profile.workspaceId ? json(*profile.workspaceId) : json(nullptr)},
    };
}

model::Profile profileFrom(const json& entry) {
    model::Profile profile;
    profile.name = entry.at("name").get<std::string>();
    profile.serverUrl = entry.at("serverUrl").get<std::string>();
    const auto workspace = entry.find("workspaceId");
    if (workspace != entry.end() && !workspace->is_null()) {
        profile.workspaceId = workspace->get<std::string>();
    }
    return profile;
}

// Entries without a name match only the empty name.
std::string entryName(const json& entry) {
    return entry.value("name", std::string{});
}

[[noreturn]] void profileNotFound(std::string_view name) {
    throw std::invalid_argument("profile not found: " + std::string(name));
}

// Whether "activeProfile" names the profile; a missing mark reads as "".
bool isActive(const json& document, std::string_view name) {
    const auto active = document.find(activeKey);
    if (active == document.end()) {
        return name.empty();
    }
    return !active->is_null() && active->get<std::string>() == name;
}

std::vector<model::Profile> profilesIn(const json& document) {
    const json entries = document.value(profilesKey, json::array());
    std::vector<model::Profile> profiles;
    for (const json& entry : entries) {
        profiles.push_back(profileFrom(entry));
    }
    return profiles;
}

}  // namespace

FileProfileRepository::FileProfileRepository() : path_(defaultPath()) {}

FileProfileRepository::FileProfileRepository(std::filesystem::path path) : path_(std::move(path)) {}

std::filesystem::path FileProfileRepository::defaultPath() {
    return detail::configurationRoot() / "profiles.json";
}

std::vector<model::Profile> FileProfileRepository::list() const {
    return profilesIn(detail::readJson(path_, emptyDocument()));
}

std::optional<model::Profile> FileProfileRepository::find(std::string_view name) const {
    for (model::Profile& profile : list()) {
        if (profile.name == name) {
            return std::move(profile);
        }
    }
    return std::nullopt;
}

void FileProfileRepository::save(const model::Profile& profile) {
    detail::updateJson(path_, emptyDocument(), [&](json& document) {
        json& entries = document[profilesKey];
        for (json& entry : entries) {
            if (entryName(entry) == profile.name) {
                entry = profileJson(profile);
                return;
            }
        }
        entries.push_back(profileJson(profile));
    });
}

void FileProfileRepository::remove(std::string_view name) {
    detail::updateJson(path_, emptyDocument(), [&](json& document) {
        json& entries = document[profilesKey];
        json kept = json::array();
        bool removed = false;
        for (const json& entry : entries) {
            if (entryName(entry) == name) {
                removed = true;
            } else {
                kept.push_back(entry);
            }
        }
        if (!removed) {
            profileNotFound(name);
        }
        const bool wasActive = isActive(document, name);
        entries = std::move(kept);
        if (wasActive) {
            document[activeKey] = entries.empty() ? json(nullptr) : entries.front().at("name");
        }
    });
}

std::optional<std::string> FileProfileRepository::activeName() const {
    const json document = detail::readJson(path_, emptyDocument());
    if (!document.is_object()) {
        return std::nullopt;
    }
    const auto active = document.find(activeKey);
    if (active == document.end() || active->is_null()) {
        return std::nullopt;
    }
    return active->get<std::string>();
}

void FileProfileRepository::setActive(std::string_view name) {
    detail::updateJson(path_, emptyDocument(), [&](json& document) {
        bool stored = false;
        for (const model::Profile& profile : profilesIn(document)) {
            stored = stored || profile.name == name;
        }
        if (!stored) {
            profileNotFound(name);
        }
        document[activeKey] = std::string(name);
    });
}

}  // namespace quarlino::quil::infrastructure::config
