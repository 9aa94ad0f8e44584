#include <string>
#include <vector>

#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

const std::vector<std::string> userHeaders{"ID", "NAME", "EMAIL", "HANDLE"};
// The single workspace leaves PERSONAL out; the list and both organization
// tables show it.
const std::vector<std::string> workspaceHeaders{"ID", "NAME", "SLUG", "ROLE"};
const std::vector<std::string> workspaceListHeaders{"ID", "NAME", "SLUG", "ROLE", "PERSONAL"};
const std::vector<std::string> organizationHeaders{"ID", "NAME", "SLUG", "ROLE", "PERSONAL"};
const std::vector<std::string> teamHeaders{"ID", "NAME", "SLUG", "MEMBERS"};
const std::vector<std::string> teamMemberHeaders{"USER ID", "NAME", "EMAIL", "HANDLE", "JOINED"};

template <typename Record>
std::string idOf(const Record& record) {
    return record.id;
}

std::string userIdOf(const model::TeamMember& member) { return member.userId; }

std::vector<std::string> userRow(const model::User& user) { return {user.id, user.name, user.email, user.handle}; }

std::vector<std::string> workspaceRow(const model::Workspace& workspace) {
    return {workspace.id, workspace.name, workspace.slug, workspace.role};
}

std::vector<std::string> workspaceListRow(const model::Workspace& workspace) {
    return {workspace.id, workspace.name, workspace.slug, workspace.role, yesNo(workspace.personal)};
}

std::vector<std::string> organizationRow(const model::Organization& organization) {
    return {organization.id, organization.name, organization.slug, organization.role,
            yesNo(organization.personal)};
}

std::vector<std::string> teamRow(const model::Team& team) {
    return {team.id, team.name, team.slug, std::to_string(team.memberCount)};
}

std::vector<std::string> teamMemberRow(const model::TeamMember& member) {
    return {member.userId, member.name, member.email, member.handle, member.joinedAt};
}

}  // namespace

void OutputFormatter::user(const model::User& user, std::string_view rawBody) {
    renderRecord(user, rawBody, userHeaders, idOf<model::User>, userRow);
}

void OutputFormatter::workspace(const model::Workspace& workspace, std::string_view rawBody) {
    renderRecord(workspace, rawBody, workspaceHeaders, idOf<model::Workspace>, workspaceRow);
}

void OutputFormatter::workspaces(const std::vector<model::Workspace>& workspaces, std::string_view rawBody) {
    renderList(std::span<const model::Workspace>(workspaces), rawBody, workspaceListHeaders,
               idOf<model::Workspace>, workspaceListRow);
}

void OutputFormatter::organization(const model::Organization& organization, std::string_view rawBody) {
    renderRecord(organization, rawBody, organizationHeaders, idOf<model::Organization>, organizationRow);
}

void OutputFormatter::organizations(const std::vector<model::Organization>& organizations,
                                    std::string_view rawBody) {
    renderList(std::span<const model::Organization>(organizations), rawBody, organizationHeaders,
               idOf<model::Organization>, organizationRow);
}

void OutputFormatter::team(const model::Team& team, std::string_view rawBody) {
    renderRecord(team, rawBody, teamHeaders, idOf<model::Team>, teamRow);
}

void OutputFormatter::teams(const std::vector<model::Team>& teams, std::string_view rawBody) {
    renderList(std::span<const model::Team>(teams), rawBody, teamHeaders, idOf<model::Team>, teamRow);
}

void OutputFormatter::teamMember(const model::TeamMember& member, std::string_view rawBody) {
    renderRecord(member, rawBody, teamMemberHeaders, userIdOf, teamMemberRow);
}

void OutputFormatter::teamMembers(const std::vector<model::TeamMember>& members, std::string_view rawBody) {
    renderList(std::span<const model::TeamMember>(members), rawBody, teamMemberHeaders, userIdOf, teamMemberRow);
}

}  // namespace quarlino::quil::cli
