#include <string>

#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Workspaces and organizations, addressed by identifier alone, and the teams
// of an organization with their members, always addressed inside it. Bodies
// are built before paths, so a body error wins over an identifier error.
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

constexpr std::string_view kWorkspaces = "/api/workspaces";
constexpr std::string_view kOrganizations = "/api/organizations";

// "slug" is always present: null asks the platform to derive one.
std::string createBody(std::string_view name, std::string_view slug) {
    return jsonBody({{"name", name}, {"slug", textOrNull(slug)}});
}

std::string renameBody(std::string_view name) { return jsonBody({{"name", name}}); }

std::string organizationPath(std::string_view organizationId) {
    return resourcePath(kOrganizations, organizationId);
}

std::string teamsPath(std::string_view organizationId) { return organizationPath(organizationId) + "/teams"; }

std::string teamPath(std::string_view organizationId, std::string_view teamId) {
    return resourcePath(teamsPath(organizationId), teamId);
}

std::string membersPath(std::string_view organizationId, std::string_view teamId) {
    return teamPath(organizationId, teamId) + "/members";
}

}  // namespace

// Workspaces ---------------------------------------------------------------------

model::ApiResponse<std::vector<model::Workspace>> HttpQuarlinoGateway::listWorkspaces() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kWorkspaces), ""), parseWorkspace);
}

model::ApiResponse<model::Workspace> HttpQuarlinoGateway::createWorkspace(std::string_view name,
                                                                          std::string_view slug) {
    std::string body = createBody(name, slug);
    return parseRecordResponse(send(HttpMethod::POST, std::string(kWorkspaces), std::move(body)), parseWorkspace);
}

model::ApiResponse<model::Workspace> HttpQuarlinoGateway::renameWorkspace(std::string_view workspaceId,
                                                                          std::string_view name) {
    std::string body = renameBody(name);
    std::string path = resourcePath(kWorkspaces, workspaceId);
    return parseRecordResponse(send(HttpMethod::PATCH, std::move(path), std::move(body)), parseWorkspace);
}

// Organizations ------------------------------------------------------------------

model::ApiResponse<std::vector<model::Organization>> HttpQuarlinoGateway::listOrganizations() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kOrganizations), ""), parseOrganization);
}

model::ApiResponse<model::Organization> HttpQuarlinoGateway::getOrganization(std::string_view organizationId) {
    return parseRecordResponse(send(HttpMethod::GET, organizationPath(organizationId), ""), parseOrganization);
}

model::ApiResponse<model::Organization> HttpQuarlinoGateway::createOrganization(std::string_view name,
                                                                                std::string_view slug) {
    std::string body = createBody(name, slug);
    return parseRecordResponse(send(HttpMethod::POST, std::string(kOrganizations), std::move(body)),
                               parseOrganization);
}

model::ApiResponse<model::Organization> HttpQuarlinoGateway::renameOrganization(std::string_view organizationId,
                                                                                std::string_view name) {
    std::string body = renameBody(name);
    std::string path = organizationPath(organizationId);
    return parseRecordResponse(send(HttpMethod::PATCH, std::move(path), std::move(body)), parseOrganization);
}

// Teams --------------------------------------------------------------------------

model::ApiResponse<std::vector<model::Team>> HttpQuarlinoGateway::listTeams(std::string_view organizationId) {
    return parseArrayResponse(send(HttpMethod::GET, teamsPath(organizationId), ""), parseTeam);
}

model::ApiResponse<model::Team> HttpQuarlinoGateway::getTeam(std::string_view organizationId,
                                                             std::string_view teamId) {
    return parseRecordResponse(send(HttpMethod::GET, teamPath(organizationId, teamId), ""), parseTeam);
}

model::ApiResponse<model::Team> HttpQuarlinoGateway::createTeam(std::string_view organizationId,
                                                                std::string_view name, std::string_view slug) {
    std::string body = createBody(name, slug);
    std::string path = teamsPath(organizationId);
    return parseRecordResponse(send(HttpMethod::POST, std::move(path), std::move(body)), parseTeam);
}

// Unlike workspaces and organizations, a team is renamed with PUT.
model::ApiResponse<model::Team> HttpQuarlinoGateway::renameTeam(std::string_view organizationId,
                                                                std::string_view teamId, std::string_view name) {
    std::string body = renameBody(name);
    std::string path = teamPath(organizationId, teamId);
    return parseRecordResponse(send(HttpMethod::PUT, std::move(path), std::move(body)), parseTeam);
}

// Team members -------------------------------------------------------------------

model::ApiResponse<std::vector<model::TeamMember>> HttpQuarlinoGateway::listTeamMembers(
    std::string_view organizationId, std::string_view teamId) {
    return parseArrayResponse(send(HttpMethod::GET, membersPath(organizationId, teamId), ""), parseTeamMember);
}

// A member is added by e-mail address and removed by user identifier.
model::ApiResponse<model::TeamMember> HttpQuarlinoGateway::addTeamMember(std::string_view organizationId,
                                                                         std::string_view teamId,
                                                                         std::string_view email) {
    std::string body = jsonBody({{"email", email}});
    std::string path = membersPath(organizationId, teamId);
    return parseRecordResponse(send(HttpMethod::POST, std::move(path), std::move(body)), parseTeamMember);
}

void HttpQuarlinoGateway::removeTeamMember(std::string_view organizationId, std::string_view teamId,
                                           std::string_view userId) {
    send(HttpMethod::DELETE, resourcePath(membersPath(organizationId, teamId), userId), "");
}

}  // namespace quarlino::quil::infrastructure::http
