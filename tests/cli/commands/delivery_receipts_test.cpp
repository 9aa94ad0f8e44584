#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/quil/application_harness.hpp"

namespace quarlino::quil::cli {
namespace {

using testing::Return;
using testsupport::quil::ApplicationHarness;
using testsupport::quil::MockQuarlinoGateway;

// An identifier that is not UTF-8: JSON output must still report the change
// that was made, with the bad byte replaced, rather than fail after it.
const std::string oddId = "id-\xff";
const std::string shownId = "id-\xEF\xBF\xBD";

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
