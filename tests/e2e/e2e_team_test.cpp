#include "e2e/command_cases.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string organizations = R"([{"id":"org-1","name":"Acme Rockets","slug":"acme"}])";
// "ops" is one team's name and another's slug.
const std::string teams =
    R"([{"id":"t-1","name":"Core","slug":"core","memberCount":2},)"
    R"({"id":"t-2","name":"ops","slug":"operations","memberCount":0},)"
    R"({"id":"t-3","name":"Ops Crew","slug":"ops","memberCount":1}])";
const std::string core = R"({"id":"t-1","name":"Core","slug":"core","memberCount":2})";
// "bob" is one member's name and another's handle.
const std::string members =
    R"([{"userId":"u-1","name":"Ada","email":"ada@example.com","handle":"ada","joinedAt":"2026-01-02T03:04:05Z"},)"
    R"({"userId":"u-2","name":"bob","email":"bob@example.com","handle":"bobby","joinedAt":""},)"
    R"({"userId":"u-3","name":"Bobby B","email":"bb@example.com","handle":"bob","joinedAt":""}])";
const std::string ada =
    R"({"userId":"u-1","name":"Ada","email":"ada@example.com","handle":"ada","joinedAt":"2026-01-02T03:04:05Z"})";

const Exchange listOrganizations{"GET", "/api/organizations", 200, organizations};
const Exchange listTeams{"GET", "/api/organizations/org-1/teams", 200, teams};
const Exchange listMembers{"GET", "/api/organizations/org-1/teams/t-1/members", 200, members};
const Exchange removeAda{"DELETE", "/api/organizations/org-1/teams/t-1/members/u-1", 204, ""};

std::string coreTable(const std::string& name = "Core") {
    const std::vector<std::size_t> widths{5, std::max<std::size_t>(4, name.size()) + 2, 6, 9};
    return columns(widths, {"ID", "NAME", "SLUG", "MEMBERS"}) + columns(widths, {"t-1", name, "core", "2"});
}

std::string teamsTable() {
    const std::vector<std::size_t> widths{5, 10, 12, 9};
    return columns(widths, {"ID", "NAME", "SLUG", "MEMBERS"}) + columns(widths, {"t-1", "Core", "core", "2"}) +
           columns(widths, {"t-2", "ops", "operations", "0"}) + columns(widths, {"t-3", "Ops Crew", "ops", "1"});
}

std::string adaRow(const std::vector<std::size_t>& widths) {
    return columns(widths, {"u-1", "Ada", "ada@example.com", "ada", "2026-01-02T03:04:05Z"});
}

std::string membersTable() {
    const std::vector<std::size_t> widths{9, 9, 17, 8, 22};
    return columns(widths, {"USER ID", "NAME", "EMAIL", "HANDLE", "JOINED"}) + adaRow(widths) +
           columns(widths, {"u-2", "bob", "bob@example.com", "bobby", ""}) +
           columns(widths, {"u-3", "Bobby B", "bb@example.com", "bob", ""});
}

std::string adaTable() {
    const std::vector<std::size_t> widths{9, 6, 17, 8, 22};
    return columns(widths, {"USER ID", "NAME", "EMAIL", "HANDLE", "JOINED"}) + adaRow(widths);
}

const std::string removePrompt = "Remove 'ada@example.com' from team 'Core'? [y/N] ";
const std::vector<std::string> removeAdaCommand{"team", "member", "remove", "core", "ada", "--organization", "acme"};

std::vector<std::string> with(std::vector<std::string> argv, const std::vector<std::string>& more) {
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
}

const std::vector<CommandCase> teamCases{
    {"ListTable", {"team", "list", "--organization", "acme"}, "", {listOrganizations, listTeams},
     {0, teamsTable(), ""}},
    {"ListQuiet", {"team", "list", "--organization", "org-1", "--quiet"}, "", {listOrganizations, listTeams},
     {0, "t-1\nt-2\nt-3\n", ""}},
    {"ListJson", {"team", "list", "--organization", "Acme Rockets", "--output", "json"}, "",
     {listOrganizations, listTeams}, {0, teams + "\n", ""}},
    {"UnknownOrganization", {"team", "list", "--organization", "ACME"}, "", {listOrganizations},
     {2, "", "quil: organization not found: ACME\n"}},
    {"ShowBySlug", {"team", "show", "core", "--organization", "acme"}, "",
     {listOrganizations, listTeams, {"GET", "/api/organizations/org-1/teams/t-1", 200, core}},
     {0, coreTable(), ""}},
    {"ShowAmbiguous", {"team", "show", "ops", "--organization", "acme"}, "", {listOrganizations, listTeams},
     {2, "", "quil: team name is ambiguous; use its ID: ops\n"}},
    {"ShowMatchesCaseExactly", {"team", "show", "CORE", "--organization", "acme"}, "",
     {listOrganizations, listTeams}, {2, "", "quil: team not found: CORE\n"}},
    {"ShowGone", {"team", "show", "t-1", "--organization", "acme"}, "",
     {listOrganizations, listTeams, {"GET", "/api/organizations/org-1/teams/t-1", 404, R"({"message":"no team"})"}},
     {5, "", "quil: no team\n"}},
    {"CreateWithSlug", {"team", "create", "Core", "--organization", "acme", "--slug", "core"}, "",
     {listOrganizations,
      {"POST", "/api/organizations/org-1/teams", 201, core, R"({"name":"Core","slug":"core"})"}},
     {0, coreTable(), ""}},
    {"CreateWithoutSlugSendsNull", {"team", "create", "Core", "--organization", "acme", "--output", "json"}, "",
     {listOrganizations, {"POST", "/api/organizations/org-1/teams", 201, core, R"({"name":"Core","slug":null})"}},
     {0, core + "\n", ""}},
    {"Rename", {"team", "rename", "Core", "Core Team", "--organization", "acme"}, "",
     {listOrganizations, listTeams,
      {"PUT", "/api/organizations/org-1/teams/t-1", 200,
       R"({"id":"t-1","name":"Core Team","slug":"core","memberCount":2})", R"({"name":"Core Team"})"}},
     {0, coreTable("Core Team"), ""}},
    {"MemberList", {"team", "member", "list", "core", "--organization", "acme"}, "",
     {listOrganizations, listTeams, listMembers}, {0, membersTable(), ""}},
    {"MemberListQuiet", {"team", "member", "list", "t-1", "--organization", "acme", "--quiet"}, "",
     {listOrganizations, listTeams, listMembers}, {0, "u-1\nu-2\nu-3\n", ""}},
    {"MemberAdd", {"team", "member", "add", "core", "--organization", "acme", "--email", "ada@example.com"}, "",
     {listOrganizations, listTeams,
      {"POST", "/api/organizations/org-1/teams/t-1/members", 201, ada, R"({"email":"ada@example.com"})"}},
     {0, adaTable(), ""}},
    {"MemberRemoveWithYes", with(removeAdaCommand, {"--yes"}), "",
     {listOrganizations, listTeams, listMembers, removeAda}, {0, "Removed ada@example.com from team Core\n", ""}},
    {"MemberRemoveAccepted", removeAdaCommand, "y\n", {listOrganizations, listTeams, listMembers, removeAda},
     {0, "Removed ada@example.com from team Core\n", removePrompt}},
    {"MemberRemoveRefused", removeAdaCommand, "yes please\n", {listOrganizations, listTeams, listMembers},
     {0, "Team-member removal cancelled\n", removePrompt}},
    {"MemberRemoveRefusedQuietly", with(removeAdaCommand, {"--quiet"}), "n\n",
     {listOrganizations, listTeams, listMembers}, {0, "", removePrompt}},
    {"MemberRemoveAtEndOfInput", removeAdaCommand, "", {listOrganizations, listTeams, listMembers},
     {1, "", removePrompt + "quil: cannot read command input\n"}},
    {"MemberRemoveJsonNeedsYes", with(removeAdaCommand, {"--output", "json"}), "",
     {listOrganizations, listTeams, listMembers},
     {2, "", jsonError("INVALID_ARGUMENT", std::nullopt,
                       "--yes is required for destructive commands with --output json")}},
    {"MemberRemoveJsonReceipt", with(removeAdaCommand, {"--yes", "--output", "json"}), "",
     {listOrganizations, listTeams, listMembers, removeAda},
     {0, R"({"memberId":"u-1","removed":true,"teamId":"t-1"})" "\n", ""}},
    {"MemberAmbiguous", {"team", "member", "remove", "core", "bob", "--organization", "acme", "--yes"}, "",
     {listOrganizations, listTeams, listMembers}, {2, "", "quil: team member name is ambiguous; use its ID: bob\n"}},
    {"MemberNotFound", {"team", "member", "remove", "core", "Ada Lovelace", "--organization", "acme"}, "",
     {listOrganizations, listTeams, listMembers}, {2, "", "quil: team member not found: Ada Lovelace\n"}},
};

INSTANTIATE_TEST_SUITE_P(Team, CommandCaseTest, testing::ValuesIn(teamCases), commandCaseName);

class TeamCommand : public QuilEndToEnd {};

// Teams belong to organizations: the stored workspace is never sent.
TEST_F(TeamCommand, SendsNoWorkspaceHeader) {
    signIn("tok-1", "ws-1");
    platform.expect("GET", "/api/organizations").respond(200, organizations);
    platform.expect("GET", "/api/organizations/org-1/teams").respond(200, teams);

    expectOutcome(quil({"team", "list", "--organization", "acme", "--quiet"}), {0, "t-1\nt-2\nt-3\n", ""});
    for (const auto& request : platform.requests()) {
        expectIdentity(request, "tok-1", std::nullopt);
    }
}

}  // namespace
}  // namespace quarlino::quil::e2e
