#include <algorithm>
#include <cstdint>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t registryShow = 55;
constexpr std::uint8_t registryEnable = 56;
constexpr std::uint8_t registryUpdate = 57;
constexpr std::uint8_t registryRepositories = 58;
constexpr std::uint8_t registryDisable = 59;
constexpr std::uint8_t registryTokenList = 60;
constexpr std::uint8_t registryTokenCreate = 61;
constexpr std::uint8_t registryTokenRevoke = 62;

// The comma-separated permissions, each PULL or PUSH in any case, kept once
// in the order of first mention. Every piece counts, the empty ones too.
std::vector<std::string> registryPermissions(std::string_view value) {
    std::vector<std::string> permissions;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = value.find(',', start);
        const std::string_view piece =
            value.substr(start, comma == std::string_view::npos ? value.size() - start : comma - start);
        std::string permission = normalizeEnumOption(piece, {"PULL", "PUSH"}, "permissions");
        if (std::find(permissions.begin(), permissions.end(), permission) == permissions.end()) {
            permissions.push_back(std::move(permission));
        }
        if (comma == std::string_view::npos) {
            return permissions;
        }
        start = comma + 1;
    }
}

model::RegistryAccessTokenDefinition tokenDefinition(const ParsedCommand& command) {
    model::RegistryAccessTokenDefinition definition;
    definition.name = command.operand(1);
    definition.permissions = registryPermissions(requiredOption(command, "permissions"));
    if (const auto expiresAt = command.option("expires-at")) {
        definition.expiresAt = std::string(*expiresAt);
    }
    return definition;
}

int disableRegistry(const ParsedCommand& command, application::port::QuarlinoGateway& gateway,
                    const model::Project& project, OutputFormatter& formatter, std::istream& in, std::ostream& err) {
    if (!confirmDestructive(command, in, err, "Disable Registry for project '" + project.name + "'?")) {
        formatter.message("Registry disable cancelled");
        return 0;
    }
    gateway.disableProjectRegistry(project.id);
    mutationReceipt(formatter, {{"disableRequested", true}, {"projectId", project.id}},
                    "Registry disable requested for project " + project.name);
    return 0;
}

int revokeToken(const ParsedCommand& command, application::port::QuarlinoGateway& gateway,
                const model::Project& project, OutputFormatter& formatter, std::istream& in, std::ostream& err) {
    // An id does not win over a name: one token's id and another's name is
    // ambiguous.
    const auto token =
        resolve(gateway.listRegistryAccessTokens(project.id).value, command.operand(1),
                {&model::RegistryAccessToken::id, &model::RegistryAccessToken::name}, "Registry access token");
    if (!confirmDestructive(command, in, err, "Revoke Registry token '" + token.name + "'?")) {
        formatter.message("Registry token revocation cancelled");
        return 0;
    }
    gateway.revokeRegistryAccessToken(project.id, token.id);
    mutationReceipt(formatter, {{"id", token.id}, {"revoked", true}}, "Revoked Registry token " + token.name);
    return 0;
}

}  // namespace

int CliApplication::runRegistry(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err) {
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;
    const model::Project project = resolveProject(gateway, command.operand(0));

    switch (command.id) {
        case registryShow:
            return renderResponse(formatter, &OutputFormatter::projectRegistry, gateway.getProjectRegistry(project.id));
        case registryEnable:
            return renderResponse(formatter, &OutputFormatter::projectRegistry,
                                  gateway.enableProjectRegistry(project.id));
        case registryUpdate: {
            const std::string visibility =
                normalizeEnumOption(requiredOption(command, "visibility"), {"PRIVATE", "PUBLIC"}, "visibility");
            return renderResponse(formatter, &OutputFormatter::projectRegistry,
                                  gateway.updateProjectRegistryVisibility(project.id, visibility));
        }
        case registryRepositories:
            return renderResponse(formatter, &OutputFormatter::registryRepositories,
                                  gateway.listRegistryRepositories(project.id));
        case registryDisable:
            return disableRegistry(command, gateway, project, formatter, in, err);
        case registryTokenList:
            return renderResponse(formatter, &OutputFormatter::registryAccessTokens,
                                  gateway.listRegistryAccessTokens(project.id));
        case registryTokenCreate:
            return renderResponse(formatter, &OutputFormatter::registryAccessToken,
                                  gateway.createRegistryAccessToken(project.id, tokenDefinition(command)));
        case registryTokenRevoke:
            return revokeToken(command, gateway, project, formatter, in, err);
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
