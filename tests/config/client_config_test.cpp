#include "config/client_config.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "support/quil/scoped_environment.hpp"

namespace {

using quarlino::quil::config::ClientConfig;
using testsupport::quil::CleanClientEnvironment;
using testsupport::quil::ScopedEnvironment;
using namespace std::chrono_literals;

constexpr const char* httpsRequired = "Quarlino server URL must use HTTPS";
constexpr const char* authorityOnly = "Quarlino server URL must contain only scheme and authority";
constexpr const char* timeoutRange = "request timeout must be between 1 and 300 seconds";
constexpr const char* badToken = "Quarlino access token is malformed";
constexpr const char* badWorkspace = "Quarlino workspace id is malformed";
constexpr const char* envTimeoutRange = "QUARLINO_HTTP_TIMEOUT_SECONDS must be between 1 and 300";
constexpr const char* envSwitch = "QUARLINO_ALLOW_INSECURE_HTTP must be true or false";

struct Settings {
    Settings(std::string url, std::optional<std::string> token = std::nullopt,
             std::chrono::seconds timeout = 30s, bool insecure = false,
             std::optional<std::string> workspace = std::nullopt)
        : url(std::move(url)), token(std::move(token)), timeout(timeout), insecure(insecure),
          workspace(std::move(workspace)) {}

    std::string url;
    std::optional<std::string> token;
    std::chrono::seconds timeout;
    bool insecure;
    std::optional<std::string> workspace;
};

ClientConfig build(const Settings& settings) {
    return ClientConfig(settings.url, settings.token, settings.timeout, settings.insecure, settings.workspace);
}

std::string failureOf(const Settings& settings) {
    try {
        build(settings);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "<accepted>";
}

struct RejectionCase {
    const char* label;
    Settings settings;
    const char* message;
};

class ClientConfigRejection : public ::testing::TestWithParam<RejectionCase> {};

TEST_P(ClientConfigRejection, ReportsTheFirstBrokenRule) {
    EXPECT_EQ(failureOf(GetParam().settings), GetParam().message);
}

// Each row breaks one rule and, where possible, a later one too, so that the
// order of the checks is part of what is tested.
INSTANTIATE_TEST_SUITE_P(
    Messages, ClientConfigRejection,
    ::testing::Values(
        RejectionCase{"plain_http_without_switch", {"http://host"}, httpsRequired},
        RejectionCase{"upper_case_scheme", {"HTTPS://host", std::nullopt, 30s, true}, httpsRequired},
        RejectionCase{"no_scheme", {"host.example"}, httpsRequired},
        RejectionCase{"empty_url", {""}, httpsRequired},
        RejectionCase{"scheme_before_timeout", {"ftp://host", std::nullopt, 0s}, httpsRequired},
        RejectionCase{"bare_https", {"https://"}, authorityOnly},
        RejectionCase{"https_and_one_slash", {"https:///"}, authorityOnly},
        RejectionCase{"bare_http_with_switch", {"http://", std::nullopt, 30s, true}, authorityOnly},
        RejectionCase{"path", {"https://host/api"}, authorityOnly},
        RejectionCase{"query", {"https://host?x=1"}, authorityOnly},
        RejectionCase{"fragment", {"https://host#top"}, authorityOnly},
        RejectionCase{"user_information", {"https://user@host"}, authorityOnly},
        RejectionCase{"space", {"https://ho st"}, authorityOnly},
        RejectionCase{"tab", {"https://ho\tst"}, authorityOnly},
        RejectionCase{"carriage_return", {"https://host\r"}, authorityOnly},
        RejectionCase{"line_feed", {"https://host\n"}, authorityOnly},
        RejectionCase{"authority_before_timeout", {"https://host/x", std::nullopt, 0s}, authorityOnly},
        RejectionCase{"timeout_zero", {"https://host", std::nullopt, 0s}, timeoutRange},
        RejectionCase{"timeout_301", {"https://host", std::nullopt, 301s}, timeoutRange},
        RejectionCase{"timeout_before_token", {"https://host", "", 301s}, timeoutRange},
        RejectionCase{"empty_token", {"https://host", ""}, badToken},
        RejectionCase{"token_with_newline", {"https://host", "abc\n"}, badToken},
        RejectionCase{"token_with_carriage_return", {"https://host", "a\rb"}, badToken},
        RejectionCase{"token_before_workspace", {"https://host", "", 30s, false, ""}, badToken},
        RejectionCase{"empty_workspace", {"https://host", "t", 30s, false, ""}, badWorkspace},
        RejectionCase{"workspace_with_newline", {"https://host", "t", 30s, false, "ws\n"}, badWorkspace}),
    [](const auto& info) { return std::string(info.param.label); });

struct NormalisationCase {
    const char* label;
    Settings settings;
    const char* stored;
};

class ClientConfigNormalisation : public ::testing::TestWithParam<NormalisationCase> {};

TEST_P(ClientConfigNormalisation, StoresTheNormalisedUrl) {
    EXPECT_EQ(build(GetParam().settings).serverUrl(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, ClientConfigNormalisation,
    ::testing::Values(
        NormalisationCase{"unchanged", {"https://quarlino.example"}, "https://quarlino.example"},
        NormalisationCase{"one_trailing_slash", {"https://host/"}, "https://host"},
        NormalisationCase{"several_trailing_slashes", {"https://host///"}, "https://host"},
        NormalisationCase{"port_kept", {"https://host:8443/"}, "https://host:8443"},
        NormalisationCase{"plain_http_with_switch", {"http://127.0.0.1:80//", std::nullopt, 30s, true},
                          "http://127.0.0.1:80"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ClientConfig, AcceptsTheTimeoutBoundsAndAnyOtherTokenByte) {
    EXPECT_EQ(build({"https://host", std::nullopt, 1s}).requestTimeout(), 1s);
    EXPECT_EQ(build({"https://host", std::nullopt, 300s}).requestTimeout(), 300s);
    const ClientConfig config = build({"https://host", "tok en\t!", 30s, false, "ws id"});
    EXPECT_EQ(config.accessToken(), "tok en\t!");
    EXPECT_EQ(config.workspaceId(), "ws id");
}

TEST(ClientConfig, WithOperationsReplaceOneValueAndValidateAgain) {
    const ClientConfig insecure = build({"http://local:8080", "t", 30s, true, "w"});
    const ClientConfig cleared = insecure.withWorkspaceId(std::nullopt);
    EXPECT_EQ(cleared.workspaceId(), std::nullopt);
    EXPECT_EQ(cleared.serverUrl(), "http://local:8080");
    EXPECT_TRUE(cleared.allowsInsecureHttp());
    EXPECT_EQ(cleared.accessToken(), "t");

    EXPECT_EQ(insecure.withAccessToken(std::nullopt).accessToken(), std::nullopt);
    EXPECT_EQ(insecure.withRequestTimeout(120s).requestTimeout(), 120s);
    EXPECT_EQ(insecure.withServerUrl("https://other/").serverUrl(), "https://other");

    const ClientConfig secure = build({"https://host"});
    EXPECT_THROW(
        {
            try {
                secure.withServerUrl("http://stored");
            } catch (const std::invalid_argument& error) {
                EXPECT_STREQ(error.what(), httpsRequired);
                throw;
            }
        },
        std::invalid_argument);
    EXPECT_THROW(secure.withRequestTimeout(0s), std::invalid_argument);
    EXPECT_THROW(secure.withAccessToken(""), std::invalid_argument);
    EXPECT_THROW(secure.withWorkspaceId("a\nb"), std::invalid_argument);
}

// Every test below starts from an environment without the four variables and
// restores the caller's environment afterwards.
class ClientConfigEnvironment : public ::testing::Test {
protected:
    CleanClientEnvironment clean_;
};

std::string environmentFailure() {
    try {
        ClientConfig::fromEnvironment();
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "<accepted>";
}

TEST_F(ClientConfigEnvironment, DefaultsWhenNothingIsSet) {
    const ClientConfig config = ClientConfig::fromEnvironment();
    EXPECT_EQ(config.serverUrl(), ClientConfig::defaultServerUrl);
    EXPECT_EQ(config.accessToken(), std::nullopt);
    EXPECT_EQ(config.requestTimeout(), 30s);
    EXPECT_FALSE(config.allowsInsecureHttp());
    EXPECT_EQ(config.workspaceId(), std::nullopt);
}

TEST_F(ClientConfigEnvironment, EmptyValuesCountAsUnset) {
    const ScopedEnvironment url("QUARLINO_SERVER_URL", "");
    const ScopedEnvironment token("QUARLINO_ACCESS_TOKEN", "");
    const ScopedEnvironment timeout("QUARLINO_HTTP_TIMEOUT_SECONDS", "");
    const ScopedEnvironment insecure("QUARLINO_ALLOW_INSECURE_HTTP", "");
    const ClientConfig config = ClientConfig::fromEnvironment();
    EXPECT_EQ(config.serverUrl(), ClientConfig::defaultServerUrl);
    EXPECT_EQ(config.accessToken(), std::nullopt);
    EXPECT_EQ(config.requestTimeout(), 30s);
    EXPECT_FALSE(config.allowsInsecureHttp());
}

TEST_F(ClientConfigEnvironment, TakesEveryValueFromTheEnvironment) {
    const ScopedEnvironment url("QUARLINO_SERVER_URL", "http://127.0.0.1:9000/");
    const ScopedEnvironment token("QUARLINO_ACCESS_TOKEN", "secret-token");
    const ScopedEnvironment timeout("QUARLINO_HTTP_TIMEOUT_SECONDS", "0030");
    const ScopedEnvironment insecure("QUARLINO_ALLOW_INSECURE_HTTP", "1");
    const ClientConfig config = ClientConfig::fromEnvironment();
    EXPECT_EQ(config.serverUrl(), "http://127.0.0.1:9000");
    EXPECT_EQ(config.accessToken(), "secret-token");
    EXPECT_EQ(config.requestTimeout(), 30s);
    EXPECT_TRUE(config.allowsInsecureHttp());
    EXPECT_EQ(config.workspaceId(), std::nullopt);
}

class ClientConfigEnvironmentTimeout : public ClientConfigEnvironment,
                                       public ::testing::WithParamInterface<std::pair<const char*, int>> {};

TEST_P(ClientConfigEnvironmentTimeout, ParsesOrRejects) {
    const ScopedEnvironment timeout("QUARLINO_HTTP_TIMEOUT_SECONDS", GetParam().first);
    if (GetParam().second == 0) {
        EXPECT_EQ(environmentFailure(), envTimeoutRange);
    } else {
        EXPECT_EQ(ClientConfig::fromEnvironment().requestTimeout(), std::chrono::seconds(GetParam().second));
    }
}

// 0 in the second member means the value must be rejected.
INSTANTIATE_TEST_SUITE_P(Values, ClientConfigEnvironmentTimeout,
                         ::testing::Values(std::pair{"1", 1}, std::pair{"300", 300}, std::pair{"0030", 30},
                                           std::pair{"-0001", 0}, std::pair{"0", 0}, std::pair{"301", 0},
                                           std::pair{"-5", 0}, std::pair{"+5", 0}, std::pair{" 5", 0},
                                           std::pair{"5 ", 0}, std::pair{"5s", 0}, std::pair{"5.0", 0},
                                           std::pair{"-", 0}, std::pair{"0x10", 0},
                                           std::pair{"9223372036854775808", 0},
                                           std::pair{"99999999999999999999999999", 0},
                                           std::pair{"-9223372036854775809", 0}));

class ClientConfigEnvironmentSwitch : public ClientConfigEnvironment,
                                      public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(ClientConfigEnvironmentSwitch, AcceptsOnlyTheFourSpellings) {
    const ScopedEnvironment url("QUARLINO_SERVER_URL", "http://local");
    const ScopedEnvironment insecure("QUARLINO_ALLOW_INSECURE_HTTP", GetParam().first);
    EXPECT_EQ(environmentFailure(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Values, ClientConfigEnvironmentSwitch,
                         ::testing::Values(std::pair{"true", "<accepted>"}, std::pair{"1", "<accepted>"},
                                           std::pair{"false", httpsRequired}, std::pair{"0", httpsRequired},
                                           std::pair{"TRUE", envSwitch}, std::pair{"yes", envSwitch},
                                           std::pair{"on", envSwitch}, std::pair{"true ", envSwitch}));

TEST_F(ClientConfigEnvironment, ReportsTheTimeoutBeforeTheSwitchAndBothBeforeTheUrl) {
    const ScopedEnvironment url("QUARLINO_SERVER_URL", "ftp://nowhere");
    const ScopedEnvironment token("QUARLINO_ACCESS_TOKEN", "bad\n");
    const ScopedEnvironment insecure("QUARLINO_ALLOW_INSECURE_HTTP", "maybe");
    {
        const ScopedEnvironment timeout("QUARLINO_HTTP_TIMEOUT_SECONDS", "0");
        EXPECT_EQ(environmentFailure(), envTimeoutRange);
    }
    EXPECT_EQ(environmentFailure(), envSwitch);
}

TEST_F(ClientConfigEnvironment, ChecksTheUrlBeforeTheToken) {
    const ScopedEnvironment token("QUARLINO_ACCESS_TOKEN", "bad\n");
    {
        const ScopedEnvironment url("QUARLINO_SERVER_URL", "https://host/path");
        EXPECT_EQ(environmentFailure(), authorityOnly);
    }
    EXPECT_EQ(environmentFailure(), badToken);
}

}  // namespace
