#include <stdexcept>
#include <string>
#include <vector>

#include "infrastructure/http/gateway_test_support.hpp"

namespace gatewaytest {
namespace {

// Request shapes: no operation here sends a body ------------------------------------

const std::vector<OperationCase> kRunRequests = {
    {"StartExecution", [](Gateway& g) { g.startExecution("p1"); },
     {HttpMethod::POST, "/api/pipeline/p1/executions", ""}, "{}", 201},
    {"ListExecutions", [](Gateway& g) { g.listExecutions(); }, {HttpMethod::GET, "/api/executions", ""}, "[]"},
    {"ListPipelineExecutions", [](Gateway& g) { g.listPipelineExecutions("p1"); },
     {HttpMethod::GET, "/api/pipeline/p1/executions", ""}, "[]"},
    {"GetExecution", [](Gateway& g) { g.getExecution("e/1"); }, {HttpMethod::GET, "/api/executions/e%2F1", ""}, "{}"},
    {"ExecutionLogs", [](Gateway& g) { g.executionLogs("e1"); },
     {HttpMethod::GET, "/api/executions/e1/logs", ""}, "[]"},
    {"ExecutionReports", [](Gateway& g) { g.executionReports("e1"); },
     {HttpMethod::GET, "/api/executions/e1/test-reports", ""}, "[]"},
    {"CancelExecution", [](Gateway& g) { g.cancelExecution("e1"); },
     {HttpMethod::POST, "/api/executions/e1/stop", ""}, "stopping", 200},
    {"DashboardStats", [](Gateway& g) { g.dashboardStats(); }, {HttpMethod::GET, "/api/dashboard/stats", ""}, "{}"},
    {"RecentActivity", [](Gateway& g) { g.recentActivity(); },
     {HttpMethod::GET, "/api/dashboard/recent-activity", ""}, "[]"},
    {"DashboardPipelineStatuses", [](Gateway& g) { g.dashboardPipelineStatuses(); },
     {HttpMethod::GET, "/api/dashboard/pipelines-status", ""}, "[]"},
};

class RunRequestTest : public OperationRequestTest {};

TEST_P(RunRequestTest, SendsExactRequest) { runCase(); }
INSTANTIATE_TEST_SUITE_P(RunOperations, RunRequestTest, testing::ValuesIn(kRunRequests), caseName);

// Every list operation refuses an answer whose root is not an array.
class RunListTest : public ListRefusalTest {};

TEST_P(RunListTest, RefusesAnEmptyBody) { runCase(); }

INSTANTIATE_TEST_SUITE_P(RunOperations, RunListTest,
                         testing::Values(kRunRequests[1], kRunRequests[2], kRunRequests[4], kRunRequests[5],
                                         kRunRequests[8], kRunRequests[9]),
                         caseName);

// Results ---------------------------------------------------------------------------

class RunOperationsTest : public GatewayFamilyTest {};

TEST_F(RunOperationsTest, StartWithAnEmptyAnswerGivesDefaults) {
    transport.expect(HttpMethod::POST, "/api/pipeline/p1/executions", 201, "");
    const auto result = gateway.startExecution("p1");
    EXPECT_EQ(result.value.id, "");
    EXPECT_FALSE(result.value.executionNumber.has_value());
    EXPECT_EQ(result.body, "");
}

TEST_F(RunOperationsTest, ExecutionsAreMappedInOrder) {
    const std::string body =
        R"([{"id":"e1","pipelineName":"build","executionNumber":12,"status":"RUNNING"},)"
        R"({"id":"e2","executionNumber":"12"}])";
    transport.expect(HttpMethod::GET, "/api/pipeline/p1/executions", 200, body);
    transport.expect(HttpMethod::GET, "/api/executions/e1", 200, R"({"id":"e1","executionNumber":12.0})");
    const auto list = gateway.listPipelineExecutions("p1");
    ASSERT_EQ(list.value.size(), 2u);
    EXPECT_EQ(list.value[0].executionNumber, std::optional<int>(12));
    EXPECT_EQ(list.value[0].status, "RUNNING");
    EXPECT_FALSE(list.value[1].executionNumber.has_value());
    EXPECT_EQ(list.body, body);
    EXPECT_FALSE(gateway.getExecution("e1").value.executionNumber.has_value());
}

TEST_F(RunOperationsTest, LogEntriesAreReadAsText) {
    const std::string body = R"([7,{"actionName":"build","actionType":"SHELL","message":"ok","timestamp":1700}])";
    transport.expect(HttpMethod::GET, "/api/executions/e1/logs", 200, body);
    const auto result = gateway.executionLogs("e1");
    ASSERT_EQ(result.value.size(), 2u);
    EXPECT_EQ(result.value[0].actionName, "");
    EXPECT_EQ(result.value[0].timestamp, "");
    EXPECT_EQ(result.value[1].actionName, "build");
    EXPECT_EQ(result.value[1].actionType, "SHELL");
    EXPECT_EQ(result.value[1].message, "ok");
    EXPECT_EQ(result.value[1].timestamp, "1700");
    EXPECT_EQ(result.body, body);
}

TEST_F(RunOperationsTest, TestReportsAreMapped) {
    transport.expect(HttpMethod::GET, "/api/executions/e1/test-reports", 200,
                     R"([{"id":"t1","executionId":"e1","actionId":"a1","actionName":"unit","format":"JUNIT",)"
                     R"("reportPattern":"**/*.xml","files":2,"tests":true,"failures":1.9,"errors":0,"skipped":3,)"
                     R"("durationSeconds":1.5,"created":"c"},{}])");
    const auto result = gateway.executionReports("e1");
    ASSERT_EQ(result.value.size(), 2u);
    const auto& report = result.value[0];
    EXPECT_EQ(report.actionId, "a1");
    EXPECT_EQ(report.format, "JUNIT");
    EXPECT_EQ(report.reportPattern, "**/*.xml");
    EXPECT_EQ(report.files, 2);
    EXPECT_EQ(report.tests, 1);
    EXPECT_EQ(report.failures, 1);
    EXPECT_EQ(report.skipped, 3);
    EXPECT_DOUBLE_EQ(report.durationSeconds, 1.5);
    EXPECT_EQ(report.created, "c");
    EXPECT_EQ(result.value[1].tests, 0);
    EXPECT_DOUBLE_EQ(result.value[1].durationSeconds, 0.0);
}

struct JsonErrorCase {
    std::string name;
    std::string answer;
    int id;
};

class TestReportErrorTest : public testing::TestWithParam<JsonErrorCase> {};

TEST_P(TestReportErrorTest, FailsTheWholeList) {
    testsupport::quil::RecordingTransport transport;
    transport.expect(HttpMethod::GET, "/api/executions/e1/test-reports", 200, GetParam().answer);
    Gateway gateway{transport};
    expectJsonError([&] { gateway.executionReports("e1"); }, GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(RunOperations, TestReportErrorTest,
                         testing::Values(JsonErrorCase{"CountAsText", R"([{"tests":"3"}])", 302},
                                         JsonErrorCase{"NullCount", R"([{},{"errors":null}])", 302},
                                         JsonErrorCase{"DurationAsBoolean", R"([{"durationSeconds":true}])", 302},
                                         JsonErrorCase{"TextElement", R"(["report"])", 306}),
                         [](const testing::TestParamInfo<JsonErrorCase>& info) { return info.param.name; });

TEST_F(RunOperationsTest, DashboardStatsAreTakenAsSent) {
    transport.expect(HttpMethod::GET, "/api/dashboard/stats", 200,
                     R"({"totalPipelines":9,"executionsToday":3,"successRate":87.5,"avgDuration":12})");
    transport.expect(HttpMethod::GET, "/api/dashboard/stats", 200, "{}");
    const auto stats = gateway.dashboardStats();
    EXPECT_EQ(stats.value.totalPipelines, 9u);
    EXPECT_EQ(stats.value.executionsToday, 3u);
    EXPECT_DOUBLE_EQ(stats.value.successRate, 87.5);
    EXPECT_EQ(stats.value.avgDuration, "12");
    const auto empty = gateway.dashboardStats();
    EXPECT_EQ(empty.value.totalPipelines, 0u);
    EXPECT_EQ(empty.value.executionsToday, 0u);
    EXPECT_DOUBLE_EQ(empty.value.successRate, 0.0);
    EXPECT_EQ(empty.value.avgDuration, "");
}

class DashboardStatsErrorTest : public testing::TestWithParam<JsonErrorCase> {};

TEST_P(DashboardStatsErrorTest, Fails) {
    testsupport::quil::RecordingTransport transport;
    transport.expect(HttpMethod::GET, "/api/dashboard/stats", 200, GetParam().answer);
    Gateway gateway{transport};
    expectJsonError([&] { gateway.dashboardStats(); }, GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(RunOperations, DashboardStatsErrorTest,
                         testing::Values(JsonErrorCase{"BooleanCount", R"({"totalPipelines":true})", 302},
                                         JsonErrorCase{"NullRate", R"({"successRate":null})", 302},
                                         JsonErrorCase{"ArrayRoot", "[]", 306}),
                         [](const testing::TestParamInfo<JsonErrorCase>& info) { return info.param.name; });

TEST_F(RunOperationsTest, DashboardListsAreMapped) {
    transport.expect(HttpMethod::GET, "/api/dashboard/recent-activity", 200,
                     R"([{"executionId":"e1","pipelineName":"build","projectName":"web","status":"OK",)"
                     R"("timeAgo":"2m","message":"done"}])");
    transport.expect(HttpMethod::GET, "/api/dashboard/pipelines-status", 200,
                     R"([{"pipelineId":"p1","lastExecutionStatus":"FAILED","lastExecutionId":"e9"}])");
    const auto activity = gateway.recentActivity();
    ASSERT_EQ(activity.value.size(), 1u);
    EXPECT_EQ(activity.value[0].timeAgo, "2m");
    EXPECT_EQ(activity.value[0].message, "done");
    const auto statuses = gateway.dashboardPipelineStatuses();
    ASSERT_EQ(statuses.value.size(), 1u);
    EXPECT_EQ(statuses.value[0].lastExecutionStatus, "FAILED");
    EXPECT_EQ(statuses.value[0].lastExecutionId, "e9");
}

TEST_F(RunOperationsTest, CancelConflictRaisesTheStatus) {
    transport.expect(HttpMethod::POST, "/api/executions/e1/stop", 409, R"({"detail":"already finished"})");
    expectApiError([&] { gateway.cancelExecution("e1"); }, 409, "already finished",
                   R"({"detail":"already finished"})");
}

TEST_F(RunOperationsTest, EmptyIdentifiersSendNothing) {
    expectFailure<std::invalid_argument>([&] { gateway.startExecution(""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.executionLogs(""); }, kEmptyIdentifier);
    expectFailure<std::invalid_argument>([&] { gateway.cancelExecution(""); }, kEmptyIdentifier);
    EXPECT_TRUE(transport.requests().empty());
}

}  // namespace
}  // namespace gatewaytest
