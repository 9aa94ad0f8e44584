#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t organizationList = 18;
constexpr std::uint8_t organizationShow = 19;
constexpr std::uint8_t organizationCreate = 20;
constexpr std::uint8_t organizationRename = 21;

}  // namespace

int CliApplication::runOrganization(const ParsedCommand& command, std::ostream& out) {
    OutputFormatter formatter(command, out);
    const application::ClientSession current = session(command, false);
    requireAuthentication(current.config);
    // Organizations stand above workspaces: no workspace header.
    const auto context = api(current.config.withWorkspaceId(std::nullopt));
    auto& gateway = context->gateway;

    switch (command.id) {
        case organizationList: {
            const auto listed = gateway.listOrganizations();
            formatter.organizations(listed.value, listed.body);
            return 0;
        }
        case organizationCreate: {
            const auto created =
                gateway.createOrganization(command.operand(0), command.option("slug").value_or(""));
            formatter.organization(created.value, created.body);
            return 0;
        }
        case organizationShow: {
            const auto organization = resolveOrganization(gateway, command.operand(0));
            const auto shown = gateway.getOrganization(organization.id);
            formatter.organization(shown.value, shown.body);
            return 0;
        }
        case organizationRename: {
            const auto organization = resolveOrganization(gateway, command.operand(0));
            const auto renamed = gateway.renameOrganization(organization.id, command.operand(1));
            formatter.organization(renamed.value, renamed.body);
            return 0;
        }
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
