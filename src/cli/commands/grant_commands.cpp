#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "cli/cli_application.hpp"
#include "cli/commands/access_module.hpp"

namespace quarlino::quil::cli::access {

namespace {

// Absent or null: no expected revision. Revisions are read as signed 64-bit
// numbers, so anything negative or larger is refused.
std::optional<std::uint64_t> expectedRevision(const nlohmann::json& document) {
    const auto found = document.find("expectedRevision");
    if (found == document.end() || found->is_null()) {
        return std::nullopt;
    }
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (!found->is_number_unsigned() || found->get<std::uint64_t>() > largest) {
        throw std::invalid_argument("expectedRevision must be a non-negative integer");
    }
    return found->get<std::uint64_t>();
}

model::AuthorizationGrantDefinition grantDefinition(const nlohmann::json& document) {
    model::AuthorizationGrantDefinition definition;
    definition.principalType = upperAscii(requiredText(document, "principalType"));
    definition.principalId = requiredText(document, "principalId");
    definition.roleId = requiredText(document, "roleId");
    definition.scopeType = upperAscii(requiredText(document, "scopeType"));
    definition.scopeId = requiredText(document, "scopeId");
    if (const auto expiresAt = document.find("expiresAt"); expiresAt != document.end() && !expiresAt->is_null()) {
        definition.expiresAt = requiredText(document, "expiresAt");
    }
    definition.expectedRevision = expectedRevision(document);
    return definition;
}

void validateGrant(const model::AuthorizationCatalog& catalog, const model::AuthorizationGrantDefinition& definition) {
    if (definition.principalType != "USER" && definition.principalType != "TEAM") {
        throw std::invalid_argument("principalType must be USER or TEAM");
    }
    validateResourceType(catalog, definition.scopeType);
}

// The grant definition of --file, checked against the catalog, with its role
// selector turned into the role's id.
model::AuthorizationGrantDefinition checkedDefinition(const OrganizationCommand& context) {
    model::AuthorizationGrantDefinition definition = grantDefinition(readDefinition(context.command, context.in));
    validateGrant(context.gateway.authorizationCatalog().value, definition);
    definition.roleId = resolveRole(context.gateway, context.organization.id, definition.roleId).id;
    return definition;
}

// Matched on the id alone, in the organization's unfiltered list.
model::AuthorizationGrant findGrant(const OrganizationCommand& context) {
    const std::string_view grantId = context.command.operand(0);
    const auto grants = context.gateway.listAuthorizationGrants(context.organization.id, std::nullopt, std::nullopt);
    for (const model::AuthorizationGrant& grant : grants.value) {
        if (grant.id == grantId) {
            return grant;
        }
    }
    throw std::invalid_argument("authorization grant not found: " + std::string(grantId));
}

int listGrants(const OrganizationCommand& context) {
    std::optional<std::pair<std::string, std::string>> scope;
    if (const auto value = context.command.option("scope")) {
        scope = reference(*value, "scope");
    }
    const auto grants = context.gateway.listAuthorizationGrants(
        context.organization.id, scope ? std::optional<std::string_view>(scope->first) : std::nullopt,
        scope ? std::optional<std::string_view>(scope->second) : std::nullopt);
    context.formatter.authorizationGrants(grants.value, grants.body);
    return 0;
}

int updateGrant(const OrganizationCommand& context) {
    const model::AuthorizationGrant grant = findGrant(context);
    model::AuthorizationGrantDefinition definition = checkedDefinition(context);
    if (!definition.expectedRevision) {
        definition.expectedRevision = grant.revision;
    }
    const auto updated = context.gateway.updateAuthorizationGrant(context.organization.id, grant.id, definition);
    context.formatter.authorizationGrant(updated.value, updated.body);
    return 0;
}

// Reports what the principal still holds at the scope of the revoked grant.
int revokeGrant(const OrganizationCommand& context, const model::AuthorizationGrant& grant) {
    const std::string prompt = "Revoke grant " + grant.id + " for " + typedId(grant.principalType, grant.principalId) +
                               " at " + typedId(grant.scopeType, grant.scopeId) + "?";
    if (!confirmDestructive(context.command, context.in, context.err, prompt)) {
        context.formatter.message("Grant revocation cancelled");
        return 0;
    }
    auto& gateway = context.gateway;
    gateway.revokeAuthorizationGrant(context.organization.id, grant.id);
    const auto effective = gateway.effectivePermissions(context.organization.id, grant.principalType,
                                                        grant.principalId, grant.scopeType, grant.scopeId);
    nlohmann::json remaining = nlohmann::json::array();
    for (const model::AuthorizationDecision& entry : effective.value.permissions) {
        remaining.push_back(entry.permission);
    }
    const std::string message = "Revoked grant " + grant.id + "; " + std::to_string(remaining.size()) +
                                " effective permission(s) remain at this scope";
    mutationReceipt(context.formatter,
                    {{"id", grant.id}, {"revoked", true}, {"remainingEffectivePermissions", remaining}}, message);
    return 0;
}

int showEffective(const OrganizationCommand& context) {
    const auto [principalType, principalId] = reference(requiredOption(context.command, "principal"), "principal");
    const auto [resourceType, resourceId] = reference(requiredOption(context.command, "resource"), "resource");
    const auto effective = context.gateway.effectivePermissions(context.organization.id, principalType, principalId,
                                                                resourceType, resourceId);
    context.formatter.effectivePermissions(effective.value, effective.body);
    return 0;
}

}  // namespace

int runGrantCommand(const OrganizationCommand& context) {
    switch (context.command.id) {
        case grantList:
            return listGrants(context);
        case grantCreate: {
            const model::AuthorizationGrantDefinition definition = checkedDefinition(context);
            const auto created = context.gateway.createAuthorizationGrant(context.organization.id, definition);
            context.formatter.authorizationGrant(created.value, created.body);
            return 0;
        }
        case grantUpdate:
            return updateGrant(context);
        case grantRevoke:
            return revokeGrant(context, findGrant(context));
        case grantEffective:
            return showEffective(context);
        case grantPrincipals: {
            const auto candidates =
                context.gateway.grantPrincipalCandidates(context.organization.id, context.command.option("query"));
            context.formatter.grantPrincipalCandidates(candidates.value, candidates.body);
            return 0;
        }
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli::access
