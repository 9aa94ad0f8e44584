#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

// The list is older than the target read next: revision 6 there, 7 here.
const std::string targets =
    R"([{"id":"t-1","agentId":"ag-1","name":"web","referenceName":"web-prod","targetKind":"MACHINE",)"
    R"("updateStrategy":"DOCKER_COMPOSE","configuration":{"port":22,"host":"10.0.0.5"},"revision":6,"enabled":true},)"
    R"({"id":"t-2","name":"web-prod","referenceName":"edge","targetKind":"CONTAINER",)"
    R"("updateStrategy":"DOCKER_CONTAINER","configuration":{},"revision":1,"enabled":false}])";
const Exchange listTargets{"GET", "/api/deployment-targets", 200, targets};
const std::string web =
    R"({"id":"t-1","agentId":"ag-1","name":"web","referenceName":"web-prod","targetKind":"MACHINE",)"
    R"("updateStrategy":"DOCKER_COMPOSE","configuration":{"port":22,"host":"10.0.0.5"},"revision":7,"enabled":true})";
const std::string edge =
    R"({"id":"t-2","name":"web-prod","referenceName":"edge","targetKind":"CONTAINER",)"
    R"("updateStrategy":"DOCKER_CONTAINER","configuration":{},"revision":2,"enabled":true})";
const Exchange readWeb{"GET", "/api/deployment-targets/t-1", 200, web};
const std::vector<std::string> targetHeader{"ID",       "NAME",  "REFERENCE", "KIND",
                                            "STRATEGY", "AGENT", "REVISION",  "ENABLED"};
const std::string webTable =
    tableText({targetHeader, {"t-1", "web", "web-prod", "MACHINE", "DOCKER_COMPOSE", "ag-1", "7", "yes"}}) +
    "\nConfiguration: {\"host\":\"10.0.0.5\",\"port\":22}\n";
const std::string webConfig = R"("configuration":{"host":"10.0.0.5","port":22})";

Exchange create(const std::string& body) { return {"POST", "/api/deployment-targets", 201, web, body}; }
Exchange update(const std::string& body, int status = 200) {
    return {"PUT", "/api/deployment-targets/t-1", status, status == 200 ? web : R"({"message":"revision is stale"})",
            body};
}
std::vector<std::string> createArgs(std::vector<std::string> extra) {
    std::vector<std::string> argv{"target", "create", "web", "--reference", "web-prod", "--kind", "machine",
                                  "--strategy", "docker-compose"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
}

const std::vector<CommandCase> targetCases{
    {"ListTable", {"target", "list"}, "", {listTargets},
     {0,
      tableText({{"ID", "NAME", "REFERENCE", "KIND", "STRATEGY", "AGENT", "ENABLED"},
                 {"t-1", "web", "web-prod", "MACHINE", "DOCKER_COMPOSE", "ag-1", "yes"},
                 {"t-2", "web-prod", "edge", "CONTAINER", "DOCKER_CONTAINER", "-", "no"}}),
      ""}},
    {"ShowByName", {"target", "show", "web"}, "", {listTargets, readWeb}, {0, webTable, ""}},
    {"ShowWithoutAgent", {"target", "show", "edge"}, "",
     {listTargets, {"GET", "/api/deployment-targets/t-2", 200, edge}},
     {0,
      tableText({targetHeader, {"t-2", "web-prod", "edge", "CONTAINER", "DOCKER_CONTAINER", "-", "2", "yes"}}) +
          "\nConfiguration: {}\n",
      ""}},
    {"ShowReferenceAndNameClash", {"target", "show", "web-prod"}, "", {listTargets},
     {2, "", "quil: deployment target name is ambiguous; use its ID: web-prod\n"}},
    {"ShowUnknown", {"target", "show", "Web"}, "", {listTargets}, {2, "", "quil: deployment target not found: Web\n"}},
    {"ShowWithoutWorkspace", {"target", "show", "web"}, "", {},
     {2, "", "quil: no active workspace; run 'quil workspace use <id|slug>' or pass --workspace\n"}, ""},
    {"CreateFromStdin", createArgs({"--config", "-", "--quiet"}), R"({"z":1,"a":{"b":null}})",
     {create(R"({"agentId":null,"configuration":{"a":{"b":null},"z":1},"name":"web","referenceName":"web-prod",)"
             R"("targetKind":"MACHINE","updateStrategy":"DOCKER_COMPOSE"})")},
     {0, "t-1\n", ""}},
    {"CreateFromAFileWithAgent", createArgs({"--config", "{home}/target.json", "--agent", "ag-1"}), "",
     {create(R"({"agentId":"ag-1",)" + webConfig +
             R"(,"name":"web","referenceName":"web-prod","targetKind":"MACHINE","updateStrategy":"DOCKER_COMPOSE"})")},
     {0, webTable, ""}, "ws-1", {{"target.json", "{\"port\": 22, \"host\": \"10.0.0.5\"}\n"}}},
    {"CreateRefusesAnArray", createArgs({"--config", "-"}), "[1,2]", {},
     {2, "", "quil: deployment target configuration must be a JSON object\n"}},
    {"CreateRefusesAConfigurationNestedTooDeep", createArgs({"--config", "{home}/deep.json"}), "", {},
     {2, "",
      "quil: cannot parse deployment target configuration: [json.exception.parse_error.101] parse error: "
      "JSON nested deeper than 512 levels\n"},
     "ws-1", {{"deep.json", "{\"a\":" + std::string(75'000, '[') + std::string(75'000, ']') + "}"}}},
    {"CreateRefusesANumberOutOfRange", createArgs({"--config", "-"}), R"({"image":"x","n":1e400})", {},
     {2, "",
      "quil: cannot parse deployment target configuration: [json.exception.out_of_range.406] number overflow "
      "parsing '1e400'\n"}},
    {"CreateWithoutTheFile", createArgs({"--config", "{home}/missing.json"}), "", {},
     {1, "", "quil: cannot open file: {home}/missing.json\n"}},
    {"CreateRefusesAnUnknownKind",
     {"target", "create", "web", "--reference", "r", "--kind", "vm", "--strategy", "docker-swarm", "--config", "-"},
     "{}", {}, {2, "", "quil: --kind has an invalid value: vm\n"}},
    {"CreateRefusesANonAsciiKindAsTyped",
     {"target", "create", "web", "--reference", "r", "--kind", "m\xc3\xa1quina", "--strategy", "docker-swarm",
      "--config", "-"},
     "{}", {}, {2, "", "quil: --kind has an invalid value: m\xc3\xa1quina\n"}},
    {"CreateRefusesAnUnknownStrategy",
     {"target", "create", "web", "--reference", "r", "--kind", "swarm", "--strategy", "helm", "--config", "-"}, "{}",
     {}, {2, "", "quil: --strategy has an invalid value: helm\n"}},
    {"UpdateNameKeepsTheRestAndSendsTheReadRevision", {"target", "update", "web", "--name", "web2", "--quiet"}, "",
     {listTargets, readWeb,
      update(R"({"agentId":"ag-1",)" + webConfig +
             R"(,"name":"web2","referenceName":"web-prod","revision":7,"targetKind":"MACHINE",)"
             R"("updateStrategy":"DOCKER_COMPOSE"})")},
     {0, "t-1\n", ""}},
    {"UpdateClearsTheAgentAndChangesTheKind", {"target", "update", "t-1", "--clear-agent", "--kind", "container"}, "",
     {listTargets, readWeb,
      update(R"({"agentId":null,)" + webConfig +
             R"(,"name":"web","referenceName":"web-prod","revision":7,"targetKind":"CONTAINER",)"
             R"("updateStrategy":"DOCKER_COMPOSE"})")},
     {0, webTable, ""}},
    {"UpdateConfigurationFromStdin",
     {"target", "update", "web", "--config", "-", "--strategy", "docker-swarm", "--reference", "w", "--output", "json"},
     R"({"replicas":3})",
     {listTargets, readWeb,
      update(R"({"agentId":"ag-1","configuration":{"replicas":3},"name":"web","referenceName":"w","revision":7,)"
             R"("targetKind":"MACHINE","updateStrategy":"DOCKER_SWARM"})")},
     {0, web + "\n", ""}},
    {"UpdateOnAStaleRevision", {"target", "update", "web", "--agent", "ag-2"}, "",
     {listTargets, readWeb,
      update(R"({"agentId":"ag-2",)" + webConfig +
                 R"(,"name":"web","referenceName":"web-prod","revision":7,"targetKind":"MACHINE",)"
                 R"("updateStrategy":"DOCKER_COMPOSE"})",
             409)},
     {6, "", "quil: revision is stale\n"}},
    {"UpdateWithoutChanges", {"target", "update", "web"}, "", {listTargets, readWeb},
     {2, "", "quil: target update requires at least one changed field\n"}},
    {"UpdateWithAgentAndClearAgent", {"target", "update", "web", "--agent", "ag-2", "--clear-agent"}, "",
     {listTargets, readWeb}, {2, "", "quil: --agent and --clear-agent cannot be used together\n"}},
    {"DisableMessage", {"target", "disable", "web"}, "",
     {listTargets, {"DELETE", "/api/deployment-targets/t-1", 204, ""}},
     {0, "Disabled deployment target web\n", ""}},
    {"DisableQuietPrintsNothing", {"target", "disable", "web", "--quiet"}, "",
     {listTargets, {"DELETE", "/api/deployment-targets/t-1", 204, ""}}, {0, "", ""}},
    {"DisableJsonReceipt", {"target", "disable", "t-2", "--output", "json", "--quiet"}, "",
     {listTargets, {"DELETE", "/api/deployment-targets/t-2", 200, edge}},
     {0, R"({"enabled":false,"id":"t-2"})" "\n", ""}},
    {"Enable", {"target", "enable", "edge", "--quiet"}, "",
     {listTargets, {"POST", "/api/deployment-targets/t-2/enable", 200, edge, ""}}, {0, "t-2\n", ""}},
};

INSTANTIATE_TEST_SUITE_P(Target, CommandCaseTest, testing::ValuesIn(targetCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
