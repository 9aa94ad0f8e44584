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

// Roles and grants live in an organization, settled first from --organization.
const std::string organizations =
    R"([{"id":"org-1","name":"Acme Rockets","slug":"acme"},{"id":"org-2","name":"Beta","slug":"beta"}])";
const Exchange organizationList{"GET", "/api/organizations", 200, organizations};
const Exchange catalogRead{"GET", "/api/authorization/catalog", 200, catalog};
const std::string rolesPath = "/api/organizations/org-1/authorization/roles";

const std::string roles =
    R"([{"id":"r1","systemCode":"ADMIN","name":"Admin","kind":"SYSTEM","version":4,"permissions":["project.read"],)"
    R"("assignableScopeTypes":["WORKSPACE"]},)"
    R"({"id":"r2","name":"Ops","kind":"CUSTOM","version":2,"permissions":["project.read","role.manage"],)"
    R"("assignableScopeTypes":["PROJECT"],"description":"Runs things"}])";
const Exchange roleList{"GET", rolesPath, 200, roles};
const std::string ops = R"({"id":"r2","name":"Ops","kind":"CUSTOM","version":3,"permissions":["project.read"],)"
                        R"("assignableScopeTypes":["PROJECT"],"description":"Runs things"})";
const std::string opsTable = tableText({{"ID", "NAME", "KIND", "VERSION", "PERMISSIONS", "SCOPES", "ARCHIVED"},
                                        {"r2", "Ops", "CUSTOM", "3", "project.read", "PROJECT", "no"}}) +
                             "\nRuns things\n";

const std::string roleFile =
    R"({"name":"ignored","permissions":["project.read","project.read"],"assignableScopeTypes":["workspace","WORKSPACE"]})";
const std::string roleBody = R"({"assignableScopeTypes":["WORKSPACE","WORKSPACE"],"description":"",)"
                             R"("expectedVersion":null,"name":"Deployers","permissions":["project.read"]})";

std::vector<std::string> role(std::vector<std::string> words) {
    words.insert(words.begin(), "role");
    words.insert(words.end(), {"--organization", "acme"});
    return words;
}

// A role definition on standard input that is refused before anything is
// written; the catalog is read only for the checks that need it.
CommandCase refusedRole(std::string name, std::string file, const std::string& message, bool needsCatalog = false) {
    std::vector<Exchange> exchanges{organizationList};
    if (needsCatalog) {
        exchanges.push_back(catalogRead);
    }
    return {std::move(name), role({"create", "Deployers", "--file", "-"}), std::move(file), std::move(exchanges),
            {2, "", "quil: " + message + "\n"}};
}

const std::string scopes = R"("assignableScopeTypes":["PROJECT"])";
const std::string readOnly = R"("permissions":["project.read"])";

const std::vector<CommandCase> roleCases{
    {"list_in_the_organization_named_by_slug",
     role({"list"}),
     "",
     {organizationList, roleList},
     {0,
      tableText({{"ID", "NAME", "KIND", "VERSION", "PERMISSIONS", "SCOPES"},
                 {"r1", "Admin", "SYSTEM", "4", "project.read", "WORKSPACE"},
                 {"r2", "Ops", "CUSTOM", "2", "project.read,role.manage", "PROJECT"}}),
      ""}},
    {"show_by_name_prints_the_description",
     {"role", "show", "Ops", "--organization", "Acme Rockets"},
     "",
     {organizationList, roleList, {"GET", rolesPath + "/r2", 200, ops}},
     {0, opsTable, ""}},
    {"show_by_system_code",
     role({"show", "ADMIN", "--quiet"}),
     "",
     {organizationList, roleList, {"GET", rolesPath + "/r1", 200, R"({"id":"r1"})"}},
     {0, "r1\n", ""}},
    {"organization_not_found",
     {"role", "list", "--organization", "nope"},
     "",
     {organizationList},
     {2, "", "quil: organization not found: nope\n"}},
    {"organization_ambiguous_by_slug_and_name",
     {"role", "list", "--organization", "beta"},
     "",
     {{"GET", "/api/organizations", 200, R"([{"id":"beta","name":"B","slug":"b"},{"id":"o2","name":"beta","slug":"x"}])"}},
     {2, "", "quil: organization selector is ambiguous; use its ID\n"}},
    {"role_not_found",
     role({"show", "admin"}),
     "",
     {organizationList, roleList},
     {2, "", "quil: authorization role not found: admin\n"}},
    {"role_ambiguous_by_system_code_and_name",
     role({"delete", "OPS", "--yes"}),
     "",
     {organizationList,
      {"GET", rolesPath, 200, R"([{"id":"r1","systemCode":"OPS","name":"a"},{"id":"r2","name":"OPS"}])"}},
     {2, "", "quil: role selector is ambiguous; use its ID\n"}},
    {"preview_reads_standard_input",
     role({"preview", "--file", "-"}),
     roleFile,
     {organizationList, catalogRead,
      {"POST", rolesPath + "/preview", 200,
       R"({"explicitPermissions":["project.read"],"derivedPermissions":[],"assignableScopeTypes":["WORKSPACE"]})",
       R"({"assignableScopeTypes":["WORKSPACE","WORKSPACE"],"description":"","expectedVersion":null,)"
       R"("name":"ignored","permissions":["project.read"]})"}},
     {0,
      tableText({{"EXPLICIT PERMISSIONS", "DERIVED PERMISSIONS", "ASSIGNABLE SCOPES"},
                 {"project.read", "", "WORKSPACE"}}),
      ""}},
    {"create_takes_its_name_from_the_operand",
     role({"create", "Deployers", "--file", "{home}/role.json", "--quiet"}),
     "",
     {organizationList, catalogRead, {"POST", rolesPath + "/preview", 200, "{}", roleBody},
      {"POST", rolesPath, 201, R"({"id":"r3"})", roleBody}},
     {0, "r3\n", ""},
     "ws-1",
     {{"role.json", roleFile}}},
    {"create_stops_when_the_preview_is_refused",
     role({"create", "Deployers", "--file", "-"}),
     roleFile,
     {organizationList, catalogRead, {"POST", rolesPath + "/preview", 422, R"({"message":"too broad"})"}},
     {1, "", "quil: too broad\n"}},
    {"create_from_a_missing_file",
     role({"create", "Deployers", "--file", "{home}/missing.json"}),
     "",
     {organizationList},
     {1, "", "quil: cannot open file: {home}/missing.json\n"}},
    refusedRole("definition_not_json", "{", "cannot parse authorization definition: [json.exception.parse_error.101] "
                "parse error at line 1, column 2: syntax error while parsing object key - unexpected end of input; "
                "expected string literal"),
    refusedRole("definition_not_an_object", "[]", "authorization definition must be a JSON object"),
    refusedRole("name_not_a_string", R"({"name":5})", "name must be a string"),
    refusedRole("permissions_missing", "{" + scopes + "}", "permissions must be a non-empty string array"),
    refusedRole("permissions_empty", R"({"permissions":[]})", "permissions must be a non-empty string array"),
    refusedRole("permissions_not_a_list", R"({"permissions":"project.read"})",
                "permissions must be a non-empty string array"),
    refusedRole("scope_list_with_an_empty_string", "{" + readOnly + R"(,"assignableScopeTypes":["PROJECT",""]})",
                "assignableScopeTypes must contain non-empty strings"),
    refusedRole("expected_version_with_a_fraction", "{" + readOnly + "," + scopes + R"(,"expectedVersion":1.5})",
                "expectedVersion must be an integer"),
    refusedRole("expected_version_quoted", "{" + readOnly + "," + scopes + R"(,"expectedVersion":"3"})",
                "expectedVersion must be an integer"),
    refusedRole("expected_version_beyond_32_bits",
                "{" + readOnly + "," + scopes + R"(,"expectedVersion":4294967299})",
                "expectedVersion must be a 32-bit integer"),
    refusedRole("scope_type_checked_before_permissions",
                R"({"permissions":["nope"],"assignableScopeTypes":["team"]})",
                "unknown authorization resource type: TEAM", true),
    refusedRole("permission_compared_exactly", R"({"permissions":["Project.Read"],)" + scopes + "}",
                "unknown authorization permission: Project.Read", true),
    {"update_defaults_name_and_version_from_the_role",
     role({"update", "Ops", "--file", "-", "--quiet"}),
     "{" + readOnly + "," + scopes + "}",
     {organizationList, roleList, catalogRead, {"POST", rolesPath + "/preview", 200, "{}"},
      {"PUT", rolesPath + "/r2", 200, ops,
       R"({"assignableScopeTypes":["PROJECT"],"description":"","expectedVersion":2,"name":"Ops",)"
       R"("permissions":["project.read"]})"}},
     {0, "r2\n", ""}},
    {"update_null_version_takes_the_role_version",
     role({"update", "r2", "--file", "-", "--quiet"}),
     R"({"name":"Operators","description":"d",)" + readOnly + "," + scopes + R"(,"expectedVersion":null})",
     {organizationList, roleList, catalogRead, {"POST", rolesPath + "/preview", 200, "{}"},
      {"PUT", rolesPath + "/r2", 409, R"({"message":"version conflict"})",
       R"({"assignableScopeTypes":["PROJECT"],"description":"d","expectedVersion":2,"name":"Operators",)"
       R"("permissions":["project.read"]})"}},
     {6, "", "quil: version conflict\n"}},
    {"update_with_an_explicit_version",
     role({"update", "r2", "--file", "-", "--quiet"}),
     "{" + readOnly + "," + scopes + R"(,"expectedVersion":7})",
     {organizationList, roleList, catalogRead, {"POST", rolesPath + "/preview", 200, "{}"},
      {"PUT", rolesPath + "/r2", 200, ops,
       R"({"assignableScopeTypes":["PROJECT"],"description":"","expectedVersion":7,"name":"Ops",)"
       R"("permissions":["project.read"]})"}},
     {0, "r2\n", ""}},
    {"duplicate_with_a_description",
     role({"duplicate", "Ops", "Ops copy", "--description", "Second shift", "--quiet"}),
     "",
     {organizationList, roleList,
      {"POST", rolesPath + "/r2/duplicate", 201, R"({"id":"r9"})",
       R"({"description":"Second shift","name":"Ops copy"})"}},
     {0, "r9\n", ""}},
    {"duplicate_without_a_description",
     role({"duplicate", "r1", "Admins", "--quiet"}),
     "",
     {organizationList, roleList,
      {"POST", rolesPath + "/r1/duplicate", 201, R"({"id":"r8"})", R"({"description":"","name":"Admins"})"}},
     {0, "r8\n", ""}},
    {"delete_confirmed",
     role({"delete", "Ops"}),
     "y\n",
     {organizationList, roleList, {"DELETE", rolesPath + "/r2", 204, ""}},
     {0, "Archived role Ops\n", "Archive role 'Ops' (r2)? [y/N] "}},
    {"delete_refused",
     role({"delete", "Ops"}),
     "yes please\n",
     {organizationList, roleList},
     {0, "Role archival cancelled\n", "Archive role 'Ops' (r2)? [y/N] "}},
    {"delete_at_end_of_input",
     role({"delete", "Ops"}),
     "",
     {organizationList, roleList},
     {1, "", "Archive role 'Ops' (r2)? [y/N] quil: cannot read command input\n"}},
    {"delete_json_receipt",
     role({"delete", "Ops", "--yes", "--output", "json"}),
     "",
     {organizationList, roleList, {"DELETE", rolesPath + "/r2", 204, ""}},
     {0, R"({"archived":true,"id":"r2"})" "\n", ""}},
    {"delete_json_needs_yes",
     role({"delete", "Ops", "--output", "json"}),
     "",
     {organizationList, roleList},
     {2, "", jsonError("INVALID_ARGUMENT", std::nullopt, "--yes is required for destructive commands with --output json")}},
};

INSTANTIATE_TEST_SUITE_P(Roles, CommandCaseTest, testing::ValuesIn(roleCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
