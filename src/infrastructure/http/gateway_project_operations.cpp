#include "infrastructure/http/http_quarlino_gateway.hpp"

#include <stdexcept>

namespace quarlino::quil::infrastructure::http {

// Operations on projects, repositories, actions and registry; placeholders until they are built.

namespace {

[[noreturn]] void notBuiltYet() { throw std::logic_error("gateway operation not built yet"); }

}  // namespace

model::ApiResponse<std::vector<model::Project>> HttpQuarlinoGateway::listProjects() { notBuiltYet(); }

model::ApiResponse<model::Project> HttpQuarlinoGateway::getProject(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::Project> HttpQuarlinoGateway::createProject(std::string_view, bool) { notBuiltYet(); }

model::ApiResponse<model::Project> HttpQuarlinoGateway::renameProject(std::string_view, std::string_view) { notBuiltYet(); }

void HttpQuarlinoGateway::deleteProject(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::Project> HttpQuarlinoGateway::enableRepository(std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::RepositoryEntry>> HttpQuarlinoGateway::repositoryTree(std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::ActionDefinition>> HttpQuarlinoGateway::listActions() { notBuiltYet(); }

model::ApiResponse<model::ProjectRegistry> HttpQuarlinoGateway::getProjectRegistry(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::ProjectRegistry> HttpQuarlinoGateway::enableProjectRegistry(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::ProjectRegistry> HttpQuarlinoGateway::updateProjectRegistryVisibility(std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::RegistryRepository>> HttpQuarlinoGateway::listRegistryRepositories(std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::RegistryAccessToken>> HttpQuarlinoGateway::listRegistryAccessTokens(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::RegistryAccessToken> HttpQuarlinoGateway::createRegistryAccessToken(std::string_view, const model::RegistryAccessTokenDefinition&) { notBuiltYet(); }

void HttpQuarlinoGateway::revokeRegistryAccessToken(std::string_view, std::string_view) { notBuiltYet(); }

void HttpQuarlinoGateway::disableProjectRegistry(std::string_view) { notBuiltYet(); }

}  // namespace quarlino::quil::infrastructure::http
