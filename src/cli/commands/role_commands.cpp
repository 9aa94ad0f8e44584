#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "cli/cli_application.hpp"
#include "cli/commands/access_module.hpp"

namespace quarlino::quil::cli::access {

namespace {

// Absent or null: no expected version. A number beyond 32 bits is refused
// rather than wrapped, which would check the write against another version.
std::optional<int> expectedVersion(const nlohmann::json& document) {
    const auto found = document.find("expectedVersion");
    if (found == document.end() || found->is_null()) {
        return std::nullopt;
    }
    if (!found->is_number_integer()) {
        throw std::invalid_argument("expectedVersion must be an integer");
    }
    const bool fits = found->is_number_unsigned()
                          ? found->get<std::uint64_t>() <= static_cast<std::uint64_t>(INT_MAX)
                          : found->get<std::int64_t>() >= INT_MIN && found->get<std::int64_t>() <= INT_MAX;
    if (!fits) {
        throw std::invalid_argument("expectedVersion must be a 32-bit integer");
    }
    return found->get<int>();
}

model::AuthorizationRoleDefinition roleDefinition(const nlohmann::json& document) {
    model::AuthorizationRoleDefinition definition;
    definition.name = optionalText(document, "name");
    definition.description = optionalText(document, "description");
    definition.permissions = requiredStrings(document, "permissions");
    definition.assignableScopeTypes = requiredStrings(document, "assignableScopeTypes");
    definition.expectedVersion = expectedVersion(document);
    return definition;
}

// Scope types are upper-cased and checked before permissions, which must
// match a catalog code exactly.
void validateRole(const model::AuthorizationCatalog& catalog, model::AuthorizationRoleDefinition& definition) {
    for (std::string& scopeType : definition.assignableScopeTypes) {
        scopeType = upperAscii(scopeType);
        validateResourceType(catalog, scopeType);
    }
    for (const std::string& permission : definition.permissions) {
        const auto& codes = catalog.permissions;
        const bool known = std::any_of(codes.begin(), codes.end(), [&](const model::PermissionMetadata& entry) {
            return entry.code == permission;
        });
        if (!known) {
            throw std::invalid_argument("unknown authorization permission: " + permission);
        }
    }
}

// Checked against the catalog, then by the platform's preview: a definition
// either refuses is never written.
model::ApiResponse<model::AuthorizationRolePreview> previewChecked(const OrganizationCommand& context,
                                                                   model::AuthorizationRoleDefinition& definition) {
    validateRole(context.gateway.authorizationCatalog().value, definition);
    return context.gateway.previewAuthorizationRole(context.organization.id, definition);
}

int previewOrCreate(const OrganizationCommand& context) {
    model::AuthorizationRoleDefinition definition = roleDefinition(readDefinition(context.command, context.in));
    if (context.command.id == roleCreate) {
        definition.name = context.command.operand(0);
    }
    const auto preview = previewChecked(context, definition);
    if (context.command.id == rolePreview) {
        context.formatter.authorizationRolePreview(preview.value, preview.body);
        return 0;
    }
    const auto created = context.gateway.createAuthorizationRole(context.organization.id, definition);
    context.formatter.authorizationRole(created.value, created.body);
    return 0;
}

int updateRole(const OrganizationCommand& context, const model::AuthorizationRole& role) {
    model::AuthorizationRoleDefinition definition = roleDefinition(readDefinition(context.command, context.in));
    if (definition.name.empty()) {
        definition.name = role.name;
    }
    if (!definition.expectedVersion) {
        definition.expectedVersion = role.version;
    }
    previewChecked(context, definition);
    const auto updated = context.gateway.updateAuthorizationRole(context.organization.id, role.id, definition);
    context.formatter.authorizationRole(updated.value, updated.body);
    return 0;
}

int deleteRole(const OrganizationCommand& context, const model::AuthorizationRole& role) {
    const std::string prompt = "Archive role '" + role.name + "' (" + role.id + ")?";
    if (!confirmDestructive(context.command, context.in, context.err, prompt)) {
        context.formatter.message("Role archival cancelled");
        return 0;
    }
    context.gateway.deleteAuthorizationRole(context.organization.id, role.id);
    mutationReceipt(context.formatter, {{"id", role.id}, {"archived", true}}, "Archived role " + role.name);
    return 0;
}

int runResolvedRoleCommand(const OrganizationCommand& context, const model::AuthorizationRole& role) {
    auto& gateway = context.gateway;
    const std::string& organizationId = context.organization.id;
    switch (context.command.id) {
        case roleShow: {
            const auto shown = gateway.getAuthorizationRole(organizationId, role.id);
            context.formatter.authorizationRole(shown.value, shown.body);
            return 0;
        }
        case roleUpdate:
            return updateRole(context, role);
        case roleDuplicate: {
            const auto description = context.command.option("description");
            const auto duplicate = gateway.duplicateAuthorizationRole(organizationId, role.id,
                                                                      context.command.operand(1),
                                                                      description.value_or(""));
            context.formatter.authorizationRole(duplicate.value, duplicate.body);
            return 0;
        }
        case roleDelete:
            return deleteRole(context, role);
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace

model::AuthorizationRole resolveRole(Gateway& gateway, std::string_view organizationId, std::string_view selector) {
    return onlyMatch(gateway.listAuthorizationRoles(organizationId).value, selector,
                     {&model::AuthorizationRole::id, &model::AuthorizationRole::systemCode,
                      &model::AuthorizationRole::name},
                     "authorization role", "role selector is ambiguous; use its ID");
}

int runRoleCommand(const OrganizationCommand& context) {
    switch (context.command.id) {
        case roleList: {
            const auto roles = context.gateway.listAuthorizationRoles(context.organization.id);
            context.formatter.authorizationRoles(roles.value, roles.body);
            return 0;
        }
        case rolePreview:
        case roleCreate:
            return previewOrCreate(context);
        default:
            break;
    }
    // Show, update, duplicate and delete name an existing role first.
    const model::AuthorizationRole role =
        resolveRole(context.gateway, context.organization.id, context.command.operand(0));
    return runResolvedRoleCommand(context, role);
}

}  // namespace quarlino::quil::cli::access
