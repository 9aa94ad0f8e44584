#include <string>
#include <vector>

#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

Exchange get(std::string target, std::string reply) { return {"GET", std::move(target), 200, std::move(reply)}; }
Outcome refused(const std::string& message, int exitCode = 2) { return {exitCode, "", "quil: " + message + "\n"}; }

const std::string catalog =
    R"({"version":3,"resourceTypes":["WORKSPACE","PROJECT"],"permissions":[)"
    R"({"code":"project.read","subjectType":"PROJECT","evaluationType":"SELF","evaluatedOnParent":true},)"
    R"({"code":"role.manage","subjectType":"ORGANIZATION","evaluationType":"SELF","internal":true}]})";
const Exchange catalogRead = get("/api/authorization/catalog", catalog);

const std::string denial =
    R"({"allowed":false,"permission":"project.write","resourceType":"PROJECT","resourceId":"p1","reason":"no grant"})";
const Exchange denialRead =
    get("/api/authorization/decision?permission=project.write&resourceType=PROJECT&resourceId=p1", denial);
const std::string capabilities =
    R"({"resourceType":"WORKSPACE","resourceId":"ws-1","allowedPermissions":["project.read"],"decisions":[)"
    R"({"allowed":true,"permission":"project.read","roleId":"r1","grantId":"g1","reason":"granted"}]})";
const std::vector<std::string> decisionArgs{"access", "decision", "--permission", "project.write", "--resource"};

std::vector<std::string> decision(const std::string& resource, std::vector<std::string> more = {}) {
    std::vector<std::string> words = decisionArgs;
    words.push_back(resource);
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

const std::vector<CommandCase> accessCases{
    {"catalog_prints_version_and_types_first",
     {"access", "catalog"}, "",
     // Access questions carry the active workspace.
     {{"GET", "/api/authorization/catalog", 200, catalog, std::nullopt, {{"quarlino-workspace-id", "ws-1"}}}},
     {0, "Catalog version: 3\nResource types: WORKSPACE,PROJECT\n\n" +
             tableText({{"PERMISSION", "SUBJECT", "EVALUATED ON", "INTERNAL", "ON PARENT"},
                        {"project.read", "PROJECT", "SELF", "no", "yes"},
                        {"role.manage", "ORGANIZATION", "SELF", "yes", "no"}}), ""}},
    {"capabilities_default_to_the_active_workspace", {"access", "capabilities"}, "",
     {get("/api/authorization/capabilities?resourceType=WORKSPACE&resourceId=ws-1", capabilities)},
     {0, "WORKSPACE:ws-1\n" + tableText({{"PERMISSION", "ALLOWED", "ROLE", "GRANT", "IMPLICATION", "REASON"},
                                         {"project.read", "yes", "r1", "g1", "", "granted"}}), ""}},
    {"capabilities_of_a_resource_need_no_workspace",
     {"access", "capabilities", "--resource", "project:p:1", "--quiet"}, "",
     {get("/api/authorization/capabilities?resourceType=PROJECT&resourceId=p%3A1", capabilities)},
     {0, "project.read\n", ""}, ""},
    {"capabilities_without_resource_or_workspace", {"access", "capabilities"}, "", {},
     refused("no active workspace; run 'quil workspace use <id|slug>' or pass --workspace"), ""},
    {"decision_allowed_exits_0",
     {"access", "decision", "--permission", "project.read", "--resource", "Project:p1", "--quiet"}, "",
     {get("/api/authorization/decision?permission=project.read&resourceType=PROJECT&resourceId=p1",
          R"({"allowed":true})")},
     {0, "allowed\n", ""}},
    {"decision_denied_table_exits_4", decision("project:p1"), "", {denialRead},
     {4, tableText({{"PERMISSION", "RESOURCE", "ALLOWED", "ROLE", "GRANT", "GRANTED SCOPE", "IMPLICATION", "REASON"},
                    {"project.write", "PROJECT:p1", "no", "-", "-", "-", "-", "no grant"}}), ""}},
    {"decision_denied_quiet", decision("project:p1", {"--quiet"}), "", {denialRead}, {4, "denied\n", ""}},
    {"decision_denied_json", decision("project:p1", {"--output", "json"}), "", {denialRead}, {4, denial + "\n", ""}},
    // Only ASCII letters are upper-cased; other bytes pass as they are.
    {"decision_type_upper_cased_bytewise", decision("pr\xc3\xa9ject:p1", {"--quiet"}), "",
     {get("/api/authorization/decision?permission=project.write&resourceType=PR%C3%A9JECT&resourceId=p1", denial)},
     {4, "denied\n", ""}},
    {"decision_resource_without_type", decision(":p1"), "", {}, refused("--resource must use TYPE:ID")},
};

INSTANTIATE_TEST_SUITE_P(Access, CommandCaseTest, testing::ValuesIn(accessCases), commandCaseName);

// Roles and grants live in an organization, settled first from --organization.
const Exchange organizationList = get(
    "/api/organizations", R"([{"id":"org-1","name":"Acme Rockets","slug":"acme"},{"id":"o2","name":"B","slug":"b"}])");
const std::string rolesPath = "/api/organizations/org-1/authorization/roles";
const Exchange roleList = get(
    rolesPath, R"([{"id":"r1","systemCode":"ADMIN","name":"Admin","kind":"SYSTEM","version":4,)"
               R"("permissions":["project.read"],"assignableScopeTypes":["WORKSPACE"]},)"
               R"({"id":"r2","name":"Ops","kind":"CUSTOM","version":2,"permissions":["project.read","role.manage"],)"
               R"("assignableScopeTypes":["PROJECT"]}])");
const std::string ops = R"({"id":"r2","name":"Ops","kind":"CUSTOM","version":3,"permissions":["project.read"],)"
                        R"("assignableScopeTypes":["PROJECT"],"description":"Runs things"})";

// Duplicates go before the upper-casing, so both spellings of WORKSPACE stay.
const std::string roleFile = R"({"name":"x","permissions":["project.read","project.read"],)"
                             R"("assignableScopeTypes":["workspace","WORKSPACE"]})";
const std::string roleBody = R"({"assignableScopeTypes":["WORKSPACE","WORKSPACE"],"description":"",)"
                             R"("expectedVersion":null,"name":"Deployers","permissions":["project.read"]})";
const std::string opsFile = R"({"permissions":["project.read"],"assignableScopeTypes":["PROJECT"])";

std::vector<std::string> role(std::vector<std::string> words) {
    words.insert(words.begin(), "role");
    words.insert(words.end(), {"--organization", "acme"});
    return words;
}

Exchange write(std::string method, std::string target, int status, std::string body, std::string reply = "{}") {
    return {std::move(method), std::move(target), status, std::move(reply), std::move(body)};
}

Exchange roleWrite(const std::string& method, const std::string& target, const std::string& name, int version) {
    return write(method, rolesPath + target, 200,
                 R"({"assignableScopeTypes":["PROJECT"],"description":"","expectedVersion":)" +
                     std::to_string(version) + R"(,"name":")" + name + R"(","permissions":["project.read"]})",
                 ops);
}

// A role file on standard input refused before anything is written.
CommandCase refusedRole(std::string name, std::string file, const std::string& message, bool needsCatalog = false) {
    std::vector<Exchange> reads{organizationList};
    if (needsCatalog) {
        reads.push_back(catalogRead);
    }
    return {std::move(name), role({"create", "Deployers", "--file", "-"}), std::move(file), reads, refused(message)};
}

const Exchange previewed{"POST", rolesPath + "/preview", 200, "{}"};
const std::string archivePrompt = "Archive role 'Ops' (r2)? [y/N] ";

const std::vector<CommandCase> roleCases{
    {"list", role({"list"}), "", {organizationList, roleList},
     {0, tableText({{"ID", "NAME", "KIND", "VERSION", "PERMISSIONS", "SCOPES"},
                    {"r1", "Admin", "SYSTEM", "4", "project.read", "WORKSPACE"},
                    {"r2", "Ops", "CUSTOM", "2", "project.read,role.manage", "PROJECT"}}), ""}},
    {"show_by_name_with_organization_by_name", {"role", "show", "Ops", "--organization", "Acme Rockets"}, "",
     {organizationList, roleList, get(rolesPath + "/r2", ops)},
     {0, tableText({{"ID", "NAME", "KIND", "VERSION", "PERMISSIONS", "SCOPES", "ARCHIVED"},
                    {"r2", "Ops", "CUSTOM", "3", "project.read", "PROJECT", "no"}}) + "\nRuns things\n", ""}},
    {"organization_not_found", {"role", "list", "--organization", "nope"}, "", {organizationList},
     refused("organization not found: nope")},
    {"organization_ambiguous", {"role", "list", "--organization", "b"}, "",
     {get("/api/organizations", R"([{"id":"b","name":"B","slug":"x"},{"id":"o2","name":"b","slug":"y"}])")},
     refused("organization selector is ambiguous; use its ID")},
    {"role_not_found", role({"show", "admin"}), "", {organizationList, roleList},
     refused("authorization role not found: admin")},
    {"role_ambiguous", role({"delete", "OPS", "--yes"}), "",
     {organizationList, get(rolesPath, R"([{"id":"r1","systemCode":"OPS"},{"id":"r2","name":"OPS"}])")},
     refused("role selector is ambiguous; use its ID")},
    {"preview_reads_standard_input", role({"preview", "--file", "-"}), roleFile,
     {organizationList, catalogRead,
      write("POST", rolesPath + "/preview", 200, R"({"assignableScopeTypes":["WORKSPACE","WORKSPACE"],)"
            R"("description":"","expectedVersion":null,"name":"x","permissions":["project.read"]})",
            R"({"explicitPermissions":["project.read"],"assignableScopeTypes":["WORKSPACE"]})")},
     {0, tableText({{"EXPLICIT PERMISSIONS", "DERIVED PERMISSIONS", "ASSIGNABLE SCOPES"},
                    {"project.read", "", "WORKSPACE"}}), ""}},
    {"create_named_by_the_operand", role({"create", "Deployers", "--file", "{home}/role.json", "--quiet"}), "",
     {organizationList, catalogRead, write("POST", rolesPath + "/preview", 200, roleBody),
      write("POST", rolesPath, 201, roleBody, R"({"id":"r3"})")},
     {0, "r3\n", ""}, "ws-1", {{"role.json", roleFile}}},
    {"create_stops_when_the_preview_is_refused", role({"create", "Deployers", "--file", "-"}), roleFile,
     {organizationList, catalogRead, {"POST", rolesPath + "/preview", 422, R"({"message":"too broad"})"}},
     refused("too broad", 1)},
    {"create_from_a_missing_file", role({"create", "D", "--file", "{home}/none.json"}), "", {organizationList},
     refused("cannot open file: {home}/none.json", 1)},
    refusedRole("definition_not_an_object", "[]", "authorization definition must be a JSON object"),
    refusedRole("name_not_a_string", R"({"name":5})", "name must be a string"),
    refusedRole("permissions_missing", "{}", "permissions must be a non-empty string array"),
    refusedRole("permissions_empty", R"({"permissions":[]})", "permissions must be a non-empty string array"),
    refusedRole("scopes_with_an_empty_string", R"({"permissions":["a"],"assignableScopeTypes":["PROJECT",""]})",
                "assignableScopeTypes must contain non-empty strings"),
    refusedRole("version_with_a_fraction", opsFile + R"(,"expectedVersion":1.5})",
                "expectedVersion must be an integer"),
    // Wrapped to 32 bits it would be 3: a write checked against another version.
    refusedRole("version_beyond_32_bits", opsFile + R"(,"expectedVersion":4294967299})",
                "expectedVersion must be a 32-bit integer"),
    refusedRole("scope_type_checked_before_permissions", R"({"permissions":["no"],"assignableScopeTypes":["team"]})",
                "unknown authorization resource type: TEAM", true),
    refusedRole("permission_compared_exactly", R"({"permissions":["Project.Read"],"assignableScopeTypes":["PROJECT"]})",
                "unknown authorization permission: Project.Read", true),
    {"update_takes_name_and_version_from_the_role", role({"update", "Ops", "--file", "-", "--quiet"}),
     opsFile + R"(,"expectedVersion":null})",
     {organizationList, roleList, catalogRead, previewed, roleWrite("PUT", "/r2", "Ops", 2)},
     {0, "r2\n", ""}},
    {"update_with_the_version_of_the_file", role({"update", "r2", "--file", "-", "--quiet"}),
     R"({"name":"Opz",)" + opsFile.substr(1) + R"(,"expectedVersion":7})",
     {organizationList, roleList, catalogRead, previewed, roleWrite("PUT", "/r2", "Opz", 7)},
     {0, "r2\n", ""}},
    {"duplicate_with_a_description", role({"duplicate", "Ops", "Ops 2", "--description", "Nights", "--quiet"}), "",
     {organizationList, roleList,
      write("POST", rolesPath + "/r2/duplicate", 201, R"({"description":"Nights","name":"Ops 2"})", R"({"id":"r9"})")},
     {0, "r9\n", ""}},
    {"duplicate_without_a_description", role({"duplicate", "r1", "Admins", "--quiet"}), "",
     {organizationList, roleList,
      write("POST", rolesPath + "/r1/duplicate", 201, R"({"description":"","name":"Admins"})", R"({"id":"r8"})")},
     {0, "r8\n", ""}},
    {"delete_confirmed", role({"delete", "Ops"}), "y\n",
     {organizationList, roleList, {"DELETE", rolesPath + "/r2", 204, ""}},
     {0, "Archived role Ops\n", archivePrompt}},
    {"delete_refused", role({"delete", "Ops"}), "Yes\n", {organizationList, roleList},
     {0, "Role archival cancelled\n", archivePrompt}},
    {"delete_at_end_of_input", role({"delete", "Ops"}), "", {organizationList, roleList},
     {1, "", archivePrompt + "quil: cannot read command input\n"}},
    {"delete_json_receipt", role({"delete", "Ops", "--yes", "--output", "json"}), "",
     {organizationList, roleList, {"DELETE", rolesPath + "/r2", 204, ""}},
     {0, R"({"archived":true,"id":"r2"})" "\n", ""}},
};

INSTANTIATE_TEST_SUITE_P(Roles, CommandCaseTest, testing::ValuesIn(roleCases), commandCaseName);

const std::string grantsPath = "/api/organizations/org-1/authorization/grants";
const Exchange grantList =
    get(grantsPath, R"([{"id":"g1","principalType":"USER","principalId":"u1","roleId":"r2","scopeType":"PROJECT",)"
                    R"("scopeId":"p1","revision":5,"expiresAt":"2027-01-01"},{"id":"g2","principalType":"TEAM",)"
                    R"("principalId":"t1","roleId":"r1","scopeType":"WORKSPACE","scopeId":"ws-1","revision":1}])");
const std::string teamGrant = R"({"id":"g3","principalType":"TEAM","principalId":"t1","roleId":"r2",)"
                              R"("scopeType":"PROJECT","scopeId":"p1","revision":1})";
const std::string grantFile = R"({"principalType":"team","principalId":"t1","roleId":"Ops","scopeType":"project",)"
                              R"("scopeId":"p1"})";
const std::string effectiveTarget =
    grantsPath + "/effective?principalType=USER&principalId=u1&resourceType=PROJECT&resourceId=p1";
const std::string revokePrompt = "Revoke grant g1 for USER:u1 at PROJECT:p1? [y/N] ";

std::vector<std::string> grant(std::vector<std::string> words) {
    words.insert(words.begin(), "grant");
    words.insert(words.end(), {"--organization", "acme"});
    return words;
}

// The grant file with one member added (or, written again, replaced).
std::string grantFileWith(const std::string& member) {
    return grantFile.substr(0, grantFile.size() - 1) + "," + member + "}";
}

std::string grantBody(const std::string& revision, const std::string& expiry = "null") {
    return R"({"expectedRevision":)" + revision + R"(,"expiresAt":)" + expiry +
           R"(,"principalId":"t1","principalType":"TEAM","roleId":"r2","scopeId":"p1","scopeType":"PROJECT"})";
}

// A grant file on standard input refused before anything is written.
CommandCase refusedGrant(std::string name, std::string file, const std::string& message,
                         std::vector<Exchange> reads = {}) {
    reads.insert(reads.begin(), organizationList);
    return {std::move(name), grant({"create", "--file", "-"}), std::move(file), std::move(reads), refused(message)};
}

const std::vector<Exchange> revoked{organizationList, grantList, {"DELETE", grantsPath + "/g1", 204, ""}};

std::vector<Exchange> revokedLeaving(const std::string& permissions) {
    std::vector<Exchange> exchanges = revoked;
    exchanges.push_back(get(effectiveTarget, R"({"permissions":[)" + permissions + "]}"));
    return exchanges;
}

const std::vector<CommandCase> grantCases{
    {"list_without_scope", grant({"list"}), "", {organizationList, grantList},
     {0, tableText({{"ID", "PRINCIPAL", "ROLE", "SCOPE", "REVISION", "EXPIRES"},
                    {"g1", "USER:u1", "r2", "PROJECT:p1", "5", "2027-01-01"},
                    {"g2", "TEAM:t1", "r1", "WORKSPACE:ws-1", "1", "-"}}), ""}},
    {"list_filtered_by_scope", grant({"list", "--scope", "project:P1", "--quiet"}), "",
     {organizationList, get(grantsPath + "?scopeType=PROJECT&scopeId=P1", "[]")}, {0, "", ""}},
    {"list_scope_without_id", grant({"list", "--scope", "project"}), "", {organizationList},
     refused("--scope must use TYPE:ID")},
    {"create_resolves_the_role_and_upper_cases_types", grant({"create", "--file", "-"}), grantFile,
     {organizationList, catalogRead, roleList, write("POST", grantsPath, 201, grantBody("null"), teamGrant)},
     {0, tableText({{"ID", "PRINCIPAL", "ROLE", "SCOPE", "REVISION", "EXPIRES", "REVOKED"},
                    {"g3", "TEAM:t1", "r2", "PROJECT:p1", "1", "-", "-"}}), ""}},
    {"create_with_expiry_and_revision", grant({"create", "--file", "-", "--quiet"}),
     grantFileWith(R"("expiresAt":"2027-06-01","expectedRevision":3)"),
     {organizationList, catalogRead, roleList,
      write("POST", grantsPath, 201, grantBody("3", R"("2027-06-01")"), teamGrant)},
     {0, "g3\n", ""}},
    refusedGrant("principal_id_missing", R"({"principalType":"USER"})", "principalId is required"),
    refusedGrant("expiry_empty", grantFileWith(R"("expiresAt":"")"), "expiresAt is required"),
    refusedGrant("expiry_not_a_string", grantFileWith(R"("expiresAt":20270601)"), "expiresAt must be a string"),
    refusedGrant("revision_negative", grantFileWith(R"("expectedRevision":-1)"),
                 "expectedRevision must be a non-negative integer"),
    refusedGrant("principal_type_group", grantFileWith(R"("principalType":"group")"),
                 "principalType must be USER or TEAM", {catalogRead}),
    refusedGrant("scope_type_unknown", grantFileWith(R"("scopeType":"team")"),
                 "unknown authorization resource type: TEAM", {catalogRead}),
    refusedGrant("role_unknown", grantFileWith(R"("roleId":"ops")"), "authorization role not found: ops",
                 {catalogRead, roleList}),
    refusedGrant("role_ambiguous", grantFile, "role selector is ambiguous; use its ID",
                 {catalogRead, get(rolesPath, R"([{"id":"r2","name":"Ops"},{"id":"r5","name":"Ops"}])")}),
    {"update_defaults_to_the_listed_revision", grant({"update", "g1", "--file", "-", "--quiet"}), grantFile,
     {organizationList, grantList, catalogRead, roleList,
      write("PUT", grantsPath + "/g1", 200, grantBody("5"), teamGrant)},
     {0, "g3\n", ""}},
    {"update_with_the_revision_of_the_file", grant({"update", "g1", "--file", "-"}),
     grantFileWith(R"("expectedRevision":4)"),
     {organizationList, grantList, catalogRead, roleList,
      write("PUT", grantsPath + "/g1", 412, grantBody("4"), R"({"message":"stale revision"})")},
     refused("stale revision", 6)},
    {"update_grant_matched_exactly", grant({"update", "G1", "--file", "-"}), grantFile, {organizationList, grantList},
     refused("authorization grant not found: G1")},
    {"revoke_reports_what_remains", grant({"revoke", "g1", "--yes"}), "",
     revokedLeaving(R"({"permission":"project.read"})"),
     {0, "Revoked grant g1; 1 effective permission(s) remain at this scope\n", ""}},
    {"revoke_json_with_nothing_left", grant({"revoke", "g1", "--yes", "--output", "json"}), "", revokedLeaving(""),
     {0, R"({"id":"g1","remainingEffectivePermissions":[],"revoked":true})" "\n", ""}},
    {"revoke_refused", grant({"revoke", "g1"}), "y \n", {organizationList, grantList},
     {0, "Grant revocation cancelled\n", revokePrompt}},
    {"revoke_json_needs_yes", grant({"revoke", "g1", "--output", "json"}), "", {organizationList, grantList},
     {2, "", jsonError("INVALID_ARGUMENT", std::nullopt,
                       "--yes is required for destructive commands with --output json")}},
    {"effective_permissions", grant({"effective", "--principal", "user:u1", "--resource", "project:p1"}), "",
     {organizationList, get(effectiveTarget, R"({"principalType":"USER","principalId":"u1","resourceType":"PROJECT",)"
                                             R"("resourceId":"p1","permissions":[{"permission":"project.read",)"
                                             R"("roleId":"r2","grantId":"g1"}]})")},
     {0, "USER:u1 on PROJECT:p1\n" + tableText({{"PERMISSION", "ROLE", "GRANT", "GRANTED SCOPE", "IMPLICATION"},
                                                {"project.read", "r2", "g1", ":", ""}}), ""}},
    {"effective_principal_without_type", grant({"effective", "--principal", ":u1", "--resource", "project:p1"}), "",
     {organizationList}, refused("--principal must use TYPE:ID")},
    {"principals_matching_a_query", grant({"principals", "--query", "ad a"}), "",
     {organizationList, get(grantsPath + "/principals?query=ad%20a",
                            R"([{"principalType":"USER","principalId":"u1","name":"Ada","detail":"a@x.io"}])")},
     {0, tableText({{"TYPE", "ID", "NAME", "DETAIL"}, {"USER", "u1", "Ada", "a@x.io"}}), ""}},
    {"principals_without_a_query", grant({"principals", "--quiet"}), "",
     {organizationList, get(grantsPath + "/principals", R"([{"principalId":"t1"}])")}, {0, "t1\n", ""}},
};

INSTANTIATE_TEST_SUITE_P(Grants, CommandCaseTest, testing::ValuesIn(grantCases), commandCaseName);

}  // namespace
}  // namespace quarlino::quil::e2e
