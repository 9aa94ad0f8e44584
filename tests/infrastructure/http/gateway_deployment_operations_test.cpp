#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "infrastructure/http/gateway_test_support.hpp"

namespace gatewaytest {
namespace {

namespace model = quarlino::quil::model;

model::DeploymentTargetDefinition target(std::optional<std::string> agentId, std::string configuration) {
    return {std::move(agentId), "web", "web-prod", "CONTAINER", "DOCKER_CONTAINER", std::move(configuration)};
}

// Request shapes -------------------------------------------------------------------

constexpr const char* kTargets = "/api/deployment-targets";

const std::vector<OperationCase> kDeploymentRequests = {
    {"ListAgents", [](Gateway& g) { g.listDeploymentAgents(); }, {HttpMethod::GET, "/api/deployment-agents", ""},
     "[]"},
    {"EnrollmentTokenWithLifetime", [](Gateway& g) { g.createDeploymentEnrollmentToken("edge-1", 3600); },
     {HttpMethod::POST, "/api/deployment-agents/enrollment-tokens", R"({"agentName":"edge-1","expiresInSeconds":3600})"},
     "{}", 201},
    {"EnrollmentTokenWithoutLifetime", [](Gateway& g) { g.createDeploymentEnrollmentToken("", std::nullopt); },
     {HttpMethod::POST, "/api/deployment-agents/enrollment-tokens", R"({"agentName":"","expiresInSeconds":null})"},
     "{}", 201},
    {"RevokeAgent", [](Gateway& g) { g.revokeDeploymentAgent("a 1"); },
     {HttpMethod::DELETE, "/api/deployment-agents/a%201", ""}, "", 204},
    {"ListTargets", [](Gateway& g) { g.listDeploymentTargets(); }, {HttpMethod::GET, kTargets, ""}, "[]"},
    {"GetTarget", [](Gateway& g) { g.getDeploymentTarget("t/1"); },
     {HttpMethod::GET, "/api/deployment-targets/t%2F1", ""}, "{}"},
    {"CreateTargetWithoutAgent", [](Gateway& g) { g.createDeploymentTarget(target(std::nullopt, R"({"port":80})")); },
     {HttpMethod::POST, kTargets,
      R"({"agentId":null,"configuration":{"port":80},"name":"web","referenceName":"web-prod",)"
      R"("targetKind":"CONTAINER","updateStrategy":"DOCKER_CONTAINER"})"},
     "{}", 201},
    {"CreateTargetWithEmptyAgent", [](Gateway& g) { g.createDeploymentTarget(target("", "{}")); },
     {HttpMethod::POST, kTargets,
      R"({"agentId":"","configuration":{},"name":"web","referenceName":"web-prod",)"
      R"("targetKind":"CONTAINER","updateStrategy":"DOCKER_CONTAINER"})"},
     "{}", 201},
    {"CreateTargetRewritesConfigurationCompactly",
     [](Gateway& g) {
         g.createDeploymentTarget(target("a1", "{\n  \"z\": [1, 2],\n  \"image\": \"nginx\",\n  \"a\": {\"y\": 1, \"x\": 2}\n}"));
     },
     {HttpMethod::POST, kTargets,
      R"({"agentId":"a1","configuration":{"a":{"x":2,"y":1},"image":"nginx","z":[1,2]},"name":"web",)"
      R"("referenceName":"web-prod","targetKind":"CONTAINER","updateStrategy":"DOCKER_CONTAINER"})"},
     "{}", 201},
    {"CreateTargetKeepsTheLaterOfTwoKeys", [](Gateway& g) { g.createDeploymentTarget(target("a1", R"({"k":1,"k":2})")); },
     {HttpMethod::POST, kTargets,
      R"({"agentId":"a1","configuration":{"k":2},"name":"web","referenceName":"web-prod",)"
      R"("targetKind":"CONTAINER","updateStrategy":"DOCKER_CONTAINER"})"},
     "{}", 201},
    {"UpdateTarget", [](Gateway& g) { g.updateDeploymentTarget("t1", 7, target("a1", "{}")); },
     {HttpMethod::PUT, "/api/deployment-targets/t1",
      R"({"agentId":"a1","configuration":{},"name":"web","referenceName":"web-prod","revision":7,)"
      R"("targetKind":"CONTAINER","updateStrategy":"DOCKER_CONTAINER"})"},
     "{}"},
    {"UpdateTargetWithNegativeRevision", [](Gateway& g) { g.updateDeploymentTarget("t1", -1, target(std::nullopt, "{}")); },
     {HttpMethod::PUT, "/api/deployment-targets/t1",
      R"({"agentId":null,"configuration":{},"name":"web","referenceName":"web-prod","revision":-1,)"
      R"("targetKind":"CONTAINER","updateStrategy":"DOCKER_CONTAINER"})"},
     "{}"},
    {"DisableTarget", [](Gateway& g) { g.disableDeploymentTarget("t1"); },
     {HttpMethod::DELETE, "/api/deployment-targets/t1", ""}, R"({"id":"t1","enabled":false})", 200},
    {"EnableTarget", [](Gateway& g) { g.enableDeploymentTarget("t1"); },
     {HttpMethod::POST, "/api/deployment-targets/t1/enable", ""}, "{}"},
};

class DeploymentRequestTest : public OperationRequestTest {};

TEST_P(DeploymentRequestTest, SendsExactRequest) { runCase(); }
INSTANTIATE_TEST_SUITE_P(DeploymentOperations, DeploymentRequestTest, testing::ValuesIn(kDeploymentRequests),
                         caseName);

// A configuration that is not one JSON object is refused before any request.
struct ConfigurationCase {
    std::string name;
    std::string configuration;
};

class BadConfigurationTest : public testing::TestWithParam<ConfigurationCase> {
protected:
    testsupport::quil::RecordingTransport transport;
    Gateway gateway{transport};
};

constexpr const char* kBadConfiguration = "deployment target configuration must be a JSON object";

TEST_P(BadConfigurationTest, CreateSendsNothing) {
    expectFailure<std::invalid_argument>(
        [&] { gateway.createDeploymentTarget(target("a1", GetParam().configuration)); }, kBadConfiguration);
    EXPECT_TRUE(transport.requests().empty());
}

TEST_P(BadConfigurationTest, UpdateReportsItBeforeAnEmptyIdentifier) {
    expectFailure<std::invalid_argument>(
        [&] { gateway.updateDeploymentTarget("", 1, target("a1", GetParam().configuration)); }, kBadConfiguration);
    EXPECT_TRUE(transport.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(DeploymentOperations, BadConfigurationTest,
                         testing::Values(ConfigurationCase{"Array", "[1,2]"}, ConfigurationCase{"Null", "null"},
                                         ConfigurationCase{"TrailingComma", R"({"a":1,})"},
                                         ConfigurationCase{"Comment", "{/* port */ \"port\": 80}"},
                                         ConfigurationCase{"Text", R"("{}")"}, ConfigurationCase{"Number", "1"},
                                         ConfigurationCase{"Empty", ""},
                                         ConfigurationCase{"TwoValues", "{} {}"}),
                         [](const testing::TestParamInfo<ConfigurationCase>& info) { return info.param.name; });

// Results ---------------------------------------------------------------------------

class DeploymentOperationsTest : public GatewayFamilyTest {};

TEST_F(DeploymentOperationsTest, UpdateWithAValidConfigurationRefusesAnEmptyIdentifier) {
    expectFailure<std::invalid_argument>([&] { gateway.updateDeploymentTarget("", 1, target("a1", "{}")); },
                                         kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.enableDeploymentTarget(""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.revokeDeploymentAgent(""); }, kEmptyIdentifier);
    EXPECT_TRUE(transport.requests().empty());
}

TEST_F(DeploymentOperationsTest, EnrollmentTokenIsReadUnchecked) {
    transport.expect(HttpMethod::POST, "/api/deployment-agents/enrollment-tokens", 201,
                     R"({"token":"qe_123","expiresAt":"2026-12-09T00:00:00Z"})");
    transport.expect(HttpMethod::POST, "/api/deployment-agents/enrollment-tokens", 200, "");
    const auto token = gateway.createDeploymentEnrollmentToken("edge", 60);
    EXPECT_EQ(token.value.token, "qe_123");
    EXPECT_EQ(token.value.expiresAt, "2026-12-09T00:00:00Z");
    const auto empty = gateway.createDeploymentEnrollmentToken("edge", 60);
    EXPECT_EQ(empty.value.token, "");
    EXPECT_EQ(empty.value.expiresAt, "");
    EXPECT_EQ(empty.body, "");
}

TEST_F(DeploymentOperationsTest, AgentsAndTargetsAreMapped) {
    transport.expect(HttpMethod::GET, "/api/deployment-agents", 200,
                     R"([{"id":"a1","name":"edge","status":"ONLINE","lastSeenAt":"now","certificateExpiresAt":"later"}])");
    const std::string targets =
        R"([{"id":"t1","agentId":"a1","agentName":"edge","configuration":{"b":1,"a":2},"revision":3,"enabled":true}])";
    transport.expect(HttpMethod::GET, kTargets, 200, targets);
    const auto agents = gateway.listDeploymentAgents();
    ASSERT_EQ(agents.value.size(), 1u);
    EXPECT_EQ(agents.value[0].status, "ONLINE");
    EXPECT_EQ(agents.value[0].certificateExpiresAt, "later");
    const auto list = gateway.listDeploymentTargets();
    ASSERT_EQ(list.value.size(), 1u);
    EXPECT_EQ(list.value[0].agentId, std::optional<std::string>("a1"));
    EXPECT_EQ(list.value[0].configuration, R"({"a":2,"b":1})");
    EXPECT_EQ(list.value[0].revision, 3);
    EXPECT_TRUE(list.value[0].enabled);
    EXPECT_EQ(list.body, targets);
}

TEST_F(DeploymentOperationsTest, TargetWritesReturnTheAnsweredTarget) {
    transport.expect(HttpMethod::PUT, "/api/deployment-targets/t1", 200, R"({"id":"t1","revision":8})");
    transport.expect(HttpMethod::POST, "/api/deployment-targets/t1/enable", 200, R"({"id":"t1","enabled":true})");
    EXPECT_EQ(gateway.updateDeploymentTarget("t1", 7, target("a1", "{}")).value.revision, 8);
    EXPECT_TRUE(gateway.enableDeploymentTarget("t1").value.enabled);
}

TEST_F(DeploymentOperationsTest, StaleUpdateRaisesTheConflict) {
    transport.expect(HttpMethod::PUT, "/api/deployment-targets/t1", 409, R"({"message":"stale revision"})");
    expectApiError([&] { gateway.updateDeploymentTarget("t1", 1, target("a1", "{}")); }, 409, "stale revision",
                   R"({"message":"stale revision"})");
}

TEST_F(DeploymentOperationsTest, ListsRefuseAnEmptyBody) {
    transport.expect(HttpMethod::GET, "/api/deployment-agents", 200, "");
    transport.expect(HttpMethod::GET, kTargets, 200, R"({"items":[]})");
    expectFailure<std::runtime_error>([&] { gateway.listDeploymentAgents(); }, kNotAnArray);
    expectFailure<std::runtime_error>([&] { gateway.listDeploymentTargets(); }, kNotAnArray);
}

}  // namespace
}  // namespace gatewaytest
