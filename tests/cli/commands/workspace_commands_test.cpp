#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/expect_failure.hpp"
#include "support/quil/application_harness.hpp"

namespace quarlino::quil::cli {
namespace {

using testing::InSequence;
using testing::Return;
using testsupport::quil::ApplicationHarness;

const std::vector<model::Workspace> workspaces{
    {"w-1", "Main", "main", false, "OWNER"},
    {"w-2", "main", "second", false, "MEMBER"},  // named like the first one's slug
    {"w-3", "Personal", "personal", true, "OWNER"},
};
const std::vector<model::Organization> organizations{
    {"o-1", "Acme", "acme", false, "ADMIN", "c", "u"},
    {"o-2", "Beta", "beta", true, "OWNER", "c", "u"},
};

model::ApiResponse<std::vector<model::Workspace>> workspaceList() { return {workspaces, "[\"workspaces\"]"}; }
model::ApiResponse<std::vector<model::Organization>> organizationList() {
    return {organizations, "[\"organizations\"]"};
}

class WorkspaceCommands : public testing::Test {
protected:
    WorkspaceCommands() {
        harness.profileRepository.save({"default", "https://api.example", "w-3"});
        harness.profileRepository.setActive("default");
        harness.credentialStore.saveToken("default", "tok");
    }

    // Fails unless the command throws std::invalid_argument with this message.
    void expectRefused(const std::vector<std::string_view>& words, const std::string& message) {
        expectFailure<std::invalid_argument>([&] { harness.run(words); }, message);
    }

    // Every gateway of these groups is built without a workspace, whatever
    // the profile remembers, but with the token.
    void expectUnscopedGateways() {
        ASSERT_FALSE(harness.gateways.configs().empty());
        for (const auto& config : harness.gateways.configs()) {
            EXPECT_EQ(config.workspaceId(), std::nullopt);
            EXPECT_EQ(config.accessToken(), "tok");
            EXPECT_EQ(config.serverUrl(), "https://api.example");
        }
    }

    ApplicationHarness harness;
};

TEST_F(WorkspaceCommands, ListPrintsTheTableOfAllWorkspacesWithoutAWorkspaceHeader) {
    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));

    const auto outcome = harness.run({"workspace", "list"});

    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out,
              "ID   NAME      SLUG      ROLE    PERSONAL  \n"
              "w-1  Main      main      OWNER   no        \n"
              "w-2  main      second    MEMBER  no        \n"
              "w-3  Personal  personal  OWNER   yes       \n");
    EXPECT_EQ(outcome.err, "");
    expectUnscopedGateways();
}

TEST_F(WorkspaceCommands, ListInJsonPrintsTheResponseBody) {
    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));
    EXPECT_EQ(harness.run({"workspace", "list", "--output", "json", "--quiet"}).out, "[\"workspaces\"]\n");
}

TEST_F(WorkspaceCommands, CreateSendsTheSlugOrAnEmptyOne) {
    struct Case {
        std::vector<std::string_view> words;
        std::string slug;
    };
    for (const Case& entry : {Case{{"workspace", "create", "New one"}, ""},
                              Case{{"workspace", "create", "New one", "--slug", "new"}, "new"}}) {
        EXPECT_CALL(harness.gateways.expectGateway(), createWorkspace("New one", entry.slug))
            .WillOnce(Return(model::ApiResponse<model::Workspace>{{"w-9", "New one", "new", false, "OWNER"}, "{}"}));
        EXPECT_EQ(harness.run(entry.words).out,
                  "ID   NAME     SLUG  ROLE   \n"
                  "w-9  New one  new   OWNER  \n");
    }
    expectUnscopedGateways();
}

TEST_F(WorkspaceCommands, UseStoresTheResolvedIdAndPrintsTheLocalObject) {
    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));

    const auto outcome = harness.run({"workspace", "use", "second", "--output", "json"});

    EXPECT_EQ(outcome.out, R"({"id":"w-2","name":"main","personal":false,"role":"MEMBER","slug":"second"})"
                           "\n");
    EXPECT_EQ(harness.profileRepository.find("default")->workspaceId, "w-2");
    expectUnscopedGateways();
}

TEST_F(WorkspaceCommands, UsePrintsTheWorkspaceTableOrItsIdWhenQuiet) {
    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));
    EXPECT_EQ(harness.run({"workspace", "use", "w-1"}).out,
              "ID   NAME  SLUG  ROLE   \n"
              "w-1  Main  main  OWNER  \n");

    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));
    EXPECT_EQ(harness.run({"workspace", "use", "Personal", "--quiet"}).out, "w-3\n");
}

TEST_F(WorkspaceCommands, UseOfAnAmbiguousOrUnknownSelectorLeavesTheProfileAlone) {
    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));
    expectRefused({"workspace", "use", "main"}, "workspace name is ambiguous; use its ID: main");

    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));
    expectRefused({"workspace", "use", "MAIN"}, "workspace not found: MAIN");

    EXPECT_EQ(harness.profileRepository.find("default")->workspaceId, "w-3");
}

TEST_F(WorkspaceCommands, CurrentResolvesTheStoredWorkspaceWithoutStoringAnything) {
    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));
    const int writes = harness.profileRepository.writes();

    const auto outcome = harness.run({"workspace", "current", "--output", "json"});

    EXPECT_EQ(outcome.out,
              R"({"id":"w-3","name":"Personal","personal":true,"role":"OWNER","slug":"personal"})"
              "\n");
    EXPECT_EQ(harness.profileRepository.writes(), writes);
}

TEST_F(WorkspaceCommands, CurrentWithoutAWorkspaceFailsAfterTheListWasRequested) {
    harness.profileRepository.save({"default", "https://api.example", std::nullopt});
    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));
    expectRefused({"workspace", "current"}, "no active workspace; run 'quil workspace use <id|slug>'");
}

TEST_F(WorkspaceCommands, CurrentWithAStoredWorkspaceThatIsGoneFails) {
    harness.profileRepository.save({"default", "https://api.example", "w-gone"});
    EXPECT_CALL(harness.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList()));
    expectRefused({"workspace", "current"}, "workspace not found: w-gone");
}

TEST_F(WorkspaceCommands, RenameSendsTheNewNameWithTheResolvedId) {
    auto& gateway = harness.gateways.expectGateway();
    InSequence order;
    EXPECT_CALL(gateway, listWorkspaces()).WillOnce(Return(workspaceList()));
    EXPECT_CALL(gateway, renameWorkspace("w-2", "Renamed"))
        .WillOnce(Return(model::ApiResponse<model::Workspace>{{"w-2", "Renamed", "second", false, "MEMBER"},
                                                              "{\"renamed\":true}"}));

    EXPECT_EQ(harness.run({"workspace", "rename", "second", "Renamed", "--output", "json"}).out,
              "{\"renamed\":true}\n");
    expectUnscopedGateways();
}

TEST_F(WorkspaceCommands, EveryCommandNeedsAToken) {
    harness.credentialStore.removeToken("default");
    for (const auto& words : std::vector<std::vector<std::string_view>>{{"workspace", "list"},
                                                                        {"workspace", "current"},
                                                                        {"organization", "list"},
                                                                        {"organization", "show", "acme"}}) {
        expectRefused(words, "not authenticated; run 'quil auth login'");
    }
    EXPECT_TRUE(harness.gateways.configs().empty());
}

TEST_F(WorkspaceCommands, OrganizationListPrintsTheTable) {
    EXPECT_CALL(harness.gateways.expectGateway(), listOrganizations()).WillOnce(Return(organizationList()));

    EXPECT_EQ(harness.run({"organization", "list"}).out,
              "ID   NAME  SLUG  ROLE   PERSONAL  \n"
              "o-1  Acme  acme  ADMIN  no        \n"
              "o-2  Beta  beta  OWNER  yes       \n");
    expectUnscopedGateways();
}

TEST_F(WorkspaceCommands, OrganizationCreateSendsTheSlugOrAnEmptyOne) {
    EXPECT_CALL(harness.gateways.expectGateway(), createOrganization("Gamma", ""))
        .WillOnce(Return(model::ApiResponse<model::Organization>{organizations[0], "{\"created\":1}"}));
    EXPECT_EQ(harness.run({"organization", "create", "Gamma", "--output", "json"}).out, "{\"created\":1}\n");

    EXPECT_CALL(harness.gateways.expectGateway(), createOrganization("Gamma", "g"))
        .WillOnce(Return(model::ApiResponse<model::Organization>{organizations[0], "{}"}));
    EXPECT_EQ(harness.run({"organization", "create", "Gamma", "--slug", "g", "--quiet"}).out, "o-1\n");
}

TEST_F(WorkspaceCommands, OrganizationShowAndRenameWorkOnTheResolvedId) {
    {
        auto& gateway = harness.gateways.expectGateway();
        InSequence order;
        EXPECT_CALL(gateway, listOrganizations()).WillOnce(Return(organizationList()));
        EXPECT_CALL(gateway, getOrganization("o-2"))
            .WillOnce(Return(model::ApiResponse<model::Organization>{organizations[1], "{\"shown\":1}"}));
    }
    EXPECT_EQ(harness.run({"organization", "show", "Beta", "--output", "json"}).out, "{\"shown\":1}\n");

    {
        auto& gateway = harness.gateways.expectGateway();
        InSequence order;
        EXPECT_CALL(gateway, listOrganizations()).WillOnce(Return(organizationList()));
        EXPECT_CALL(gateway, renameOrganization("o-1", "New name"))
            .WillOnce(Return(model::ApiResponse<model::Organization>{
                {"o-1", "New name", "acme", false, "ADMIN", "c", "u"}, "{}"}));
    }
    EXPECT_EQ(harness.run({"organization", "rename", "acme", "New name"}).out,
              "ID   NAME      SLUG  ROLE   PERSONAL  \n"
              "o-1  New name  acme  ADMIN  no        \n");
    expectUnscopedGateways();
}

TEST_F(WorkspaceCommands, OrganizationShowOfAnUnknownSelectorSendsNothingMore) {
    EXPECT_CALL(harness.gateways.expectGateway(), listOrganizations()).WillOnce(Return(organizationList()));
    expectRefused({"organization", "show", "o-9"}, "organization not found: o-9");
}

}  // namespace
}  // namespace quarlino::quil::cli
