#include <string>
#include <vector>

#include "cli/output_formatter.hpp"
#include "cli/visible_text.hpp"

namespace quarlino::quil::cli {

namespace {

const std::vector<std::string> roleHeaders{"ID", "NAME", "KIND", "VERSION", "PERMISSIONS", "SCOPES", "ARCHIVED"};
const std::vector<std::string> roleListHeaders{"ID", "NAME", "KIND", "VERSION", "PERMISSIONS", "SCOPES"};
const std::vector<std::string> previewHeaders{"EXPLICIT PERMISSIONS", "DERIVED PERMISSIONS", "ASSIGNABLE SCOPES"};
const std::vector<std::string> grantHeaders{"ID", "PRINCIPAL", "ROLE", "SCOPE", "REVISION", "EXPIRES", "REVOKED"};
const std::vector<std::string> grantListHeaders{"ID", "PRINCIPAL", "ROLE", "SCOPE", "REVISION", "EXPIRES"};
const std::vector<std::string> candidateHeaders{"TYPE", "ID", "NAME", "DETAIL"};
const std::vector<std::string> catalogHeaders{"PERMISSION", "SUBJECT", "EVALUATED ON", "INTERNAL", "ON PARENT"};
const std::vector<std::string> decisionHeaders{"PERMISSION", "RESOURCE",    "ALLOWED",     "ROLE",
                                               "GRANT",      "GRANTED SCOPE", "IMPLICATION", "REASON"};
const std::vector<std::string> capabilityHeaders{"PERMISSION", "ALLOWED", "ROLE", "GRANT", "IMPLICATION", "REASON"};
const std::vector<std::string> effectiveHeaders{"PERMISSION", "ROLE", "GRANT", "GRANTED SCOPE", "IMPLICATION"};

template <typename Record>
std::string idOf(const Record& record) {
    return record.id;
}

std::string permissionOf(const model::AuthorizationDecision& decision) { return decision.permission; }

std::vector<std::string> roleListRow(const model::AuthorizationRole& role) {
    return {role.id, role.name, role.kind, std::to_string(role.version), join(role.permissions),
            join(role.assignableScopeTypes)};
}

std::vector<std::string> roleRow(const model::AuthorizationRole& role) {
    std::vector<std::string> row = roleListRow(role);
    row.push_back(yesNo(role.archived));
    return row;
}

std::vector<std::string> grantListRow(const model::AuthorizationGrant& grant) {
    return {grant.id,
            typedId(grant.principalType, grant.principalId),
            grant.roleId,
            typedId(grant.scopeType, grant.scopeId),
            std::to_string(grant.revision),
            valueOrDash(grant.expiresAt)};
}

std::vector<std::string> grantRow(const model::AuthorizationGrant& grant) {
    std::vector<std::string> row = grantListRow(grant);
    row.push_back(valueOrDash(grant.revokedAt));
    return row;
}

std::vector<std::string> candidateRow(const model::GrantPrincipalCandidate& candidate) {
    return {candidate.principalType, candidate.principalId, candidate.name, candidate.detail};
}

std::vector<std::string> permissionRow(const model::PermissionMetadata& permission) {
    return {permission.code, permission.subjectType, permission.evaluationType, yesNo(permission.internal),
            yesNo(permission.evaluatedOnParent)};
}

// A single decision marks what it lacks with "-"; the decision lists of
// capabilities and effective permissions leave such cells empty.
std::vector<std::string> decisionRow(const model::AuthorizationDecision& decision) {
    return {decision.permission,
            typedId(decision.resourceType, decision.resourceId),
            yesNo(decision.allowed),
            dashIfEmpty(decision.roleId),
            dashIfEmpty(decision.grantId),
            decision.grantedScopeType.empty() ? std::string("-")
                                              : typedId(decision.grantedScopeType, decision.grantedScopeId),
            decision.implicationPath.empty() ? std::string("-") : join(decision.implicationPath),
            decision.reason};
}

std::vector<std::string> capabilityRow(const model::AuthorizationDecision& decision) {
    return {decision.permission, yesNo(decision.allowed), decision.roleId, decision.grantId,
            join(decision.implicationPath), decision.reason};
}

std::vector<std::string> effectiveRow(const model::AuthorizationDecision& decision) {
    return {decision.permission, decision.roleId, decision.grantId,
            typedId(decision.grantedScopeType, decision.grantedScopeId), join(decision.implicationPath)};
}

}  // namespace

void OutputFormatter::authorizationRole(const model::AuthorizationRole& role, std::string_view rawBody) {
    const bool tableWritten = renderRecord(role, rawBody, roleHeaders, idOf<model::AuthorizationRole>, roleRow);
    if (tableWritten && !role.description.empty()) {
        description(role.description);
    }
}

void OutputFormatter::authorizationRoles(const std::vector<model::AuthorizationRole>& roles,
                                         std::string_view rawBody) {
    renderList(std::span<const model::AuthorizationRole>(roles), rawBody, roleListHeaders,
               idOf<model::AuthorizationRole>, roleListRow);
}

void OutputFormatter::authorizationRolePreview(const model::AuthorizationRolePreview& preview,
                                               std::string_view rawBody) {
    switch (mode()) {
        case Mode::Json:
            rawJson(rawBody);
            return;
        case Mode::Quiet:
            for (const std::string& permission : preview.explicitPermissions) {
                line(permission);
            }
            return;
        case Mode::Table:
            table(previewHeaders, {{join(preview.explicitPermissions), join(preview.derivedPermissions),
                                    join(preview.assignableScopeTypes)}});
            return;
    }
}

void OutputFormatter::authorizationGrant(const model::AuthorizationGrant& grant, std::string_view rawBody) {
    renderRecord(grant, rawBody, grantHeaders, idOf<model::AuthorizationGrant>, grantRow);
}

void OutputFormatter::authorizationGrants(const std::vector<model::AuthorizationGrant>& grants,
                                          std::string_view rawBody) {
    renderList(std::span<const model::AuthorizationGrant>(grants), rawBody, grantListHeaders,
               idOf<model::AuthorizationGrant>, grantListRow);
}

void OutputFormatter::grantPrincipalCandidates(const std::vector<model::GrantPrincipalCandidate>& candidates,
                                               std::string_view rawBody) {
    renderList(
        std::span<const model::GrantPrincipalCandidate>(candidates), rawBody, candidateHeaders,
        [](const model::GrantPrincipalCandidate& candidate) { return candidate.principalId; }, candidateRow);
}

void OutputFormatter::authorizationCatalog(const model::AuthorizationCatalog& catalog, std::string_view rawBody) {
    if (mode() == Mode::Table) {
        write("Catalog version: " + std::to_string(catalog.version) + "\nResource types: " +
              visibleText(join(catalog.resourceTypes), LineBreaks::Show) + "\n\n");
    }
    renderList(
        std::span<const model::PermissionMetadata>(catalog.permissions), rawBody, catalogHeaders,
        [](const model::PermissionMetadata& permission) { return permission.code; }, permissionRow);
}

void OutputFormatter::authorizationDecision(const model::AuthorizationDecision& decision,
                                            std::string_view rawBody) {
    renderRecord(
        decision, rawBody, decisionHeaders,
        [](const model::AuthorizationDecision& d) { return std::string(d.allowed ? "allowed" : "denied"); },
        decisionRow);
}

void OutputFormatter::authorizationCapabilities(const model::AuthorizationCapabilities& capabilities,
                                                std::string_view rawBody) {
    // Quiet lists what is allowed, not every permission decided on.
    if (mode() == Mode::Quiet) {
        for (const std::string& permission : capabilities.allowedPermissions) {
            line(permission);
        }
        return;
    }
    if (mode() == Mode::Table) {
        write(visibleText(typedId(capabilities.resourceType, capabilities.resourceId), LineBreaks::Show) + "\n");
    }
    renderList(std::span<const model::AuthorizationDecision>(capabilities.decisions), rawBody, capabilityHeaders,
               permissionOf, capabilityRow);
}

void OutputFormatter::effectivePermissions(const model::EffectivePermissions& permissions,
                                           std::string_view rawBody) {
    if (mode() == Mode::Table) {
        const std::string heading = typedId(permissions.principalType, permissions.principalId) + " on " +
                                    typedId(permissions.resourceType, permissions.resourceId);
        write(visibleText(heading, LineBreaks::Show) + "\n");
    }
    renderList(std::span<const model::AuthorizationDecision>(permissions.permissions), rawBody, effectiveHeaders,
               permissionOf, effectiveRow);
}

}  // namespace quarlino::quil::cli
