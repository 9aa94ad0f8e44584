#include "e2e/quil_harness.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string organizationList =
    R"([{"id":"org-1","name":"Acme Rockets","slug":"acme","personal":false,"role":"ADMIN","createdAt":"2026-01-02"},)"
    R"({"id":"org-dana","name":"Dana","slug":"dana","personal":true,"role":"OWNER"}])";
const std::string acme = R"({"id":"org-1","name":"Acme Rockets","slug":"acme","personal":false,"role":"ADMIN"})";

// Both organization tables have a PERSONAL column.
std::string acmeTable(const std::string& name = "Acme Rockets") {
    const std::vector<std::size_t> widths{7, std::max<std::size_t>(4, name.size()) + 2, 6, 7, 10};
    return columns(widths, {"ID", "NAME", "SLUG", "ROLE", "PERSONAL"}) +
           columns(widths, {"org-1", name, "acme", "ADMIN", "no"});
}

class OrganizationCommand : public QuilEndToEnd {
protected:
    OrganizationCommand() { signIn("tok-1", "ws-1"); }

    // The group works above any workspace: token always, workspace never.
    void expectNoWorkspaceHeader() const {
        for (const auto& request : platform.requests()) {
            expectIdentity(request, "tok-1", std::nullopt);
        }
    }
};

TEST_F(OrganizationCommand, ListShowsEveryOrganization) {
    platform.expect("GET", "/api/organizations").respond(200, organizationList).times(3);
    const std::vector<std::size_t> widths{10, 14, 6, 7, 10};

    expectOutcome(quil({"organization", "list"}), {0,
                                                   columns(widths, {"ID", "NAME", "SLUG", "ROLE", "PERSONAL"}) +
                                                       columns(widths, {"org-1", "Acme Rockets", "acme", "ADMIN", "no"}) +
                                                       columns(widths, {"org-dana", "Dana", "dana", "OWNER", "yes"}),
                                                   ""});
    expectOutcome(quil({"organization", "list", "--quiet"}), {0, "org-1\norg-dana\n", ""});
    expectOutcome(quil({"organization", "list", "--output", "json"}), {0, organizationList + "\n", ""});

    for (const auto& request : platform.requests()) {
        EXPECT_EQ(request.line(), "GET /api/organizations");
        EXPECT_EQ(request.body, "");
    }
    expectNoWorkspaceHeader();
}

TEST_F(OrganizationCommand, ShowResolvesBySlugThenFetches) {
    platform.expect("GET", "/api/organizations").respond(200, organizationList).times(2);
    platform.expect("GET", "/api/organizations/org-1").respond(200, acme).times(2);

    expectOutcome(quil({"organization", "show", "acme"}), {0, acmeTable(), ""});
    expectOutcome(quil({"organization", "show", "Acme Rockets", "--output", "json"}), {0, acme + "\n", ""});

    expectNoWorkspaceHeader();
}

TEST_F(OrganizationCommand, IdentifiersAreEncodedAsOnePathSegment) {
    platform.expect("GET", "/api/organizations").respond(200, R"([{"id":"org/1 é","name":"Odd","slug":"odd"}])");
    platform.expect("GET", "/api/organizations/org%2F1%20%C3%A9").respond(200, R"({"id":"org/1 é"})");

    expectOutcome(quil({"organization", "show", "odd", "--quiet"}), {0, "org/1 é\n", ""});
}

TEST_F(OrganizationCommand, SelectorsMatchExactly) {
    const std::string clash = R"([{"id":"acme","name":"Acme","slug":"a1"},{"id":"org-2","name":"acme","slug":"a2"}])";
    platform.expect("GET", "/api/organizations").respond(200, clash).times(3);

    expectOutcome(quil({"organization", "show", "acme"}),
                  {2, "", "quil: organization name is ambiguous; use its ID: acme\n"});
    expectOutcome(quil({"organization", "show", "ACME"}), {2, "", "quil: organization not found: ACME\n"});
    expectOutcome(quil({"organization", "rename", "nope", "New"}), {2, "", "quil: organization not found: nope\n"});
}

TEST_F(OrganizationCommand, CreateSendsTheSlugOrNull) {
    platform.expect("POST", "/api/organizations").respond(201, acme).times(2);

    expectOutcome(quil({"organization", "create", "Acme Rockets", "--slug", "acme"}), {0, acmeTable(), ""});
    expectOutcome(quil({"organization", "create", "Acme Rockets", "--quiet"}), {0, "org-1\n", ""});

    const auto requests = platform.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0].body, R"({"name":"Acme Rockets","slug":"acme"})");
    EXPECT_EQ(requests[1].body, R"({"name":"Acme Rockets","slug":null})");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    expectNoWorkspaceHeader();
}

TEST_F(OrganizationCommand, RenamePatchesTheResolvedOrganization) {
    const std::string renamed = R"({"id":"org-1","name":"Acme Launch","slug":"acme","personal":false,"role":"ADMIN"})";
    platform.expect("GET", "/api/organizations").respond(200, organizationList);
    platform.expect("PATCH", "/api/organizations/org-1").respond(200, renamed);

    expectOutcome(quil({"organization", "rename", "acme", "Acme Launch"}), {0, acmeTable("Acme Launch"), ""});

    const auto requests = platform.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[1].body, R"({"name":"Acme Launch"})");
    expectNoWorkspaceHeader();
}

TEST_F(OrganizationCommand, NotFoundOnTheSecondRequest) {
    platform.expect("GET", "/api/organizations").respond(200, organizationList);
    platform.expect("GET", "/api/organizations/org-dana").respond(404, R"({"message":"organization is gone"})");

    expectOutcome(quil({"organization", "show", "org-dana"}), {5, "", "quil: organization is gone\n"});
}

TEST_F(OrganizationCommand, ForbiddenRename) {
    platform.expect("GET", "/api/organizations").respond(200, organizationList);
    platform.expect("PATCH", "/api/organizations/org-1").respond(403, R"({"error":"admins only"})");

    expectOutcome(quil({"organization", "rename", "org-1", "X", "--output", "json"}),
                  {4, "", jsonError("FORBIDDEN", 403, "admins only")});
}

TEST_F(OrganizationCommand, WithoutATokenNothingIsSent) {
    writeConfig("credentials.json", "{}\n");

    expectOutcome(quil({"organization", "list"}), {2, "", "quil: not authenticated; run 'quil auth login'\n"});
}

}  // namespace
}  // namespace quarlino::quil::e2e
