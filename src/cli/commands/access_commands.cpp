#include "cli/commands/access_commands.hpp"

#include <algorithm>
#include <stdexcept>

#include "cli/cli_application.hpp"
#include "cli/commands/access_module.hpp"

namespace quarlino::quil::cli {

namespace access {

std::pair<std::string, std::string> reference(std::string_view value, std::string_view optionName) {
    const std::size_t colon = value.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == value.size()) {
        throw std::invalid_argument("--" + std::string(optionName) + " must use TYPE:ID");
    }
    return {upperAscii(value.substr(0, colon)), std::string(value.substr(colon + 1))};
}

nlohmann::json readDefinition(const ParsedCommand& command, std::istream& in) {
    return readJsonObjectDocument(requiredOption(command, "file"), in, "authorization definition");
}

std::string optionalText(const nlohmann::json& document, std::string_view key) {
    const auto found = document.find(key);
    if (found == document.end() || found->is_null()) {
        return {};
    }
    if (!found->is_string()) {
        throw std::invalid_argument(std::string(key) + " must be a string");
    }
    return found->get<std::string>();
}

std::string requiredText(const nlohmann::json& document, std::string_view key) {
    std::string text = optionalText(document, key);
    if (text.empty()) {
        throw std::invalid_argument(std::string(key) + " is required");
    }
    return text;
}

std::vector<std::string> requiredStrings(const nlohmann::json& document, std::string_view key) {
    const auto found = document.find(key);
    if (found == document.end() || !found->is_array() || found->empty()) {
        throw std::invalid_argument(std::string(key) + " must be a non-empty string array");
    }
    std::vector<std::string> values;
    for (const nlohmann::json& element : *found) {
        if (!element.is_string() || element.get_ref<const std::string&>().empty()) {
            throw std::invalid_argument(std::string(key) + " must contain non-empty strings");
        }
        const std::string& value = element.get_ref<const std::string&>();
        if (std::find(values.begin(), values.end(), value) == values.end()) {
            values.push_back(value);
        }
    }
    return values;
}

void validateResourceType(const model::AuthorizationCatalog& catalog, std::string_view type) {
    const auto& known = catalog.resourceTypes;
    if (std::find(known.begin(), known.end(), type) == known.end()) {
        throw std::invalid_argument("unknown authorization resource type: " + std::string(type));
    }
}

}  // namespace access

namespace {

using namespace access;

model::Organization organizationOf(Gateway& gateway, std::string_view selector) {
    return onlyMatch(gateway.listOrganizations().value, selector,
                     {&model::Organization::id, &model::Organization::slug, &model::Organization::name},
                     "organization", "organization selector is ambiguous; use its ID");
}

int showCapabilities(const ParsedCommand& command, OutputFormatter& formatter, Gateway& gateway,
                     std::optional<std::string_view> activeWorkspaceId) {
    std::pair<std::string, std::string> resource;
    if (const auto value = command.option("resource")) {
        resource = reference(*value, "resource");
    } else if (activeWorkspaceId) {
        resource = {"WORKSPACE", std::string(*activeWorkspaceId)};
    } else {
        throw std::invalid_argument("--resource is required when no workspace is active");
    }
    const auto capabilities = gateway.authorizationCapabilities(resource.first, resource.second);
    formatter.authorizationCapabilities(capabilities.value, capabilities.body);
    return 0;
}

int showDecision(const ParsedCommand& command, OutputFormatter& formatter, Gateway& gateway) {
    const auto [type, id] = reference(requiredOption(command, "resource"), "resource");
    const std::string_view permission = requiredOption(command, "permission");
    const auto decision = gateway.authorizationDecision(permission, type, id);
    // Printed in every mode; the exit code tells scripts the answer.
    formatter.authorizationDecision(decision.value, decision.body);
    return decision.value.allowed ? 0 : 4;
}

}  // namespace

int runAccessCommand(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err,
                     application::port::QuarlinoGateway& gateway,
                     std::optional<std::string_view> activeWorkspaceId) {
    OutputFormatter formatter(command, out);
    switch (command.id) {
        case accessCatalog: {
            const auto catalog = gateway.authorizationCatalog();
            formatter.authorizationCatalog(catalog.value, catalog.body);
            return 0;
        }
        case accessCapabilities:
            return showCapabilities(command, formatter, gateway, activeWorkspaceId);
        case accessDecision:
            return showDecision(command, formatter, gateway);
        default:
            break;
    }
    if (command.id < roleList || command.id > grantPrincipals) {
        throw std::logic_error(unsupportedCommandMessage);
    }
    // Before any file is read or other option looked at.
    const model::Organization organization = organizationOf(gateway, requiredOption(command, "organization"));
    const OrganizationCommand context{command, in, err, formatter, gateway, organization};
    return command.id < grantList ? runRoleCommand(context) : runGrantCommand(context);
}

int CliApplication::runAccess(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err) {
    // Capabilities default to the active workspace; nothing else needs one.
    const bool requireWorkspace = command.id == accessCapabilities && !command.option("resource");
    const application::ClientSession current = session(command, requireWorkspace);
    requireAuthentication(current.config);
    const auto context = api(current.config);
    std::optional<std::string_view> activeWorkspaceId;
    if (const auto& workspaceId = current.config.workspaceId()) {
        activeWorkspaceId = *workspaceId;
    }
    return runAccessCommand(command, in, out, err, context->gateway, activeWorkspaceId);
}

}  // namespace quarlino::quil::cli
