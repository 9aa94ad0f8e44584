#include "infrastructure/http/http_quarlino_gateway.hpp"

#include <stdexcept>

namespace quarlino::quil::infrastructure::http {

// Operations on access control; placeholders until they are built.

namespace {

[[noreturn]] void notBuiltYet() { throw std::logic_error("gateway operation not built yet"); }

}  // namespace

model::ApiResponse<model::AuthorizationCatalog> HttpQuarlinoGateway::authorizationCatalog() { notBuiltYet(); }

model::ApiResponse<model::AuthorizationCapabilities> HttpQuarlinoGateway::authorizationCapabilities(std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<model::AuthorizationDecision> HttpQuarlinoGateway::authorizationDecision(std::string_view, std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::AuthorizationRole>> HttpQuarlinoGateway::listAuthorizationRoles(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::AuthorizationRole> HttpQuarlinoGateway::getAuthorizationRole(std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<model::AuthorizationRolePreview> HttpQuarlinoGateway::previewAuthorizationRole(std::string_view, const model::AuthorizationRoleDefinition&) { notBuiltYet(); }

model::ApiResponse<model::AuthorizationRole> HttpQuarlinoGateway::createAuthorizationRole(std::string_view, const model::AuthorizationRoleDefinition&) { notBuiltYet(); }

model::ApiResponse<model::AuthorizationRole> HttpQuarlinoGateway::updateAuthorizationRole(std::string_view, std::string_view, const model::AuthorizationRoleDefinition&) { notBuiltYet(); }

model::ApiResponse<model::AuthorizationRole> HttpQuarlinoGateway::duplicateAuthorizationRole(std::string_view, std::string_view, std::string_view, std::string_view) { notBuiltYet(); }

void HttpQuarlinoGateway::deleteAuthorizationRole(std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::AuthorizationGrant>> HttpQuarlinoGateway::listAuthorizationGrants(std::string_view, std::optional<std::string_view>, std::optional<std::string_view>) { notBuiltYet(); }

model::ApiResponse<model::AuthorizationGrant> HttpQuarlinoGateway::createAuthorizationGrant(std::string_view, const model::AuthorizationGrantDefinition&) { notBuiltYet(); }

model::ApiResponse<model::AuthorizationGrant> HttpQuarlinoGateway::updateAuthorizationGrant(std::string_view, std::string_view, const model::AuthorizationGrantDefinition&) { notBuiltYet(); }

void HttpQuarlinoGateway::revokeAuthorizationGrant(std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<model::EffectivePermissions> HttpQuarlinoGateway::effectivePermissions(std::string_view, std::string_view, std::string_view, std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::GrantPrincipalCandidate>> HttpQuarlinoGateway::grantPrincipalCandidates(std::string_view, std::optional<std::string_view>) { notBuiltYet(); }

}  // namespace quarlino::quil::infrastructure::http
