#include "cli/commands/auth_commands.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "application/browser_login.hpp"
#include "cli/expect_failure.hpp"
#include "support/quil/application_harness.hpp"
#include "support/quil/mock_quarlino_gateway.hpp"

namespace quarlino::quil::cli {
namespace {

using testing::_;
using testing::DoAll;
using testing::HasSubstr;
using testing::InSequence;
using testing::Invoke;
using testing::Not;
using testing::Return;
using testing::SaveArg;
using testsupport::quil::ApplicationHarness;
using testsupport::quil::MockQuarlinoGateway;

const model::User ada{"u-1", "Ada", "ada@example.com", "ada.l"};
constexpr const char* adaJson = R"({"email":"ada@example.com","handle":"ada.l","id":"u-1","name":"Ada"})"
                                "\n";

model::ApiResponse<model::LoginResult> signedIn() {
    return {{ada, "new-token"}, R"({"quarlino-token":"new-token"})"};
}

class RecordingBrowserOpener final : public application::port::BrowserOpener {
public:
    void open(std::string_view url, std::ostream& out) override {
        urls.emplace_back(url);
        out << "[opened]\n";
    }
    std::vector<std::string> urls;
};

class FailingBrowserOpener final : public application::port::BrowserOpener {
public:
    void open(std::string_view, std::ostream&) override { throw std::runtime_error("cannot open the browser"); }
};

class AuthCommands : public testing::Test {
protected:
    void storeProfile(std::string name, std::string server, std::optional<std::string> workspace,
                      std::optional<std::string> token) {
        harness.profileRepository.save({name, std::move(server), std::move(workspace)});
        if (token) {
            harness.credentialStore.saveToken(name, *token);
        }
    }

    template <typename Error>
    void expectFailure(const std::vector<std::string_view>& words, const std::string& message,
                       std::string input = {}) {
        cli::expectFailure<Error>([&] { harness.run(words, std::move(input)); }, message);
    }

    // The one gateway made: for sign-in it carries neither token nor workspace.
    void expectSignInGatewayFor(const std::string& server) {
        ASSERT_EQ(harness.gateways.configs().size(), 1U);
        const auto& config = harness.gateways.configs().front();
        EXPECT_EQ(config.serverUrl(), server);
        EXPECT_EQ(config.accessToken(), std::nullopt);
        EXPECT_EQ(config.workspaceId(), std::nullopt);
    }

    std::optional<std::string> tokenOf(std::string_view profile) {
        return harness.credentialStore.loadToken(profile);
    }

    ApplicationHarness harness;
};

TEST_F(AuthCommands, LogoutForgetsOnlyTheLocalToken) {
    storeProfile("work", "https://api.example", std::nullopt, "tok");
    const auto outcome = harness.run({"auth", "logout", "--profile", "work"});
    EXPECT_EQ(outcome.out, "Logged out from profile work\n");
    EXPECT_EQ(tokenOf("work"), std::nullopt);
    EXPECT_TRUE(harness.profileRepository.find("work").has_value());
    EXPECT_TRUE(harness.gateways.configs().empty());
}

TEST_F(AuthCommands, LogoutReceiptsInEveryMode) {
    EXPECT_EQ(harness.run({"auth", "logout"}).out, "Logged out from profile default\n");
    EXPECT_EQ(harness.run({"auth", "logout", "--quiet"}).out, "");
    EXPECT_EQ(harness.run({"auth", "logout", "--output", "json", "--quiet"}).out,
              "{\"authenticated\":false,\"profile\":\"default\"}\n");
}

TEST_F(AuthCommands, WhoamiNeedsATokenAndKeepsTheWorkspace) {
    expectFailure<std::invalid_argument>({"auth", "whoami"}, "not authenticated; run 'quil auth login'");

    storeProfile("default", "https://api.example", "w-1", "tok");
    EXPECT_CALL(harness.gateways.expectGateway(), currentUser())
        .WillOnce(Return(model::ApiResponse<model::User>{ada, "{\"me\":1}"}));
    EXPECT_EQ(harness.run({"auth", "whoami"}).out,
              "ID   NAME  EMAIL            HANDLE  \n"
              "u-1  Ada   ada@example.com  ada.l   \n");
    ASSERT_EQ(harness.gateways.configs().size(), 1U);
    EXPECT_EQ(harness.gateways.configs().front().workspaceId(), "w-1");
    EXPECT_EQ(harness.gateways.configs().front().accessToken(), "tok");

    // Who is signed in is no secret: JSON output is the platform's own answer.
    EXPECT_CALL(harness.gateways.expectGateway(), currentUser())
        .WillOnce(Return(model::ApiResponse<model::User>{ada, "{\"me\":1}"}));
    EXPECT_EQ(harness.run({"auth", "whoami", "--output", "json"}).out, "{\"me\":1}\n");
}

TEST_F(AuthCommands, PasswordStdinWithoutEmailIsRefusedBeforeReading) {
    expectFailure<std::invalid_argument>({"auth", "login", "--password-stdin"},
                                         "--email is required with --password-stdin", "secret\n");
    EXPECT_TRUE(harness.gateways.configs().empty());
    EXPECT_TRUE(harness.secretPrompts.empty());
}

TEST_F(AuthCommands, PasswordLoginTakesTheFirstLineAndStoresTheTokenUnderANewProfile) {
    EXPECT_CALL(harness.gateways.expectGateway(), login("ada@example.com", "first line\r"))
        .WillOnce(Return(signedIn()));

    const auto outcome = harness.run({"auth", "login", "--email", "ada@example.com", "--password-stdin",
                                      "--server", "https://api.example/", "--output", "json"},
                                     "first line\r\nsecond line\n");

    EXPECT_EQ(outcome.out, adaJson);
    EXPECT_THAT(outcome.out + outcome.err, Not(HasSubstr("new-token")));
    EXPECT_EQ(outcome.err, "");
    expectSignInGatewayFor("https://api.example");
    EXPECT_EQ(tokenOf("default"), "new-token");
    EXPECT_EQ(harness.profileRepository.find("default")->serverUrl, "https://api.example");
    EXPECT_EQ(harness.profileRepository.active(), "default");
}

TEST_F(AuthCommands, PasswordLoginDropsTheOldTokenAndWorkspaceAndMakesTheProfileActive) {
    storeProfile("default", "https://api.example", std::nullopt, std::nullopt);
    storeProfile("work", "https://api.example", "w-1", "old-token");
    harness.profileRepository.setActive("default");
    harness.secrets.push_back("pw");
    EXPECT_CALL(harness.gateways.expectGateway(), login("ada@example.com", "pw")).WillOnce(Return(signedIn()));

    const auto outcome = harness.run({"auth", "login", "--profile", "work", "--email", "ada@example.com"});

    EXPECT_EQ(outcome.out,
              "ID   NAME  EMAIL            HANDLE  \n"
              "u-1  Ada   ada@example.com  ada.l   \n");
    EXPECT_EQ(harness.secretPrompts, std::vector<std::string>{"Password: "});
    expectSignInGatewayFor("https://api.example");
    EXPECT_EQ(tokenOf("work"), "new-token");
    EXPECT_EQ(harness.profileRepository.active(), "work");
    EXPECT_EQ(harness.profileRepository.find("work")->workspaceId, "w-1");
}

TEST_F(AuthCommands, PasswordLoginRefusesMissingInput) {
    expectFailure<std::runtime_error>({"auth", "login", "--email", "a@b.c", "--password-stdin"},
                                      "cannot read command input", "");
    expectFailure<std::invalid_argument>({"auth", "login", "--email", "a@b.c", "--password-stdin"},
                                         "email and password are required", "\n");
    EXPECT_TRUE(harness.gateways.configs().empty());
}

TEST_F(AuthCommands, PlatformRefusalStoresNothing) {
    harness.secrets.push_back("wrong");
    EXPECT_CALL(harness.gateways.expectGateway(), login(_, _))
        .WillOnce(Invoke([](std::string_view, std::string_view) -> model::ApiResponse<model::LoginResult> {
            throw std::runtime_error("Invalid credentials");
        }));
    expectFailure<std::runtime_error>({"auth", "login", "--email", "a@b.c"}, "Invalid credentials");
    EXPECT_TRUE(harness.credentialStore.tokens().empty());
    EXPECT_TRUE(harness.profileRepository.stored().empty());
}

// A profile keeps its server; a token from another server must not land in it.
struct ServerCase {
    const char* name;
    std::vector<std::string_view> words;
};

void PrintTo(const ServerCase& entry, std::ostream* out) { *out << entry.name; }

class SignInToAnotherServer : public AuthCommands, public testing::WithParamInterface<ServerCase> {};

TEST_P(SignInToAnotherServer, IsRefusedBeforeAnythingIsSentOrRead) {
    storeProfile("work", "https://a.example", std::nullopt, "a-token");
    std::vector<std::string_view> words = GetParam().words;
    // --workspace too: resolving it would already list workspaces at B with the token.
    words.insert(words.end(), {"--profile", "work", "--server", "https://b.example", "--workspace", "w-1"});

    expectFailure<std::invalid_argument>(
        words,
        "profile 'work' is set up for https://a.example; to sign in to https://b.example, choose another "
        "profile with --profile or create one with 'quil profile create'",
        "pw\n");

    EXPECT_TRUE(harness.gateways.configs().empty());
    EXPECT_TRUE(harness.secretPrompts.empty());
    EXPECT_EQ(tokenOf("work"), "a-token");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SignInToAnotherServer,
    testing::Values(ServerCase{"PasswordLogin", {"auth", "login", "--email", "a@b.c", "--password-stdin"}},
                    ServerCase{"BrowserLogin", {"auth", "login"}},
                    ServerCase{"Signup", {"auth", "signup", "--name", "Ada", "--email", "a@b.c", "--handle",
                                          "adal", "--password-stdin"}}),
    [](const testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

// The refusal is only for a profile stored with another server: a sign-in to
// the profile's own server, or under a profile that does not exist yet, goes
// ahead and stores the token there.
struct AllowedCase {
    const char* name;
    std::vector<std::string_view> words;
    const char* profile;
    const char* server;
};

void PrintTo(const AllowedCase& entry, std::ostream* out) { *out << entry.name; }

class SignInThatIsAllowed : public AuthCommands, public testing::WithParamInterface<AllowedCase> {};

TEST_P(SignInThatIsAllowed, StoresTheTokenUnderTheProfileAndMakesItActive) {
    storeProfile("work", "https://a.example", std::nullopt, "a-token");
    harness.profileRepository.setActive("work");
    auto& gateway = harness.gateways.expectGateway();
    EXPECT_CALL(gateway, login("a@b.c", "pw")).Times(testing::AtMost(1)).WillRepeatedly(Return(signedIn()));
    EXPECT_CALL(gateway, signup(_)).Times(testing::AtMost(1)).WillRepeatedly(Return(signedIn()));
    std::vector<std::string_view> words = GetParam().words;
    words.insert(words.end(), {"--email", "a@b.c", "--password-stdin"});

    EXPECT_EQ(harness.run(words, "pw\n").exitCode, 0);

    expectSignInGatewayFor(GetParam().server);
    EXPECT_EQ(tokenOf(GetParam().profile), "new-token");
    EXPECT_EQ(harness.profileRepository.find(GetParam().profile)->serverUrl, GetParam().server);
    EXPECT_EQ(harness.profileRepository.active(), GetParam().profile);
    if (std::string_view(GetParam().profile) != "work") {
        EXPECT_EQ(tokenOf("work"), "a-token");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SignInThatIsAllowed,
    testing::Values(
        AllowedCase{"LoginToTheProfilesServer", {"auth", "login", "--profile", "work"}, "work", "https://a.example"},
        AllowedCase{"LoginToTheProfilesServerNamedAgain",
                    {"auth", "login", "--profile", "work", "--server", "https://a.example/"},
                    "work",
                    "https://a.example"},
        AllowedCase{"LoginUnderANewProfile",
                    {"auth", "login", "--profile", "home", "--server", "https://b.example"},
                    "home",
                    "https://b.example"},
        AllowedCase{"SignupToTheProfilesServer",
                    {"auth", "signup", "--profile", "work", "--name", "Ada", "--handle", "adal"},
                    "work",
                    "https://a.example"},
        AllowedCase{"SignupUnderANewProfile",
                    {"auth", "signup", "--profile", "home", "--server", "https://b.example", "--name", "Ada",
                     "--handle", "adal"},
                    "home",
                    "https://b.example"}),
    [](const testing::TestParamInfo<AllowedCase>& info) { return std::string(info.param.name); });

TEST_F(AuthCommands, SignInToTheProfilesOwnServerByAnotherSpellingWorks) {
    storeProfile("work", "https://a.example", std::nullopt, "a-token");
    EXPECT_CALL(harness.gateways.expectGateway(), login("a@b.c", "pw")).WillOnce(Return(signedIn()));

    harness.run({"auth", "login", "--profile", "work", "--server", "https://a.example/", "--email", "a@b.c",
                 "--password-stdin"},
                "pw\n");

    EXPECT_EQ(tokenOf("work"), "new-token");
}

TEST_F(AuthCommands, BrowserLoginNeedsABrowser) {
    expectFailure<std::invalid_argument>({"auth", "login"},
                                         "browser authentication is unavailable; use --email with --password-stdin");
    EXPECT_TRUE(harness.gateways.configs().empty());
}

TEST_F(AuthCommands, BrowserLoginPollsWithItsOwnStateUntilGranted) {
    const auto opener = std::make_shared<RecordingBrowserOpener>();
    harness.browserOpener = opener;
    storeProfile("default", "https://api.example", "w-1", "old");
    auto& gateway = harness.gateways.expectGateway();
    std::string sentState;
    std::string challenge;
    std::vector<model::BrowserTokenExchange> polls;
    const auto recordPoll = [&polls](model::BrowserLoginPoll answer) {
        return [&polls, answer](const model::BrowserTokenExchange& exchange) {
            polls.push_back(exchange);
            return model::ApiResponse<model::BrowserLoginPoll>{answer, "{}"};
        };
    };
    {
        InSequence order;
        EXPECT_CALL(gateway, startBrowserLogin(_, _))
            .WillOnce(DoAll(SaveArg<0>(&sentState), SaveArg<1>(&challenge),
                            Return(model::ApiResponse<model::BrowserLoginSession>{
                                {"code-1", "platform-state", 600, 3}, "{}"})));
        EXPECT_CALL(gateway, pollBrowserLogin(_))
            .Times(2)
            .WillRepeatedly(Invoke(recordPoll({true, std::nullopt})));
        EXPECT_CALL(gateway, pollBrowserLogin(_))
            .WillOnce(Invoke(recordPoll({false, model::LoginResult{ada, "browser-token"}})));
    }

    const auto outcome = harness.run({"auth", "login", "--output", "json"});

    const std::string url = application::browserLoginUrl("https://api.example", "code-1", sentState);
    EXPECT_EQ(outcome.err,
              "If the browser does not open, visit:\n" + url + "\nWaiting for authentication...\n[opened]\n");
    EXPECT_EQ(opener->urls, std::vector<std::string>{url});
    EXPECT_EQ(outcome.out, adaJson);
    EXPECT_FALSE(sentState.empty());
    EXPECT_NE(challenge, sentState);
    ASSERT_EQ(polls.size(), 3U);
    for (const auto& poll : polls) {
        EXPECT_EQ(poll.authorizationCode, "code-1");
        EXPECT_EQ(poll.state, sentState);
        EXPECT_FALSE(poll.codeVerifier.empty());
        EXPECT_NE(poll.codeVerifier, challenge);
    }
    const std::vector<std::chrono::milliseconds> interval(2, std::chrono::seconds(3));
    EXPECT_EQ(harness.sleeps, interval);
    expectSignInGatewayFor("https://api.example");
    EXPECT_EQ(tokenOf("default"), "browser-token");
}

TEST_F(AuthCommands, BrowserLoginEndsWhenTheBrowserCannotStart) {
    harness.browserOpener = std::make_shared<FailingBrowserOpener>();
    EXPECT_CALL(harness.gateways.expectGateway(), startBrowserLogin(_, _))
        .WillOnce(Return(model::ApiResponse<model::BrowserLoginSession>{{"code-1", "s", 600, 3}, "{}"}));
    expectFailure<std::runtime_error>({"auth", "login"}, "cannot open the browser");
    EXPECT_TRUE(harness.credentialStore.tokens().empty());
}

// The poll loop against a clock that only the sleeper moves.
class BrowserLoginWait : public testing::Test {
protected:
    model::LoginResult await(int expiresInSeconds, int pollIntervalSeconds) {
        const model::BrowserLoginSession login{"code", "state", expiresInSeconds, pollIntervalSeconds};
        return awaitBrowserLogin(
            gateway, {"code", "verifier", "state"}, login,
            [this](std::chrono::milliseconds duration) {
                sleeps.push_back(duration);
                now += duration;
            },
            [this] { return now; });
    }

    void answerPending() {
        EXPECT_CALL(gateway, pollBrowserLogin(_))
            .WillRepeatedly(Return(model::ApiResponse<model::BrowserLoginPoll>{{true, std::nullopt}, "{}"}));
    }

    testing::StrictMock<MockQuarlinoGateway> gateway;
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::vector<std::chrono::milliseconds> sleeps;
};

TEST_F(BrowserLoginWait, TimesOutAfterTheLastPollAtOrPastTheDeadline) {
    using std::chrono::seconds;
    struct Case {
        int expiresIn;
        int interval;
        std::vector<std::chrono::milliseconds> sleeps;
    };
    // Polls at 0, 2, 4 (and 5 or 6): the one at or past the lifetime is the
    // last, and no sleep runs past it.
    constexpr int largest = std::numeric_limits<int>::max();
    for (const Case& entry : {Case{4, 2, {seconds(2), seconds(2)}}, Case{5, 2, {seconds(2), seconds(2), seconds(1)}},
                              Case{1, 7, {seconds(1)}}, Case{600, largest, {seconds(600)}}}) {
        sleeps.clear();
        answerPending();
        try {
            await(entry.expiresIn, entry.interval);
            ADD_FAILURE() << "no time-out";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "Quil browser login timed out");
        }
        EXPECT_EQ(sleeps, entry.sleeps) << entry.expiresIn << "/" << entry.interval;
        testing::Mock::VerifyAndClearExpectations(&gateway);
    }
}

TEST_F(BrowserLoginWait, AGrantedLoginEndsTheWaitWithoutSleeping) {
    model::ApiResponse<model::BrowserLoginPoll> granted;
    granted.value.login = model::LoginResult{ada, "t"};
    granted.body = "{}";
    EXPECT_CALL(gateway, pollBrowserLogin(_)).WillOnce(Return(granted));
    EXPECT_EQ(await(60, 5).token, "t");
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(BrowserLoginWait, TheLargestIntervalDoesNotOverflow) {
    constexpr int largest = std::numeric_limits<int>::max();
    EXPECT_EQ(browserLoginPollInterval(largest).count(), std::int64_t{largest} * 1000);
}

TEST_F(AuthCommands, SignupPromptsForWhatIsMissingAndConfirmsThePassword) {
    harness.secrets = {"pw", "pw"};
    model::SignupDefinition sent;
    EXPECT_CALL(harness.gateways.expectGateway(), signup(_)).WillOnce(DoAll(SaveArg<0>(&sent), Return(signedIn())));

    const auto outcome = harness.run({"auth", "signup"}, "Ada\nada@example.com\nada.l\n");

    EXPECT_EQ(outcome.err, "Name: Email: Handle: ");
    EXPECT_EQ(harness.secretPrompts, (std::vector<std::string>{"Password: ", "Confirm password: "}));
    EXPECT_EQ(sent.name, "Ada");
    EXPECT_EQ(sent.email, "ada@example.com");
    EXPECT_EQ(sent.handle, "ada.l");
    EXPECT_EQ(sent.password, "pw");
    EXPECT_EQ(outcome.out,
              "ID   NAME  EMAIL            HANDLE  \n"
              "u-1  Ada   ada@example.com  ada.l   \n");
    expectSignInGatewayFor(config::ClientConfig::defaultServerUrl);
    EXPECT_EQ(tokenOf("default"), "new-token");
}

TEST_F(AuthCommands, SignupWithPasswordStdinKeepsEveryLineAndAsksNoConfirmation) {
    model::SignupDefinition sent;
    EXPECT_CALL(harness.gateways.expectGateway(), signup(_)).WillOnce(DoAll(SaveArg<0>(&sent), Return(signedIn())));
    harness.run({"auth", "signup", "--name", "Ada", "--email", "a@b.c", "--handle", "adal", "--password-stdin"},
                "two\nlines\r\n");
    EXPECT_EQ(sent.password, "two\nlines");
    EXPECT_TRUE(harness.secretPrompts.empty());
}

TEST_F(AuthCommands, SignupReportsAMismatchedConfirmationBeforeEmptiness) {
    harness.secrets = {"pw", "other"};
    expectFailure<std::invalid_argument>({"auth", "signup", "--email", "a@b.c", "--handle", "adal"},
                                         "password confirmation does not match", "\n");
}

struct SignupCheck {
    const char* email;
    const char* handle;
    const char* error;  // empty when the sign-up goes ahead
};

void PrintTo(const SignupCheck& entry, std::ostream* out) {
    *out << "email [" << entry.email << "] handle [" << entry.handle << "]";
}

class SignupChecks : public AuthCommands, public testing::WithParamInterface<SignupCheck> {};

TEST_P(SignupChecks, ValidateEmailAndHandle) {
    const SignupCheck& entry = GetParam();
    const std::vector<std::string_view> words{"auth", "signup", "--name", "Ada", "--email", entry.email,
                                              "--handle", entry.handle, "--password-stdin"};
    if (*entry.error != '\0') {
        expectFailure<std::invalid_argument>(words, entry.error, "pw");
        EXPECT_TRUE(harness.gateways.configs().empty());
        return;
    }
    EXPECT_CALL(harness.gateways.expectGateway(), signup(_)).WillOnce(Return(signedIn()));
    EXPECT_EQ(harness.run(words, "pw").exitCode, 0);
}

constexpr const char* handleError = "handle must have 4 to 40 letters, numbers, dots, underscores or hyphens";
const std::string longestHandle(40, 'a');
const std::string tooLongHandle(41, 'a');

// Long enough to overflow the stack of a matcher that recurses per character.
const std::string longEmail = std::string(300000, 'a') + "@example.com";
const std::string longEmailWithoutDot = std::string(300000, 'a') + "@example";
const std::string longHandle(300000, 'a');

INSTANTIATE_TEST_SUITE_P(
    Table, SignupChecks,
    testing::Values(SignupCheck{"ada@example.com", "a.b_c-d", ""},
                    SignupCheck{"ada@example.com", "abcd", ""},
                    SignupCheck{"ada@example.com", longestHandle.c_str(), ""},
                    SignupCheck{"ada@example.com", "abc", handleError},
                    SignupCheck{"ada@example.com", tooLongHandle.c_str(), handleError},
                    SignupCheck{"ada@example.com", ".abcd", handleError},
                    SignupCheck{"ada@example.com", "abcd.", handleError},
                    SignupCheck{"ada@example.com", "ab cd", handleError},
                    SignupCheck{"ada@example", "abcd", "email is not valid"},
                    SignupCheck{"ada @example.com", "abcd", "email is not valid"},
                    SignupCheck{"ada@@example.com", "abcd", "email is not valid"},
                    SignupCheck{"@example.com", "abcd", "email is not valid"},
                    SignupCheck{"ada@example.", "abcd", "email is not valid"},
                    SignupCheck{"ada@.com", "abcd", "email is not valid"},
                    SignupCheck{"ada@b..c", "abcd", ""},
                    SignupCheck{"ada@example.com\t", "abcd", "email is not valid"},
                    SignupCheck{longEmail.c_str(), "abcd", ""},
                    SignupCheck{longEmailWithoutDot.c_str(), "abcd", "email is not valid"},
                    SignupCheck{"ada@example.com", longHandle.c_str(), handleError}));

// The check is written out by hand; on every short text over the characters
// that matter it must agree with the expression it stands for.
TEST(EmailCheck, AgreesWithTheExpressionOnEveryShortText) {
    const std::regex pattern(R"(^[^\s@]+@[^\s@]+\.[^\s@]+$)", std::regex::ECMAScript);
    const std::string alphabet = "a@. \n\v";
    std::vector<std::string> level{""};
    std::size_t valid = 0;
    for (int length = 1; length <= 6; ++length) {
        std::vector<std::string> next;
        for (const std::string& prefix : level) {
            for (const char c : alphabet) {
                next.push_back(prefix + c);
                const std::string& text = next.back();
                const bool expected = std::regex_match(text, pattern);
                valid += expected ? 1 : 0;
                ASSERT_EQ(isValidEmail(text), expected) << testing::PrintToString(text);
            }
        }
        level = std::move(next);
    }
    EXPECT_GT(valid, 0U);
    // Each white-space byte of the C locale, and bytes that are none.
    for (const std::string text : {"a\t@b.c", "a@b\f.c", "a@b.c\r", "a@b.c\v", "\xa0@b.c", "a@\x85.c"}) {
        EXPECT_EQ(isValidEmail(text), std::regex_match(text, pattern)) << testing::PrintToString(text);
    }
}

}  // namespace
}  // namespace quarlino::quil::cli
