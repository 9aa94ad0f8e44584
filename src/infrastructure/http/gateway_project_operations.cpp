#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/json_element_walk.hpp"
#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Projects and their git repository live under the singular, unversioned
// "/api/project"; the action catalogue is "/api/actions". The container
// registry of a project is in gateway_registry_operations.cpp.
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

constexpr std::string_view kProjects = "/api/project";

std::string projectPath(std::string_view projectId) { return resourcePath(kProjects, projectId); }

// Only a non-negative JSON integer is a size; 12.0, -1 or "12" are not.
std::optional<std::uint64_t> entrySize(const nlohmann::json& entry) {
    const nlohmann::json* size = integerMember(entry, "size");
    if (size == nullptr || (!size->is_number_unsigned() && size->get<std::int64_t>() < 0)) {
        return std::nullopt;
    }
    return size->get<std::uint64_t>();
}

model::RepositoryEntry parseRepositoryEntry(const nlohmann::json& object) {
    return model::RepositoryEntry{
        .name = stringValue(object, "name"),
        .path = stringValue(object, "path"),
        .type = stringValue(object, "type"),
        .size = entrySize(object),
    };
}

}  // namespace

// Projects -----------------------------------------------------------------------------

model::ApiResponse<std::vector<model::Project>> HttpQuarlinoGateway::listProjects() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kProjects), ""), parseProject);
}

model::ApiResponse<model::Project> HttpQuarlinoGateway::getProject(std::string_view projectId) {
    return parseRecordResponse(send(HttpMethod::GET, projectPath(projectId), ""), parseProject);
}

model::ApiResponse<model::Project> HttpQuarlinoGateway::createProject(std::string_view name,
                                                                      bool gitRepositoryEnabled) {
    std::string body = jsonBody({{"name", name}, {"gitRepositoryEnabled", gitRepositoryEnabled}});
    return parseRecordResponse(send(HttpMethod::POST, std::string(kProjects), std::move(body)), parseProject);
}

// A project is renamed with PUT.
model::ApiResponse<model::Project> HttpQuarlinoGateway::renameProject(std::string_view projectId,
                                                                      std::string_view name) {
    std::string body = jsonBody({{"name", name}});
    std::string path = projectPath(projectId);
    return parseRecordResponse(send(HttpMethod::PUT, std::move(path), std::move(body)), parseProject);
}

void HttpQuarlinoGateway::deleteProject(std::string_view projectId) {
    send(HttpMethod::DELETE, projectPath(projectId), "");
}

// Git repository -----------------------------------------------------------------------

// A POST without a body, so no "Content-Type" either.
model::ApiResponse<model::Project> HttpQuarlinoGateway::enableRepository(std::string_view projectId) {
    return parseRecordResponse(send(HttpMethod::POST, projectPath(projectId) + "/git-repository", ""),
                               parseProject);
}

// Not a list answer: an object whose "entries" are walked. The path goes in
// the query, its slashes encoded like every other reserved byte.
model::ApiResponse<std::vector<model::RepositoryEntry>> HttpQuarlinoGateway::repositoryTree(
    std::string_view projectId, std::string_view path) {
    return parseMemberListResponse(
        send(HttpMethod::GET, withQuery(projectPath(projectId) + "/repository/tree", {{"path", path}}), ""),
        "entries", parseRepositoryEntry);
}

// Actions ------------------------------------------------------------------------------

model::ApiResponse<std::vector<model::ActionDefinition>> HttpQuarlinoGateway::listActions() {
    return parseArrayResponse(send(HttpMethod::GET, "/api/actions", ""), parseActionDefinition);
}

}  // namespace quarlino::quil::infrastructure::http
