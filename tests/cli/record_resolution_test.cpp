#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "application/api_error.hpp"
#include "cli/command_helpers.hpp"
#include "cli/expect_failure.hpp"
#include "support/quil/mock_quarlino_gateway.hpp"

namespace quarlino::quil::cli {
namespace {

using testing::Return;
using testing::StrictMock;
using testing::Throw;
using testsupport::quil::MockQuarlinoGateway;

// A record of the kind with only the keys that resolution reads.
template <typename Record>
Record named(std::string id, std::string name) {
    Record record{};
    record.id = std::move(id);
    record.name = std::move(name);
    return record;
}

model::Organization organization(std::string id, std::string name, std::string slug) {
    auto record = named<model::Organization>(std::move(id), std::move(name));
    record.slug = std::move(slug);
    return record;
}

template <typename Record>
model::ApiResponse<std::vector<Record>> listing(std::vector<Record> records) {
    return {std::move(records), "[]"};
}

template <typename Action>
void expectRefused(Action&& action, const std::string& message) {
    expectFailure<std::invalid_argument>(std::forward<Action>(action), message);
}

TEST(Resolve, TheOneRecordWhoseIdOrOtherKeyMatchesByteForByte) {
    const std::vector<model::Project> projects{named<model::Project>("p-1", "web"),
                                               named<model::Project>("p-2", "api")};
    EXPECT_EQ(resolve(projects, "p-2", {&model::Project::id, &model::Project::name}, "project").name, "api");
    EXPECT_EQ(resolve(projects, "web", {&model::Project::id, &model::Project::name}, "project").id, "p-1");
    expectRefused([&] { resolve(projects, "Web", {&model::Project::id, &model::Project::name}, "project"); },
                  "project not found: Web");
    expectRefused([&] { resolve(projects, "web ", {&model::Project::id, &model::Project::name}, "project"); },
                  "project not found: web ");
    expectRefused([&] { resolve(std::vector<model::Project>{}, "", {&model::Project::id}, "project"); },
                  "project not found: ");
}

TEST(Resolve, AnIdMatchHasNoPriorityOverANameMatch) {
    const std::vector<model::Project> projects{named<model::Project>("p-1", "web"),
                                               named<model::Project>("p-2", "p-1")};
    expectRefused([&] { resolve(projects, "p-1", {&model::Project::id, &model::Project::name}, "project"); },
                  "project name is ambiguous; use its ID: p-1");
    const std::vector<model::Project> twins{named<model::Project>("p-1", "web"), named<model::Project>("p-2", "web")};
    expectRefused([&] { resolve(twins, "web", {&model::Project::id, &model::Project::name}, "project"); },
                  "project name is ambiguous; use its ID: web");
    EXPECT_EQ(resolve(twins, "p-2", {&model::Project::id, &model::Project::name}, "project").id, "p-2");
}

TEST(ResolveWorkspace, ComparesIdSlugAndName) {
    const std::vector<model::Workspace> workspaces{{"w-1", "Team", "team", false, "OWNER"},
                                                   {"w-2", "Other", "team-b", false, "OWNER"}};
    EXPECT_EQ(resolveWorkspace(workspaces, "team").id, "w-1");
    EXPECT_EQ(resolveWorkspace(workspaces, "Team").id, "w-1");
    EXPECT_EQ(resolveWorkspace(workspaces, "w-2").id, "w-2");
    EXPECT_EQ(resolveWorkspace(workspaces, "team-b").name, "Other");
    expectRefused([&] { resolveWorkspace(workspaces, "TEAM"); }, "workspace not found: TEAM");
}

// Each resolver that takes the gateway lists its kind once and matches on the
// keys of the kind; the kind word names it in the messages.
class GatewayResolvers : public testing::Test {
protected:
    StrictMock<MockQuarlinoGateway> gateway_;
};

TEST_F(GatewayResolvers, OrganizationsMatchIdSlugOrName) {
    const std::vector<model::Organization> organizations{organization("o-1", "Acme", "acme"),
                                                         organization("o-2", "acme", "acme-2")};
    EXPECT_CALL(gateway_, listOrganizations()).Times(4).WillRepeatedly(Return(listing(organizations)));
    EXPECT_EQ(resolveOrganization(gateway_, "Acme").id, "o-1");
    EXPECT_EQ(resolveOrganization(gateway_, "acme-2").id, "o-2");
    expectRefused([&] { resolveOrganization(gateway_, "acme"); }, "organization name is ambiguous; use its ID: acme");
    expectRefused([&] { resolveOrganization(gateway_, "o-3"); }, "organization not found: o-3");
}

TEST_F(GatewayResolvers, ProjectsPipelinesAndGroupsMatchIdOrName) {
    EXPECT_CALL(gateway_, listProjects())
        .WillOnce(Return(listing(std::vector{named<model::Project>("p-1", "web")})));
    EXPECT_CALL(gateway_, listPipelines())
        .WillOnce(Return(listing(std::vector{named<model::Pipeline>("l-1", "build")})));
    EXPECT_CALL(gateway_, listVariableGroups())
        .WillOnce(Return(listing(std::vector{named<model::VariableGroup>("v-1", "env")})));
    EXPECT_CALL(gateway_, listSecretGroups())
        .WillOnce(Return(listing(std::vector{named<model::SecretGroup>("s-1", "keys")})));
    EXPECT_EQ(resolveProject(gateway_, "web").id, "p-1");
    EXPECT_EQ(resolvePipeline(gateway_, "l-1").name, "build");
    EXPECT_EQ(resolveVariableGroup(gateway_, "env").id, "v-1");
    EXPECT_EQ(resolveSecretGroup(gateway_, "keys").id, "s-1");
}

TEST_F(GatewayResolvers, TheKindWordsOfTheMessages) {
    EXPECT_CALL(gateway_, listProjects()).WillOnce(Return(model::ApiResponse<std::vector<model::Project>>{}));
    EXPECT_CALL(gateway_, listPipelines()).WillOnce(Return(model::ApiResponse<std::vector<model::Pipeline>>{}));
    EXPECT_CALL(gateway_, listVariableGroups())
        .WillOnce(Return(model::ApiResponse<std::vector<model::VariableGroup>>{}));
    EXPECT_CALL(gateway_, listSecretGroups()).WillOnce(Return(model::ApiResponse<std::vector<model::SecretGroup>>{}));
    expectRefused([&] { resolveProject(gateway_, "x"); }, "project not found: x");
    expectRefused([&] { resolvePipeline(gateway_, "x"); }, "pipeline not found: x");
    expectRefused([&] { resolveVariableGroup(gateway_, "x"); }, "variable group not found: x");
    expectRefused([&] { resolveSecretGroup(gateway_, "x"); }, "secret group not found: x");
}

TEST_F(GatewayResolvers, ThePlatformsFailuresPassThrough) {
    EXPECT_CALL(gateway_, listPipelines()).WillOnce(Throw(application::ApiError(403, "forbidden", "{}")));
    EXPECT_THROW(resolvePipeline(gateway_, "build"), application::ApiError);
}

}  // namespace
}  // namespace quarlino::quil::cli
