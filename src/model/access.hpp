#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarlino::quil::model {

struct PermissionMetadata {
    std::string code;
    std::string subjectType;
    std::string evaluationType;
    bool internal = false;
    bool evaluatedOnParent = false;
};

struct AuthorizationCatalog {
    int version = 0;
    std::vector<std::string> resourceTypes;
    std::vector<PermissionMetadata> permissions;
};

struct AuthorizationDecision {
    bool allowed = false;
    std::string permission;
    std::string resourceType;
    std::string resourceId;
    std::string grantId;
    std::string roleId;
    std::string grantedScopeType;
    std::string grantedScopeId;
    std::vector<std::string> implicationPath;
    std::string reason;
};

struct AuthorizationCapabilities {
    std::string resourceType;
    std::string resourceId;
    std::vector<std::string> allowedPermissions;
    std::vector<AuthorizationDecision> decisions;
};

struct AuthorizationRole {
    std::string id;
    std::string organizationId;
    std::string systemCode;
    std::string name;
    std::string description;
    std::string kind;
    int version = 0;
    std::vector<std::string> permissions;
    std::vector<std::string> assignableScopeTypes;
    bool archived = false;
};

struct AuthorizationRoleDefinition {
    std::string name;
    std::string description;
    std::vector<std::string> permissions;
    std::vector<std::string> assignableScopeTypes;
    std::optional<int> expectedVersion;
};

struct AuthorizationRolePreview {
    std::vector<std::string> explicitPermissions;
    std::vector<std::string> derivedPermissions;
    std::vector<std::string> assignableScopeTypes;
};

struct AuthorizationGrant {
    std::string id;
    std::string organizationId;
    std::string principalType;
    std::string principalId;
    std::string roleId;
    std::string scopeType;
    std::string scopeId;
    std::string grantedBy;
    std::string created;
    std::optional<std::string> expiresAt;
    std::optional<std::string> revokedAt;
    std::string revokedBy;
    std::uint64_t revision = 0;
};

struct AuthorizationGrantDefinition {
    std::string principalType;
    std::string principalId;
    std::string roleId;
    std::string scopeType;
    std::string scopeId;
    std::optional<std::string> expiresAt;
    std::optional<std::uint64_t> expectedRevision;
};

struct EffectivePermissions {
    std::string principalType;
    std::string principalId;
    std::string resourceType;
    std::string resourceId;
    std::vector<AuthorizationDecision> permissions;
};

struct GrantPrincipalCandidate {
    std::string principalType;
    std::string principalId;
    std::string name;
    std::string detail;
};

}  // namespace quarlino::quil::model
