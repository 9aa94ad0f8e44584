#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string stats = R"({"totalPipelines":12,"executionsToday":3,"successRate":87.5,"avgDuration":"4m 10s"})";
const std::string perfect = R"({"totalPipelines":1,"executionsToday":0,"successRate":100,"avgDuration":""})";
const std::string recent =
    R"([{"executionId":"run-7","pipelineName":"build","projectName":"shop","status":"SUCCESS",)"
    R"("timeAgo":"5 minutes ago","message":""}])";
const std::string pipelines =
    R"([{"pipelineId":"pl-1","pipelineName":"build","projectName":"shop","lastExecutionStatus":"FAILED",)"
    R"("lastExecutionTime":"2026-05-01T10:00:00Z","lastExecutionId":"run-7"},)"
    R"({"pipelineId":"pl-2","pipelineName":"deploy","projectName":"shop"}])";

const std::vector<CommandCase> dashboardCases{
    {"ShowStats", {"dashboard", "show"}, "", {{"GET", "/api/dashboard/stats", 200, stats}},
     {0,
      tableText({{"PIPELINES", "EXECUTIONS TODAY", "SUCCESS RATE", "AVERAGE DURATION"},
                 {"12", "3", "87.500000%", "4m 10s"}}),
      ""}},
    {"ShowFullSuccessWithoutDuration", {"dashboard", "show"}, "", {{"GET", "/api/dashboard/stats", 200, perfect}},
     {0,
      tableText({{"PIPELINES", "EXECUTIONS TODAY", "SUCCESS RATE", "AVERAGE DURATION"},
                 {"1", "0", "100.000000%", "-"}}),
      ""}},
    {"ShowQuietPrintsNothing", {"dashboard", "show", "--quiet"}, "", {{"GET", "/api/dashboard/stats", 200, stats}},
     {0, "", ""}},
    {"ShowWithoutWorkspace", {"dashboard", "show"}, "", {},
     {2, "", "quil: no active workspace; run 'quil workspace use <id|slug>' or pass --workspace\n"}, ""},
    {"RecentTable", {"dashboard", "recent"}, "", {{"GET", "/api/dashboard/recent-activity", 200, recent}},
     {0,
      tableText({{"RUN", "PIPELINE", "PROJECT", "STATUS", "WHEN", "MESSAGE"},
                 {"run-7", "build", "shop", "SUCCESS", "5 minutes ago", ""}}),
      ""}},
    {"RecentJsonAsReceived", {"dashboard", "recent", "--output", "json", "--quiet"}, "",
     {{"GET", "/api/dashboard/recent-activity", 200, recent}}, {0, recent + "\n", ""}},
    {"PipelinesTable", {"dashboard", "pipelines"}, "", {{"GET", "/api/dashboard/pipelines-status", 200, pipelines}},
     {0,
      tableText({{"ID", "PIPELINE", "PROJECT", "LAST STATUS", "LAST RUN", "RUN ID"},
                 {"pl-1", "build", "shop", "FAILED", "2026-05-01T10:00:00Z", "run-7"},
                 {"pl-2", "deploy", "shop", "-", "-", "-"}}),
      ""}},
    {"PipelinesQuiet", {"dashboard", "pipelines", "--quiet"}, "",
     {{"GET", "/api/dashboard/pipelines-status", 200, pipelines}}, {0, "pl-1\npl-2\n", ""}},
};

INSTANTIATE_TEST_SUITE_P(Dashboard, CommandCaseTest, testing::ValuesIn(dashboardCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
