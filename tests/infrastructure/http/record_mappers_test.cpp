#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "infrastructure/http/record_mappers.hpp"

namespace quarlino::quil::infrastructure::http {
namespace {

using nlohmann::json;

// Every mapper by name, so that tables can name the mapper they exercise.
const std::map<std::string, std::function<void(const json&)>> kMappers{
    {"User", [](const json& v) { parseUser(v); }},
    {"TeamMember", [](const json& v) { parseTeamMember(v); }},
    {"Workspace", [](const json& v) { parseWorkspace(v); }},
    {"Organization", [](const json& v) { parseOrganization(v); }},
    {"Team", [](const json& v) { parseTeam(v); }},
    {"AuthorizationDecision", [](const json& v) { parseAuthorizationDecision(v); }},
    {"AuthorizationRole", [](const json& v) { parseAuthorizationRole(v); }},
    {"AuthorizationGrant", [](const json& v) { parseAuthorizationGrant(v); }},
    {"Project", [](const json& v) { parseProject(v); }},
    {"ActionDefinition", [](const json& v) { parseActionDefinition(v); }},
    {"ProjectRegistry", [](const json& v) { parseProjectRegistry(v); }},
    {"RegistryRepository", [](const json& v) { parseRegistryRepository(v); }},
    {"RegistryAccessToken", [](const json& v) { parseRegistryAccessToken(v); }},
    {"Pipeline", [](const json& v) { parsePipeline(v); }},
    {"Diagnostics", [](const json& v) { parseDiagnostics(v); }},
    {"Snapshot", [](const json& v) { parseSnapshot(v); }},
    {"VariableGroup", [](const json& v) { parseVariableGroup(v); }},
    {"SecretGroup", [](const json& v) { parseSecretGroup(v); }},
    {"DeploymentAgent", [](const json& v) { parseDeploymentAgent(v); }},
    {"DeploymentTarget", [](const json& v) { parseDeploymentTarget(v); }},
    {"Execution", [](const json& v) { parseExecution(v); }},
    {"RecentActivity", [](const json& v) { parseRecentActivity(v); }},
    {"DashboardPipelineStatus", [](const json& v) { parseDashboardPipelineStatus(v); }},
};

// 0 when the mapper accepts the value, else the JSON library's error id.
int outcome(const std::string& mapper, const json& value) {
    try {
        kMappers.at(mapper)(value);
        return 0;
    } catch (const json::exception& error) {
        return error.id;
    }
}

struct MapperCase {
    std::string mapper;
    std::string input;
    int error;  // 0: accepted; 302, 304, 306: type_error; 403: out_of_range
};

class MapperOutcome : public testing::TestWithParam<MapperCase> {};

TEST_P(MapperOutcome, AcceptsOrFailsWithTheLibrarysError) {
    const auto& [mapper, input, error] = GetParam();
    EXPECT_EQ(outcome(mapper, json::parse(input)), error) << mapper << " of " << input;
}

// Text-only mappers and the three that read by type test accept any root;
// the others read a number, boolean or list through a keyed read and refuse
// anything but an object.
INSTANTIATE_TEST_SUITE_P(
    NonObjectRoots, MapperOutcome,
    testing::Values(MapperCase{"User", R"("text")", 0}, MapperCase{"TeamMember", "[1]", 0},
                    MapperCase{"DeploymentAgent", "null", 0}, MapperCase{"RecentActivity", "7", 0},
                    MapperCase{"DashboardPipelineStatus", "true", 0}, MapperCase{"VariableGroup", R"("text")", 0},
                    MapperCase{"SecretGroup", "[]", 0}, MapperCase{"Execution", "null", 0},
                    MapperCase{"Diagnostics", R"({"code":"x"})", 0}, MapperCase{"Workspace", R"("text")", 306},
                    MapperCase{"Organization", "[]", 306}, MapperCase{"Team", "null", 306},
                    MapperCase{"AuthorizationDecision", "1", 306}, MapperCase{"AuthorizationRole", "[]", 306},
                    MapperCase{"AuthorizationGrant", R"("x")", 306}, MapperCase{"Project", "null", 306},
                    MapperCase{"ActionDefinition", "[]", 306}, MapperCase{"ProjectRegistry", "2", 306},
                    MapperCase{"RegistryRepository", R"("x")", 306}, MapperCase{"RegistryAccessToken", "[]", 306},
                    MapperCase{"Pipeline", "false", 306}, MapperCase{"DeploymentTarget", "[]", 306},
                    MapperCase{"Snapshot", "[]", 304}, MapperCase{"Snapshot", R"("x")", 304}));

INSTANTIATE_TEST_SUITE_P(
    MemberTypes, MapperOutcome,
    testing::Values(MapperCase{"Workspace", R"({"personal":"yes"})", 302},
                    MapperCase{"Organization", R"({"personal":null})", 302},
                    MapperCase{"Team", R"({"memberCount":null})", 302},
                    MapperCase{"Team", R"({"memberCount":true})", 302},
                    MapperCase{"Team", R"({"memberCount":"3"})", 302},
                    MapperCase{"AuthorizationDecision", R"({"allowed":1})", 302},
                    MapperCase{"AuthorizationDecision", R"({"implicationPath":"a"})", 0},
                    MapperCase{"AuthorizationRole", R"({"version":"1"})", 302},
                    MapperCase{"AuthorizationRole", R"({"version":true})", 0},
                    MapperCase{"AuthorizationRole", R"({"archived":null})", 302},
                    MapperCase{"AuthorizationGrant", R"({"revision":true})", 302},
                    MapperCase{"AuthorizationGrant", R"({"revision":-1,"expiresAt":5})", 0},
                    MapperCase{"Project", R"({"gitRepositoryEnabled":"true"})", 302},
                    MapperCase{"Project", R"({"gitRepositoryInitialized":0})", 302},
                    MapperCase{"ActionDefinition", R"({"outputs":["x",1,null]})", 0},
                    MapperCase{"ProjectRegistry", R"({"quotaBytes":false})", 302},
                    MapperCase{"ProjectRegistry", R"({"logicalUsageBytes":"1"})", 302},
                    MapperCase{"RegistryRepository", R"({"artifacts":["x"]})", 306},
                    MapperCase{"RegistryRepository", R"({"artifacts":[{"sizeBytes":"1"}]})", 302},
                    MapperCase{"RegistryRepository", R"({"artifacts":{"a":{"sizeBytes":1}}})", 0},
                    MapperCase{"RegistryAccessToken", R"({"permissions":{"a":"b"}})", 0},
                    MapperCase{"Pipeline", R"({"continueOnError":0})", 302},
                    MapperCase{"Diagnostics", R"([{"startLine":"1"}])", 302},
                    MapperCase{"Diagnostics", R"([{"startLine":true}])", 0},
                    MapperCase{"Diagnostics", R"(["x"])", 306}, MapperCase{"Snapshot", "{}", 403},
                    MapperCase{"Snapshot", R"({"revision":1})", 403},
                    MapperCase{"Snapshot", R"({"source":{},"revision":true})", 302},
                    MapperCase{"Snapshot", R"({"source":"x"})", 0},
                    MapperCase{"Snapshot", R"({"source":{},"diagnostics":["x"]})", 306},
                    MapperCase{"Snapshot", R"({"source":{},"diagnostics":"x"})", 0},
                    MapperCase{"VariableGroup", R"({"variables":["x",null]})", 0},
                    MapperCase{"VariableGroup", R"({"variables":{"a":"b"}})", 0},
                    MapperCase{"SecretGroup", R"({"secrets":["x"]})", 306},
                    MapperCase{"SecretGroup", R"({"secrets":[{"configured":"yes"}]})", 302},
                    MapperCase{"SecretGroup", R"({"secrets":"x"})", 0},
                    MapperCase{"DeploymentTarget", R"({"revision":"2"})", 302},
                    MapperCase{"DeploymentTarget", R"({"enabled":null})", 302},
                    MapperCase{"Execution", R"({"executionNumber":"12"})", 0}));

// An empty object is what an empty response body becomes.
TEST(EmptyObject, GivesEveryRecordItsDefaults) {
    const json empty = json::object();
    for (const auto& [name, mapper] : kMappers) {
        EXPECT_EQ(outcome(name, empty), name == "Snapshot" ? 403 : 0) << name;
    }
    const auto team = parseTeam(empty);
    EXPECT_EQ(team.memberCount, 0U);
    EXPECT_TRUE(team.name.empty());
    EXPECT_FALSE(parseOrganization(empty).personal);
    EXPECT_FALSE(parsePipeline(empty).secretGroupId.has_value());
    EXPECT_TRUE(parseAuthorizationRole(empty).permissions.empty());
    EXPECT_EQ(parseDeploymentTarget(empty).configuration, "{}");
    EXPECT_FALSE(parseExecution(empty).executionNumber.has_value());
    EXPECT_FALSE(parseRegistryAccessToken(empty).secret.has_value());
}

TEST(ParseUser, ReadsEveryTextMemberLeniently) {
    const auto user = parseUser(json::parse(R"({"id":7,"name":null,"email":"e@x","handle":true,"extra":1})"));
    EXPECT_EQ(user.id, "7");
    EXPECT_EQ(user.name, "");
    EXPECT_EQ(user.email, "e@x");
    EXPECT_EQ(user.handle, "true");
}

TEST(ParseTeamMember, FillsEveryField) {
    const auto member = parseTeamMember(
        json::parse(R"({"userId":"u1","name":"Ann","email":"a@x","handle":"ann","joinedAt":"2026-01-02"})"));
    EXPECT_EQ(member.userId, "u1");
    EXPECT_EQ(member.name, "Ann");
    EXPECT_EQ(member.email, "a@x");
    EXPECT_EQ(member.handle, "ann");
    EXPECT_EQ(member.joinedAt, "2026-01-02");
}

TEST(ParseWorkspaceAndOrganization, FillEveryField) {
    const json object = json::parse(
        R"({"id":"w1","name":"Main","slug":"main","personal":true,"role":"OWNER","created":"c","updated":"u"})");
    const auto workspace = parseWorkspace(object);
    EXPECT_EQ(workspace.id, "w1");
    EXPECT_EQ(workspace.name, "Main");
    EXPECT_EQ(workspace.slug, "main");
    EXPECT_TRUE(workspace.personal);
    EXPECT_EQ(workspace.role, "OWNER");
    const auto organization = parseOrganization(object);
    EXPECT_EQ(organization.id, "w1");
    EXPECT_TRUE(organization.personal);
    EXPECT_EQ(organization.role, "OWNER");
    EXPECT_EQ(organization.created, "c");
    EXPECT_EQ(organization.updated, "u");
}

TEST(ParseTeam, FillsEveryFieldAndTruncatesTheCount) {
    const auto team = parseTeam(json::parse(
        R"({"id":"t","organizationId":"o","name":"Ops","slug":"ops","memberCount":2.9,"created":"c","updated":"u"})"));
    EXPECT_EQ(team.id, "t");
    EXPECT_EQ(team.organizationId, "o");
    EXPECT_EQ(team.name, "Ops");
    EXPECT_EQ(team.slug, "ops");
    EXPECT_EQ(team.memberCount, 2U);
    EXPECT_EQ(team.created, "c");
    EXPECT_EQ(team.updated, "u");
}

TEST(ParseAuthorizationDecision, FillsEveryField) {
    const auto decision = parseAuthorizationDecision(json::parse(R"({"allowed":true,"permission":"p",
        "resourceType":"PROJECT","resourceId":"r","grantId":"g","roleId":"ro","grantedScopeType":"ORG",
        "grantedScopeId":"o","implicationPath":["a",1,"b"],"reason":"why"})"));
    EXPECT_TRUE(decision.allowed);
    EXPECT_EQ(decision.permission, "p");
    EXPECT_EQ(decision.resourceType, "PROJECT");
    EXPECT_EQ(decision.resourceId, "r");
    EXPECT_EQ(decision.grantId, "g");
    EXPECT_EQ(decision.roleId, "ro");
    EXPECT_EQ(decision.grantedScopeType, "ORG");
    EXPECT_EQ(decision.grantedScopeId, "o");
    EXPECT_EQ(decision.implicationPath, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(decision.reason, "why");
}

TEST(ParseAuthorizationRole, FillsEveryField) {
    const auto role = parseAuthorizationRole(json::parse(R"({"id":"r","organizationId":"o","systemCode":"ADMIN",
        "name":"Admin","description":"d","kind":"SYSTEM","version":true,"permissions":["a",1,null,"b"],
        "assignableScopeTypes":"ORG","archived":true})"));
    EXPECT_EQ(role.id, "r");
    EXPECT_EQ(role.organizationId, "o");
    EXPECT_EQ(role.systemCode, "ADMIN");
    EXPECT_EQ(role.name, "Admin");
    EXPECT_EQ(role.description, "d");
    EXPECT_EQ(role.kind, "SYSTEM");
    EXPECT_EQ(role.version, 1);
    EXPECT_EQ(role.permissions, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(role.assignableScopeTypes.empty());
    EXPECT_TRUE(role.archived);
}

TEST(ParseAuthorizationGrant, FillsEveryField) {
    const auto grant = parseAuthorizationGrant(json::parse(R"({"id":"g","organizationId":"o","principalType":"USER",
        "principalId":"u","roleId":"r","scopeType":"ORG","scopeId":"s","grantedBy":"b","created":"c",
        "expiresAt":"","revokedAt":"2026","revokedBy":"x","revision":18446744073709551615})"));
    EXPECT_EQ(grant.id, "g");
    EXPECT_EQ(grant.organizationId, "o");
    EXPECT_EQ(grant.principalType, "USER");
    EXPECT_EQ(grant.principalId, "u");
    EXPECT_EQ(grant.roleId, "r");
    EXPECT_EQ(grant.scopeType, "ORG");
    EXPECT_EQ(grant.scopeId, "s");
    EXPECT_EQ(grant.grantedBy, "b");
    EXPECT_EQ(grant.created, "c");
    EXPECT_FALSE(grant.expiresAt.has_value());
    EXPECT_EQ(grant.revokedAt, "2026");
    EXPECT_EQ(grant.revokedBy, "x");
    EXPECT_EQ(grant.revision, 18446744073709551615ULL);
}

TEST(ParseProject, FillsEveryField) {
    const auto project = parseProject(json::parse(R"({"id":"p","name":"App","repositoryId":"r",
        "gitRepositoryUrl":"https://g/x.git","gitRepositoryStatus":null,"gitRepositoryEnabled":true,
        "gitRepositoryInitialized":false})"));
    EXPECT_EQ(project.id, "p");
    EXPECT_EQ(project.name, "App");
    EXPECT_EQ(project.repositoryId, "r");
    EXPECT_EQ(project.gitRepositoryUrl, "https://g/x.git");
    EXPECT_FALSE(project.gitRepositoryStatus.has_value());
    EXPECT_TRUE(project.gitRepositoryEnabled);
    EXPECT_FALSE(project.gitRepositoryInitialized);
}

TEST(ParseActionDefinition, FillsEveryFieldAndWalksTheOutputs) {
    const auto action = parseActionDefinition(json::parse(R"({"code":"build","displayName":"Build",
        "description":"d","icon":"i","category":"c","formId":"f",
        "outputs":[{"name":"out","type":"FILE","description":"o"},{"name":"log"}]})"));
    EXPECT_EQ(action.code, "build");
    EXPECT_EQ(action.displayName, "Build");
    EXPECT_EQ(action.description, "d");
    EXPECT_EQ(action.icon, "i");
    EXPECT_EQ(action.category, "c");
    EXPECT_EQ(action.formId, "f");
    ASSERT_EQ(action.outputs.size(), 2U);
    EXPECT_EQ(action.outputs[0].name, "out");
    EXPECT_EQ(action.outputs[0].type, "FILE");
    EXPECT_EQ(action.outputs[0].description, "o");
    EXPECT_EQ(action.outputs[1].name, "log");
}

TEST(ParseActionDefinition, WalksOutputsAsTheJsonLibraryIterates) {
    const auto fromObject =
        parseActionDefinition(json::parse(R"({"outputs":{"b":{"name":"y"},"a":{"name":"x"}}})")).outputs;
    ASSERT_EQ(fromObject.size(), 2U);
    EXPECT_EQ(fromObject[0].name, "x");
    EXPECT_EQ(fromObject[1].name, "y");
    const auto fromText = parseActionDefinition(json::parse(R"({"outputs":"x"})")).outputs;
    ASSERT_EQ(fromText.size(), 1U);
    EXPECT_EQ(fromText[0].name, "");
    EXPECT_TRUE(parseActionDefinition(json::parse(R"({"outputs":null})")).outputs.empty());
}

TEST(ParseProjectRegistry, FillsEveryField) {
    const auto registry = parseProjectRegistry(json::parse(R"({"id":"g","projectId":"p","ownerHandle":"ann",
        "projectSlug":"app","repository":"ann/app","visibility":"PRIVATE","status":"ACTIVE",
        "quotaBytes":1073741824,"logicalUsageBytes":1.5,"created":"c","updated":"u"})"));
    EXPECT_EQ(registry.id, "g");
    EXPECT_EQ(registry.projectId, "p");
    EXPECT_EQ(registry.ownerHandle, "ann");
    EXPECT_EQ(registry.projectSlug, "app");
    EXPECT_EQ(registry.repository, "ann/app");
    EXPECT_EQ(registry.visibility, "PRIVATE");
    EXPECT_EQ(registry.status, "ACTIVE");
    EXPECT_EQ(registry.quotaBytes, 1073741824U);
    EXPECT_EQ(registry.logicalUsageBytes, 1U);
    EXPECT_EQ(registry.created, "c");
    EXPECT_EQ(registry.updated, "u");
}

TEST(ParseRegistryRepository, FillsEveryFieldOfItsArtifacts) {
    const auto repository = parseRegistryRepository(json::parse(R"({"repository":"ann/app","component":"web",
        "artifacts":[{"digest":"sha256:1","tag":"v1","mediaType":"m","sizeBytes":42,"pushedAt":"t"}]})"));
    EXPECT_EQ(repository.repository, "ann/app");
    EXPECT_EQ(repository.component, "web");
    ASSERT_EQ(repository.artifacts.size(), 1U);
    const auto& artifact = repository.artifacts[0];
    EXPECT_EQ(artifact.digest, "sha256:1");
    EXPECT_EQ(artifact.tag, "v1");
    EXPECT_EQ(artifact.mediaType, "m");
    EXPECT_EQ(artifact.sizeBytes, 42U);
    EXPECT_EQ(artifact.pushedAt, "t");
}

TEST(ParseRegistryAccessToken, FillsEveryField) {
    const auto token = parseRegistryAccessToken(json::parse(R"({"id":"k","name":"ci","prefix":"qrt_",
        "permissions":["PULL","PUSH"],"expiresAt":"2027","revokedAt":null,"lastUsedAt":"","created":"c",
        "secret":"qrt_secret"})"));
    EXPECT_EQ(token.id, "k");
    EXPECT_EQ(token.name, "ci");
    EXPECT_EQ(token.prefix, "qrt_");
    EXPECT_EQ(token.permissions, (std::vector<std::string>{"PULL", "PUSH"}));
    EXPECT_EQ(token.expiresAt, "2027");
    EXPECT_FALSE(token.revokedAt.has_value());
    EXPECT_FALSE(token.lastUsedAt.has_value());
    EXPECT_EQ(token.created, "c");
    EXPECT_EQ(token.secret, "qrt_secret");
}

TEST(ParsePipeline, FillsEveryFieldWithOptionalIdentifiers) {
    const auto pipeline = parsePipeline(json::parse(R"({"id":"p","name":"CI","projectId":"pr","projectName":"App",
        "lastStatus":"SUCCESS","secretGroupId":"","variableGroupId":0,"continueOnError":true})"));
    EXPECT_EQ(pipeline.id, "p");
    EXPECT_EQ(pipeline.name, "CI");
    EXPECT_EQ(pipeline.projectId, "pr");
    EXPECT_EQ(pipeline.projectName, "App");
    EXPECT_EQ(pipeline.lastStatus, "SUCCESS");
    EXPECT_FALSE(pipeline.secretGroupId.has_value());
    EXPECT_EQ(pipeline.variableGroupId, "0");
    EXPECT_TRUE(pipeline.continueOnError);
}

TEST(ParseSnapshot, ReadsTheSourceMemberAndTheDiagnostics) {
    const auto snapshot = parseSnapshot(json::parse(R"({"revision":12,
        "source":{"validSource":"steps: []","draftSource":"","status":"VALID"},
        "diagnostics":[{"code":"E1","message":"bad","startLine":3,"startColumn":2.7}]})"));
    EXPECT_EQ(snapshot.revision, 12U);
    EXPECT_EQ(snapshot.validSource, "steps: []");
    EXPECT_FALSE(snapshot.draftSource.has_value());
    EXPECT_EQ(snapshot.status, "VALID");
    ASSERT_EQ(snapshot.diagnostics.size(), 1U);
    EXPECT_EQ(snapshot.diagnostics[0].code, "E1");
    EXPECT_EQ(snapshot.diagnostics[0].message, "bad");
    EXPECT_EQ(snapshot.diagnostics[0].startLine, 3);
    EXPECT_EQ(snapshot.diagnostics[0].startColumn, 2);
}

TEST(ParseVariableGroup, FillsEveryFieldAndEveryVariable) {
    const auto group = parseVariableGroup(json::parse(R"({"id":"g","name":"env","description":"d","ownerId":"o",
        "variables":[{"id":"v1","name":"A","value":"1"},"x"],"created":"c","updated":"u"})"));
    EXPECT_EQ(group.id, "g");
    EXPECT_EQ(group.name, "env");
    EXPECT_EQ(group.description, "d");
    EXPECT_EQ(group.ownerId, "o");
    ASSERT_EQ(group.variables.size(), 2U);
    EXPECT_EQ(group.variables[0].id, "v1");
    EXPECT_EQ(group.variables[0].name, "A");
    EXPECT_EQ(group.variables[0].value, "1");
    EXPECT_EQ(group.variables[1].name, "");
    EXPECT_EQ(group.created, "c");
    EXPECT_EQ(group.updated, "u");
    EXPECT_TRUE(parseVariableGroup(json::parse(R"({"variables":{"a":{"name":"A"}}})")).variables.empty());
}

TEST(ParseSecretGroup, FillsEveryFieldButNeverAValue) {
    const auto group = parseSecretGroup(json::parse(R"({"id":"g","name":"keys","description":"d","ownerId":"o",
        "secrets":[{"id":"s1","name":"TOKEN","configured":true,"value":"leak"}],"created":"c","updated":"u"})"));
    EXPECT_EQ(group.id, "g");
    EXPECT_EQ(group.name, "keys");
    EXPECT_EQ(group.description, "d");
    EXPECT_EQ(group.ownerId, "o");
    ASSERT_EQ(group.secrets.size(), 1U);
    EXPECT_EQ(group.secrets[0].id, "s1");
    EXPECT_EQ(group.secrets[0].name, "TOKEN");
    EXPECT_TRUE(group.secrets[0].configured);
    EXPECT_EQ(group.created, "c");
    EXPECT_EQ(group.updated, "u");
}

TEST(ParseDeploymentAgent, FillsEveryField) {
    const auto agent = parseDeploymentAgent(json::parse(
        R"({"id":"a","name":"edge","status":"ONLINE","lastSeenAt":"l","certificateExpiresAt":"x"})"));
    EXPECT_EQ(agent.id, "a");
    EXPECT_EQ(agent.name, "edge");
    EXPECT_EQ(agent.status, "ONLINE");
    EXPECT_EQ(agent.lastSeenAt, "l");
    EXPECT_EQ(agent.certificateExpiresAt, "x");
}

TEST(ParseDeploymentTarget, FillsEveryFieldWithConfigurationMadeAnew) {
    const auto target = parseDeploymentTarget(json::parse(R"({"id":"t","agentId":"a","agentName":"edge",
        "name":"prod","referenceName":"prod-1","targetKind":"MACHINE","updateStrategy":"DOCKER_COMPOSE",
        "configuration":{ "b" : 1, "a" : 2 },"revision":4.8,"enabled":true,"created":"c","updated":"u"})"));
    EXPECT_EQ(target.id, "t");
    EXPECT_EQ(target.agentId, "a");
    EXPECT_EQ(target.agentName, "edge");
    EXPECT_EQ(target.name, "prod");
    EXPECT_EQ(target.referenceName, "prod-1");
    EXPECT_EQ(target.targetKind, "MACHINE");
    EXPECT_EQ(target.updateStrategy, "DOCKER_COMPOSE");
    EXPECT_EQ(target.configuration, R"({"a":2,"b":1})");
    EXPECT_EQ(target.revision, 4);
    EXPECT_TRUE(target.enabled);
    EXPECT_EQ(target.created, "c");
    EXPECT_EQ(target.updated, "u");
    EXPECT_EQ(parseDeploymentTarget(json::parse(R"({"configuration":null})")).configuration, "null");
    EXPECT_EQ(parseDeploymentTarget(json::parse(R"({"configuration":"x"})")).configuration, R"("x")");
}

TEST(ParseExecution, FillsEveryFieldAndTakesOnlyIntegerNumbers) {
    const auto execution = parseExecution(json::parse(R"({"id":"e","pipelineId":"p","pipelineName":"CI",
        "executionNumber":12,"status":"RUNNING","startedAt":"s","completedAt":null,"errorMessage":"m"})"));
    EXPECT_EQ(execution.id, "e");
    EXPECT_EQ(execution.pipelineId, "p");
    EXPECT_EQ(execution.pipelineName, "CI");
    EXPECT_EQ(execution.executionNumber, 12);
    EXPECT_EQ(execution.status, "RUNNING");
    EXPECT_EQ(execution.startedAt, "s");
    EXPECT_EQ(execution.completedAt, "");
    EXPECT_EQ(execution.errorMessage, "m");
    for (const std::string number : {R"("12")", "12.0", "true", "null"}) {
        const json object = json::parse(R"({"executionNumber":)" + number + "}");
        EXPECT_FALSE(parseExecution(object).executionNumber.has_value()) << number;
    }
}

TEST(ParseDashboardRecords, FillEveryField) {
    const auto activity = parseRecentActivity(json::parse(R"({"executionId":"e","pipelineName":"CI",
        "projectName":"App","status":"FAILED","timeAgo":"2m","message":"m"})"));
    EXPECT_EQ(activity.executionId, "e");
    EXPECT_EQ(activity.pipelineName, "CI");
    EXPECT_EQ(activity.projectName, "App");
    EXPECT_EQ(activity.status, "FAILED");
    EXPECT_EQ(activity.timeAgo, "2m");
    EXPECT_EQ(activity.message, "m");
    const auto status = parseDashboardPipelineStatus(json::parse(R"({"pipelineId":"p","pipelineName":"CI",
        "projectName":"App","lastExecutionStatus":"SUCCESS","lastExecutionTime":"t","lastExecutionId":"e"})"));
    EXPECT_EQ(status.pipelineId, "p");
    EXPECT_EQ(status.pipelineName, "CI");
    EXPECT_EQ(status.projectName, "App");
    EXPECT_EQ(status.lastExecutionStatus, "SUCCESS");
    EXPECT_EQ(status.lastExecutionTime, "t");
    EXPECT_EQ(status.lastExecutionId, "e");
}

}  // namespace
}  // namespace quarlino::quil::infrastructure::http
