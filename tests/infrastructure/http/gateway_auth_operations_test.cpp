#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "application/api_error.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/gateway_test_support.hpp"
#include "support/quil/recording_transport.hpp"

namespace quarlino::quil::infrastructure::http {
namespace {

using application::ApiError;
using application::port::HttpMethod;
using gatewaytest::expectRequest;
using gatewaytest::jsonErrorOf;
using gatewaytest::messageOf;
using testsupport::quil::RecordingTransport;

constexpr const char* kLoginPath = "/api/v1/user/login";
constexpr const char* kSignupPath = "/api/v1/user/signup";
constexpr const char* kStartPath = "/api/v1/user/cli/login/request";
constexpr const char* kPollPath = "/api/v1/user/cli/token";
constexpr const char* kMissingLoginToken = "Quarlino login response did not contain an access token";
constexpr const char* kMissingSignupToken = "Quarlino signup response did not contain an access token";
constexpr const char* kMissingBrowserToken = "Quarlino browser login response did not contain an access token";
constexpr const char* kIncomplete = "Quarlino browser login response was incomplete";

class AuthOperations : public testing::Test {
protected:
    RecordingTransport transport;
    HttpQuarlinoGateway gateway{transport};
};

// Password login ----------------------------------------------------------------------

TEST_F(AuthOperations, LoginPostsTheCredentialsAndReturnsUserAndToken) {
    const std::string answer =
        R"({"id":"u1","name":"Ann","email":"ann@example.com","handle":"ann","quarlino-token":"tok-1"} )";
    transport.expect(HttpMethod::POST, kLoginPath, 200, answer);

    const auto result = gateway.login("ann@example.com", "p\"w \xC3\xA9");

    expectRequest(transport.onlyRequest(), {HttpMethod::POST, kLoginPath,
                  "{\"email\":\"ann@example.com\",\"password\":\"p\\\"w \xC3\xA9\"}"});
    EXPECT_EQ(result.value.user.id, "u1");
    EXPECT_EQ(result.value.user.name, "Ann");
    EXPECT_EQ(result.value.user.email, "ann@example.com");
    EXPECT_EQ(result.value.user.handle, "ann");
    EXPECT_EQ(result.value.token, "tok-1");
    EXPECT_EQ(result.body, answer);
}

TEST_F(AuthOperations, LoginSendsAnEmptyPasswordAsTheEmptyString) {
    transport.expect(HttpMethod::POST, kLoginPath, 200, R"({"quarlino-token":"t"})");
    gateway.login("", "");
    EXPECT_EQ(transport.onlyRequest().body, R"({"email":"","password":""})");
}

TEST_F(AuthOperations, LoginTakesTheDigitsOfANumericToken) {
    transport.expect(HttpMethod::POST, kLoginPath, 200, R"({"quarlino-token":42})");
    EXPECT_EQ(gateway.login("a", "b").value.token, "42");
}

TEST_F(AuthOperations, LoginRefusesAnswersWithoutAToken) {
    for (const std::string answer : {R"({"quarlino-token":null})", R"({"quarlino-token":""})", R"({"id":"u1"})",
                                     "", R"(["quarlino-token"])", R"("tok")", R"({"user":{"quarlino-token":"t"}})"}) {
        RecordingTransport tokenless;
        tokenless.expect(HttpMethod::POST, kLoginPath, 200, answer);
        HttpQuarlinoGateway tokenlessGateway{tokenless};
        EXPECT_EQ(messageOf<std::runtime_error>([&] { tokenlessGateway.login("a", "b"); }), kMissingLoginToken)
            << answer;
    }
}

TEST_F(AuthOperations, LoginPassesARefusalOnWithThePlatformsMessage) {
    const std::string answer = R"({"message":"Invalid e-mail or password"})";
    transport.expect(HttpMethod::POST, kLoginPath, 401, answer);
    try {
        gateway.login("a", "wrong");
        ADD_FAILURE() << "accepted a refusal";
    } catch (const ApiError& error) {
        EXPECT_EQ(error.statusCode(), 401);
        EXPECT_STREQ(error.what(), "Invalid e-mail or password");
        EXPECT_EQ(error.responseBody(), answer);
    }
}

TEST_F(AuthOperations, LoginWithTextThatIsNotUtf8SendsNothing) {
    EXPECT_EQ(jsonErrorOf([&] { gateway.login("a", "\xC3"); }), 316);
    EXPECT_TRUE(transport.requests().empty());
}

TEST_F(AuthOperations, LoginReportsInvalidJson) {
    transport.expect(HttpMethod::POST, kLoginPath, 200, "<html>");
    const std::string message = messageOf<std::runtime_error>([&] { gateway.login("a", "b"); });
    EXPECT_EQ(message.rfind("Quarlino returned invalid JSON: ", 0), 0U) << message;
}

// Sign-up -------------------------------------------------------------------------------

TEST_F(AuthOperations, SignupWritesTheMembersInKeyOrder) {
    const std::string answer = R"({"id":"u2","handle":"bo","quarlino-token":"tok-2"})";
    transport.expect(HttpMethod::POST, kSignupPath, 201, answer);

    const auto result = gateway.signup(model::SignupDefinition{"Bo B", "bo@example.com", "bo", "secret"});

    expectRequest(transport.onlyRequest(), {HttpMethod::POST, kSignupPath,
                  R"({"email":"bo@example.com","handle":"bo","name":"Bo B","password":"secret"})"});
    EXPECT_EQ(result.value.user.id, "u2");
    EXPECT_EQ(result.value.user.handle, "bo");
    EXPECT_EQ(result.value.token, "tok-2");
    EXPECT_EQ(result.body, answer);
}

TEST_F(AuthOperations, SignupRefusesAnAnswerWithoutAToken) {
    transport.expect(HttpMethod::POST, kSignupPath, 200, "");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { gateway.signup({}); }), kMissingSignupToken);
    EXPECT_EQ(transport.onlyRequest().body, R"({"email":"","handle":"","name":"","password":""})");
}

// Opening a browser login ---------------------------------------------------------------

TEST_F(AuthOperations, StartBrowserLoginSendsChallengeAndStateAndReadsTheSession) {
    const std::string answer =
        R"({"authorizationCode":"code-1","state":"other","expiresInSeconds":300,"pollIntervalSeconds":5})";
    transport.expect(HttpMethod::POST, kStartPath, 200, answer);

    const auto result = gateway.startBrowserLogin("state-1", "challenge-1");

    expectRequest(transport.onlyRequest(), {HttpMethod::POST, kStartPath,
                  R"({"codeChallenge":"challenge-1","state":"state-1"})"});
    EXPECT_EQ(result.value.authorizationCode, "code-1");
    EXPECT_EQ(result.value.state, "other");  // returned as received, not compared
    EXPECT_EQ(result.value.expiresInSeconds, 300);
    EXPECT_EQ(result.value.pollIntervalSeconds, 5);
    EXPECT_EQ(result.body, answer);
}

struct SessionCase {
    std::string members;  // added to a code and a state
    int expiresInSeconds;
    int pollIntervalSeconds;
};

class BrowserLoginSession : public testing::TestWithParam<SessionCase> {};

TEST_P(BrowserLoginSession, ReadsLifetimeAndInterval) {
    RecordingTransport transport;
    transport.expect(HttpMethod::POST, kStartPath, 200,
                     R"({"authorizationCode":"c","state":"s")" + GetParam().members + "}");
    HttpQuarlinoGateway gateway{transport};
    const auto session = gateway.startBrowserLogin("s", "x").value;
    EXPECT_EQ(session.expiresInSeconds, GetParam().expiresInSeconds);
    EXPECT_EQ(session.pollIntervalSeconds, GetParam().pollIntervalSeconds);
}

INSTANTIATE_TEST_SUITE_P(Members, BrowserLoginSession,
                         testing::Values(SessionCase{R"(,"expiresInSeconds":60)", 60, 1},
                                         SessionCase{R"(,"expiresInSeconds":2.9,"pollIntervalSeconds":1.5)", 2, 1},
                                         SessionCase{R"(,"expiresInSeconds":true,"pollIntervalSeconds":true)", 1, 1}));

TEST(BrowserLoginSessionRefusals, ReportIncompleteAnswersAndTheLibrarysTypeErrors) {
    struct Refusal {
        std::string answer;
        std::string message;  // empty when a JSON library error is expected
        int jsonError;
    };
    const std::vector<Refusal> refusals{
        {R"({"authorizationCode":"c","state":"s"})", kIncomplete, 0},
        {R"({"authorizationCode":"c","state":"s","expiresInSeconds":60,"pollIntervalSeconds":0})", kIncomplete, 0},
        {R"({"authorizationCode":"c","state":"s","expiresInSeconds":0.5})", kIncomplete, 0},
        {R"({"authorizationCode":"c","state":"s","expiresInSeconds":-5})", kIncomplete, 0},
        {R"({"authorizationCode":"","state":"s","expiresInSeconds":60})", kIncomplete, 0},
        {R"({"authorizationCode":"c","state":null,"expiresInSeconds":60})", kIncomplete, 0},
        {"", kIncomplete, 0},
        {R"([{"authorizationCode":"c"}])", "", 306},
        {"null", "", 306},
        {R"({"authorizationCode":"c","state":"s","expiresInSeconds":"60"})", "", 302},
        {R"({"authorizationCode":"c","state":"s","expiresInSeconds":60,"pollIntervalSeconds":null})", "", 302},
    };
    for (const auto& refusal : refusals) {
        RecordingTransport transport;
        transport.expect(HttpMethod::POST, kStartPath, 200, refusal.answer);
        HttpQuarlinoGateway gateway{transport};
        const auto start = [&] { gateway.startBrowserLogin("s", "x"); };
        if (refusal.jsonError != 0) {
            EXPECT_EQ(jsonErrorOf(start), refusal.jsonError) << refusal.answer;
        } else {
            EXPECT_EQ(messageOf<std::runtime_error>(start), refusal.message) << refusal.answer;
        }
    }
}

// Polling a browser login -----------------------------------------------------------------

TEST_F(AuthOperations, PollSendsTheExchangeAndReportsPending) {
    const std::string answer = R"({"status":"pending"})";
    transport.expect(HttpMethod::POST, kPollPath, 200, answer);

    const auto result = gateway.pollBrowserLogin(model::BrowserTokenExchange{"code-1", "verifier-1", "state-1"});

    expectRequest(transport.onlyRequest(), {HttpMethod::POST, kPollPath,
                  R"({"authorizationCode":"code-1","codeVerifier":"verifier-1","state":"state-1"})"});
    EXPECT_TRUE(result.value.pending);
    EXPECT_FALSE(result.value.login.has_value());
    EXPECT_EQ(result.body, answer);
}

TEST_F(AuthOperations, PollStaysPendingEvenWithAToken) {
    transport.expect(HttpMethod::POST, kPollPath, 200, R"({"status":"pending","quarlino-token":"t","id":"u"})");
    const auto result = gateway.pollBrowserLogin({});
    EXPECT_TRUE(result.value.pending);
    EXPECT_FALSE(result.value.login.has_value());
}

TEST_F(AuthOperations, PollCountsAnyOtherStatusAsFinished) {
    for (const std::string status : {R"("status":"approved",)", R"("status":"",)", "", R"("status":null,)"}) {
        RecordingTransport finished;
        const std::string answer = "{" + status + R"("id":"u1","email":"e","quarlino-token":"tok"})";
        finished.expect(HttpMethod::POST, kPollPath, 200, answer);
        HttpQuarlinoGateway finishedGateway{finished};
        const auto result = finishedGateway.pollBrowserLogin({});
        EXPECT_FALSE(result.value.pending) << answer;
        ASSERT_TRUE(result.value.login.has_value()) << answer;
        EXPECT_EQ(result.value.login->user.id, "u1");
        EXPECT_EQ(result.value.login->user.email, "e");
        EXPECT_EQ(result.value.login->token, "tok");
        EXPECT_EQ(result.body, answer);
    }
}

TEST_F(AuthOperations, PollRefusesAFinishedAnswerWithoutAToken) {
    for (const std::string answer : {R"({"status":"PENDING"})", R"({"status":"done","quarlino-token":null})", ""}) {
        RecordingTransport tokenless;
        tokenless.expect(HttpMethod::POST, kPollPath, 200, answer);
        HttpQuarlinoGateway tokenlessGateway{tokenless};
        EXPECT_EQ(messageOf<std::runtime_error>([&] { tokenlessGateway.pollBrowserLogin({}); }),
                  kMissingBrowserToken)
            << answer;
    }
}

TEST_F(AuthOperations, PollPassesAnExpiredAttemptOn) {
    transport.expect(HttpMethod::POST, kPollPath, 410, R"({"error":"login attempt expired"})");
    EXPECT_EQ(messageOf<ApiError>([&] { gateway.pollBrowserLogin({}); }), "login attempt expired");
}

// Current user ----------------------------------------------------------------------------

TEST_F(AuthOperations, CurrentUserGetsTheIdentityWithoutABody) {
    const std::string answer = R"({"id":"u1","name":"Ann","email":"a@x","handle":"ann"})";
    transport.expect(HttpMethod::GET, "/api/v1/user/me", 200, answer);

    const auto result = gateway.currentUser();

    expectRequest(transport.onlyRequest(), {HttpMethod::GET, "/api/v1/user/me", ""});
    EXPECT_EQ(result.value.id, "u1");
    EXPECT_EQ(result.value.name, "Ann");
    EXPECT_EQ(result.value.email, "a@x");
    EXPECT_EQ(result.value.handle, "ann");
    EXPECT_EQ(result.body, answer);
}

TEST_F(AuthOperations, CurrentUserOfAnEmptyAnswerHasEmptyFields) {
    transport.expect(HttpMethod::GET, "/api/v1/user/me", 200, "");
    const auto result = gateway.currentUser();
    EXPECT_EQ(result.value.id, "");
    EXPECT_EQ(result.value.handle, "");
    EXPECT_EQ(result.body, "");
}

}  // namespace
}  // namespace quarlino::quil::infrastructure::http
