#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t teamList = 22;
constexpr std::uint8_t teamShow = 23;
constexpr std::uint8_t teamCreate = 24;
constexpr std::uint8_t teamRename = 25;
constexpr std::uint8_t teamMemberList = 26;
constexpr std::uint8_t teamMemberAdd = 27;
constexpr std::uint8_t teamMemberRemove = 28;

using application::port::QuarlinoGateway;

model::Team resolveTeam(QuarlinoGateway& gateway, std::string_view organizationId, std::string_view selector) {
    return resolve(gateway.listTeams(organizationId).value, selector,
                   {&model::Team::id, &model::Team::slug, &model::Team::name}, "team");
}

model::TeamMember resolveTeamMember(QuarlinoGateway& gateway, std::string_view organizationId,
                                    const model::Team& team, std::string_view selector) {
    return resolve(gateway.listTeamMembers(organizationId, team.id).value, selector,
                   {&model::TeamMember::userId, &model::TeamMember::email, &model::TeamMember::handle,
                    &model::TeamMember::name},
                   "team member");
}

int removeTeamMember(const ParsedCommand& command, QuarlinoGateway& gateway, std::string_view organizationId,
                     std::istream& in, std::ostream& err, OutputFormatter& formatter) {
    const model::Team team = resolveTeam(gateway, organizationId, command.operand(0));
    const model::TeamMember member = resolveTeamMember(gateway, organizationId, team, command.operand(1));
    if (!confirmOrCancel(command, in, err, "Remove '" + member.email + "' from team '" + team.name + "'?",
                         formatter, "Team-member removal cancelled")) {
        return 0;
    }
    gateway.removeTeamMember(organizationId, team.id, member.userId);
    mutationReceipt(formatter, {{"memberId", member.userId}, {"removed", true}, {"teamId", team.id}},
                    "Removed " + member.email + " from team " + team.name);
    return 0;
}

}  // namespace

int CliApplication::runTeam(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err) {
    OutputFormatter formatter(command, out);
    const application::ClientSession current = session(command, false);
    requireAuthentication(current.config);
    // Teams belong to organizations, above any workspace: no workspace header.
    const auto context = api(current.config.withWorkspaceId(std::nullopt));
    auto& gateway = context->gateway;
    const std::string organizationId = resolveOrganization(gateway, requiredOption(command, "organization")).id;

    switch (command.id) {
        case teamList: {
            const auto listed = gateway.listTeams(organizationId);
            formatter.teams(listed.value, listed.body);
            return 0;
        }
        case teamCreate: {
            const auto created =
                gateway.createTeam(organizationId, command.operand(0), command.option("slug").value_or(""));
            formatter.team(created.value, created.body);
            return 0;
        }
        case teamMemberRemove:
            return removeTeamMember(command, gateway, organizationId, in, err, formatter);
        default:
            break;
    }

    const model::Team team = resolveTeam(gateway, organizationId, command.operand(0));
    switch (command.id) {
        case teamShow: {
            const auto shown = gateway.getTeam(organizationId, team.id);
            formatter.team(shown.value, shown.body);
            return 0;
        }
        case teamRename: {
            const auto renamed = gateway.renameTeam(organizationId, team.id, command.operand(1));
            formatter.team(renamed.value, renamed.body);
            return 0;
        }
        case teamMemberList: {
            const auto members = gateway.listTeamMembers(organizationId, team.id);
            formatter.teamMembers(members.value, members.body);
            return 0;
        }
        case teamMemberAdd: {
            const auto added = gateway.addTeamMember(organizationId, team.id, requiredOption(command, "email"));
            formatter.teamMember(added.value, added.body);
            return 0;
        }
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
