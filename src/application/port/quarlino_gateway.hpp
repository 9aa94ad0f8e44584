#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "model/records.hpp"

namespace quarlino::quil::application::port {

// The platform's REST API, one operation per request. Record results come
// with the raw response body; operations that only change or remove
// something return nothing.
class QuarlinoGateway {
public:
    template <typename T>
    using Result = model::ApiResponse<T>;
    template <typename T>
    using ListResult = model::ApiResponse<std::vector<T>>;
    using Text = std::string_view;
    using OptionalText = std::optional<std::string_view>;

    virtual ~QuarlinoGateway() = default;

    // Authentication
    virtual Result<model::LoginResult> login(Text email, Text password) = 0;
    virtual Result<model::BrowserLoginSession> startBrowserLogin(Text state, Text codeChallenge) = 0;
    virtual Result<model::BrowserLoginPoll> pollBrowserLogin(const model::BrowserTokenExchange& exchange) = 0;
    virtual Result<model::LoginResult> signup(const model::SignupDefinition& definition) = 0;
    virtual Result<model::User> currentUser() = 0;

    // Workspaces, organizations and teams
    virtual ListResult<model::Workspace> listWorkspaces() = 0;
    virtual Result<model::Workspace> createWorkspace(Text name, Text slug) = 0;
    virtual Result<model::Workspace> renameWorkspace(Text workspaceId, Text name) = 0;
    virtual ListResult<model::Organization> listOrganizations() = 0;
    virtual Result<model::Organization> getOrganization(Text organizationId) = 0;
    virtual Result<model::Organization> createOrganization(Text name, Text slug) = 0;
    virtual Result<model::Organization> renameOrganization(Text organizationId, Text name) = 0;
    virtual ListResult<model::Team> listTeams(Text organizationId) = 0;
    virtual Result<model::Team> getTeam(Text organizationId, Text teamId) = 0;
    virtual Result<model::Team> createTeam(Text organizationId, Text name, Text slug) = 0;
    virtual Result<model::Team> renameTeam(Text organizationId, Text teamId, Text name) = 0;
    virtual ListResult<model::TeamMember> listTeamMembers(Text organizationId, Text teamId) = 0;
    virtual Result<model::TeamMember> addTeamMember(Text organizationId, Text teamId, Text email) = 0;
    virtual void removeTeamMember(Text organizationId, Text teamId, Text userId) = 0;

    // Access control
    virtual Result<model::AuthorizationCatalog> authorizationCatalog() = 0;
    virtual Result<model::AuthorizationCapabilities> authorizationCapabilities(Text resourceType,
                                                                               Text resourceId) = 0;
    virtual Result<model::AuthorizationDecision> authorizationDecision(Text permission, Text resourceType,
                                                                       Text resourceId) = 0;
    virtual ListResult<model::AuthorizationRole> listAuthorizationRoles(Text organizationId) = 0;
    virtual Result<model::AuthorizationRole> getAuthorizationRole(Text organizationId, Text roleId) = 0;
    virtual Result<model::AuthorizationRolePreview> previewAuthorizationRole(
        Text organizationId, const model::AuthorizationRoleDefinition& definition) = 0;
    virtual Result<model::AuthorizationRole> createAuthorizationRole(
        Text organizationId, const model::AuthorizationRoleDefinition& definition) = 0;
    virtual Result<model::AuthorizationRole> updateAuthorizationRole(
        Text organizationId, Text roleId, const model::AuthorizationRoleDefinition& definition) = 0;
    virtual Result<model::AuthorizationRole> duplicateAuthorizationRole(Text organizationId, Text roleId,
                                                                        Text name, Text description) = 0;
    virtual void deleteAuthorizationRole(Text organizationId, Text roleId) = 0;
    virtual ListResult<model::AuthorizationGrant> listAuthorizationGrants(Text organizationId,
                                                                         OptionalText scopeType,
                                                                         OptionalText scopeId) = 0;
    virtual Result<model::AuthorizationGrant> createAuthorizationGrant(
        Text organizationId, const model::AuthorizationGrantDefinition& definition) = 0;
    virtual Result<model::AuthorizationGrant> updateAuthorizationGrant(
        Text organizationId, Text grantId, const model::AuthorizationGrantDefinition& definition) = 0;
    virtual void revokeAuthorizationGrant(Text organizationId, Text grantId) = 0;
    virtual Result<model::EffectivePermissions> effectivePermissions(Text organizationId, Text principalType,
                                                                     Text principalId, Text resourceType,
                                                                     Text resourceId) = 0;
    virtual ListResult<model::GrantPrincipalCandidate> grantPrincipalCandidates(Text organizationId,
                                                                               OptionalText query) = 0;

    // Projects, repositories, actions and registry
    virtual ListResult<model::Project> listProjects() = 0;
    virtual Result<model::Project> getProject(Text projectId) = 0;
    virtual Result<model::Project> createProject(Text name, bool gitRepositoryEnabled) = 0;
    virtual Result<model::Project> renameProject(Text projectId, Text name) = 0;
    virtual void deleteProject(Text projectId) = 0;
    virtual Result<model::Project> enableRepository(Text projectId) = 0;
    virtual ListResult<model::RepositoryEntry> repositoryTree(Text projectId, Text path) = 0;
    virtual ListResult<model::ActionDefinition> listActions() = 0;
    virtual Result<model::ProjectRegistry> getProjectRegistry(Text projectId) = 0;
    virtual Result<model::ProjectRegistry> enableProjectRegistry(Text projectId) = 0;
    virtual Result<model::ProjectRegistry> updateProjectRegistryVisibility(Text projectId, Text visibility) = 0;
    virtual ListResult<model::RegistryRepository> listRegistryRepositories(Text projectId) = 0;
    virtual ListResult<model::RegistryAccessToken> listRegistryAccessTokens(Text projectId) = 0;
    virtual Result<model::RegistryAccessToken> createRegistryAccessToken(
        Text projectId, const model::RegistryAccessTokenDefinition& definition) = 0;
    virtual void revokeRegistryAccessToken(Text projectId, Text tokenId) = 0;
    virtual void disableProjectRegistry(Text projectId) = 0;

    // Pipelines
    virtual ListResult<model::Pipeline> listPipelines() = 0;
    virtual Result<model::Pipeline> getPipeline(Text pipelineId) = 0;
    virtual Result<model::Pipeline> createPipeline(Text name, Text projectId) = 0;
    virtual void setPipelineSecretGroup(Text pipelineId, OptionalText secretGroupId) = 0;
    virtual void setPipelineVariableGroup(Text pipelineId, OptionalText variableGroupId) = 0;
    virtual void setPipelineContinueOnError(Text pipelineId, bool continueOnError) = 0;
    virtual void setPipelineRunner(Text pipelineId, Text runnerProfileCode) = 0;
    virtual void deletePipeline(Text pipelineId) = 0;
    virtual Result<model::SourceValidation> validatePipelineSource(Text source) = 0;
    virtual Result<model::EditorSnapshot> pipelineEditor(Text pipelineId) = 0;
    virtual Result<model::EditorSnapshot> updatePipelineSource(Text pipelineId, Text source,
                                                               std::uint64_t expectedRevision) = 0;

    // Variable groups and secret groups
    virtual ListResult<model::VariableGroup> listVariableGroups() = 0;
    virtual Result<model::VariableGroup> getVariableGroup(Text groupId) = 0;
    virtual Result<model::VariableGroup> createVariableGroup(Text name, Text description) = 0;
    virtual Result<model::VariableGroup> setVariable(Text groupId, Text name, Text value) = 0;
    virtual Result<model::VariableGroup> unsetVariable(Text groupId, Text name) = 0;
    virtual void deleteVariableGroup(Text groupId) = 0;
    virtual ListResult<model::SecretGroup> listSecretGroups() = 0;
    virtual Result<model::SecretGroup> getSecretGroup(Text groupId) = 0;
    virtual Result<model::SecretGroup> createSecretGroup(Text name, Text description) = 0;
    virtual Result<model::SecretGroup> setSecret(Text groupId, Text name, Text value) = 0;
    virtual Result<model::SecretGroup> unsetSecret(Text groupId, Text name) = 0;
    virtual void deleteSecretGroup(Text groupId) = 0;

    // Deployment agents and targets
    virtual ListResult<model::DeploymentAgent> listDeploymentAgents() = 0;
    virtual Result<model::DeploymentEnrollmentToken> createDeploymentEnrollmentToken(
        Text agentName, std::optional<std::uint64_t> expiresInSeconds) = 0;
    virtual void revokeDeploymentAgent(Text agentId) = 0;
    virtual ListResult<model::DeploymentTarget> listDeploymentTargets() = 0;
    virtual Result<model::DeploymentTarget> getDeploymentTarget(Text targetId) = 0;
    virtual Result<model::DeploymentTarget> createDeploymentTarget(
        const model::DeploymentTargetDefinition& definition) = 0;
    virtual Result<model::DeploymentTarget> updateDeploymentTarget(
        Text targetId, int revision, const model::DeploymentTargetDefinition& definition) = 0;
    virtual void disableDeploymentTarget(Text targetId) = 0;
    virtual Result<model::DeploymentTarget> enableDeploymentTarget(Text targetId) = 0;

    // Runs and dashboard
    virtual Result<model::Execution> startExecution(Text pipelineId) = 0;
    virtual ListResult<model::Execution> listExecutions() = 0;
    virtual ListResult<model::Execution> listPipelineExecutions(Text pipelineId) = 0;
    virtual Result<model::Execution> getExecution(Text executionId) = 0;
    virtual ListResult<model::ExecutionLog> executionLogs(Text executionId) = 0;
    virtual ListResult<model::ExecutionTestReport> executionReports(Text executionId) = 0;
    virtual void cancelExecution(Text executionId) = 0;
    virtual Result<model::DashboardStats> dashboardStats() = 0;
    virtual ListResult<model::RecentActivity> recentActivity() = 0;
    virtual ListResult<model::DashboardPipelineStatus> dashboardPipelineStatuses() = 0;

protected:
    QuarlinoGateway() = default;
    QuarlinoGateway(const QuarlinoGateway&) = default;
    QuarlinoGateway& operator=(const QuarlinoGateway&) = default;
};

}  // namespace quarlino::quil::application::port
