#pragma once

#include <vector>

#include <nlohmann/json.hpp>

#include "model/records.hpp"

// One mapper per record that several operations share, from a JSON value (a
// response root or one element of a root array) to the record. Text fields
// never fail; number, boolean and list fields need a JSON object and a member
// of the right type, and fail with the JSON library's own errors, which pass
// to the caller unchanged. Records built by one operation only are mapped in
// that operation's source file with the readers of json_readers.hpp.
namespace quarlino::quil::infrastructure::http {

// Identity, workspaces and access control (identity_record_mappers.cpp)
model::User parseUser(const nlohmann::json& object);
model::TeamMember parseTeamMember(const nlohmann::json& object);
model::Workspace parseWorkspace(const nlohmann::json& object);
model::Organization parseOrganization(const nlohmann::json& object);
model::Team parseTeam(const nlohmann::json& object);
model::AuthorizationDecision parseAuthorizationDecision(const nlohmann::json& object);
model::AuthorizationRole parseAuthorizationRole(const nlohmann::json& object);
model::AuthorizationGrant parseAuthorizationGrant(const nlohmann::json& object);

// Projects, registry and pipelines (project_record_mappers.cpp)
model::Project parseProject(const nlohmann::json& object);
model::ActionDefinition parseActionDefinition(const nlohmann::json& object);
model::ProjectRegistry parseProjectRegistry(const nlohmann::json& object);
model::RegistryRepository parseRegistryRepository(const nlohmann::json& object);
model::RegistryAccessToken parseRegistryAccessToken(const nlohmann::json& object);
model::Pipeline parsePipeline(const nlohmann::json& object);
// A non-array gives no diagnostics; an element that is not an object fails.
std::vector<model::SourceDiagnostic> parseDiagnostics(const nlohmann::json& value);
// Needs the member "source": missing fails with out_of_range 403, a
// non-object with type_error 304.
model::EditorSnapshot parseSnapshot(const nlohmann::json& object);

// Groups, deployment, runs and dashboard (delivery_record_mappers.cpp)
model::VariableGroup parseVariableGroup(const nlohmann::json& object);
model::SecretGroup parseSecretGroup(const nlohmann::json& object);
model::DeploymentAgent parseDeploymentAgent(const nlohmann::json& object);
model::DeploymentTarget parseDeploymentTarget(const nlohmann::json& object);
model::Execution parseExecution(const nlohmann::json& object);
model::RecentActivity parseRecentActivity(const nlohmann::json& object);
model::DashboardPipelineStatus parseDashboardPipelineStatus(const nlohmann::json& object);

}  // namespace quarlino::quil::infrastructure::http
