#include <string>
#include <vector>

#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string catalog =
    R"({"version":3,"resourceTypes":["WORKSPACE","PROJECT"],"permissions":[)"
    R"({"code":"project.read","subjectType":"PROJECT","evaluationType":"SELF","evaluatedOnParent":true},)"
    R"({"code":"role.manage","subjectType":"ORGANIZATION","evaluationType":"SELF","internal":true}]})";

const std::string denial =
    R"({"allowed":false,"permission":"project.write","resourceType":"PROJECT","resourceId":"p1","reason":"no grant"})";
const std::string approval =
    R"({"allowed":true,"permission":"project.read","resourceType":"PROJECT","resourceId":"p1","roleId":"r1",)"
    R"("grantId":"g1","grantedScopeType":"WORKSPACE","grantedScopeId":"ws-1","implicationPath":["project.read"],)"
    R"("reason":"granted"})";
const std::string denialTable =
    columns({15, 12, 9, 6, 7, 15, 13, 10},
            {"PERMISSION", "RESOURCE", "ALLOWED", "ROLE", "GRANT", "GRANTED SCOPE", "IMPLICATION", "REASON"}) +
    columns({15, 12, 9, 6, 7, 15, 13, 10}, {"project.write", "PROJECT:p1", "no", "-", "-", "-", "-", "no grant"});

const std::string capabilities =
    R"({"resourceType":"WORKSPACE","resourceId":"ws-1","allowedPermissions":["project.read"],"decisions":[)"
    R"({"allowed":true,"permission":"project.read","roleId":"r1","grantId":"g1","reason":"granted"}]})";

const std::string decisionTarget = "/api/authorization/decision?permission=project.write&resourceType=PROJECT";

// Access questions carry the active workspace, when there is one.
const testsupport::quil::HeaderPairs inWorkspace{{"quarlino-workspace-id", "ws-1"}};

const std::vector<CommandCase> accessCases{
    {"catalog_prints_version_and_types_before_the_table",
     {"access", "catalog"},
     "",
     {{"GET", "/api/authorization/catalog", 200, catalog, std::nullopt, inWorkspace}},
     {0,
      "Catalog version: 3\nResource types: WORKSPACE,PROJECT\n\n" +
          columns({14, 14, 14, 10, 11}, {"PERMISSION", "SUBJECT", "EVALUATED ON", "INTERNAL", "ON PARENT"}) +
          columns({14, 14, 14, 10, 11}, {"project.read", "PROJECT", "SELF", "no", "yes"}) +
          columns({14, 14, 14, 10, 11}, {"role.manage", "ORGANIZATION", "SELF", "yes", "no"}),
      ""}},
    {"catalog_quiet_lists_codes_only",
     {"access", "catalog", "--quiet"},
     "",
     {{"GET", "/api/authorization/catalog", 200, catalog}},
     {0, "project.read\nrole.manage\n", ""},
     ""},
    {"capabilities_default_to_the_active_workspace",
     {"access", "capabilities"},
     "",
     {{"GET", "/api/authorization/capabilities?resourceType=WORKSPACE&resourceId=ws-1", 200, capabilities}},
     {0,
      "WORKSPACE:ws-1\n" +
          columns({14, 9, 6, 7, 13, 9}, {"PERMISSION", "ALLOWED", "ROLE", "GRANT", "IMPLICATION", "REASON"}) +
          columns({14, 9, 6, 7, 13, 9}, {"project.read", "yes", "r1", "g1", "", "granted"}),
      ""}},
    {"capabilities_of_a_resource_need_no_workspace",
     {"access", "capabilities", "--resource", "project:p:1", "--quiet"},
     "",
     {{"GET", "/api/authorization/capabilities?resourceType=PROJECT&resourceId=p%3A1", 200, capabilities}},
     {0, "project.read\n", ""},
     ""},
    {"capabilities_without_resource_or_workspace",
     {"access", "capabilities"},
     "",
     {},
     {2, "", "quil: no active workspace; run 'quil workspace use <id|slug>' or pass --workspace\n"},
     ""},
    {"decision_allowed_exits_0",
     {"access", "decision", "--permission", "project.read", "--resource", "Project:p1", "--quiet"},
     "",
     {{"GET", "/api/authorization/decision?permission=project.read&resourceType=PROJECT&resourceId=p1", 200,
       approval}},
     {0, "allowed\n", ""}},
    {"decision_denied_prints_the_table_then_exits_4",
     {"access", "decision", "--permission", "project.write", "--resource", "project:p1"},
     "",
     {{"GET", decisionTarget + "&resourceId=p1", 200, denial}},
     {4, denialTable, ""}},
    {"decision_denied_quiet",
     {"access", "decision", "--permission", "project.write", "--resource", "project:p1", "--quiet"},
     "",
     {{"GET", decisionTarget + "&resourceId=p1", 200, denial}},
     {4, "denied\n", ""}},
    {"decision_denied_json",
     {"access", "decision", "--permission", "project.write", "--resource", "project:p1", "--output", "json"},
     "",
     {{"GET", decisionTarget + "&resourceId=p1", 200, denial}},
     {4, denial + "\n", ""}},
    {"decision_type_upper_cased_bytewise",
     {"access", "decision", "--permission", "project.write", "--resource", "pr\xc3\xa9ject:p1", "--quiet"},
     "",
     {{"GET", "/api/authorization/decision?permission=project.write&resourceType=PR%C3%A9JECT&resourceId=p1", 200,
       denial}},
     {4, "denied\n", ""}},
    {"decision_resource_without_type",
     {"access", "decision", "--permission", "p", "--resource", ":p1"},
     "",
     {},
     {2, "", "quil: --resource must use TYPE:ID\n"}},
    {"decision_resource_without_id",
     {"access", "decision", "--permission", "p", "--resource", "PROJECT:"},
     "",
     {},
     {2, "", "quil: --resource must use TYPE:ID\n"}},
    {"decision_resource_without_colon",
     {"access", "decision", "--permission", "p", "--resource", "PROJECT"},
     "",
     {},
     {2, "", "quil: --resource must use TYPE:ID\n"}},
    {"decision_forbidden_by_the_platform",
     {"access", "decision", "--permission", "project.write", "--resource", "project:p1"},
     "",
     {{"GET", decisionTarget + "&resourceId=p1", 403, R"({"message":"no access"})"}},
     {4, "", "quil: no access\n"}},
};

INSTANTIATE_TEST_SUITE_P(Access, CommandCaseTest, testing::ValuesIn(accessCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
