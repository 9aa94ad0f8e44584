#pragma once

#include <map>
#include <memory>
#include <string>

#include "application/port/http_transport.hpp"
#include "application/port/quarlino_gateway.hpp"

namespace quarlino::quil::infrastructure::http {

// The platform's REST API over the transport port: each operation is one
// request (setting or removing one variable or secret makes a read and then a
// write), with no state, cache, retry or paging of its own. The shared request
// rules live in gateway_requests.hpp, the JSON mappers in record_mappers.hpp,
// and the operations in one source file per resource family, named below.
class HttpQuarlinoGateway final : public application::port::QuarlinoGateway {
public:
    // Owns the transport; an empty pointer is refused.
    explicit HttpQuarlinoGateway(std::unique_ptr<application::port::HttpTransport> transport);
    // Borrows the transport, which must outlive the gateway.
    explicit HttpQuarlinoGateway(application::port::HttpTransport& transport);
    ~HttpQuarlinoGateway() override;

    HttpQuarlinoGateway(const HttpQuarlinoGateway&) = delete;
    HttpQuarlinoGateway& operator=(const HttpQuarlinoGateway&) = delete;

    // Authentication: gateway_auth_operations.cpp
    Result<model::LoginResult> login(Text email, Text password) override;
    Result<model::BrowserLoginSession> startBrowserLogin(Text state, Text codeChallenge) override;
    Result<model::BrowserLoginPoll> pollBrowserLogin(const model::BrowserTokenExchange& exchange) override;
    Result<model::LoginResult> signup(const model::SignupDefinition& definition) override;
    Result<model::User> currentUser() override;

    // Workspaces, organizations and teams: gateway_workspace_operations.cpp
    ListResult<model::Workspace> listWorkspaces() override;
    Result<model::Workspace> createWorkspace(Text name, Text slug) override;
    Result<model::Workspace> renameWorkspace(Text workspaceId, Text name) override;
    ListResult<model::Organization> listOrganizations() override;
    Result<model::Organization> getOrganization(Text organizationId) override;
    Result<model::Organization> createOrganization(Text name, Text slug) override;
    Result<model::Organization> renameOrganization(Text organizationId, Text name) override;
    ListResult<model::Team> listTeams(Text organizationId) override;
    Result<model::Team> getTeam(Text organizationId, Text teamId) override;
    Result<model::Team> createTeam(Text organizationId, Text name, Text slug) override;
    Result<model::Team> renameTeam(Text organizationId, Text teamId, Text name) override;
    ListResult<model::TeamMember> listTeamMembers(Text organizationId, Text teamId) override;
    Result<model::TeamMember> addTeamMember(Text organizationId, Text teamId, Text email) override;
    void removeTeamMember(Text organizationId, Text teamId, Text userId) override;

    // Access control: gateway_authorization_operations.cpp
    Result<model::AuthorizationCatalog> authorizationCatalog() override;
    Result<model::AuthorizationCapabilities> authorizationCapabilities(Text resourceType,
                                                                       Text resourceId) override;
    Result<model::AuthorizationDecision> authorizationDecision(Text permission, Text resourceType,
                                                               Text resourceId) override;
    ListResult<model::AuthorizationRole> listAuthorizationRoles(Text organizationId) override;
    Result<model::AuthorizationRole> getAuthorizationRole(Text organizationId, Text roleId) override;
    Result<model::AuthorizationRolePreview> previewAuthorizationRole(
        Text organizationId, const model::AuthorizationRoleDefinition& definition) override;
    Result<model::AuthorizationRole> createAuthorizationRole(
        Text organizationId, const model::AuthorizationRoleDefinition& definition) override;
    Result<model::AuthorizationRole> updateAuthorizationRole(
        Text organizationId, Text roleId, const model::AuthorizationRoleDefinition& definition) override;
    Result<model::AuthorizationRole> duplicateAuthorizationRole(Text organizationId, Text roleId,
                                                                Text name, Text description) override;
    void deleteAuthorizationRole(Text organizationId, Text roleId) override;
    ListResult<model::AuthorizationGrant> listAuthorizationGrants(Text organizationId,
                                                                 OptionalText scopeType,
                                                                 OptionalText scopeId) override;
    Result<model::AuthorizationGrant> createAuthorizationGrant(
        Text organizationId, const model::AuthorizationGrantDefinition& definition) override;
    Result<model::AuthorizationGrant> updateAuthorizationGrant(
        Text organizationId, Text grantId, const model::AuthorizationGrantDefinition& definition) override;
    void revokeAuthorizationGrant(Text organizationId, Text grantId) override;
    Result<model::EffectivePermissions> effectivePermissions(Text organizationId, Text principalType,
                                                             Text principalId, Text resourceType,
                                                             Text resourceId) override;
    ListResult<model::GrantPrincipalCandidate> grantPrincipalCandidates(Text organizationId,
                                                                       OptionalText query) override;

    // Projects, repositories and actions: gateway_project_operations.cpp
    ListResult<model::Project> listProjects() override;
    Result<model::Project> getProject(Text projectId) override;
    Result<model::Project> createProject(Text name, bool gitRepositoryEnabled) override;
    Result<model::Project> renameProject(Text projectId, Text name) override;
    void deleteProject(Text projectId) override;
    Result<model::Project> enableRepository(Text projectId) override;
    ListResult<model::RepositoryEntry> repositoryTree(Text projectId, Text path) override;
    ListResult<model::ActionDefinition> listActions() override;

    // Project registry and its access tokens: gateway_registry_operations.cpp
    Result<model::ProjectRegistry> getProjectRegistry(Text projectId) override;
    Result<model::ProjectRegistry> enableProjectRegistry(Text projectId) override;
    Result<model::ProjectRegistry> updateProjectRegistryVisibility(Text projectId, Text visibility) override;
    ListResult<model::RegistryRepository> listRegistryRepositories(Text projectId) override;
    ListResult<model::RegistryAccessToken> listRegistryAccessTokens(Text projectId) override;
    Result<model::RegistryAccessToken> createRegistryAccessToken(
        Text projectId, const model::RegistryAccessTokenDefinition& definition) override;
    void revokeRegistryAccessToken(Text projectId, Text tokenId) override;
    void disableProjectRegistry(Text projectId) override;

    // Pipelines: gateway_pipeline_operations.cpp
    ListResult<model::Pipeline> listPipelines() override;
    Result<model::Pipeline> getPipeline(Text pipelineId) override;
    Result<model::Pipeline> createPipeline(Text name, Text projectId) override;
    void setPipelineSecretGroup(Text pipelineId, OptionalText secretGroupId) override;
    void setPipelineVariableGroup(Text pipelineId, OptionalText variableGroupId) override;
    void setPipelineContinueOnError(Text pipelineId, bool continueOnError) override;
    void setPipelineRunner(Text pipelineId, Text runnerProfileCode) override;
    void deletePipeline(Text pipelineId) override;
    Result<model::SourceValidation> validatePipelineSource(Text source) override;
    Result<model::EditorSnapshot> pipelineEditor(Text pipelineId) override;
    Result<model::EditorSnapshot> updatePipelineSource(Text pipelineId, Text source,
                                                       std::uint64_t expectedRevision) override;

    // Variable groups and secret groups: gateway_group_operations.cpp
    ListResult<model::VariableGroup> listVariableGroups() override;
    Result<model::VariableGroup> getVariableGroup(Text groupId) override;
    Result<model::VariableGroup> createVariableGroup(Text name, Text description) override;
    Result<model::VariableGroup> setVariable(Text groupId, Text name, Text value) override;
    Result<model::VariableGroup> unsetVariable(Text groupId, Text name) override;
    void deleteVariableGroup(Text groupId) override;
    ListResult<model::SecretGroup> listSecretGroups() override;
    Result<model::SecretGroup> getSecretGroup(Text groupId) override;
    Result<model::SecretGroup> createSecretGroup(Text name, Text description) override;
    Result<model::SecretGroup> setSecret(Text groupId, Text name, Text value) override;
    Result<model::SecretGroup> unsetSecret(Text groupId, Text name) override;
    void deleteSecretGroup(Text groupId) override;

    // Deployment agents and targets: gateway_deployment_operations.cpp
    ListResult<model::DeploymentAgent> listDeploymentAgents() override;
    Result<model::DeploymentEnrollmentToken> createDeploymentEnrollmentToken(
        Text agentName, std::optional<std::uint64_t> expiresInSeconds) override;
    void revokeDeploymentAgent(Text agentId) override;
    ListResult<model::DeploymentTarget> listDeploymentTargets() override;
    Result<model::DeploymentTarget> getDeploymentTarget(Text targetId) override;
    Result<model::DeploymentTarget> createDeploymentTarget(
        const model::DeploymentTargetDefinition& definition) override;
    Result<model::DeploymentTarget> updateDeploymentTarget(
        Text targetId, int revision, const model::DeploymentTargetDefinition& definition) override;
    void disableDeploymentTarget(Text targetId) override;
    Result<model::DeploymentTarget> enableDeploymentTarget(Text targetId) override;

    // Runs and dashboard: gateway_run_operations.cpp
    Result<model::Execution> startExecution(Text pipelineId) override;
    ListResult<model::Execution> listExecutions() override;
    ListResult<model::Execution> listPipelineExecutions(Text pipelineId) override;
    Result<model::Execution> getExecution(Text executionId) override;
    ListResult<model::ExecutionLog> executionLogs(Text executionId) override;
    ListResult<model::ExecutionTestReport> executionReports(Text executionId) override;
    void cancelExecution(Text executionId) override;
    Result<model::DashboardStats> dashboardStats() override;
    ListResult<model::RecentActivity> recentActivity() override;
    ListResult<model::DashboardPipelineStatus> dashboardPipelineStatuses() override;

    // The one request step: adds "Accept" (and "Content-Type" for a body)
    // unless given, sends once, and turns any status outside 200-299 into
    // application::ApiError with the platform's own message.
    application::port::HttpResponse send(application::port::HttpMethod method, std::string path,
                                         std::string body,
                                         std::map<std::string, std::string> headers = {});

private:
    std::unique_ptr<application::port::HttpTransport> ownedTransport_;
    application::port::HttpTransport* transport_;
};

}  // namespace quarlino::quil::infrastructure::http
