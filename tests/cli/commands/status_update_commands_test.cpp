#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "application/api_error.hpp"
#include "cli/cli_application.hpp"
#include "cli/command_line.hpp"
#include "support/quil/application_harness.hpp"

namespace quarlino::quil::cli {
namespace {

using application::port::HttpMethod;
using testsupport::quil::ApplicationHarness;

// The application over the harness's fakes with a transport factory that
// records the configuration of every transport it makes (that configuration
// becomes the identity headers of a real transport).
class ServerChecks : public testing::Test {
protected:
    struct Outcome {
        int exitCode = -1;
        std::string out;
        std::string err;
    };

    Outcome run(const std::vector<std::string_view>& words) {
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        Outcome outcome;
        outcome.exitCode = application.run(CommandLine::parse(words), in, out, err);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    template <typename Error>
    std::string failure(const std::vector<std::string_view>& words) {
        try {
            run(words);
        } catch (const Error& error) {
            return error.what();
        }
        ADD_FAILURE() << "no failure";
        return {};
    }

    void expectRoot(int status) { harness.transport.expect(HttpMethod::GET, "/", status, "<html></html>"); }

    ApplicationHarness harness;
    std::vector<config::ClientConfig> transportConfigs;
    bool makeTransports = true;
    CliApplication application{[this](const config::ClientConfig& config)
                                   -> std::unique_ptr<application::port::HttpTransport> {
                                   transportConfigs.push_back(config);
                                   return makeTransports ? harness.transport.share() : nullptr;
                               },
                               harness.gateways.factory(),
                               harness.profiles,
                               [](std::string_view) -> std::string { throw std::runtime_error("no terminal"); },
                               [](std::chrono::milliseconds) {},
                               nullptr};
};

TEST_F(ServerChecks, StatusReportsAnAnsweringServer) {
    expectRoot(200);
    const auto outcome = run({"status"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, "Quarlino is available at https://api.quarlino.com (HTTP 200)\n");
    EXPECT_EQ(outcome.err, "");
    const auto& request = harness.transport.onlyRequest();
    EXPECT_EQ(request.headers.at("Accept"), "text/html, application/json");
}

struct StatusCase {
    int status;
    int exitCode;
};

void PrintTo(const StatusCase& entry, std::ostream* out) { *out << "HTTP " << entry.status; }

class StatusCodes : public ServerChecks, public testing::WithParamInterface<StatusCase> {};

TEST_P(StatusCodes, OnlyA2xxAnswerCountsAsAvailable) {
    expectRoot(GetParam().status);
    const auto outcome = run({"status", "--server", "https://probe.example", "--output", "json"});
    const bool available = GetParam().exitCode == 0;
    EXPECT_EQ(outcome.exitCode, GetParam().exitCode);
    EXPECT_EQ(outcome.out, nlohmann::json({{"available", available},
                                           {"server", "https://probe.example"},
                                           {"statusCode", GetParam().status}})
                                   .dump() +
                               "\n");
}

INSTANTIATE_TEST_SUITE_P(Table, StatusCodes,
                         testing::Values(StatusCase{0, 1}, StatusCase{199, 1}, StatusCase{200, 0},
                                         StatusCase{204, 0}, StatusCase{299, 0}, StatusCase{300, 1},
                                         StatusCase{401, 1}, StatusCase{503, 1}));

TEST_F(ServerChecks, StatusOfAnUnavailableServerGoesToTheErrorStreamUnlessQuiet) {
    expectRoot(503);
    const auto loud = run({"status", "--server", "https://probe.example"});
    EXPECT_EQ(loud.exitCode, 1);
    EXPECT_EQ(loud.out, "");
    EXPECT_EQ(loud.err, "Quarlino at https://probe.example returned HTTP 503\n");

    expectRoot(503);
    const auto quiet = run({"status", "--server", "https://probe.example", "--quiet"});
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_EQ(quiet.out + quiet.err, "");

    expectRoot(200);
    const auto quietAvailable = run({"status", "--quiet"});
    EXPECT_EQ(quietAvailable.exitCode, 0);
    EXPECT_EQ(quietAvailable.out + quietAvailable.err, "");
}

TEST_F(ServerChecks, StatusJsonIsPrintedEvenWhenQuiet) {
    expectRoot(503);
    const auto outcome = run({"status", "--output", "json", "--quiet"});
    EXPECT_EQ(outcome.out, "{\"available\":false,\"server\":\"https://api.quarlino.com\",\"statusCode\":503}\n");
    EXPECT_EQ(outcome.exitCode, 1);
}

TEST_F(ServerChecks, StatusSendsNoCredentialsToTheServerItProbes) {
    harness.profileRepository.save({"default", "https://api.example", "w-1"});
    harness.credentialStore.saveToken("default", "stored-token");
    harness.setEnvironment("QUARLINO_ACCESS_TOKEN", "environment-token");

    expectRoot(200);
    run({"status"});
    expectRoot(200);
    run({"status", "--server", "https://elsewhere.example", "--workspace", "w-1", "--timeout", "7"});

    ASSERT_EQ(transportConfigs.size(), 2U);
    EXPECT_EQ(transportConfigs[0].serverUrl(), "https://api.example");
    EXPECT_EQ(transportConfigs[1].serverUrl(), "https://elsewhere.example");
    EXPECT_EQ(transportConfigs[1].requestTimeout(), std::chrono::seconds(7));
    for (const auto& config : transportConfigs) {
        EXPECT_EQ(config.accessToken(), std::nullopt);
        EXPECT_EQ(config.workspaceId(), std::nullopt);
    }
    // Not even a workspace listing went out with the token.
    EXPECT_TRUE(harness.gateways.configs().empty());
}

TEST_F(ServerChecks, StatusLeavesAWorkspaceSelectorUnresolvedAndNeedsNoToken) {
    expectRoot(200);
    const auto outcome = run({"status", "--workspace", "anything"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(harness.gateways.configs().empty());
}

TEST_F(ServerChecks, StatusFailuresOfTheTransportPassThrough) {
    harness.transport.expectThrow(HttpMethod::GET, "/", "connection reset");
    EXPECT_EQ(failure<std::runtime_error>({"status"}), "connection reset");

    makeTransports = false;
    EXPECT_EQ(failure<std::runtime_error>({"status"}), "HTTP transport factory returned no transport");
    EXPECT_EQ(failure<std::runtime_error>({"update", "check"}), "HTTP transport factory returned no transport");
}

std::string manifest(const std::string& version) {
    const nlohmann::json artifact{{"os", "linux"},
                                  {"arch", "amd64"},
                                  {"url", "https://releases.example/quil"},
                                  {"sha256", std::string(64, 'a')},
                                  {"signatureUrl", "https://releases.example/quil.sig"},
                                  {"sbomUrl", "https://releases.example/quil.sbom"}};
    return nlohmann::json{{"version", version},
                          {"publishedAt", "2026-11-30T10:00:00Z"},
                          {"artifacts", nlohmann::json::array({artifact})}}
        .dump();
}

TEST_F(ServerChecks, UpdateCheckPrintsTheReleaseAndWhereToGetIt) {
    harness.transport.expect(HttpMethod::GET, "/quil/latest.json", 200, manifest("0.2.0"));
    const auto outcome = run({"update", "check"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out,
              "CURRENT  LATEST  UPDATE AVAILABLE  PLATFORM     PUBLISHED             \n"
              "0.1.0    0.2.0   yes               linux-amd64  2026-11-30T10:00:00Z  \n"
              "\nDownload: https://releases.example/quil\nSHA-256: " +
                  std::string(64, 'a') + "\n");

    harness.transport.expect(HttpMethod::GET, "/custom/manifest.json", 200, manifest("0.1.0"));
    const auto quiet = run({"update", "check", "--manifest-path", "/custom/manifest.json", "--quiet"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out, "0.1.0\n");

    harness.transport.expect(HttpMethod::GET, "/quil/latest.json", 200, manifest("0.1.0"));
    const auto json = run({"update", "check", "--output", "json", "--quiet"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out,
              R"({"artifact":{"arch":"amd64","os":"linux","sbomUrl":"https://releases.example/quil.sbom",)"
              R"("sha256":")" + std::string(64, 'a') +
                  R"(","signatureUrl":"https://releases.example/quil.sig","url":"https://releases.example/quil"},)"
                  R"("currentVersion":"0.1.0","latestVersion":"0.1.0","publishedAt":"2026-11-30T10:00:00Z",)"
                  R"("updateAvailable":false})"
                  "\n");
}

struct ReleaseServerCase {
    const char* name;
    std::optional<std::string> option;
    std::optional<std::string> environment;
    std::string expected;
};

void PrintTo(const ReleaseServerCase& entry, std::ostream* out) { *out << entry.name; }

class ReleaseServers : public ServerChecks, public testing::WithParamInterface<ReleaseServerCase> {};

TEST_P(ReleaseServers, OptionThenEnvironmentThenTheBuiltInServer) {
    harness.setEnvironment("QUIL_RELEASE_SERVER_URL", GetParam().environment);
    std::vector<std::string_view> words{"update", "check", "--output", "json"};
    if (GetParam().option) {
        words.insert(words.end(), {"--release-server", *GetParam().option});
    }
    harness.transport.expect(HttpMethod::GET, "/quil/latest.json", 200, manifest("0.2.0"));

    run(words);

    ASSERT_EQ(transportConfigs.size(), 1U);
    EXPECT_EQ(transportConfigs[0].serverUrl(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReleaseServers,
    testing::Values(
        ReleaseServerCase{"OptionWins", "https://opt.example", "https://env.example", "https://opt.example"},
        ReleaseServerCase{"Environment", std::nullopt, "https://env.example/", "https://env.example"},
        ReleaseServerCase{"EmptyEnvironmentCountsAsUnset", std::nullopt, "", "https://releases.quarlino.com"},
        ReleaseServerCase{"BuiltIn", std::nullopt, std::nullopt, "https://releases.quarlino.com"}),
    [](const testing::TestParamInfo<ReleaseServerCase>& info) { return std::string(info.param.name); });

TEST_F(ServerChecks, UpdateCheckUsesNoProfileAndItsOwnTimeout) {
    harness.profileRepository.save({"default", "https://api.example", "w-1"});
    harness.credentialStore.saveToken("default", "stored-token");
    harness.setEnvironment("QUARLINO_ACCESS_TOKEN", "environment-token");
    harness.setEnvironment("QUARLINO_HTTP_TIMEOUT_SECONDS", "90");

    harness.transport.expect(HttpMethod::GET, "/quil/latest.json", 200, manifest("0.2.0"));
    run({"update", "check", "--output", "json"});
    harness.transport.expect(HttpMethod::GET, "/quil/latest.json", 200, manifest("0.2.0"));
    run({"update", "check", "--timeout", "5", "--output", "json"});

    ASSERT_EQ(transportConfigs.size(), 2U);
    EXPECT_EQ(transportConfigs[0].requestTimeout(), std::chrono::seconds(30));
    EXPECT_EQ(transportConfigs[1].requestTimeout(), std::chrono::seconds(5));
    for (const auto& config : transportConfigs) {
        EXPECT_EQ(config.accessToken(), std::nullopt);
        EXPECT_EQ(config.workspaceId(), std::nullopt);
        EXPECT_FALSE(config.allowsInsecureHttp());
    }
}

TEST_F(ServerChecks, UpdateCheckInsistsOnHttpsEvenWhenThePlatformMayUsePlainHttp) {
    harness.setEnvironment("QUARLINO_ALLOW_INSECURE_HTTP", "true");
    EXPECT_EQ(failure<std::invalid_argument>({"update", "check", "--release-server", "http://releases.example"}),
              "Quarlino server URL must use HTTPS");
    EXPECT_TRUE(transportConfigs.empty());
}

TEST_F(ServerChecks, UpdateCheckReportsAFailingReleaseServer) {
    harness.transport.expect(HttpMethod::GET, "/quil/latest.json", 404, "missing");
    try {
        run({"update", "check"});
        ADD_FAILURE() << "no failure";
    } catch (const application::ApiError& error) {
        EXPECT_EQ(error.statusCode(), 404);
        EXPECT_STREQ(error.what(), "Quil release server returned HTTP 404");
    }
}

}  // namespace
}  // namespace quarlino::quil::cli
