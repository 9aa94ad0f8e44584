#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string runs =
    R"([{"id":"e-1","pipelineId":"pl-1","pipelineName":"Build","executionNumber":7,"status":"SUCCESS",)"
    R"("startedAt":"10:00","completedAt":"10:05","errorMessage":"","extra":true},)"
    R"({"id":"e-2","pipelineId":"pl-2","status":"QUEUED"}])";
// What JSON output prints for that list: rebuilt, keys sorted, no extras.
const std::string runsJson =
    R"([{"completedAt":"10:05","errorMessage":"","executionNumber":7,"id":"e-1","pipelineId":"pl-1",)"
    R"("pipelineName":"Build","startedAt":"10:00","status":"SUCCESS"},)"
    R"({"completedAt":"","errorMessage":"","executionNumber":null,"id":"e-2","pipelineId":"pl-2",)"
    R"("pipelineName":"","startedAt":"","status":"QUEUED"}])";
const std::string e1 = R"({"id":"e-1","pipelineId":"pl-1","pipelineName":"Build","status":"SUCCESS"})";
const std::string twoLines =
    R"([{"timestamp":"10:00:01","actionName":"checkout","message":"cloned"},)"
    R"({"timestamp":"10:00:02","actionType":"SHELL","message":"make"}])";
const std::string threeLines =
    R"([{"timestamp":"10:00:01","actionName":"checkout","message":"cloned"},)"
    R"({"timestamp":"10:00:02","actionType":"SHELL","message":"make"},)"
    R"({"timestamp":"10:00:09","actionType":"SHELL","message":"error: no rule"}])";
const std::string twoLinesText = "10:00:01 [checkout] cloned\n10:00:02 [SHELL] make\n";

const Exchange listRuns{"GET", "/api/executions", 200, runs};
const Exchange logsOfE1{"GET", "/api/executions/e-1/logs", 200, twoLines};
const Exchange cancelE1{"POST", "/api/executions/e-1/stop", 200, "", ""};

std::string runsTable() {
    return tableText({{"ID", "PIPELINE", "NUMBER", "STATUS", "STARTED"},
                      {"e-1", "Build", "7", "SUCCESS", "10:00"},
                      {"e-2", "pl-2", "-", "QUEUED", "-"}});
}

const std::vector<CommandCase> runCases{
    {"ListTable", {"run", "list"}, "", {listRuns}, {0, runsTable(), ""}},
    {"ListJsonIsRebuilt", {"run", "list", "--output", "json"}, "", {listRuns}, {0, runsJson + "\n", ""}},
    {"ListOfAPipeline", {"run", "list", "--pipeline", "Build", "--quiet"}, "",
     {{"GET", "/api/pipeline/list/simple", 200, R"([{"id":"pl-1","name":"Build"}])"},
      {"GET", "/api/pipeline/pl-1/executions", 200, runs}},
     {0, "e-1\ne-2\n", ""}},
    {"ListOfAnUnknownPipeline", {"run", "list", "--pipeline", "Ship"}, "",
     {{"GET", "/api/pipeline/list/simple", 200, R"([{"id":"pl-1","name":"Build"}])"}},
     {2, "", "quil: pipeline not found: Ship\n"}},
    {"ShowById", {"run", "show", "e-1"}, "", {listRuns, {"GET", "/api/executions/e-1", 200, e1}},
     {0, tableText({{"ID", "PIPELINE", "NUMBER", "STATUS", "STARTED"}, {"e-1", "Build", "-", "SUCCESS", "-"}}), ""}},
    {"ShowByNumberIsNotFound", {"run", "show", "7"}, "", {listRuns}, {2, "", "quil: run not found: 7\n"}},
    {"ShowOfAnEmptySelector", {"run", "show", ""}, "", {}, {2, "", "quil: run ID cannot be empty\n"}},
    {"Logs", {"run", "logs", "e-1"}, "", {listRuns, logsOfE1}, {0, twoLinesText, ""}},
    {"LogsJson", {"run", "logs", "e-1", "--output", "json"}, "", {listRuns, logsOfE1}, {0, twoLines + "\n", ""}},
    // The run has ended when it is first looked at: the log is fetched once
    // more, and the line written in between is printed too. The lines of
    // each round reach a pipe before the run's state is asked for.
    {"LogsFollowPrintsTheLinesWrittenAtTheEnd", {"run", "logs", "e-1", "--follow"}, "",
     {listRuns, logsOfE1, {"GET", "/api/executions/e-1", 200, R"({"id":"e-1","status":"FAILED"})"},
      {"GET", "/api/executions/e-1/logs", 200, threeLines}},
     {0, twoLinesText + "10:00:09 [SHELL] error: no rule\n", ""}, "ws-1", {}, {}, "", {{2, twoLinesText}}},
    {"LogsFollowJsonPrintsTheLastLogOnly", {"run", "logs", "e-1", "--follow", "--output", "json"}, "",
     {listRuns, logsOfE1, {"GET", "/api/executions/e-1", 200, R"({"id":"e-1","status":"CANCELED"})"},
      {"GET", "/api/executions/e-1/logs", 200, threeLines}},
     {0, threeLines + "\n", ""}},
    {"Reports", {"run", "reports", "e-1"}, "",
     {listRuns,
      {"GET", "/api/executions/e-1/test-reports", 200,
       R"([{"id":"tr-1","actionId":"a-1","actionName":"unit","format":"JUNIT","tests":12,"failures":1,)"
       R"("errors":0,"skipped":2,"durationSeconds":3.25},{"id":"tr-2","actionId":"a-2","format":"TRX"}])"}},
     {0,
      tableText({{"ACTION", "FORMAT", "TESTS", "FAILURES", "ERRORS", "SKIPPED", "SECONDS"},
                 {"unit", "JUNIT", "12", "1", "0", "2", "3.250000"},
                 {"a-2", "TRX", "0", "0", "0", "0", "0.000000"}}),
      ""}},
    {"CancelNeedsNoConfirmation", {"run", "cancel", "e-1"}, "", {listRuns, cancelE1},
     {0, "Cancellation requested for run e-1\n", ""}},
    {"CancelJson", {"run", "cancel", "e-1", "--output", "json"}, "", {listRuns, cancelE1},
     {0, R"({"cancellationRequested":true,"id":"e-1"})" "\n", ""}},
    {"CancelQuiet", {"run", "cancel", "e-1", "--quiet"}, "", {listRuns, cancelE1}, {0, "", ""}},
    {"CancelOfAFinishedRun", {"run", "cancel", "e-1"}, "",
     {listRuns, {"POST", "/api/executions/e-1/stop", 409, R"({"message":"run already finished"})"}},
     {6, "", "quil: run already finished\n"}},
};

INSTANTIATE_TEST_SUITE_P(Run, CommandCaseTest, testing::ValuesIn(runCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
