#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "application/api_error.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/gateway_test_support.hpp"
#include "support/quil/recording_transport.hpp"

namespace quarlino::quil::infrastructure::http {
namespace {

using application::ApiError;
using application::port::HttpMethod;
using gatewaytest::jsonErrorOf;
using gatewaytest::kEmptyIdentifier;
using gatewaytest::kNotAnArray;
using gatewaytest::messageOf;
using gatewaytest::OperationCase;
using gatewaytest::RefusedCallCase;
using testsupport::quil::RecordingTransport;

// The request of every operation --------------------------------------------------------

class WorkspaceRequests : public gatewaytest::OperationRequestTest {};

TEST_P(WorkspaceRequests, SendMethodPathHeadersAndBody) { runCase(); }

const std::vector<OperationCase> kRequests{
    {"listWorkspaces", [](auto& g) { g.listWorkspaces(); }, {HttpMethod::GET, "/api/workspaces", ""}, "[]"},
    {"createWorkspaceWithoutSlug", [](auto& g) { g.createWorkspace("Main", ""); },
     {HttpMethod::POST, "/api/workspaces", R"({"name":"Main","slug":null})"}, "{}", 201},
    {"createWorkspaceWithSlug", [](auto& g) { g.createWorkspace("Main", "m\xC3\xA9 1"); },
     {HttpMethod::POST, "/api/workspaces", "{\"name\":\"Main\",\"slug\":\"m\xC3\xA9 1\"}"}, "{}", 201},
    {"renameWorkspace", [](auto& g) { g.renameWorkspace("w 1", "New"); },
     {HttpMethod::PATCH, "/api/workspaces/w%201", R"({"name":"New"})"}, "{}"},
    {"renameWorkspaceToEmpty", [](auto& g) { g.renameWorkspace("w1", ""); },
     {HttpMethod::PATCH, "/api/workspaces/w1", R"({"name":""})"}, "{}"},
    {"listOrganizations", [](auto& g) { g.listOrganizations(); }, {HttpMethod::GET, "/api/organizations", ""}, "[]"},
    {"getOrganization", [](auto& g) { g.getOrganization("o/1"); },
     {HttpMethod::GET, "/api/organizations/o%2F1", ""}, "{}"},
    {"createOrganizationWithoutSlug", [](auto& g) { g.createOrganization("Acme", ""); },
     {HttpMethod::POST, "/api/organizations", R"({"name":"Acme","slug":null})"}, "{}", 201},
    {"createOrganizationWithSlug", [](auto& g) { g.createOrganization("Acme", "acme"); },
     {HttpMethod::POST, "/api/organizations", R"({"name":"Acme","slug":"acme"})"}, "{}", 201},
    {"renameOrganization", [](auto& g) { g.renameOrganization("o1", "Acme Ltd"); },
     {HttpMethod::PATCH, "/api/organizations/o1", R"({"name":"Acme Ltd"})"}, "{}"},
    {"listTeams", [](auto& g) { g.listTeams("o1"); }, {HttpMethod::GET, "/api/organizations/o1/teams", ""}, "[]"},
    {"getTeamWithReservedBytes", [](auto& g) { g.getTeam("org 1", "a/b"); },
     {HttpMethod::GET, "/api/organizations/org%201/teams/a%2Fb", ""}, "{}"},
    {"createTeamWithSlug", [](auto& g) { g.createTeam("o1", "Ops", "ops"); },
     {HttpMethod::POST, "/api/organizations/o1/teams", R"({"name":"Ops","slug":"ops"})"}, "{}", 201},
    {"createTeamWithEmptyNameAndSlug", [](auto& g) { g.createTeam("o1", "", ""); },
     {HttpMethod::POST, "/api/organizations/o1/teams", R"({"name":"","slug":null})"}, "{}", 201},
    {"renameTeam", [](auto& g) { g.renameTeam("o1", "t1", "SRE"); },
     {HttpMethod::PUT, "/api/organizations/o1/teams/t1", R"({"name":"SRE"})"}, "{}"},
    {"listTeamMembers", [](auto& g) { g.listTeamMembers("o1", "t1"); },
     {HttpMethod::GET, "/api/organizations/o1/teams/t1/members", ""}, "[]"},
    {"addTeamMember", [](auto& g) { g.addTeamMember("o1", "t1", "ann+ops@example.com"); },
     {HttpMethod::POST, "/api/organizations/o1/teams/t1/members", R"({"email":"ann+ops@example.com"})"}, "{}", 201},
    {"removeTeamMember", [](auto& g) { g.removeTeamMember("o1", "t1", "u+1"); },
     {HttpMethod::DELETE, "/api/organizations/o1/teams/t1/members/u%2B1", ""}, "", 204},
};

INSTANTIATE_TEST_SUITE_P(Operations, WorkspaceRequests, testing::ValuesIn(kRequests), gatewaytest::caseName);

// Identifiers that would change the path -----------------------------------------------

class RefusedIdentifiers : public testing::TestWithParam<RefusedCallCase> {};

TEST_P(RefusedIdentifiers, SendNothing) {
    RecordingTransport transport;
    HttpQuarlinoGateway gateway{transport};
    EXPECT_EQ(messageOf<std::invalid_argument>([&] { GetParam().call(gateway); }), GetParam().message);
    EXPECT_TRUE(transport.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, RefusedIdentifiers,
    testing::Values(
        RefusedCallCase{"renameWorkspace", [](auto& g) { g.renameWorkspace("", "n"); }, kEmptyIdentifier},
        RefusedCallCase{"getOrganization", [](auto& g) { g.getOrganization(""); }, kEmptyIdentifier},
        RefusedCallCase{"renameOrganization", [](auto& g) { g.renameOrganization("", "n"); }, kEmptyIdentifier},
        RefusedCallCase{"listTeams", [](auto& g) { g.listTeams(""); }, kEmptyIdentifier},
        RefusedCallCase{"getTeamEmptyOrganization", [](auto& g) { g.getTeam("", "t"); }, kEmptyIdentifier},
        RefusedCallCase{"getTeamEmptyTeam", [](auto& g) { g.getTeam("o", ""); }, kEmptyIdentifier},
        RefusedCallCase{"createTeam", [](auto& g) { g.createTeam("", "n", "s"); }, kEmptyIdentifier},
        RefusedCallCase{"renameTeam", [](auto& g) { g.renameTeam("o", "", "n"); }, kEmptyIdentifier},
        RefusedCallCase{"listTeamMembers", [](auto& g) { g.listTeamMembers("o", ""); }, kEmptyIdentifier},
        RefusedCallCase{"addTeamMember", [](auto& g) { g.addTeamMember("", "t", "e"); }, kEmptyIdentifier},
        RefusedCallCase{"removeTeamMember", [](auto& g) { g.removeTeamMember("o", "t", ""); }, kEmptyIdentifier},
        RefusedCallCase{"getOrganizationDot", [](auto& g) { g.getOrganization("."); },
                        "Quarlino resource identifier cannot be \".\""},
        RefusedCallCase{"renameWorkspaceDotDot", [](auto& g) { g.renameWorkspace("..", "n"); },
                        "Quarlino resource identifier cannot be \"..\""},
        RefusedCallCase{"removeTeamMemberDotDot", [](auto& g) { g.removeTeamMember("o", "t", ".."); },
                        "Quarlino resource identifier cannot be \"..\""}),
    [](const auto& info) { return info.param.name; });

TEST(WorkspaceBodies, AreBuiltBeforeTheirPaths) {
    RecordingTransport transport;
    HttpQuarlinoGateway gateway{transport};
    EXPECT_EQ(jsonErrorOf([&] { gateway.renameTeam("", "", "\xFF"); }), 316);
    EXPECT_EQ(jsonErrorOf([&] { gateway.createWorkspace("n", "\xFF"); }), 316);
    EXPECT_TRUE(transport.requests().empty());
}

// Results --------------------------------------------------------------------------------

class WorkspaceResults : public testing::Test {
protected:
    RecordingTransport transport;
    HttpQuarlinoGateway gateway{transport};
};

TEST_F(WorkspaceResults, ListWorkspacesMapsEveryElementInOrder) {
    const std::string answer = R"([{"id":"w2","name":"Side","slug":"side","personal":false,"role":"MEMBER"},
        {"id":"w1","name":"Home","slug":"home","personal":true,"role":"OWNER"}])";
    transport.expect(HttpMethod::GET, "/api/workspaces", 200, answer);
    const auto result = gateway.listWorkspaces();
    ASSERT_EQ(result.value.size(), 2U);
    EXPECT_EQ(result.value[0].id, "w2");
    EXPECT_EQ(result.value[0].role, "MEMBER");
    EXPECT_EQ(result.value[1].name, "Home");
    EXPECT_TRUE(result.value[1].personal);
    EXPECT_EQ(result.body, answer);
}

TEST_F(WorkspaceResults, ListsNeedAnArray) {
    transport.expect(HttpMethod::GET, "/api/organizations", 200, R"({"items":[]})")
        .expect(HttpMethod::GET, "/api/organizations/o1/teams", 200, "")
        .expect(HttpMethod::GET, "/api/organizations/o1/teams/t1/members", 200, "null");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { gateway.listOrganizations(); }), kNotAnArray);
    EXPECT_EQ(messageOf<std::runtime_error>([&] { gateway.listTeams("o1"); }), kNotAnArray);
    EXPECT_EQ(messageOf<std::runtime_error>([&] { gateway.listTeamMembers("o1", "t1"); }), kNotAnArray);
}

TEST_F(WorkspaceResults, AnEmptyArrayIsAnEmptyList) {
    transport.expect(HttpMethod::GET, "/api/organizations/o1/teams", 200, "[]");
    const auto result = gateway.listTeams("o1");
    EXPECT_TRUE(result.value.empty());
    EXPECT_EQ(result.body, "[]");
}

TEST_F(WorkspaceResults, AWorkspaceElementThatIsNotAnObjectFailsTheList) {
    transport.expect(HttpMethod::GET, "/api/workspaces", 200, R"([{"id":"w1"},"w2"])");
    EXPECT_EQ(jsonErrorOf([&] { gateway.listWorkspaces(); }), 306);
}

TEST_F(WorkspaceResults, CreateWorkspaceReturnsTheCreatedWorkspace) {
    const std::string answer = R"({"id":"w9","name":"Main","slug":"main","personal":false,"role":"OWNER"})";
    transport.expect(HttpMethod::POST, "/api/workspaces", 201, answer);
    const auto result = gateway.createWorkspace("Main", "");
    EXPECT_EQ(result.value.id, "w9");
    EXPECT_EQ(result.value.slug, "main");
    EXPECT_EQ(result.body, answer);
}

TEST_F(WorkspaceResults, OrganizationsMapEveryField) {
    const std::string answer = R"([{"id":"o1","name":"Acme","slug":"acme","personal":false,"role":"ADMIN",
        "created":"2026-01-01","updated":"2026-02-01"}])";
    transport.expect(HttpMethod::GET, "/api/organizations", 200, answer)
        .expect(HttpMethod::PATCH, "/api/organizations/o1", 200, R"({"id":"o1","name":"Acme Ltd"})");
    const auto list = gateway.listOrganizations();
    ASSERT_EQ(list.value.size(), 1U);
    EXPECT_EQ(list.value[0].role, "ADMIN");
    EXPECT_EQ(list.value[0].created, "2026-01-01");
    EXPECT_EQ(list.value[0].updated, "2026-02-01");
    EXPECT_EQ(gateway.renameOrganization("o1", "Acme Ltd").value.name, "Acme Ltd");
}

TEST_F(WorkspaceResults, GetOrganizationOfAnEmptyAnswerHasDefaults) {
    transport.expect(HttpMethod::GET, "/api/organizations/o1", 200, "");
    const auto result = gateway.getOrganization("o1");
    EXPECT_EQ(result.value.id, "");
    EXPECT_EQ(result.value.name, "");
    EXPECT_FALSE(result.value.personal);
    EXPECT_EQ(result.body, "");
}

TEST_F(WorkspaceResults, TeamsMapTheirMemberCount) {
    transport.expect(HttpMethod::GET, "/api/organizations/o1/teams/t1", 200, R"({"id":"t1","memberCount":3})")
        .expect(HttpMethod::POST, "/api/organizations/o1/teams", 201, R"({"id":"t2","memberCount":null})");
    EXPECT_EQ(gateway.getTeam("o1", "t1").value.memberCount, 3U);
    EXPECT_EQ(jsonErrorOf([&] { gateway.createTeam("o1", "Ops", ""); }), 302);
}

TEST_F(WorkspaceResults, MembersAreListedAndAdded) {
    const std::string listed = R"([{"userId":"u1","name":"Ann","email":"a@x","handle":"ann","joinedAt":"j"}])";
    const std::string added = R"({"userId":"u2","email":"b@x"})";
    transport.expect(HttpMethod::GET, "/api/organizations/o1/teams/t1/members", 200, listed)
        .expect(HttpMethod::POST, "/api/organizations/o1/teams/t1/members", 201, added);
    const auto members = gateway.listTeamMembers("o1", "t1");
    ASSERT_EQ(members.value.size(), 1U);
    EXPECT_EQ(members.value[0].userId, "u1");
    EXPECT_EQ(members.value[0].joinedAt, "j");
    EXPECT_EQ(members.body, listed);
    const auto member = gateway.addTeamMember("o1", "t1", "b@x");
    EXPECT_EQ(member.value.userId, "u2");
    EXPECT_EQ(member.body, added);
}

TEST_F(WorkspaceResults, RemoveTeamMemberIgnoresAnySuccessBody) {
    transport.expect(HttpMethod::DELETE, "/api/organizations/o1/teams/t1/members/u1", 200, "removed, not JSON");
    EXPECT_NO_THROW(gateway.removeTeamMember("o1", "t1", "u1"));
}

TEST_F(WorkspaceResults, FailuresCarryThePlatformsMessage) {
    const std::string answer = R"({"errors":["team name already taken"]})";
    transport.expect(HttpMethod::PUT, "/api/organizations/o1/teams/t1", 409, answer)
        .expect(HttpMethod::DELETE, "/api/organizations/o1/teams/t1/members/u1", 404, "");
    try {
        gateway.renameTeam("o1", "t1", "Ops");
        ADD_FAILURE() << "accepted 409";
    } catch (const ApiError& error) {
        EXPECT_EQ(error.statusCode(), 409);
        EXPECT_STREQ(error.what(), "team name already taken");
        EXPECT_EQ(error.responseBody(), answer);
    }
    EXPECT_EQ(messageOf<ApiError>([&] { gateway.removeTeamMember("o1", "t1", "u1"); }),
              "Quarlino API returned HTTP 404");
}

}  // namespace
}  // namespace quarlino::quil::infrastructure::http
