#pragma once

#include <cstdint>
#include <optional>

#include <gmock/gmock.h>

#include "application/port/quarlino_gateway.hpp"

namespace testsupport::quil {

namespace model = quarlino::quil::model;

// A gmock double of the whole platform gateway, for tests of code that talks
// to the platform through the port (the application object, the handlers).
class MockQuarlinoGateway : public quarlino::quil::application::port::QuarlinoGateway {
public:
    MockQuarlinoGateway();
    ~MockQuarlinoGateway() override;

    MOCK_METHOD(Result<model::LoginResult>, login, (Text email, Text password), (override));
    MOCK_METHOD(Result<model::BrowserLoginSession>, startBrowserLogin,
                (Text state, Text codeChallenge), (override));
    MOCK_METHOD(Result<model::BrowserLoginPoll>, pollBrowserLogin,
                (const model::BrowserTokenExchange& exchange), (override));
    MOCK_METHOD(Result<model::LoginResult>, signup, (const model::SignupDefinition& definition), (override));
    MOCK_METHOD(Result<model::User>, currentUser, (), (override));
    MOCK_METHOD(ListResult<model::Workspace>, listWorkspaces, (), (override));
    MOCK_METHOD(Result<model::Workspace>, createWorkspace, (Text name, Text slug), (override));
    MOCK_METHOD(Result<model::Workspace>, renameWorkspace, (Text workspaceId, Text name), (override));
    MOCK_METHOD(ListResult<model::Organization>, listOrganizations, (), (override));
    MOCK_METHOD(Result<model::Organization>, getOrganization, (Text organizationId), (override));
    MOCK_METHOD(Result<model::Organization>, createOrganization, (Text name, Text slug), (override));
    MOCK_METHOD(Result<model::Organization>, renameOrganization, (Text organizationId, Text name), (override));
    MOCK_METHOD(ListResult<model::Team>, listTeams, (Text organizationId), (override));
    MOCK_METHOD(Result<model::Team>, getTeam, (Text organizationId, Text teamId), (override));
    MOCK_METHOD(Result<model::Team>, createTeam, (Text organizationId, Text name, Text slug), (override));
    MOCK_METHOD(Result<model::Team>, renameTeam, (Text organizationId, Text teamId, Text name), (override));
    MOCK_METHOD(ListResult<model::TeamMember>, listTeamMembers, (Text organizationId, Text teamId), (override));
    MOCK_METHOD(Result<model::TeamMember>, addTeamMember,
                (Text organizationId, Text teamId, Text email), (override));
    MOCK_METHOD(void, removeTeamMember, (Text organizationId, Text teamId, Text userId), (override));
    MOCK_METHOD(Result<model::AuthorizationCatalog>, authorizationCatalog, (), (override));
    MOCK_METHOD(Result<model::AuthorizationCapabilities>, authorizationCapabilities,
                (Text resourceType, Text resourceId), (override));
    MOCK_METHOD(Result<model::AuthorizationDecision>, authorizationDecision,
                (Text permission, Text resourceType, Text resourceId), (override));
    MOCK_METHOD(ListResult<model::AuthorizationRole>, listAuthorizationRoles,
                (Text organizationId), (override));
    MOCK_METHOD(Result<model::AuthorizationRole>, getAuthorizationRole,
                (Text organizationId, Text roleId), (override));
    MOCK_METHOD(Result<model::AuthorizationRolePreview>, previewAuthorizationRole,
                (Text organizationId, const model::AuthorizationRoleDefinition& definition), (override));
    MOCK_METHOD(Result<model::AuthorizationRole>, createAuthorizationRole,
                (Text organizationId, const model::AuthorizationRoleDefinition& definition), (override));
    MOCK_METHOD(Result<model::AuthorizationRole>, updateAuthorizationRole,
                (Text organizationId, Text roleId, const model::AuthorizationRoleDefinition& definition), (override));
    MOCK_METHOD(Result<model::AuthorizationRole>, duplicateAuthorizationRole,
                (Text organizationId, Text roleId, Text name, Text description), (override));
    MOCK_METHOD(void, deleteAuthorizationRole, (Text organizationId, Text roleId), (override));
    MOCK_METHOD(ListResult<model::AuthorizationGrant>, listAuthorizationGrants,
                (Text organizationId, OptionalText scopeType, OptionalText scopeId), (override));
    MOCK_METHOD(Result<model::AuthorizationGrant>, createAuthorizationGrant,
                (Text organizationId, const model::AuthorizationGrantDefinition& definition), (override));
    MOCK_METHOD(Result<model::AuthorizationGrant>, updateAuthorizationGrant,
                (Text organizationId, Text grantId, const model::AuthorizationGrantDefinition& definition), (override));
    MOCK_METHOD(void, revokeAuthorizationGrant, (Text organizationId, Text grantId), (override));
    MOCK_METHOD(Result<model::EffectivePermissions>, effectivePermissions,
                (Text organizationId, Text principalType, Text principalId, Text resourceType,
                 Text resourceId),
                (override));
    MOCK_METHOD(ListResult<model::GrantPrincipalCandidate>, grantPrincipalCandidates,
                (Text organizationId, OptionalText query), (override));
    MOCK_METHOD(ListResult<model::Project>, listProjects, (), (override));
    MOCK_METHOD(Result<model::Project>, getProject, (Text projectId), (override));
    MOCK_METHOD(Result<model::Project>, createProject, (Text name, bool gitRepositoryEnabled), (override));
    MOCK_METHOD(Result<model::Project>, renameProject, (Text projectId, Text name), (override));
    MOCK_METHOD(void, deleteProject, (Text projectId), (override));
    MOCK_METHOD(Result<model::Project>, enableRepository, (Text projectId), (override));
    MOCK_METHOD(ListResult<model::RepositoryEntry>, repositoryTree, (Text projectId, Text path), (override));
    MOCK_METHOD(ListResult<model::ActionDefinition>, listActions, (), (override));
    MOCK_METHOD(Result<model::ProjectRegistry>, getProjectRegistry, (Text projectId), (override));
    MOCK_METHOD(Result<model::ProjectRegistry>, enableProjectRegistry, (Text projectId), (override));
    MOCK_METHOD(Result<model::ProjectRegistry>, updateProjectRegistryVisibility,
                (Text projectId, Text visibility), (override));
    MOCK_METHOD(ListResult<model::RegistryRepository>, listRegistryRepositories, (Text projectId), (override));
    MOCK_METHOD(ListResult<model::RegistryAccessToken>, listRegistryAccessTokens, (Text projectId), (override));
    MOCK_METHOD(Result<model::RegistryAccessToken>, createRegistryAccessToken,
                (Text projectId, const model::RegistryAccessTokenDefinition& definition), (override));
    MOCK_METHOD(void, revokeRegistryAccessToken, (Text projectId, Text tokenId), (override));
    MOCK_METHOD(void, disableProjectRegistry, (Text projectId), (override));
    MOCK_METHOD(ListResult<model::Pipeline>, listPipelines, (), (override));
    MOCK_METHOD(Result<model::Pipeline>, getPipeline, (Text pipelineId), (override));
    MOCK_METHOD(Result<model::Pipeline>, createPipeline, (Text name, Text projectId), (override));
    MOCK_METHOD(void, setPipelineSecretGroup, (Text pipelineId, OptionalText secretGroupId), (override));
    MOCK_METHOD(void, setPipelineVariableGroup, (Text pipelineId, OptionalText variableGroupId), (override));
    MOCK_METHOD(void, setPipelineContinueOnError, (Text pipelineId, bool continueOnError), (override));
    MOCK_METHOD(void, setPipelineRunner, (Text pipelineId, Text runnerProfileCode), (override));
    MOCK_METHOD(void, deletePipeline, (Text pipelineId), (override));
    MOCK_METHOD(Result<model::SourceValidation>, validatePipelineSource, (Text source), (override));
    MOCK_METHOD(Result<model::EditorSnapshot>, pipelineEditor, (Text pipelineId), (override));
    MOCK_METHOD(Result<model::EditorSnapshot>, updatePipelineSource,
                (Text pipelineId, Text source, std::uint64_t expectedRevision), (override));
    MOCK_METHOD(ListResult<model::VariableGroup>, listVariableGroups, (), (override));
    MOCK_METHOD(Result<model::VariableGroup>, getVariableGroup, (Text groupId), (override));
    MOCK_METHOD(Result<model::VariableGroup>, createVariableGroup, (Text name, Text description), (override));
    MOCK_METHOD(Result<model::VariableGroup>, setVariable, (Text groupId, Text name, Text value), (override));
    MOCK_METHOD(Result<model::VariableGroup>, unsetVariable, (Text groupId, Text name), (override));
    MOCK_METHOD(void, deleteVariableGroup, (Text groupId), (override));
    MOCK_METHOD(ListResult<model::SecretGroup>, listSecretGroups, (), (override));
    MOCK_METHOD(Result<model::SecretGroup>, getSecretGroup, (Text groupId), (override));
    MOCK_METHOD(Result<model::SecretGroup>, createSecretGroup, (Text name, Text description), (override));
    MOCK_METHOD(Result<model::SecretGroup>, setSecret, (Text groupId, Text name, Text value), (override));
    MOCK_METHOD(Result<model::SecretGroup>, unsetSecret, (Text groupId, Text name), (override));
    MOCK_METHOD(void, deleteSecretGroup, (Text groupId), (override));
    MOCK_METHOD(ListResult<model::DeploymentAgent>, listDeploymentAgents, (), (override));
    MOCK_METHOD(Result<model::DeploymentEnrollmentToken>, createDeploymentEnrollmentToken,
                (Text agentName, std::optional<std::uint64_t> expiresInSeconds), (override));
    MOCK_METHOD(void, revokeDeploymentAgent, (Text agentId), (override));
    MOCK_METHOD(ListResult<model::DeploymentTarget>, listDeploymentTargets, (), (override));
    MOCK_METHOD(Result<model::DeploymentTarget>, getDeploymentTarget, (Text targetId), (override));
    MOCK_METHOD(Result<model::DeploymentTarget>, createDeploymentTarget,
                (const model::DeploymentTargetDefinition& definition), (override));
    MOCK_METHOD(Result<model::DeploymentTarget>, updateDeploymentTarget,
                (Text targetId, int revision, const model::DeploymentTargetDefinition& definition), (override));
    MOCK_METHOD(void, disableDeploymentTarget, (Text targetId), (override));
    MOCK_METHOD(Result<model::DeploymentTarget>, enableDeploymentTarget, (Text targetId), (override));
    MOCK_METHOD(Result<model::Execution>, startExecution, (Text pipelineId), (override));
    MOCK_METHOD(ListResult<model::Execution>, listExecutions, (), (override));
    MOCK_METHOD(ListResult<model::Execution>, listPipelineExecutions, (Text pipelineId), (override));
    MOCK_METHOD(Result<model::Execution>, getExecution, (Text executionId), (override));
    MOCK_METHOD(ListResult<model::ExecutionLog>, executionLogs, (Text executionId), (override));
    MOCK_METHOD(ListResult<model::ExecutionTestReport>, executionReports, (Text executionId), (override));
    MOCK_METHOD(void, cancelExecution, (Text executionId), (override));
    MOCK_METHOD(Result<model::DashboardStats>, dashboardStats, (), (override));
    MOCK_METHOD(ListResult<model::RecentActivity>, recentActivity, (), (override));
    MOCK_METHOD(ListResult<model::DashboardPipelineStatus>, dashboardPipelineStatuses, (), (override));
};

}  // namespace testsupport::quil
