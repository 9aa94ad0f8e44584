#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

// Two pipelines share the name "Twin"; project p-9 has none.
const std::string pipelines =
    R"([{"id":"pl-1","name":"Build","projectId":"p-1","projectName":"Demo","lastStatus":"SUCCESS"},)"
    R"({"id":"pl-2","name":"Ship","projectId":"p-2","projectName":"Site","lastStatus":"",)"
    R"("secretGroupId":"sg-1","variableGroupId":"vg-1","continueOnError":true},)"
    R"({"id":"pl-3","name":"Twin","projectId":"p-1"},{"id":"pl-4","name":"Twin","projectId":"p-2"}])";
const std::string projects = R"([{"id":"p-1","name":"Demo"},{"id":"p-2","name":"Site"},{"id":"p-9","name":"Empty"}])";
const std::string ship = R"({"id":"pl-2","name":"Ship","projectId":"p-2","projectName":"Site",)"
                         R"("secretGroupId":"sg-1","variableGroupId":"vg-1","continueOnError":true})";
const std::string editor = R"({"revision":41,"source":{"validSource":"stages: []","status":"VALID"}})";
const std::string invalidReply =
    R"({"valid":false,"diagnostics":[{"code":"E1","message":"unknown key","startLine":2,"startColumn":5},)"
    R"({"code":"E2","message":"no stages","startLine":0,"startColumn":9}]})";

const Exchange listPipelines{"GET", "/api/pipeline/list/simple", 200, pipelines};
const Exchange listProjects{"GET", "/api/project", 200, projects};
const Exchange readEditor{"GET", "/api/pipeline/pl-1/editor", 200, editor};
const Exchange deleteBuild{"DELETE", "/api/pipeline/pl-1", 204, ""};

const std::string diagnosticsTable =
    tableText({{"CODE", "LOCATION", "MESSAGE"}, {"E1", "2:5", "unknown key"}, {"E2", "-", "no stages"}});

Exchange validate(const std::string& source, const std::string& reply) {
    return {"POST", "/api/pipeline/validate-source", 200, reply, R"({"source":")" + source + R"("})"};
}

Exchange updateSource(int status, const std::string& reply) {
    return {"POST", "/api/pipeline/pl-1/usercommand", status, reply,
            R"([{"source":"stages: [build]\n","userCommandType":"UPDATE_ICE_SOURCE"}])", {{"If-Match", "41"}}};
}

std::string updated(const std::string& status, const std::string& diagnostics = "[]") {
    return R"({"success":true,"snapshot":{"revision":42,"source":{"validSource":"x","status":")" + status +
           R"("},"diagnostics":)" + diagnostics + "}}";
}

Exchange editorWith(const std::string& source) {
    return {"GET", "/api/pipeline/pl-1/editor", 200,
            R"({"revision":41,"source":{"validSource":")" + source + R"(","status":"VALID"}})"};
}

std::vector<std::string> with(std::vector<std::string> argv, const std::vector<std::string>& more) {
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
}

const std::vector<std::string> updateBuild{"pipeline", "update", "Build", "--file", "-"};
const std::vector<std::string> exportToFile{"pipeline", "export", "Build", "--file", "{home}/out.yaml"};
const std::vector<std::string> deleteBuildCommand{"pipeline", "delete", "Build"};
const std::string deletePrompt = "Delete pipeline 'Build'? [y/N] ";
const std::string cannotRead = "quil: cannot read command input\n";
const std::string runningE9 = R"({"id":"e-9","pipelineId":"pl-1","pipelineName":"Build","status":"RUNNING"})";
const std::string successE9 =
    R"({"id":"e-9","pipelineId":"pl-1","pipelineName":"Build","executionNumber":5,"status":"SUCCESS","startedAt":"9:00"})";

const std::vector<CommandCase> pipelineCases{
    // Listing, showing and creating.
    {"ListTable", {"pipeline", "list"}, "", {listPipelines},
     {0,
      tableText({{"ID", "NAME", "PROJECT", "LAST STATUS"},
                 {"pl-1", "Build", "p-1", "SUCCESS"},
                 {"pl-2", "Ship", "p-2", "-"},
                 {"pl-3", "Twin", "p-1", "-"},
                 {"pl-4", "Twin", "p-2", "-"}}),
      ""}},
    {"ListJsonIsThePlatformsText", {"pipeline", "list", "--output", "json"}, "", {listPipelines},
     {0, pipelines + "\n", ""}},
    {"ListOfAProjectJsonIsRebuilt", {"pipeline", "list", "--project", "Demo", "--output", "json"}, "",
     {listPipelines, listProjects},
     {0,
      R"([{"continueOnError":false,"id":"pl-1","lastStatus":"SUCCESS","name":"Build","projectId":"p-1",)"
      R"("projectName":"Demo","secretGroupId":null,"variableGroupId":null},)"
      R"({"continueOnError":false,"id":"pl-3","lastStatus":"","name":"Twin","projectId":"p-1",)"
      R"("projectName":"","secretGroupId":null,"variableGroupId":null}])"
      "\n",
      ""}},
    {"ListOfAProjectWithoutPipelines", {"pipeline", "list", "--project", "Empty"}, "", {listPipelines, listProjects},
     {0, "ID  NAME  PROJECT  LAST STATUS  \n", ""}},
    {"ListOfAProjectWithoutPipelinesJson", {"pipeline", "list", "--project", "p-9", "--output", "json"}, "",
     {listPipelines, listProjects}, {0, "[]\n", ""}},
    {"ShowByName", {"pipeline", "show", "Ship"}, "", {listPipelines, {"GET", "/api/pipeline/pl-2", 200, ship}},
     {0,
      tableText({{"ID", "NAME", "PROJECT", "VARIABLE GROUP", "SECRET GROUP", "CONTINUE", "LAST STATUS"},
                 {"pl-2", "Ship", "Site", "vg-1", "sg-1", "yes", "-"}}),
      ""}},
    {"ShowAmbiguous", {"pipeline", "show", "Twin"}, "", {listPipelines},
     {2, "", "quil: pipeline name is ambiguous; use its ID: Twin\n"}},
    {"ShowNotFound", {"pipeline", "show", "build"}, "", {listPipelines}, {2, "", "quil: pipeline not found: build\n"}},
    {"Create", {"pipeline", "create", "Build", "--project", "Demo", "--quiet"}, "",
     {listProjects, {"POST", "/api/pipeline", 201, R"({"id":"pl-1","name":"Build"})",
                     R"({"name":"Build","projectId":"p-1"})"}},
     {0, "pl-1\n", ""}},
    {"CreateInAnUnknownProject", {"pipeline", "create", "Build", "--project", "Nope"}, "", {listProjects},
     {2, "", "quil: project not found: Nope\n"}},
    // The source: validation, update against the revision read, export.
    {"ValidateAFile", {"pipeline", "validate", "--file", "{home}/ci.yaml"}, "",
     {validate("stages: []\\n", R"({"valid":true,"diagnostics":[]})")}, {0, "Pipeline source is valid\n", ""}, "ws-1",
     {{"ci.yaml", "stages: []\n"}}},
    {"ValidateStandardInput", {"pipeline", "validate", "--file", "-"}, "bad", {validate("bad", invalidReply)},
     {1, diagnosticsTable, ""}},
    {"ValidateInvalidQuietStillShowsTheTable", {"pipeline", "validate", "--file", "-", "--quiet"}, "bad",
     {validate("bad", invalidReply)}, {1, diagnosticsTable, ""}},
    {"ValidateInvalidJson", {"pipeline", "validate", "--file", "-", "--output", "json"}, "bad",
     {validate("bad", invalidReply)}, {1, invalidReply + "\n", ""}},
    {"ValidateAMissingFile", {"pipeline", "validate", "--file", "{home}/nope.yaml"}, "", {},
     {1, "", "quil: cannot open file: {home}/nope.yaml\n"}},
    {"UpdateSendsTheRevisionJustRead", updateBuild, "stages: [build]\n",
     {listPipelines, readEditor, updateSource(200, updated("VALID"))},
     {0, "Updated pipeline Build to revision 42\n", ""}},
    {"UpdateJsonPrintsTheAnswer", with(updateBuild, {"--output", "json"}), "stages: [build]\n",
     {listPipelines, readEditor, updateSource(200, updated("VALID"))}, {0, updated("VALID") + "\n", ""}},
    {"UpdateToAnInvalidSnapshot", updateBuild, "stages: [build]\n",
     {listPipelines, readEditor,
      updateSource(200, updated("valid", R"([{"code":"E7","message":"cycle","startLine":4,"startColumn":1}])"))},
     {1, tableText({{"CODE", "LOCATION", "MESSAGE"}, {"E7", "4:1", "cycle"}}), ""}},
    {"UpdateToAnInvalidSnapshotJson", with(updateBuild, {"--output", "json"}), "stages: [build]\n",
     {listPipelines, readEditor,
      updateSource(200, updated("INVALID", R"([{"code":"E7","message":"cycle","startLine":4,"startColumn":1}])"))},
     {1, R"({"diagnostics":[{"code":"E7","message":"cycle","startColumn":1,"startLine":4}],"valid":false})" "\n", ""}},
    {"UpdateAfterSomeoneElseSaved", updateBuild, "stages: [build]\n",
     {listPipelines, readEditor, updateSource(412, R"({"message":"revision is stale"})")},
     {6, "", "quil: revision is stale\n"}},
    {"UpdateFromAMissingFileSendsNothing", {"pipeline", "update", "Build", "--file", "{home}/nope.yaml"}, "",
     {listPipelines}, {1, "", "quil: cannot open file: {home}/nope.yaml\n"}},
    // Standard input that cannot be read is no empty source.
    {"UpdateFromClosedInputSendsNothing", updateBuild, "", {listPipelines}, {1, "", cannotRead}, "ws-1", {}, {},
     "<&-"},
    {"UpdateFromWriteOnlyInputSendsNothing", updateBuild, "", {listPipelines}, {1, "", cannotRead}, "ws-1", {}, {},
     "0>/dev/null"},
    {"ValidateADirectorySendsNothing", {"pipeline", "validate", "--file", "-"}, "", {}, {1, "", cannotRead}, "ws-1",
     {}, {}, "</"},
    // A producer left standard input non-blocking: its data is waited for.
    {"UpdateFromInputThatComesLate", updateBuild, "stages: [build]\n",
     {listPipelines, readEditor, updateSource(200, updated("VALID"))},
     {0, "Updated pipeline Build to revision 42\n", ""}, "ws-1", {}, {}, "", std::nullopt, true},
    {"ExportAddsTheMissingNewline", {"pipeline", "export", "Build"}, "", {listPipelines, readEditor},
     {0, "stages: []\n", ""}},
    {"ExportQuietStillPrintsTheSource", {"pipeline", "export", "pl-1", "--quiet"}, "",
     {listPipelines, editorWith("a\\nb\\n")}, {0, "a\nb\n", ""}},
    {"ExportOfAnEmptySource", {"pipeline", "export", "Build"}, "", {listPipelines, editorWith("")}, {0, "\n", ""}},
    {"ExportJson", {"pipeline", "export", "Build", "--output", "json"}, "", {listPipelines, readEditor},
     {0, R"({"pipelineId":"pl-1","revision":41,"source":"stages: []"})" "\n", ""}},
    {"ExportReplacesTheFile", exportToFile, "", {listPipelines, readEditor},
     {0, "Exported pipeline Build to {home}/out.yaml\n", ""}, "ws-1",
     {{"out.yaml", "an older and longer pipeline source\n"}}, {{"out.yaml", "stages: []"}}},
    {"ExportToAFileJson", with(exportToFile, {"--output", "json"}), "", {listPipelines, readEditor},
     {0, R"({"exported":true,"file":"{home}/out.yaml","pipelineId":"pl-1"})" "\n", ""}, "ws-1", {},
     {{"out.yaml", "stages: []"}}},
    {"ExportToAnUnwritablePath", {"pipeline", "export", "Build", "--file", "{home}/no/out.yaml"}, "",
     {listPipelines, readEditor}, {1, "", "quil: cannot write file: {home}/no/out.yaml\n"}},
    // Runs, configuration, deletion and groups.
    {"RunStarts", {"pipeline", "run", "Build"}, "",
     {listPipelines, {"POST", "/api/pipeline/pl-1/executions", 201, runningE9, ""}},
     {0, tableText({{"ID", "PIPELINE", "NUMBER", "STATUS", "STARTED"}, {"e-9", "Build", "-", "RUNNING", "-"}}), ""}},
    {"RunFollowEndsOnATerminalStatus", {"pipeline", "run", "Build", "--follow"}, "",
     {listPipelines, {"POST", "/api/pipeline/pl-1/executions", 201, runningE9},
      {"GET", "/api/executions/e-9", 200, successE9}},
     {0,
      "Run e-9: SUCCESS\n" +
          tableText({{"ID", "PIPELINE", "NUMBER", "STATUS", "STARTED"}, {"e-9", "Build", "5", "SUCCESS", "9:00"}}),
      ""}},
    // Each status reaches a pipe as it is seen, not when the run has ended.
    {"RunFollowShowsEachStatusAsItComes", {"pipeline", "run", "Build", "--follow"}, "",
     {listPipelines, {"POST", "/api/pipeline/pl-1/executions", 201, runningE9},
      {"GET", "/api/executions/e-9", 200, runningE9}, {"GET", "/api/executions/e-9", 200, successE9}},
     {0, "Run e-9: RUNNING\nRun e-9: SUCCESS\n" + tableText({{"ID", "PIPELINE", "NUMBER", "STATUS", "STARTED"},
                                                              {"e-9", "Build", "5", "SUCCESS", "9:00"}}),
      ""},
     "ws-1", {}, {}, "", {{3, "Run e-9: RUNNING\n"}}},
    {"RunFollowJsonPrintsTheLastAnswer", {"pipeline", "run", "Build", "--follow", "--output", "json"}, "",
     {listPipelines, {"POST", "/api/pipeline/pl-1/executions", 201, runningE9},
      {"GET", "/api/executions/e-9", 200, successE9}},
     {0, successE9 + "\n", ""}},
    {"ConfigureBoth", {"pipeline", "configure", "Build", "--runner", "large", "--continue-on-error", "true"}, "",
     {listPipelines,
      {"PUT", "/api/pipeline/pl-1/continue-on-error", 204, "", R"({"continueOnError":true})"},
      {"PUT", "/api/v1/pipelines/pl-1/runner", 204, "", R"({"runnerProfileCode":"large"})"}},
     {0, "Configured pipeline Build: continue on error = true; runner = large\n", ""}},
    {"ConfigureJson", {"pipeline", "configure", "Build", "--continue-on-error", "false", "--output", "json"}, "",
     {listPipelines, {"PUT", "/api/pipeline/pl-1/continue-on-error", 204, "", R"({"continueOnError":false})"}},
     {0, R"({"continueOnError":false,"pipelineId":"pl-1"})" "\n", ""}},
    {"ConfigureRunnerOnly", {"pipeline", "configure", "Build", "--runner", "small"}, "",
     {listPipelines, {"PUT", "/api/v1/pipelines/pl-1/runner", 204, "", R"({"runnerProfileCode":"small"})"}},
     {0, "Configured pipeline Build: runner = small\n", ""}},
    {"ConfigureRefusesAnotherSpelling", {"pipeline", "configure", "Build", "--continue-on-error", "TRUE"}, "",
     {listPipelines}, {2, "", "quil: --continue-on-error must be true or false\n"}},
    {"DeleteWithYes", with(deleteBuildCommand, {"--yes"}), "", {listPipelines, deleteBuild},
     {0, "Deleted pipeline Build\n", ""}},
    {"DeleteAccepted", deleteBuildCommand, "yes\n", {listPipelines, deleteBuild},
     {0, "Deleted pipeline Build\n", deletePrompt}},
    {"DeleteRefused", deleteBuildCommand, "\n", {listPipelines}, {0, "Pipeline deletion cancelled\n", deletePrompt}},
    {"DeleteAtEndOfInput", deleteBuildCommand, "", {listPipelines},
     {1, "", deletePrompt + "quil: cannot read command input\n"}},
    // Started without standard streams: neither the prompt nor the result
    // may land in the platform's connection.
    {"DeleteWithoutStandardStreams", deleteBuildCommand, "", {listPipelines}, {1, "", ""}, "ws-1", {}, {},
     "<&- >&- 2>&-"},
    {"DeleteWithYesWithoutStandardStreams", with(deleteBuildCommand, {"--yes"}), "", {listPipelines, deleteBuild},
     {1, "", ""}, "ws-1", {}, {}, "<&- >&- 2>&-"},
    {"DeleteJsonNeedsYes", with(deleteBuildCommand, {"--output", "json"}), "", {listPipelines},
     {2, "",
      jsonError("INVALID_ARGUMENT", std::nullopt, "--yes is required for destructive commands with --output json")}},
    {"DeleteJsonReceipt", with(deleteBuildCommand, {"--yes", "--output", "json"}), "", {listPipelines, deleteBuild},
     {0, R"({"deleted":true,"id":"pl-1"})" "\n", ""}},
    {"AttachSecretGroup", {"pipeline", "attach-secret-group", "Build", "prod"}, "",
     {listPipelines, {"GET", "/api/secret-groups", 200, R"([{"id":"sg-1","name":"prod"}])"},
      {"PUT", "/api/pipeline/pl-1/secret-group", 204, "", R"({"secretGroupId":"sg-1"})"}},
     {0, "Attached secret group prod to pipeline Build\n", ""}},
    {"AttachAnUnknownSecretGroup", {"pipeline", "attach-secret-group", "Build", "dev"}, "",
     {listPipelines, {"GET", "/api/secret-groups", 200, R"([{"id":"sg-1","name":"prod"}])"}},
     {2, "", "quil: secret group not found: dev\n"}},
    {"DetachSecretGroupJson", {"pipeline", "detach-secret-group", "Build", "--output", "json"}, "",
     {listPipelines, {"PUT", "/api/pipeline/pl-1/secret-group", 204, "", R"({"secretGroupId":null})"}},
     {0, R"({"pipelineId":"pl-1","secretGroupId":null})" "\n", ""}},
    {"AttachVariableGroupJson", {"pipeline", "attach-variable-group", "Build", "vg-2", "--output", "json"}, "",
     {listPipelines, {"GET", "/api/variable-groups", 200, R"([{"id":"vg-2","name":"shared"}])"},
      {"PUT", "/api/pipeline/pl-1/variable-group", 204, "", R"({"variableGroupId":"vg-2"})"}},
     {0, R"({"pipelineId":"pl-1","variableGroupId":"vg-2"})" "\n", ""}},
    {"AttachAnAmbiguousVariableGroup", {"pipeline", "attach-variable-group", "Build", "shared"}, "",
     {listPipelines,
      {"GET", "/api/variable-groups", 200, R"([{"id":"vg-2","name":"shared"},{"id":"shared","name":"other"}])"}},
     {2, "", "quil: variable group name is ambiguous; use its ID: shared\n"}},
    {"DetachVariableGroup", {"pipeline", "detach-variable-group", "Build"}, "",
     {listPipelines, {"PUT", "/api/pipeline/pl-1/variable-group", 204, "", R"({"variableGroupId":null})"}},
     {0, "Detached variable group from pipeline Build\n", ""}},
};

INSTANTIATE_TEST_SUITE_P(Pipeline, CommandCaseTest, testing::ValuesIn(pipelineCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
