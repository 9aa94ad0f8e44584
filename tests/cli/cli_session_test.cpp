#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "application/api_error.hpp"
#include "cli/cli_application.hpp"
#include "cli/command_line.hpp"
#include "cli/expect_failure.hpp"
#include "support/quil/application_harness.hpp"

namespace quarlino::quil::cli {
namespace {

using testing::Return;
using testing::Throw;
using testsupport::quil::ApplicationHarness;

model::ApiResponse<std::vector<model::Workspace>> workspaceList(std::vector<model::Workspace> workspaces) {
    return {std::move(workspaces), "[]"};
}

const std::vector<model::Workspace> workspaces{
    {"w-1", "Alpha", "alpha", false, "OWNER"},
    {"w-2", "Beta", "beta", false, "MEMBER"},
    {"w-3", "alpha", "gamma", true, "OWNER"},  // named like the first one's slug
    {"w-4", "w-2", "delta", false, "OWNER"},   // named like the second one's id
};

class CliSession : public testing::Test {
protected:
    application::ClientSession session(std::vector<std::string_view> words, bool requireWorkspace) {
        words.insert(words.begin(), {"workspace", "list"});
        return harness_.application().session(CommandLine::parse(words), requireWorkspace);
    }

    // `session` failing with std::invalid_argument and this message.
    void expectRefused(std::vector<std::string_view> words, bool requireWorkspace, const std::string& message) {
        expectFailure<std::invalid_argument>([&] { session(std::move(words), requireWorkspace); }, message);
    }

    void storeProfile(std::string name, std::string server, std::optional<std::string> workspace) {
        harness_.profileRepository.save({std::move(name), std::move(server), std::move(workspace)});
    }

    ApplicationHarness harness_;
};

TEST_F(CliSession, WithoutStoredStateTheDefaultProfileHasNoTokenAndNoWorkspace) {
    const auto resolved = session({}, false);
    EXPECT_EQ(resolved.profileName, "default");
    EXPECT_EQ(resolved.config.serverUrl(), config::ClientConfig::defaultServerUrl);
    EXPECT_EQ(resolved.config.accessToken(), std::nullopt);
    EXPECT_EQ(resolved.config.workspaceId(), std::nullopt);
    EXPECT_EQ(resolved.config.requestTimeout(), std::chrono::seconds(30));
}

TEST_F(CliSession, AWorkspaceIsDemandedOnlyWhenRequired) {
    expectRefused({}, true, "no active workspace; run 'quil workspace use <id|slug>' or pass --workspace");
    storeProfile("default", "https://stored.example", "w-stored");
    EXPECT_EQ(session({}, true).config.workspaceId(), "w-stored");
}

TEST_F(CliSession, TheCommandsOptionsWinOverTheStoredProfile) {
    storeProfile("default", "https://default.example", "w-default");
    storeProfile("ci", "https://ci.example", "w-ci");
    harness_.credentialStore.saveToken("ci", "ci-token");
    harness_.setEnvironment("QUARLINO_HTTP_TIMEOUT_SECONDS", "45");

    const auto byProfile = session({"--profile", "ci"}, true);
    EXPECT_EQ(byProfile.profileName, "ci");
    EXPECT_EQ(byProfile.config.serverUrl(), "https://ci.example");
    EXPECT_EQ(byProfile.config.accessToken(), "ci-token");
    EXPECT_EQ(byProfile.config.workspaceId(), "w-ci");
    EXPECT_EQ(byProfile.config.requestTimeout(), std::chrono::seconds(45));

    // --server is a command option of a few commands only; status has it.
    const auto explicitly = harness_.application().session(
        CommandLine::parse({"status", "--profile=ci", "--server", "https://other.example/", "--timeout", "9"}), false);
    EXPECT_EQ(explicitly.config.serverUrl(), "https://other.example");
    EXPECT_EQ(explicitly.config.requestTimeout(), std::chrono::seconds(9));
    EXPECT_EQ(explicitly.config.accessToken(), "ci-token");
}

TEST_F(CliSession, TheEnvironmentsTokenWinsOverTheStoredOneButNotTheStoredServer) {
    storeProfile("default", "https://stored.example", std::nullopt);
    harness_.credentialStore.saveToken("default", "stored-token");
    harness_.setEnvironment("QUARLINO_ACCESS_TOKEN", "env-token");
    harness_.setEnvironment("QUARLINO_SERVER_URL", "https://env.example");

    const auto resolved = session({}, false);
    EXPECT_EQ(resolved.config.accessToken(), "env-token");
    EXPECT_EQ(resolved.config.serverUrl(), "https://stored.example");
}

TEST_F(CliSession, TheProfilesConfigurationErrorsLeaveUnchanged) {
    storeProfile("default", "http://plain.example", std::nullopt);
    expectRefused({}, false, "Quarlino server URL must use HTTPS");
}

TEST_F(CliSession, AWorkspaceSelectorNeedsALoginEvenWhereNoWorkspaceIsRequired) {
    expectRefused({"--workspace", "alpha"}, false, "not authenticated; run 'quil auth login'");
    EXPECT_TRUE(harness_.gateways.configs().empty());
}

TEST_F(CliSession, AWorkspaceSelectorIsResolvedThroughAnUnscopedListing) {
    storeProfile("default", "https://stored.example", "w-stored");
    harness_.credentialStore.saveToken("default", "secret");
    const int writesBefore = harness_.profileRepository.writes();
    EXPECT_CALL(harness_.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList(workspaces)));

    const auto resolved = session({"--workspace", "beta"}, true);

    EXPECT_EQ(resolved.config.workspaceId(), "w-2");
    EXPECT_EQ(resolved.config.serverUrl(), "https://stored.example");
    ASSERT_EQ(harness_.gateways.configs().size(), 1U);
    const auto& listingConfig = harness_.gateways.configs().front();
    EXPECT_EQ(listingConfig.workspaceId(), std::nullopt);
    EXPECT_EQ(listingConfig.accessToken(), "secret");
    EXPECT_EQ(listingConfig.serverUrl(), "https://stored.example");
    // The selection holds for this command only.
    EXPECT_EQ(harness_.profileRepository.writes(), writesBefore);
    EXPECT_EQ(harness_.profileRepository.find("default")->workspaceId, "w-stored");
}

struct SelectorCase {
    std::string selector;
    std::optional<std::string> workspaceId;  // none: refused with the message
    std::string message;
};

TEST_F(CliSession, WorkspaceSelectorsMatchIdSlugOrNameWithoutPreference) {
    harness_.setEnvironment("QUARLINO_ACCESS_TOKEN", "env-token");
    const std::vector<SelectorCase> cases{
        {"w-1", "w-1", ""},
        {"beta", "w-2", ""},
        {"Beta", "w-2", ""},
        {"gamma", "w-3", ""},
        {"delta", "w-4", ""},
        {"alpha", std::nullopt, "workspace name is ambiguous; use its ID: alpha"},
        {"w-2", std::nullopt, "workspace name is ambiguous; use its ID: w-2"},
        {"Alpha", "w-1", ""},
        {"ALPHA", std::nullopt, "workspace not found: ALPHA"},
        {"beta ", std::nullopt, "workspace not found: beta "},
        {"w-", std::nullopt, "workspace not found: w-"},
    };
    for (const SelectorCase& example : cases) {
        EXPECT_CALL(harness_.gateways.expectGateway(), listWorkspaces()).WillOnce(Return(workspaceList(workspaces)));
        if (example.workspaceId) {
            EXPECT_EQ(session({"--workspace", example.selector}, false).config.workspaceId(), example.workspaceId)
                << example.selector;
        } else {
            expectRefused({"--workspace", example.selector}, false, example.message);
        }
    }
}

TEST_F(CliSession, APlatformFailureOfTheListingPassesThrough) {
    harness_.setEnvironment("QUARLINO_ACCESS_TOKEN", "env-token");
    EXPECT_CALL(harness_.gateways.expectGateway(), listWorkspaces())
        .WillOnce(Throw(application::ApiError(401, "token expired", "{}")));
    try {
        session({"--workspace", "alpha"}, false);
        ADD_FAILURE() << "no failure";
    } catch (const application::ApiError& error) {
        EXPECT_EQ(error.statusCode(), 401);
        EXPECT_STREQ(error.what(), "token expired");
    }
}

TEST_F(CliSession, AMissingGatewayStopsTheSelection) {
    harness_.setEnvironment("QUARLINO_ACCESS_TOKEN", "env-token");
    harness_.gateways.expectNoGateway();
    EXPECT_THROW(session({"--workspace", "alpha"}, false), std::runtime_error);
}

}  // namespace
}  // namespace quarlino::quil::cli
