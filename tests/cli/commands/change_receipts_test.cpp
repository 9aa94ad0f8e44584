#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/quil/application_harness.hpp"

namespace quarlino::quil::cli {
namespace {

using testing::_;
using testing::Return;
using testsupport::quil::ApplicationHarness;
using testsupport::quil::MockQuarlinoGateway;

// An identifier (or a permission) that is not UTF-8: once the platform has
// made the change, JSON output must still report it, with the bad byte
// replaced, rather than fail after it.
const std::string oddId = "id-\xff";
const std::string shownId = "id-\xEF\xBF\xBD";

void expectOrganizationAcme(testing::StrictMock<MockQuarlinoGateway>& gateway) {
    model::Organization acme;
    acme.id = "o-1";
    acme.slug = "acme";
    EXPECT_CALL(gateway, listOrganizations())
        .WillOnce(Return(model::ApiResponse<std::vector<model::Organization>>{{acme}, ""}));
}

struct ReceiptCase {
    const char* name;
    std::vector<std::string_view> words;
    std::function<void(testing::StrictMock<MockQuarlinoGateway>&)> expectChange;
    std::string receipt;
};

std::ostream& operator<<(std::ostream& out, const ReceiptCase& c) { return out << c.name; }

class ChangeReceipts : public testing::TestWithParam<ReceiptCase> {};

TEST_P(ChangeReceipts, SurviveIdentifiersThatAreNotUtf8) {
    ApplicationHarness harness;
    harness.profileRepository.save({"default", "https://api.example", "w-1"});
    harness.profileRepository.setActive("default");
    harness.credentialStore.saveToken("default", "tok");
    GetParam().expectChange(harness.gateways.expectGateway());

    std::vector<std::string_view> words = GetParam().words;
    words.insert(words.end(), {"--output", "json"});
    const auto outcome = harness.run(words);

    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, GetParam().receipt + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ChangeReceipts,
    testing::Values(
        ReceiptCase{"agentDelete", {"agent", "delete", "edge", "--yes"},
                    [](auto& gateway) {
                        model::DeploymentAgent agent{oddId, "edge", "ONLINE", "", ""};
                        EXPECT_CALL(gateway, listDeploymentAgents())
                            .WillOnce(Return(model::ApiResponse<std::vector<model::DeploymentAgent>>{{agent}, "[]"}));
                        EXPECT_CALL(gateway, revokeDeploymentAgent(std::string_view(oddId)));
                    },
                    R"({"id":")" + shownId + R"(","revoked":true})"},
        ReceiptCase{"targetDisable", {"target", "disable", "web"},
                    [](auto& gateway) {
                        model::DeploymentTarget target;
                        target.id = oddId;
                        target.name = "web";
                        EXPECT_CALL(gateway, listDeploymentTargets())
                            .WillOnce(Return(model::ApiResponse<std::vector<model::DeploymentTarget>>{{target}, "[]"}));
                        EXPECT_CALL(gateway, disableDeploymentTarget(std::string_view(oddId)));
                    },
                    R"({"enabled":false,"id":")" + shownId + R"("})"},
        ReceiptCase{"secretGroupDelete", {"secret-group", "delete", "prod", "--yes"},
                    [](auto& gateway) {
                        model::SecretGroup group;
                        group.id = oddId;
                        group.name = "prod";
                        EXPECT_CALL(gateway, listSecretGroups())
                            .WillOnce(Return(model::ApiResponse<std::vector<model::SecretGroup>>{{group}, "[]"}));
                        EXPECT_CALL(gateway, deleteSecretGroup(std::string_view(oddId)));
                    },
                    R"({"deleted":true,"id":")" + shownId + R"("})"},
        ReceiptCase{"roleDelete", {"role", "delete", "Ops", "--organization", "acme", "--yes"},
                    [](auto& gateway) {
                        model::AuthorizationRole role;
                        role.id = oddId;
                        role.name = "Ops";
                        expectOrganizationAcme(gateway);
                        EXPECT_CALL(gateway, listAuthorizationRoles(std::string_view("o-1")))
                            .WillOnce(Return(model::ApiResponse<std::vector<model::AuthorizationRole>>{{role}, ""}));
                        EXPECT_CALL(gateway, deleteAuthorizationRole(std::string_view("o-1"), std::string_view(oddId)));
                    },
                    R"({"archived":true,"id":")" + shownId + R"("})"},
        ReceiptCase{"grantRevoke", {"grant", "revoke", "g1", "--organization", "acme", "--yes"},
                    [](auto& gateway) {
                        model::AuthorizationGrant grant;
                        grant.id = "g1";
                        model::EffectivePermissions remaining;
                        remaining.permissions.push_back({});
                        remaining.permissions.back().permission = oddId;
                        expectOrganizationAcme(gateway);
                        EXPECT_CALL(gateway, listAuthorizationGrants(std::string_view("o-1"), _, _))
                            .WillOnce(Return(model::ApiResponse<std::vector<model::AuthorizationGrant>>{{grant}, ""}));
                        EXPECT_CALL(gateway, revokeAuthorizationGrant(std::string_view("o-1"), std::string_view("g1")));
                        EXPECT_CALL(gateway, effectivePermissions(_, _, _, _, _))
                            .WillOnce(Return(model::ApiResponse<model::EffectivePermissions>{remaining, ""}));
                    },
                    R"({"id":"g1","remainingEffectivePermissions":[")" + shownId + R"("],"revoked":true})"},
        ReceiptCase{"registryDisable", {"registry", "disable", "shop", "--yes"},
                    [](auto& gateway) {
                        model::Project project;
                        project.id = oddId;
                        project.name = "shop";
                        EXPECT_CALL(gateway, listProjects())
                            .WillOnce(Return(model::ApiResponse<std::vector<model::Project>>{{project}, "[]"}));
                        EXPECT_CALL(gateway, disableProjectRegistry(std::string_view(oddId)));
                    },
                    R"({"disableRequested":true,"projectId":")" + shownId + R"("})"}),
    [](const testing::TestParamInfo<ReceiptCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quarlino::quil::cli
