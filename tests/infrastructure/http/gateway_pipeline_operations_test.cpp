#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "infrastructure/http/gateway_test_support.hpp"

namespace gatewaytest {
namespace {

// Request shapes -------------------------------------------------------------------

constexpr const char* kSnapshotAnswer = R"({"success":true,"snapshot":{"source":{}}})";
constexpr const char* kUpdateBody = R"([{"source":"steps:\n  - run: \"make\"\n","userCommandType":"UPDATE_ICE_SOURCE"}])";

const std::vector<OperationCase> kPipelineRequests = {
    {"ListPipelines", [](Gateway& g) { g.listPipelines(); }, {HttpMethod::GET, "/api/pipeline/list/simple", ""}, "[]"},
    {"GetPipeline", [](Gateway& g) { g.getPipeline("p 1"); }, {HttpMethod::GET, "/api/pipeline/p%201", ""}, "{}"},
    {"CreatePipeline", [](Gateway& g) { g.createPipeline("build", "pr1"); },
     {HttpMethod::POST, "/api/pipeline", R"({"name":"build","projectId":"pr1"})"}, "{}", 201},
    {"CreatePipelineWithEmptyArguments", [](Gateway& g) { g.createPipeline("", ""); },
     {HttpMethod::POST, "/api/pipeline", R"({"name":"","projectId":""})"}, "{}", 201},
    {"AttachSecretGroup", [](Gateway& g) { g.setPipelineSecretGroup("p1", "sg1"); },
     {HttpMethod::PUT, "/api/pipeline/p1/secret-group", R"({"secretGroupId":"sg1"})"}, "", 204},
    {"DetachSecretGroup", [](Gateway& g) { g.setPipelineSecretGroup("p1", std::nullopt); },
     {HttpMethod::PUT, "/api/pipeline/p1/secret-group", R"({"secretGroupId":null})"}, "", 204},
    {"AttachEmptySecretGroup", [](Gateway& g) { g.setPipelineSecretGroup("p1", ""); },
     {HttpMethod::PUT, "/api/pipeline/p1/secret-group", R"({"secretGroupId":""})"}, "", 204},
    {"AttachVariableGroup", [](Gateway& g) { g.setPipelineVariableGroup("p1", "vg1"); },
     {HttpMethod::PUT, "/api/pipeline/p1/variable-group", R"({"variableGroupId":"vg1"})"}, "{}", 200},
    {"DetachVariableGroup", [](Gateway& g) { g.setPipelineVariableGroup("p1", std::nullopt); },
     {HttpMethod::PUT, "/api/pipeline/p1/variable-group", R"({"variableGroupId":null})"}, "", 204},
    {"ContinueOnErrorOff", [](Gateway& g) { g.setPipelineContinueOnError("p1", false); },
     {HttpMethod::PUT, "/api/pipeline/p1/continue-on-error", R"({"continueOnError":false})"}, "", 204},
    {"ContinueOnErrorOn", [](Gateway& g) { g.setPipelineContinueOnError("p1", true); },
     {HttpMethod::PUT, "/api/pipeline/p1/continue-on-error", R"({"continueOnError":true})"}, "ok", 200},
    {"SetRunner", [](Gateway& g) { g.setPipelineRunner("p/1", "large"); },
     {HttpMethod::PUT, "/api/v1/pipelines/p%2F1/runner", R"({"runnerProfileCode":"large"})"}, "", 204},
    {"DeletePipeline", [](Gateway& g) { g.deletePipeline("p1"); }, {HttpMethod::DELETE, "/api/pipeline/p1", ""},
     "", 204},
    {"ValidateSource", [](Gateway& g) { g.validatePipelineSource("steps: []\n"); },
     {HttpMethod::POST, "/api/pipeline/validate-source", R"({"source":"steps: []\n"})"}, "{}"},
    {"Editor", [](Gateway& g) { g.pipelineEditor("p1"); }, {HttpMethod::GET, "/api/pipeline/p1/editor", ""},
     R"({"source":{}})"},
    {"UpdateSource", [](Gateway& g) { g.updatePipelineSource("p1", "steps:\n  - run: \"make\"\n", 42); },
     {HttpMethod::POST, "/api/pipeline/p1/usercommand", kUpdateBody, {{"If-Match", "42"}}}, kSnapshotAnswer},
    {"UpdateSourceAtRevisionZero", [](Gateway& g) { g.updatePipelineSource("p1", "", 0); },
     {HttpMethod::POST, "/api/pipeline/p1/usercommand", R"([{"source":"","userCommandType":"UPDATE_ICE_SOURCE"}])",
      {{"If-Match", "0"}}},
     kSnapshotAnswer},
    {"UpdateSourceAtLargestRevision",
     [](Gateway& g) { g.updatePipelineSource("p1", "x", std::numeric_limits<std::uint64_t>::max()); },
     {HttpMethod::POST, "/api/pipeline/p1/usercommand", R"([{"source":"x","userCommandType":"UPDATE_ICE_SOURCE"}])",
      {{"If-Match", "18446744073709551615"}}},
     kSnapshotAnswer},
};

class PipelineRequestTest : public OperationRequestTest {};

TEST_P(PipelineRequestTest, SendsExactRequest) { runCase(); }
INSTANTIATE_TEST_SUITE_P(PipelineOperations, PipelineRequestTest, testing::ValuesIn(kPipelineRequests), caseName);

// Results ---------------------------------------------------------------------------

class PipelineOperationsTest : public GatewayFamilyTest {};

TEST_F(PipelineOperationsTest, PipelinesAreMapped) {
    const std::string body =
        R"([{"id":"p1","name":"build","projectName":"web","secretGroupId":"","variableGroupId":"vg",)"
        R"("continueOnError":true}])";
    transport.expect(HttpMethod::GET, "/api/pipeline/list/simple", 200, body);
    transport.expect(HttpMethod::GET, "/api/pipeline/list/simple", 200, "[]");
    const auto list = gateway.listPipelines();
    ASSERT_EQ(list.value.size(), 1u);
    EXPECT_EQ(list.value[0].projectName, "web");
    EXPECT_FALSE(list.value[0].secretGroupId.has_value());
    EXPECT_EQ(list.value[0].variableGroupId, std::optional<std::string>("vg"));
    EXPECT_TRUE(list.value[0].continueOnError);
    EXPECT_EQ(list.body, body);
    const auto empty = gateway.listPipelines();
    EXPECT_TRUE(empty.value.empty());
    EXPECT_EQ(empty.body, "[]");
}

TEST_F(PipelineOperationsTest, ListRefusesAnEmptyBody) {
    transport.expect(HttpMethod::GET, "/api/pipeline/list/simple", 200, "");
    expectFailure<std::runtime_error>([&] { gateway.listPipelines(); }, kNotAnArray);
}

TEST_F(PipelineOperationsTest, GetWithAnEmptyAnswerGivesDefaults) {
    transport.expect(HttpMethod::GET, "/api/pipeline/p1", 200, "");
    const auto result = gateway.getPipeline("p1");
    EXPECT_EQ(result.value.id, "");
    EXPECT_FALSE(result.value.continueOnError);
}

TEST_F(PipelineOperationsTest, ValidationIsMapped) {
    const std::string body =
        R"({"valid":false,"diagnostics":[{"code":"E1","message":"bad step","startLine":3,"startColumn":5}]})";
    transport.expect(HttpMethod::POST, "/api/pipeline/validate-source", 200, body);
    transport.expect(HttpMethod::POST, "/api/pipeline/validate-source", 200, "");
    const auto result = gateway.validatePipelineSource("x");
    EXPECT_FALSE(result.value.valid);
    ASSERT_EQ(result.value.diagnostics.size(), 1u);
    EXPECT_EQ(result.value.diagnostics[0].message, "bad step");
    EXPECT_EQ(result.value.diagnostics[0].startLine, 3);
    EXPECT_EQ(result.value.diagnostics[0].startColumn, 5);
    EXPECT_EQ(result.body, body);
    const auto empty = gateway.validatePipelineSource("x");
    EXPECT_FALSE(empty.value.valid);
    EXPECT_TRUE(empty.value.diagnostics.empty());
    EXPECT_EQ(empty.body, "");
}

TEST_F(PipelineOperationsTest, ValidationRefusesWrongTypes) {
    transport.expect(HttpMethod::POST, "/api/pipeline/validate-source", 200, "[]");
    transport.expect(HttpMethod::POST, "/api/pipeline/validate-source", 200, R"({"valid":"yes"})");
    expectJsonError([&] { gateway.validatePipelineSource("x"); }, 306);
    expectJsonError([&] { gateway.validatePipelineSource("x"); }, 302);
}

TEST_F(PipelineOperationsTest, EditorMapsTheSnapshotAndNeedsItsSource) {
    const std::string body =
        R"({"revision":7,"source":{"validSource":"a","draftSource":"b","status":"VALID"},"diagnostics":[]})";
    transport.expect(HttpMethod::GET, "/api/pipeline/p1/editor", 200, body);
    transport.expect(HttpMethod::GET, "/api/pipeline/p1/editor", 200, "");
    const auto result = gateway.pipelineEditor("p1");
    EXPECT_EQ(result.value.revision, 7u);
    EXPECT_EQ(result.value.validSource, "a");
    EXPECT_EQ(result.value.draftSource, std::optional<std::string>("b"));
    EXPECT_EQ(result.value.status, "VALID");
    EXPECT_EQ(result.body, body);
    expectJsonError([&] { gateway.pipelineEditor("p1"); }, 403);
}

// The source update: a 2xx answer still has to report success -----------------------

constexpr const char* kUserCommand = "/api/pipeline/p1/usercommand";

TEST_F(PipelineOperationsTest, UpdateReturnsTheSnapshotWithTheWholeBody) {
    const std::string body =
        R"({"success":true,"snapshot":{"revision":8,"source":{"validSource":"new","status":"VALID"}}})";
    transport.expect(HttpMethod::POST, kUserCommand, 200, body);
    const auto result = gateway.updatePipelineSource("p1", "new", 7);
    EXPECT_EQ(result.value.revision, 8u);
    EXPECT_EQ(result.value.validSource, "new");
    EXPECT_EQ(result.value.status, "VALID");
    EXPECT_EQ(result.body, body);
}

struct RefusedUpdateCase {
    std::string name;
    int status;
    std::string answer;
    std::string message;
};

class RefusedUpdateTest : public testing::TestWithParam<RefusedUpdateCase> {};

TEST_P(RefusedUpdateTest, RaisesApiErrorWithTheAnswer) {
    const RefusedUpdateCase& row = GetParam();
    testsupport::quil::RecordingTransport transport;
    transport.expect(HttpMethod::POST, kUserCommand, row.status, row.answer);
    Gateway gateway{transport};
    expectApiError([&] { gateway.updatePipelineSource("p1", "x", 1); }, row.status, row.message, row.answer);
}

INSTANTIATE_TEST_SUITE_P(
    PipelineOperations, RefusedUpdateTest,
    testing::Values(
        RefusedUpdateCase{"SuccessFalse", 200, R"({"success":false,"message":"step 2 is invalid"})",
                          "step 2 is invalid"},
        RefusedUpdateCase{"SuccessAbsent", 202, R"({"error":"rejected"})", "rejected"},
        RefusedUpdateCase{"EmptyBody", 200, "", "Quarlino API returned HTTP 200"},
        RefusedUpdateCase{"StaleRevision", 412, R"({"message":"revision mismatch"})", "revision mismatch"}),
    [](const testing::TestParamInfo<RefusedUpdateCase>& info) { return info.param.name; });

TEST_F(PipelineOperationsTest, UpdateAnswerShapesThatAreNotUsable) {
    transport.expect(HttpMethod::POST, kUserCommand, 200, R"({"success":true})");
    transport.expect(HttpMethod::POST, kUserCommand, 200, R"({"success":true,"snapshot":{}})");
    transport.expect(HttpMethod::POST, kUserCommand, 200, R"({"success":"true"})");
    transport.expect(HttpMethod::POST, kUserCommand, 200, R"([true])");
    expectJsonError([&] { gateway.updatePipelineSource("p1", "x", 1); }, 403);
    expectJsonError([&] { gateway.updatePipelineSource("p1", "x", 1); }, 403);
    expectJsonError([&] { gateway.updatePipelineSource("p1", "x", 1); }, 302);
    expectJsonError([&] { gateway.updatePipelineSource("p1", "x", 1); }, 306);
}

TEST_F(PipelineOperationsTest, EmptyIdentifiersSendNothing) {
    expectFailure<std::invalid_argument>([&] { gateway.getPipeline(""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.setPipelineSecretGroup("", std::nullopt); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.setPipelineRunner("", "large"); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.updatePipelineSource("", "x", 1); }, kEmptyIdentifier);
    EXPECT_TRUE(transport.requests().empty());
}

}  // namespace
}  // namespace gatewaytest
