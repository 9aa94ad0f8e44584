#include <string>
#include <vector>

#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

// ESC, CR, BEL, DEL, a C1 control and a right-to-left override in a name of
// the platform: its JSON escapes the C0 controls and carries the rest raw.
const std::string hostileJson = R"(x\r\u001b[2K\u0007)" "\x7F\xC2\x9B\xE2\x80\xAE" "y";
const std::string hostile = "x\r\x1B[2K\x07\x7F\xC2\x9B\xE2\x80\xAE" "y";
// What human output shows of it.
const std::string shown = "x^M^[[2K^G^?\\u009b\\u202ey";

Exchange get(std::string target, std::string reply) { return {"GET", std::move(target), 200, std::move(reply)}; }

const Exchange pipelineList = get("/api/pipeline/list/simple", R"([{"id":"pl-1","name":"Build","projectId":"p-1"},)"
                                                              R"({"id":"pl-2","name":")" + hostileJson + R"("}])");
const std::string agentsReply = R"([{"id":"ag-1","name":")" + hostileJson + R"(","status":"ONLINE"}])";
const Exchange agentList = get("/api/deployment-agents", agentsReply);
const Exchange organizationList = get("/api/organizations", R"([{"id":"org-1","name":"Acme","slug":"acme"}])");
const std::string rolesPath = "/api/organizations/org-1/authorization/roles";
const Exchange roleList = get(rolesPath, R"([{"id":"r2","name":")" + hostileJson + R"("}])");
const Exchange projectList = get("/api/project", R"([{"id":"p-1","name":"shop"}])");
const std::string tokensPath = "/api/v1/projects/p-1/registry/tokens";
const Exchange tokenCreated{"POST", tokensPath, 201,
                            R"({"id":"tk-9","name":"ci","prefix":"qrt_zz","permissions":["PULL"],"secret":"qrt_)" +
                                hostileJson + R"("})"};
const std::string target = R"({"id":"t-1","name":"web","referenceName":"web","targetKind":"MACHINE",)"
                           R"("updateStrategy":"DOCKER_COMPOSE","configuration":{"k":")" + hostileJson +
                           R"("},"revision":7,"enabled":true})";
const Exchange editor = get("/api/pipeline/pl-1/editor",
                           R"({"revision":41,"source":{"validSource":")" + hostileJson + R"(","status":"VALID"}})");

// Human output shows the controls of platform text as stand-ins, whichever
// line carries it; machine output and file content keep its bytes.
const std::vector<CommandCase> platformTextCases{
    {"PipelineDeletePrompt", {"pipeline", "delete", "pl-2"}, "\n", {pipelineList},
     {0, "Pipeline deletion cancelled\n", "Delete pipeline '" + shown + "'? [y/N] "}},
    {"AgentDeletePrompt", {"agent", "delete", "ag-1"}, "\n", {agentList},
     {0, "Deployment-agent revocation cancelled\n", "Revoke deployment agent '" + shown + "'? [y/N] "}},
    {"RoleDeletePrompt", {"role", "delete", "r2", "--organization", "acme"}, "\n", {organizationList, roleList},
     {0, "Role archival cancelled\n", "Archive role '" + shown + "' (r2)? [y/N] "}},
    {"RegistryTokenRevokePrompt", {"registry", "token", "revoke", "shop", "tk-1"}, "\n",
     {projectList, get(tokensPath, R"([{"id":"tk-1","name":")" + hostileJson + R"(","permissions":[]}])")},
     {0, "Registry token revocation cancelled\n", "Revoke Registry token '" + shown + "'? [y/N] "}},
    // A description may run over several lines; its line feeds stay.
    {"RoleDescriptionLine", {"role", "show", "r2", "--organization", "acme"}, "",
     {organizationList, roleList,
      get(rolesPath + "/r2", R"({"id":"r2","name":"Ops","kind":"CUSTOM","version":3,"description":")" + hostileJson +
                                 R"(\nnext"})")},
     {0, tableText({{"ID", "NAME", "KIND", "VERSION", "PERMISSIONS", "SCOPES", "ARCHIVED"},
                    {"r2", "Ops", "CUSTOM", "3", "", "", "no"}}) + "\n" + shown + "\nnext\n", ""}},
    // Typed in a web form: a CR LF pair ends a line as a line feed does; a
    // lone CR, which could rewrite the line, does not. Roles and actions alike.
    {"RoleDescriptionCrLf", {"role", "show", "r2", "--organization", "acme"}, "",
     {organizationList, roleList,
      get(rolesPath + "/r2", R"({"id":"r2","name":"Ops","kind":"CUSTOM","version":3,)"
                             R"("description":"line1\r\nline2\r\n\tindented\rx"})")},
     {0, tableText({{"ID", "NAME", "KIND", "VERSION", "PERMISSIONS", "SCOPES", "ARCHIVED"},
                    {"r2", "Ops", "CUSTOM", "3", "", "", "no"}}) + "\nline1\r\nline2\r\n\tindented^Mx\n", ""}},
    {"ActionDescriptionCrLf", {"action", "show", "deploy"}, "",
     {get("/api/actions", R"([{"code":"deploy","displayName":"Deploy","category":"ops","formId":"f-d",)"
                          R"("description":"line1\r\nline2\r\n\tindented\rx","outputs":[]}])")},
     {0, tableText({{"CODE", "NAME", "CATEGORY", "FORM"}, {"deploy", "Deploy", "ops", "f-d"}}) +
             "\nline1\r\nline2\r\n\tindented^Mx\n", ""}},
    {"CatalogResourceTypesLine", {"access", "catalog"}, "",
     {get("/api/authorization/catalog", R"({"version":3,"resourceTypes":["WORKSPACE",")" + hostileJson + R"("]})")},
     {0, "Catalog version: 3\nResource types: WORKSPACE," + shown + "\n\n" +
             tableText({{"PERMISSION", "SUBJECT", "EVALUATED ON", "INTERNAL", "ON PARENT"}}), ""}},
    {"CapabilitiesHeading", {"access", "capabilities"}, "",
     {get("/api/authorization/capabilities?resourceType=WORKSPACE&resourceId=ws-1",
          R"({"resourceType":"WORKSPACE","resourceId":")" + hostileJson + R"("})")},
     {0, "WORKSPACE:" + shown + "\n" + tableText({{"PERMISSION", "ALLOWED", "ROLE", "GRANT", "IMPLICATION", "REASON"}}),
      ""}},
    {"GrantEffectiveHeading",
     {"grant", "effective", "--principal", "user:u1", "--resource", "project:p1", "--organization", "acme"}, "",
     {organizationList,
      get("/api/organizations/org-1/authorization/grants/effective?principalType=USER&principalId=u1&"
          "resourceType=PROJECT&resourceId=p1",
          R"({"principalType":"USER","principalId":")" + hostileJson +
              R"(","resourceType":"PROJECT","resourceId":"p1"})")},
     {0, "USER:" + shown + " on PROJECT:p1\n" +
             tableText({{"PERMISSION", "ROLE", "GRANT", "GRANTED SCOPE", "IMPLICATION"}}), ""}},
    {"RegistryTokenLine", {"registry", "token", "create", "shop", "ci", "--permissions", "PULL"}, "",
     {projectList, tokenCreated},
     {0, tableText({{"ID", "NAME", "PREFIX", "PERMISSIONS", "EXPIRES", "REVOKED"},
                    {"tk-9", "ci", "qrt_zz", "PULL", "-", "-"}}) + "\nToken (shown once): qrt_" + shown + "\n", ""}},
    // The stored configuration is compact JSON, whose own escapes stay.
    {"TargetConfigurationLine", {"target", "show", "t-1"}, "",
     {get("/api/deployment-targets", "[" + target + "]"), get("/api/deployment-targets/t-1", target)},
     {0, tableText({{"ID", "NAME", "REFERENCE", "KIND", "STRATEGY", "AGENT", "REVISION", "ENABLED"},
                    {"t-1", "web", "web", "MACHINE", "DOCKER_COMPOSE", "-", "7", "yes"}}) +
             "\nConfiguration: {\"k\":\"x\\r\\u001b[2K\\u0007^?\\u009b\\u202ey\"}\n", ""}},
    // Columns are as wide as the stand-ins printed.
    {"TableCell", {"agent", "list"}, "", {agentList},
     {0, tableText({{"ID", "NAME", "STATUS", "LAST SEEN", "CERTIFICATE EXPIRES"}, {"ag-1", shown, "ONLINE", "-", "-"}}),
      ""}},
    {"ErrorLine", {"agent", "list"}, "",
     {{"GET", "/api/deployment-agents", 500, R"({"message":")" + hostileJson + R"("})"}},
     {1, "", "quil: " + shown + "\n"}},
    {"JsonOutputKeepsTheBody", {"agent", "list", "--output", "json"}, "", {agentList}, {0, agentsReply + "\n", ""}},
    {"QuietKeepsTheToken", {"registry", "token", "create", "shop", "ci", "--permissions", "PULL", "--quiet"}, "",
     {projectList, tokenCreated}, {0, "qrt_" + hostile + "\n", ""}},
    {"RunLogsKeepTheirBytes", {"run", "logs", "e-1"}, "",
     {get("/api/executions", R"([{"id":"e-1","pipelineId":"pl-1","status":"RUNNING"}])"),
      get("/api/executions/e-1/logs",
          R"([{"timestamp":"10:00:01","actionName":")" + hostileJson + R"(","message":")" + hostileJson + R"("}])")},
     {0, "10:00:01 [" + hostile + "] " + hostile + "\n", ""}},
    {"PipelineExportKeepsTheSource", {"pipeline", "export", "pl-1"}, "", {pipelineList, editor},
     {0, hostile + "\n", ""}},
    {"PipelineExportFileKeepsTheSource", {"pipeline", "export", "pl-1", "--file", "{home}/out.yaml"}, "",
     {pipelineList, editor}, {0, "Exported pipeline Build to {home}/out.yaml\n", ""}, "ws-1", {},
     {{"out.yaml", hostile}}},
};

INSTANTIATE_TEST_SUITE_P(PlatformText, CommandCaseTest, testing::ValuesIn(platformTextCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
