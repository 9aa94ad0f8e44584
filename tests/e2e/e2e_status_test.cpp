#include "e2e/quil_harness.hpp"

namespace quarlino::quil::e2e {
namespace {

class StatusCommand : public QuilEndToEnd {};

TEST_F(StatusCommand, AvailableServerAnswersWithoutCredentials) {
    platform.expect("GET", "/").respond(200, "<!doctype html>", {{"Content-Type", "text/html"}});

    expectOutcome(quil({"status", "--server", platform.url()}),
                  {0, "Quarlino is available at " + platform.url() + " (HTTP 200)\n", ""});

    const auto request = onlyRequest();
    EXPECT_EQ(request.line(), "GET /");
    EXPECT_EQ(request.header("Accept"), "text/html, application/json");
    EXPECT_EQ(request.body, "");
    expectIdentity(request, std::nullopt, std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(configDirectory())) << "a read-only command wrote configuration";
}

struct StatusCase {
    const char* name;
    int status;
    std::vector<std::string> flags;
    int exitCode;
    std::string out;  // "<url>" stands for the server
    std::string err;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

std::string withUrl(std::string text, const std::string& url) {
    for (auto at = text.find("<url>"); at != std::string::npos; at = text.find("<url>", at + url.size())) {
        text.replace(at, 5, url);
    }
    return text;
}

class StatusOutcomes : public QuilEndToEnd, public testing::WithParamInterface<StatusCase> {};

TEST_P(StatusOutcomes, ExitCodeAndStreams) {
    const auto& c = GetParam();
    platform.expect("GET", "/").respond(c.status, "{}");
    std::vector<std::string> arguments{"status", "--server", platform.url()};
    arguments.insert(arguments.end(), c.flags.begin(), c.flags.end());

    expectOutcome(quil(arguments), {c.exitCode, withUrl(c.out, platform.url()), withUrl(c.err, platform.url())});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, StatusOutcomes,
    testing::Values(
        StatusCase{"Ok", 200, {}, 0, "Quarlino is available at <url> (HTTP 200)\n", ""},
        StatusCase{"NoContent", 204, {}, 0, "Quarlino is available at <url> (HTTP 204)\n", ""},
        StatusCase{"OkQuiet", 200, {"--quiet"}, 0, "", ""},
        StatusCase{"OkJson", 200, {"--output", "json"}, 0,
                   "{\"available\":true,\"server\":\"<url>\",\"statusCode\":200}\n", ""},
        StatusCase{"Unavailable", 503, {}, 1, "", "Quarlino at <url> returned HTTP 503\n"},
        StatusCase{"UnavailableQuiet", 503, {"--quiet"}, 1, "", ""},
        StatusCase{"UnavailableJson", 503, {"--output", "json"}, 1,
                   "{\"available\":false,\"server\":\"<url>\",\"statusCode\":503}\n", ""},
        StatusCase{"UnavailableJsonQuiet", 503, {"--output", "json", "--quiet"}, 1,
                   "{\"available\":false,\"server\":\"<url>\",\"statusCode\":503}\n", ""},
        StatusCase{"NotFoundIsNoError", 404, {}, 1, "", "Quarlino at <url> returned HTTP 404\n"},
        StatusCase{"RedirectIsNotFollowed", 302, {}, 1, "", "Quarlino at <url> returned HTTP 302\n"}),
    [](const testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

// The probe goes to whatever server the user names; it must never carry the
// user's credentials or workspace there.
TEST_F(StatusCommand, SendsNoStoredTokenOrWorkspace) {
    signIn("tok-stored", "ws-1");
    platform.expect("GET", "/").respond(200);

    expectOutcome(quil({"status"}), {0, "Quarlino is available at " + platform.url() + " (HTTP 200)\n", ""});

    expectIdentity(onlyRequest(), std::nullopt, std::nullopt);
}

TEST_F(StatusCommand, SendsNoEnvironmentTokenToAnotherServer) {
    signIn("tok-stored", "ws-1");
    setEnvironment("QUARLINO_ACCESS_TOKEN", "tok-environment");
    FakePlatform other;
    other.expect("GET", "/").respond(200);

    expectOutcome(quil({"status", "--server", other.url()}),
                  {0, "Quarlino is available at " + other.url() + " (HTTP 200)\n", ""});

    EXPECT_TRUE(platform.requests().empty());
    const auto requests = other.requests();
    ASSERT_EQ(requests.size(), 1U);
    expectIdentity(requests.front(), std::nullopt, std::nullopt);
}

TEST_F(StatusCommand, ServerFromTheEnvironmentWhenNoProfile) {
    setEnvironment("QUARLINO_SERVER_URL", platform.url() + "/");
    platform.expect("GET", "/").respond(200);

    expectOutcome(quil({"status"}), {0, "Quarlino is available at " + platform.url() + " (HTTP 200)\n", ""});
}

TEST_F(StatusCommand, RefusedConnectionIsUnavailable) {
    const auto url = refusedUrl();

    expectOutcome(quil({"status", "--server", url}), {1, "", "Quarlino at " + url + " returned HTTP 0\n"});
}

TEST_F(StatusCommand, StallingServerTimesOutAs408) {
    platform.expect("GET", "/").stall();

    expectOutcome(quil({"status", "--server", platform.url(), "--timeout", "1"}),
                  {1, "", "Quarlino at " + platform.url() + " returned HTTP 408\n"});
}

TEST_F(StatusCommand, PlainHttpRefusedUnlessAllowed) {
    unsetEnvironment("QUARLINO_ALLOW_INSECURE_HTTP");

    expectOutcome(quil({"status", "--server", platform.url()}), {2, "", "quil: Quarlino server URL must use HTTPS\n"});
    EXPECT_TRUE(platform.requests().empty());
}

TEST_F(StatusCommand, HttpsWithTheTestAuthority) {
    FakePlatform secure(FakePlatform::Options{true});
    secure.expect("GET", "/").respond(200);
    unsetEnvironment("QUARLINO_ALLOW_INSECURE_HTTP");
    setEnvironment("SSL_CERT_FILE", FakePlatform::caFile());

    expectOutcome(quil({"status", "--server", secure.url()}),
                  {0, "Quarlino is available at " + secure.url() + " (HTTP 200)\n", ""});
}

TEST_F(StatusCommand, HttpsWithAnUntrustedCertificateIsUnavailable) {
    FakePlatform secure(FakePlatform::Options{true});
    unsetEnvironment("QUARLINO_ALLOW_INSECURE_HTTP");
    // An empty trust store: the test authority is unknown.
    setEnvironment("SSL_CERT_FILE", (home() / "no-such-bundle.pem").string());
    setEnvironment("SSL_CERT_DIR", (home() / "no-such-directory").string());

    const auto result = quil({"status", "--server", secure.url()});

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("Quarlino at " + secure.url() + " returned HTTP 0\n"), std::string::npos) << result.err;
    EXPECT_TRUE(secure.requests().empty());
}

}  // namespace
}  // namespace quarlino::quil::e2e
