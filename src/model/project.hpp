#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarlino::quil::model {

struct Project {
    std::string id;
    std::string name;
    std::optional<std::string> repositoryId;
    std::optional<std::string> gitRepositoryUrl;
    std::optional<std::string> gitRepositoryStatus;
    bool gitRepositoryEnabled = false;
    bool gitRepositoryInitialized = false;
};

struct RepositoryEntry {
    std::string name;
    std::string path;
    std::string type;
    std::optional<std::uint64_t> size;
};

struct ActionOutput {
    std::string name;
    std::string type;
    std::string description;
};

struct ActionDefinition {
    std::string code;
    std::string displayName;
    std::string description;
    std::string icon;
    std::string category;
    std::string formId;
    std::vector<ActionOutput> outputs;
};

struct ProjectRegistry {
    std::string id;
    std::string projectId;
    std::string ownerHandle;
    std::string projectSlug;
    std::string repository;
    std::string visibility;
    std::string status;
    std::uint64_t quotaBytes = 0;
    std::uint64_t logicalUsageBytes = 0;
    std::string created;
    std::string updated;
};

struct RegistryArtifact {
    std::string digest;
    std::string tag;
    std::string mediaType;
    std::uint64_t sizeBytes = 0;
    std::string pushedAt;
};

struct RegistryRepository {
    std::string repository;
    std::string component;
    std::vector<RegistryArtifact> artifacts;
};

struct RegistryAccessToken {
    std::string id;
    std::string name;
    std::string prefix;
    std::vector<std::string> permissions;
    std::optional<std::string> expiresAt;
    std::optional<std::string> revokedAt;
    std::optional<std::string> lastUsedAt;
    std::string created;
    // Present only in the answer that creates the token.
    std::optional<std::string> secret;
};

struct RegistryAccessTokenDefinition {
    std::string name;
    std::vector<std::string> permissions;
    std::optional<std::string> expiresAt;
};

}  // namespace quarlino::quil::model
