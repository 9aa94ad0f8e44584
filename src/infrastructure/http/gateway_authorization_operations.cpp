#include <string>
#include <utility>

#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/json_element_walk.hpp"
#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Access control. Questions about the platform as a whole (catalog,
// capabilities, one decision) carry every input in the query string; roles
// and grants live inside an organization, addressed by path segments. The
// only guards against concurrent edits are the version tokens in the role and
// grant bodies, which the platform checks.
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

constexpr std::string_view kAuthorization = "/api/authorization";

// Paths ----------------------------------------------------------------------------

std::string organizationAuthorizationPath(std::string_view organizationId) {
    return resourcePath("/api/organizations", organizationId) + "/authorization";
}

std::string rolesPath(std::string_view organizationId) {
    return organizationAuthorizationPath(organizationId) + "/roles";
}

std::string rolePath(std::string_view organizationId, std::string_view roleId) {
    return resourcePath(rolesPath(organizationId), roleId);
}

std::string grantsPath(std::string_view organizationId) {
    return organizationAuthorizationPath(organizationId) + "/grants";
}

std::string grantPath(std::string_view organizationId, std::string_view grantId) {
    return resourcePath(grantsPath(organizationId), grantId);
}

// Bodies ---------------------------------------------------------------------------

// All five members always; an absent version is sent as null.
std::string roleBody(const model::AuthorizationRoleDefinition& definition) {
    return jsonBody({
        {"name", definition.name},
        {"description", definition.description},
        {"permissions", definition.permissions},
        {"assignableScopeTypes", definition.assignableScopeTypes},
        {"expectedVersion", valueOrNull(definition.expectedVersion)},
    });
}

// All seven members always; an absent expiry or revision is sent as null.
std::string grantBody(const model::AuthorizationGrantDefinition& definition) {
    return jsonBody({
        {"principalType", definition.principalType},
        {"principalId", definition.principalId},
        {"roleId", definition.roleId},
        {"scopeType", definition.scopeType},
        {"scopeId", definition.scopeId},
        {"expiresAt", valueOrNull(definition.expiresAt)},
        {"expectedRevision", valueOrNull(definition.expectedRevision)},
    });
}

// Records read only here, their members in the order listed, so the first
// failing read decides the error.

model::PermissionMetadata parsePermissionMetadata(const nlohmann::json& object) {
    return model::PermissionMetadata{
        .code = stringValue(object, "code"),
        .subjectType = stringValue(object, "subjectType"),
        .evaluationType = stringValue(object, "evaluationType"),
        .internal = booleanValue(object, "internal"),
        .evaluatedOnParent = booleanValue(object, "evaluatedOnParent"),
    };
}

model::AuthorizationCatalog parseCatalog(const nlohmann::json& object) {
    return model::AuthorizationCatalog{
        .version = intValue(object, "version"),
        .resourceTypes = stringList(object, "resourceTypes"),
        .permissions = mapElements(arrayMember(object, "permissions"), parsePermissionMetadata),
    };
}

model::AuthorizationCapabilities parseCapabilities(const nlohmann::json& object) {
    return model::AuthorizationCapabilities{
        .resourceType = stringValue(object, "resourceType"),
        .resourceId = stringValue(object, "resourceId"),
        .allowedPermissions = stringList(object, "allowedPermissions"),
        .decisions = mapElements(arrayMember(object, "decisions"), parseAuthorizationDecision),
    };
}

model::AuthorizationRolePreview parseRolePreview(const nlohmann::json& object) {
    return model::AuthorizationRolePreview{
        .explicitPermissions = stringList(object, "explicitPermissions"),
        .derivedPermissions = stringList(object, "derivedPermissions"),
        .assignableScopeTypes = stringList(object, "assignableScopeTypes"),
    };
}

model::EffectivePermissions parseEffectivePermissions(const nlohmann::json& object) {
    return model::EffectivePermissions{
        .principalType = stringValue(object, "principalType"),
        .principalId = stringValue(object, "principalId"),
        .resourceType = stringValue(object, "resourceType"),
        .resourceId = stringValue(object, "resourceId"),
        .permissions = mapElements(arrayMember(object, "permissions"), parseAuthorizationDecision),
    };
}

model::GrantPrincipalCandidate parsePrincipalCandidate(const nlohmann::json& object) {
    return model::GrantPrincipalCandidate{
        .principalType = stringValue(object, "principalType"),
        .principalId = stringValue(object, "principalId"),
        .name = stringValue(object, "name"),
        .detail = stringValue(object, "detail"),
    };
}

}  // namespace

// The platform's authorization model -----------------------------------------------

model::ApiResponse<model::AuthorizationCatalog> HttpQuarlinoGateway::authorizationCatalog() {
    return parseRecordResponse(send(HttpMethod::GET, std::string(kAuthorization) + "/catalog", ""), parseCatalog);
}

model::ApiResponse<model::AuthorizationCapabilities> HttpQuarlinoGateway::authorizationCapabilities(
    std::string_view resourceType, std::string_view resourceId) {
    std::string path = withQuery(std::string(kAuthorization) + "/capabilities",
                                 {{"resourceType", resourceType}, {"resourceId", resourceId}});
    return parseRecordResponse(send(HttpMethod::GET, std::move(path), ""), parseCapabilities);
}

model::ApiResponse<model::AuthorizationDecision> HttpQuarlinoGateway::authorizationDecision(
    std::string_view permission, std::string_view resourceType, std::string_view resourceId) {
    std::string path =
        withQuery(std::string(kAuthorization) + "/decision",
                  {{"permission", permission}, {"resourceType", resourceType}, {"resourceId", resourceId}});
    return parseRecordResponse(send(HttpMethod::GET, std::move(path), ""), parseAuthorizationDecision);
}

// Roles ------------------------------------------------------------------------------

model::ApiResponse<std::vector<model::AuthorizationRole>> HttpQuarlinoGateway::listAuthorizationRoles(
    std::string_view organizationId) {
    return parseArrayResponse(send(HttpMethod::GET, rolesPath(organizationId), ""), parseAuthorizationRole);
}

model::ApiResponse<model::AuthorizationRole> HttpQuarlinoGateway::getAuthorizationRole(
    std::string_view organizationId, std::string_view roleId) {
    return parseRecordResponse(send(HttpMethod::GET, rolePath(organizationId, roleId), ""),
                               parseAuthorizationRole);
}

model::ApiResponse<model::AuthorizationRolePreview> HttpQuarlinoGateway::previewAuthorizationRole(
    std::string_view organizationId, const model::AuthorizationRoleDefinition& definition) {
    std::string body = roleBody(definition);
    std::string path = rolesPath(organizationId) + "/preview";
    return parseRecordResponse(send(HttpMethod::POST, std::move(path), std::move(body)), parseRolePreview);
}

model::ApiResponse<model::AuthorizationRole> HttpQuarlinoGateway::createAuthorizationRole(
    std::string_view organizationId, const model::AuthorizationRoleDefinition& definition) {
    std::string body = roleBody(definition);
    std::string path = rolesPath(organizationId);
    return parseRecordResponse(send(HttpMethod::POST, std::move(path), std::move(body)), parseAuthorizationRole);
}

model::ApiResponse<model::AuthorizationRole> HttpQuarlinoGateway::updateAuthorizationRole(
    std::string_view organizationId, std::string_view roleId, const model::AuthorizationRoleDefinition& definition) {
    std::string body = roleBody(definition);
    std::string path = rolePath(organizationId, roleId);
    return parseRecordResponse(send(HttpMethod::PUT, std::move(path), std::move(body)), parseAuthorizationRole);
}

model::ApiResponse<model::AuthorizationRole> HttpQuarlinoGateway::duplicateAuthorizationRole(
    std::string_view organizationId, std::string_view roleId, std::string_view name, std::string_view description) {
    std::string body = jsonBody({{"name", name}, {"description", description}});
    std::string path = rolePath(organizationId, roleId) + "/duplicate";
    return parseRecordResponse(send(HttpMethod::POST, std::move(path), std::move(body)), parseAuthorizationRole);
}

// Presented to users as archiving; on the wire a plain DELETE.
void HttpQuarlinoGateway::deleteAuthorizationRole(std::string_view organizationId, std::string_view roleId) {
    send(HttpMethod::DELETE, rolePath(organizationId, roleId), "");
}

// Grants -----------------------------------------------------------------------------

// The scope filter is all or nothing: half a filter lists every grant.
model::ApiResponse<std::vector<model::AuthorizationGrant>> HttpQuarlinoGateway::listAuthorizationGrants(
    std::string_view organizationId, std::optional<std::string_view> scopeType,
    std::optional<std::string_view> scopeId) {
    QueryParameters filter;
    if (scopeType && scopeId) {
        filter = {{"scopeType", *scopeType}, {"scopeId", *scopeId}};
    }
    std::string path = withQuery(grantsPath(organizationId), filter);
    return parseArrayResponse(send(HttpMethod::GET, std::move(path), ""), parseAuthorizationGrant);
}

model::ApiResponse<model::AuthorizationGrant> HttpQuarlinoGateway::createAuthorizationGrant(
    std::string_view organizationId, const model::AuthorizationGrantDefinition& definition) {
    std::string body = grantBody(definition);
    std::string path = grantsPath(organizationId);
    return parseRecordResponse(send(HttpMethod::POST, std::move(path), std::move(body)), parseAuthorizationGrant);
}

model::ApiResponse<model::AuthorizationGrant> HttpQuarlinoGateway::updateAuthorizationGrant(
    std::string_view organizationId, std::string_view grantId, const model::AuthorizationGrantDefinition& definition) {
    std::string body = grantBody(definition);
    std::string path = grantPath(organizationId, grantId);
    return parseRecordResponse(send(HttpMethod::PUT, std::move(path), std::move(body)), parseAuthorizationGrant);
}

void HttpQuarlinoGateway::revokeAuthorizationGrant(std::string_view organizationId, std::string_view grantId) {
    send(HttpMethod::DELETE, grantPath(organizationId, grantId), "");
}

model::ApiResponse<model::EffectivePermissions> HttpQuarlinoGateway::effectivePermissions(
    std::string_view organizationId, std::string_view principalType, std::string_view principalId,
    std::string_view resourceType, std::string_view resourceId) {
    std::string path = withQuery(grantsPath(organizationId) + "/effective", {{"principalType", principalType},
                                                                             {"principalId", principalId},
                                                                             {"resourceType", resourceType},
                                                                             {"resourceId", resourceId}});
    return parseRecordResponse(send(HttpMethod::GET, std::move(path), ""), parseEffectivePermissions);
}

model::ApiResponse<std::vector<model::GrantPrincipalCandidate>> HttpQuarlinoGateway::grantPrincipalCandidates(
    std::string_view organizationId, std::optional<std::string_view> query) {
    QueryParameters search;
    if (query) {
        search = {{"query", *query}};
    }
    std::string path = withQuery(grantsPath(organizationId) + "/principals", search);
    return parseArrayResponse(send(HttpMethod::GET, std::move(path), ""), parsePrincipalCandidate);
}

}  // namespace quarlino::quil::infrastructure::http
