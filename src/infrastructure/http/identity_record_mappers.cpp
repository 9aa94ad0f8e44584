#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Designated initialisers read the members in record order, which decides
// which member's error surfaces first.
namespace quarlino::quil::infrastructure::http {

model::User parseUser(const nlohmann::json& object) {
    return model::User{
        .id = stringValue(object, "id"),
        .name = stringValue(object, "name"),
        .email = stringValue(object, "email"),
        .handle = stringValue(object, "handle"),
    };
}

model::TeamMember parseTeamMember(const nlohmann::json& object) {
    return model::TeamMember{
        .userId = stringValue(object, "userId"),
        .name = stringValue(object, "name"),
        .email = stringValue(object, "email"),
        .handle = stringValue(object, "handle"),
        .joinedAt = stringValue(object, "joinedAt"),
    };
}

model::Workspace parseWorkspace(const nlohmann::json& object) {
    return model::Workspace{
        .id = stringValue(object, "id"),
        .name = stringValue(object, "name"),
        .slug = stringValue(object, "slug"),
        .personal = booleanValue(object, "personal"),
        .role = stringValue(object, "role"),
    };
}

model::Organization parseOrganization(const nlohmann::json& object) {
    return model::Organization{
        .id = stringValue(object, "id"),
        .name = stringValue(object, "name"),
        .slug = stringValue(object, "slug"),
        .personal = booleanValue(object, "personal"),
        .role = stringValue(object, "role"),
        .created = stringValue(object, "created"),
        .updated = stringValue(object, "updated"),
    };
}

model::Team parseTeam(const nlohmann::json& object) {
    return model::Team{
        .id = stringValue(object, "id"),
        .organizationId = stringValue(object, "organizationId"),
        .name = stringValue(object, "name"),
        .slug = stringValue(object, "slug"),
        .memberCount = unsignedValue(object, "memberCount"),
        .created = stringValue(object, "created"),
        .updated = stringValue(object, "updated"),
    };
}

model::AuthorizationDecision parseAuthorizationDecision(const nlohmann::json& object) {
    return model::AuthorizationDecision{
        .allowed = booleanValue(object, "allowed"),
        .permission = stringValue(object, "permission"),
        .resourceType = stringValue(object, "resourceType"),
        .resourceId = stringValue(object, "resourceId"),
        .grantId = stringValue(object, "grantId"),
        .roleId = stringValue(object, "roleId"),
        .grantedScopeType = stringValue(object, "grantedScopeType"),
        .grantedScopeId = stringValue(object, "grantedScopeId"),
        .implicationPath = stringList(object, "implicationPath"),
        .reason = stringValue(object, "reason"),
    };
}

model::AuthorizationRole parseAuthorizationRole(const nlohmann::json& object) {
    return model::AuthorizationRole{
        .id = stringValue(object, "id"),
        .organizationId = stringValue(object, "organizationId"),
        .systemCode = stringValue(object, "systemCode"),
        .name = stringValue(object, "name"),
        .description = stringValue(object, "description"),
        .kind = stringValue(object, "kind"),
        .version = intValue(object, "version"),
        .permissions = stringList(object, "permissions"),
        .assignableScopeTypes = stringList(object, "assignableScopeTypes"),
        .archived = booleanValue(object, "archived"),
    };
}

model::AuthorizationGrant parseAuthorizationGrant(const nlohmann::json& object) {
    return model::AuthorizationGrant{
        .id = stringValue(object, "id"),
        .organizationId = stringValue(object, "organizationId"),
        .principalType = stringValue(object, "principalType"),
        .principalId = stringValue(object, "principalId"),
        .roleId = stringValue(object, "roleId"),
        .scopeType = stringValue(object, "scopeType"),
        .scopeId = stringValue(object, "scopeId"),
        .grantedBy = stringValue(object, "grantedBy"),
        .created = stringValue(object, "created"),
        .expiresAt = optionalString(object, "expiresAt"),
        .revokedAt = optionalString(object, "revokedAt"),
        .revokedBy = stringValue(object, "revokedBy"),
        .revision = unsignedValue(object, "revision"),
    };
}

}  // namespace quarlino::quil::infrastructure::http
