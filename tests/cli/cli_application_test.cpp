#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "cli/cli_application.hpp"
#include "cli/command_line.hpp"
#include "cli/golden_files.hpp"
#include "support/quil/application_harness.hpp"
#include "support/quil/fake_credential_store.hpp"
#include "support/quil/fake_profile_repository.hpp"

namespace quarlino::quil::cli {
namespace {

using testsupport::quil::ApplicationHarness;

ApplicationHarness::Outcome run(std::vector<std::string_view> words) {
    ApplicationHarness harness;
    return harness.run(words);
}

TEST(CliApplicationLocalCommands, HelpWritesTheUsageOfItsTopic) {
    EXPECT_EQ(run({}).out, golden::topLevelUsage());
    EXPECT_EQ(run({"registry", "token", "--help"}).out, golden::listing("registry_token"));
    const auto outcome = run({"help", "version"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, golden::commandUsage("quil version"));
    EXPECT_EQ(outcome.err, "");
}

TEST(CliApplicationLocalCommands, VersionIsOnePlainLineInEveryOutputMode) {
    for (const auto& words : {std::vector<std::string_view>{"--version"}, {"version", "--output", "json"},
                              {"version", "--quiet"}}) {
        const auto outcome = run(words);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.out, "quil 0.1.0\n");
        EXPECT_EQ(outcome.err, "");
    }
}

TEST(CliApplicationLocalCommands, CompletionWritesTheScriptOfTheShell) {
    const auto outcome = run({"completion", "zsh"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, golden::completion("zsh"));
}

TEST(CliApplicationLocalCommands, CompletionForAnUnknownShellFailsAsAnInvalidArgument) {
    EXPECT_THROW(run({"completion", "powershell"}), std::invalid_argument);
}

// The local commands never touch the platform or the stored state.
TEST(CliApplicationLocalCommands, NeedNoGatewayTransportOrProfile) {
    ApplicationHarness harness;
    for (const auto& words : {std::vector<std::string_view>{}, {"--version"}, {"completion", "bash"}}) {
        harness.run(words);
    }
    EXPECT_TRUE(harness.gateways.configs().empty());
    EXPECT_TRUE(harness.transport.requests().empty());
    EXPECT_EQ(harness.credentialStore.calls(), 0);
}

TEST(CliApplicationDispatch, NumbersPastTheCommandTableAreUnsupported) {
    ApplicationHarness harness;
    for (unsigned id = 106; id <= 255; ++id) {
        ParsedCommand command;
        command.id = static_cast<std::uint8_t>(id);
        try {
            harness.run(command);
            ADD_FAILURE() << "command " << id << " ran";
        } catch (const std::logic_error& error) {
            EXPECT_STREQ(error.what(), "unsupported Quil command") << id;
        }
    }
}

class CliApplicationConstruction : public testing::Test {
protected:
    CliApplication make(CliApplication::TransportFactory transportFactory,
                        CliApplication::GatewayFactory gatewayFactory,
                        CliApplication::SecretReader secretReader,
                        CliApplication::Sleeper sleeper) {
        return CliApplication(std::move(transportFactory), std::move(gatewayFactory), profiles_,
                              std::move(secretReader), std::move(sleeper), nullptr);
    }

    static std::unique_ptr<application::port::HttpTransport> noTransport(const config::ClientConfig&) {
        return nullptr;
    }
    static std::unique_ptr<application::port::QuarlinoGateway> noGateway(const config::ClientConfig&) {
        return nullptr;
    }
    static std::string noSecret(std::string_view) { return {}; }
    static void noSleep(std::chrono::milliseconds) {}

private:
    testsupport::quil::FakeProfileRepository repository_;
    testsupport::quil::FakeCredentialStore credentials_;
    application::ProfileService profiles_{repository_, credentials_};
};

TEST_F(CliApplicationConstruction, EveryFunctionIsRequiredButTheBrowserOpenerMayBeNull) {
    const auto expectRefused = [](const std::function<void()>& construct) {
        try {
            construct();
            ADD_FAILURE() << "constructed";
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), "Quil application dependencies are required");
        }
    };
    expectRefused([&] { make(nullptr, noGateway, noSecret, noSleep); });
    expectRefused([&] { make(noTransport, nullptr, noSecret, noSleep); });
    expectRefused([&] { make(noTransport, noGateway, nullptr, noSleep); });
    expectRefused([&] { make(noTransport, noGateway, noSecret, nullptr); });
    EXPECT_NO_THROW(make(noTransport, noGateway, noSecret, noSleep));
}

TEST(CliApplicationApi, EachCallMakesAFreshGatewayForItsConfiguration) {
    ApplicationHarness harness;
    auto& first = harness.gateways.expectGateway();
    auto& second = harness.gateways.expectGateway();
    const config::ClientConfig configuration("https://one.example", "token", std::chrono::seconds(7), false, "w1");

    const auto firstContext = harness.application().api(configuration);
    const auto secondContext = harness.application().api(configuration.withWorkspaceId(std::nullopt));

    EXPECT_EQ(&firstContext->gateway, &first);
    EXPECT_EQ(firstContext->owner.get(), &first);
    EXPECT_EQ(&secondContext->gateway, &second);
    ASSERT_EQ(harness.gateways.configs().size(), 2U);
    EXPECT_EQ(harness.gateways.configs()[0].serverUrl(), "https://one.example");
    EXPECT_EQ(harness.gateways.configs()[0].workspaceId(), "w1");
    EXPECT_EQ(harness.gateways.configs()[1].workspaceId(), std::nullopt);
}

TEST(CliApplicationApi, AFactoryThatReturnsNoGatewayIsAnInternalFailure) {
    ApplicationHarness harness;
    harness.gateways.expectNoGateway();
    const config::ClientConfig configuration("https://one.example", std::nullopt, std::chrono::seconds(7), false,
                                             std::nullopt);
    try {
        harness.application().api(configuration);
        ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Quarlino gateway factory returned no gateway");
    }
}

}  // namespace
}  // namespace quarlino::quil::cli
