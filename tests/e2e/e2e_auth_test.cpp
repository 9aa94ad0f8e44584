#include "e2e/quil_harness.hpp"

#include <sys/stat.h>

#include <openssl/evp.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

namespace quarlino::quil::e2e {
namespace {

using nlohmann::json;

const std::string loginAnswer =
    R"({"id":"usr-1","name":"Dana Demo","email":"dana@example.com","handle":"dana","quarlino-token":"tok-new"})";
const std::string userJsonLine = R"({"email":"dana@example.com","handle":"dana","id":"usr-1","name":"Dana Demo"})"
                                 "\n";

std::string userTable() {
    const std::vector<std::size_t> widths{7, 11, 18, 8};
    return columns(widths, {"ID", "NAME", "EMAIL", "HANDLE"}) +
           columns(widths, {"usr-1", "Dana Demo", "dana@example.com", "dana"});
}

class AuthCommand : public QuilEndToEnd {
protected:
    ProcessResult passwordLogin(std::vector<std::string> extra, std::string input = "s3cret\n") const {
        std::vector<std::string> arguments{"auth", "login", "--email", "dana@example.com", "--password-stdin"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return quil(arguments, std::move(input));
    }

    void expectSignedInAsDefault(const std::string& token) const {
        EXPECT_EQ(readFile(profilesFile()), profilesDocument("default", {{"default", platform.url(), std::nullopt}}));
        EXPECT_EQ(readFile(credentialsFile()), credentialsDocument({{"default", token}}));
    }
};

TEST_F(AuthCommand, PasswordLoginStoresTheTokenAndPrintsTheUser) {
    platform.expect("POST", "/api/v1/user/login").respond(200, loginAnswer);

    expectOutcome(passwordLogin({"--server", platform.url()}, "s3cret\nsecond line\n"), {0, userTable(), ""});

    const auto request = onlyRequest();
    EXPECT_EQ(request.body, R"({"email":"dana@example.com","password":"s3cret"})");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Accept"), "application/json");
    expectIdentity(request, std::nullopt, std::nullopt);
    expectSignedInAsDefault("tok-new");
}

TEST_F(AuthCommand, ConfigurationFilesArePrivate) {
    platform.expect("POST", "/api/v1/user/login").respond(200, loginAnswer);

    ASSERT_EQ(passwordLogin({"--server", platform.url()}).exitCode, 0);

    struct stat info {};
    ASSERT_EQ(::stat(credentialsFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U);
    ASSERT_EQ(::stat(configDirectory().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700U);
    EXPECT_FALSE(std::filesystem::exists(credentialsFile().string() + ".tmp"));
}

TEST_F(AuthCommand, LoginPrintsTheUserNeverTheToken) {
    platform.expect("POST", "/api/v1/user/login").respond(200, loginAnswer).times(2);

    expectOutcome(passwordLogin({"--server", platform.url(), "--output", "json"}), {0, userJsonLine, ""});
    expectOutcome(passwordLogin({"--quiet"}), {0, "usr-1\n", ""});
}

TEST_F(AuthCommand, LoginSendsNeitherTheOldTokenNorTheWorkspace) {
    signIn("tok-old", "ws-1");
    platform.expect("POST", "/api/v1/user/login").respond(200, loginAnswer);

    expectOutcome(passwordLogin({"--server", platform.url()}), {0, userTable(), ""});

    expectIdentity(onlyRequest(), std::nullopt, std::nullopt);
    // The profile keeps its server and workspace; only the token changes.
    EXPECT_EQ(readFile(profilesFile()), profilesDocument("default", {{"default", platform.url(), "ws-1"}}));
    EXPECT_EQ(readFile(credentialsFile()), credentialsDocument({{"default", "tok-new"}}));
}

// A token issued by one server must never be stored under a profile whose
// later requests go to another.
TEST_F(AuthCommand, LoginToAnotherServerThanTheProfilesIsRefused) {
    signIn("tok-old");
    const auto profiles = readFile(profilesFile());
    FakePlatform other;

    const auto result = passwordLogin({"--server", other.url()});

    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("quil: ", 0), 0U) << result.err;
    EXPECT_TRUE(other.requests().empty());
    EXPECT_EQ(readFile(profilesFile()), profiles);
    EXPECT_EQ(readFile(credentialsFile()), credentialsDocument({{"default", "tok-old"}}));
}

TEST_F(AuthCommand, SignupToAnotherServerThanTheProfilesIsRefused) {
    signIn("tok-old");
    FakePlatform other;

    const auto result = quil({"auth", "signup", "--name", "Dana", "--email", "dana@example.com", "--handle", "dana",
                              "--password-stdin", "--server", other.url()},
                             "pw\n");

    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err.rfind("quil: ", 0), 0U) << result.err;
    EXPECT_TRUE(other.requests().empty());
    EXPECT_EQ(readFile(credentialsFile()), credentialsDocument({{"default", "tok-old"}}));
}

TEST_F(AuthCommand, LoginUnderANewProfileCreatesItAndMakesItActive) {
    signIn("tok-old");
    FakePlatform other;
    other.expect("POST", "/api/v1/user/login").respond(200, loginAnswer);

    expectOutcome(passwordLogin({"--profile", "work", "--server", other.url() + "/"}), {0, userTable(), ""});

    EXPECT_EQ(readFile(profilesFile()), profilesDocument("work", {{"default", platform.url(), std::nullopt},
                                                                  {"work", other.url(), std::nullopt}}));
    EXPECT_EQ(readFile(credentialsFile()), credentialsDocument({{"default", "tok-old"}, {"work", "tok-new"}}));
}

TEST_F(AuthCommand, RejectedCredentialsStoreNothing) {
    platform.expect("POST", "/api/v1/user/login").respond(401, R"({"message":"Invalid email or password"})");

    expectOutcome(passwordLogin({"--server", platform.url()}), {3, "", "quil: Invalid email or password\n"});
    EXPECT_FALSE(std::filesystem::exists(configDirectory()));
}

TEST_F(AuthCommand, RejectedCredentialsAsJsonError) {
    platform.expect("POST", "/api/v1/user/login").respond(401, R"({"message":"Invalid email or password"})");

    expectOutcome(passwordLogin({"--server", platform.url(), "--output", "json"}),
                  {3, "", jsonError("UNAUTHENTICATED", 401, "Invalid email or password")});
}

TEST_F(AuthCommand, AnswerWithoutATokenStoresNothing) {
    platform.expect("POST", "/api/v1/user/login").respond(200, R"({"id":"usr-1","quarlino-token":null})");

    expectOutcome(passwordLogin({"--server", platform.url()}),
                  {1, "", "quil: Quarlino login response did not contain an access token\n"});
    EXPECT_FALSE(std::filesystem::exists(credentialsFile()));
}

TEST_F(AuthCommand, AnswerWithAMalformedTokenStoresNothing) {
    platform.expect("POST", "/api/v1/user/login")
        .respond(200, R"({"id":"usr-1","quarlino-token":"tok\r\nX-Injected: 1"})");

    expectOutcome(passwordLogin({"--server", platform.url()}),
                  {1, "", "quil: Quarlino access token is malformed\n"});
    EXPECT_FALSE(std::filesystem::exists(credentialsFile()));
    EXPECT_FALSE(std::filesystem::exists(profilesFile()));
}

TEST_F(AuthCommand, PasswordInputProblemsStopBeforeAnyRequest) {
    expectOutcome(quil({"auth", "login", "--password-stdin", "--server", platform.url()}, "s3cret\n"),
                  {2, "", "quil: --email is required with --password-stdin\n"});
    expectOutcome(passwordLogin({"--server", platform.url()}, ""), {1, "", "quil: cannot read command input\n"});
    expectOutcome(passwordLogin({"--server", platform.url()}, "\n"), {2, "", "quil: email and password are required\n"});
    expectOutcome(quil({"auth", "login", "--email", "a@x.io", "--server", platform.url()}, "", "</", {}),
                  {1, "", "Password: quil: cannot read password\n"});
}

TEST_F(AuthCommand, SignupSendsTheDefinitionAndSignsIn) {
    platform.expect("POST", "/api/v1/user/signup").respond(201, loginAnswer);

    expectOutcome(quil({"auth", "signup", "--name", "Dana Demo", "--email", "dana@example.com", "--handle", "dana",
                        "--password-stdin", "--server", platform.url()},
                       "pass word\r\n"),
                  {0, userTable(), ""});

    const auto request = onlyRequest();
    EXPECT_EQ(request.body,
              R"({"email":"dana@example.com","handle":"dana","name":"Dana Demo","password":"pass word"})");
    expectIdentity(request, std::nullopt, std::nullopt);
    expectSignedInAsDefault("tok-new");
}

TEST_F(AuthCommand, SignupAsksForWhatTheOptionsLeaveOut) {
    platform.expect("POST", "/api/v1/user/signup").respond(201, loginAnswer);

    expectOutcome(quil({"auth", "signup", "--password-stdin", "--server", platform.url(), "--output", "json"},
                       "Dana Demo\ndana@example.com\ndana\nline one\nline two\n"),
                  {0, userJsonLine, "Name: Email: Handle: "});

    EXPECT_EQ(onlyRequest().body,
              R"({"email":"dana@example.com","handle":"dana","name":"Dana Demo","password":"line one\nline two"})");
}

struct SignupRefusal {
    const char* name;
    std::string email;
    std::string handle;
    std::string message;
};

void PrintTo(const SignupRefusal& c, std::ostream* os) {
    *os << c.name;
}

class SignupRefusals : public QuilEndToEnd, public testing::WithParamInterface<SignupRefusal> {};

TEST_P(SignupRefusals, NothingIsSent) {
    const auto& c = GetParam();
    expectOutcome(quil({"auth", "signup", "--name", "Dana", "--email", c.email, "--handle", c.handle,
                        "--password-stdin", "--server", platform.url()},
                       "pw\n"),
                  {2, "", "quil: " + c.message + "\n"});
}

const std::string handleRule = "handle must have 4 to 40 letters, numbers, dots, underscores or hyphens";

INSTANTIATE_TEST_SUITE_P(
    Validation, SignupRefusals,
    testing::Values(SignupRefusal{"EmailWithoutDot", "dana@example", "dana", "email is not valid"},
                    SignupRefusal{"EmailWithSpace", "da na@example.com", "dana", "email is not valid"},
                    SignupRefusal{"HandleTooShort", "dana@example.com", "dan", handleRule},
                    SignupRefusal{"HandleTooLong", "dana@example.com", std::string(41, 'd'), handleRule},
                    SignupRefusal{"HandleEndsInDot", "dana@example.com", "dana.", handleRule}),
    [](const testing::TestParamInfo<SignupRefusal>& info) { return std::string(info.param.name); });

TEST_F(AuthCommand, SignupConflictExitsWithSix) {
    platform.expect("POST", "/api/v1/user/signup").respond(409, R"({"error":"handle is taken"})");

    expectOutcome(quil({"auth", "signup", "--name", "Dana", "--email", "dana@example.com", "--handle", "d.a_n-a",
                        "--password-stdin", "--server", platform.url()},
                       "pw"),
                  {6, "", "quil: handle is taken\n"});
}

TEST_F(AuthCommand, LogoutForgetsTheTokenLocally) {
    signIn("tok-old", "ws-1");

    expectOutcome(quil({"auth", "logout"}), {0, "Logged out from profile default\n", ""});

    EXPECT_EQ(readFile(credentialsFile()), "{}\n");
    EXPECT_EQ(readFile(profilesFile()), profilesDocument("default", {{"default", platform.url(), "ws-1"}}));
}

TEST_F(AuthCommand, LogoutWithoutATokenStillSucceeds) {
    expectOutcome(quil({"auth", "logout", "--output", "json"}),
                  {0, "{\"authenticated\":false,\"profile\":\"default\"}\n", ""});
    expectOutcome(quil({"auth", "logout", "--quiet"}), {0, "", ""});
}

TEST_F(AuthCommand, WhoamiKeepsTheProfilesWorkspace) {
    signIn("tok-stored", "ws-1");
    const std::string body = R"({"id":"usr-1","name":"Dana Demo","email":"dana@example.com","handle":"dana"})";
    platform.expect("GET", "/api/v1/user/me").respond(200, body).times(2);

    expectOutcome(quil({"auth", "whoami"}), {0, userTable(), ""});
    expectOutcome(quil({"auth", "whoami", "--output", "json"}), {0, body + "\n", ""});

    for (const auto& request : platform.requests()) {
        EXPECT_EQ(request.body, "");
        EXPECT_EQ(request.header("Content-Type"), std::nullopt);
        expectIdentity(request, "tok-stored", "ws-1");
    }
}

TEST_F(AuthCommand, EnvironmentTokenWinsOverTheStoredOne) {
    signIn("tok-stored");
    setEnvironment("QUARLINO_ACCESS_TOKEN", "tok-environment");
    platform.expect("GET", "/api/v1/user/me").respond(200, R"({"id":"usr-1"})");

    expectOutcome(quil({"auth", "whoami", "--quiet"}), {0, "usr-1\n", ""});
    expectIdentity(onlyRequest(), "tok-environment", std::nullopt);
}

TEST_F(AuthCommand, WhoamiWithoutATokenSendsNothing) {
    expectOutcome(quil({"auth", "whoami"}), {2, "", "quil: not authenticated; run 'quil auth login'\n"});
}


// The browser login, with QUIL_BROWSER pointing at a script that records the
// URL it was given, its environment and, last, its open descriptors: `ls`
// run in its place lists what it inherited and the one it opens itself (3).
class BrowserLogin : public AuthCommand {
protected:
    BrowserLogin() {
        const auto script = home() / "browser.sh";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << record("arguments").string() << "'\n"
                              << "env > '" << record("environment").string() << "'\n"
                              << "exec ls /proc/self/fd > '" << record("descriptors").string() << "'\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        setEnvironment("QUIL_BROWSER", script.string());
    }

    std::filesystem::path record(const std::string& name) const { return home() / ("browser-" + name); }

    // The browser runs on its own; give it a moment to write its records.
    std::string browserRecord(const std::string& name) const {
        for (int attempt = 0; attempt < 500 && !std::filesystem::exists(record("descriptors")); ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return readFile(record(name));
    }
    std::string browserArguments() const { return browserRecord("arguments"); }

    static std::string startAnswer(int expiresInSeconds) {
        return json{{"authorizationCode", "code-77"},
                    {"state", "state-from-the-platform"},
                    {"expiresInSeconds", expiresInSeconds},
                    {"pollIntervalSeconds", 1}}
            .dump();
    }
};

std::string base64Url(const unsigned char* data, std::size_t size) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    for (std::size_t i = 0; i < size; i += 3) {
        const std::size_t n = std::min<std::size_t>(3, size - i);
        unsigned value = unsigned(data[i]) << 16;
        value |= n > 1 ? unsigned(data[i + 1]) << 8 : 0U;
        value |= n > 2 ? unsigned(data[i + 2]) : 0U;
        for (std::size_t k = 0; k < n + 1; ++k) {
            out += alphabet[(value >> (18 - 6 * k)) & 63U];
        }
    }
    return out;
}

std::string s256(const std::string& verifier) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr);
    return base64Url(digest, length);
}

TEST_F(BrowserLogin, PollsUntilThePlatformHandsOutAToken) {
    platform.expect("POST", "/api/v1/user/cli/login/request").respond(200, startAnswer(60));
    platform.expect("POST", "/api/v1/user/cli/token").respond(200, R"({"status":"pending"})");
    platform.expect("POST", "/api/v1/user/cli/token").respond(200, loginAnswer);

    const auto result = quil({"auth", "login", "--server", platform.url()});

    const auto requests = platform.requests();
    ASSERT_EQ(requests.size(), 3U);
    const auto start = json::parse(requests[0].body);
    const std::string state = start.value("state", "");
    EXPECT_EQ(state.size(), 43U);
    EXPECT_EQ(start.size(), 2U);
    const std::string url = platform.url() + "/#/cli-auth?authorizationCode=code-77&state=" + state;
    expectOutcome(result, {0, userTable(),
                           "If the browser does not open, visit:\n" + url + "\nWaiting for authentication...\n"
                           "Opening Quarlino login in your browser...\n"});
    EXPECT_EQ(browserArguments(), url + "\n");

    for (std::size_t poll = 1; poll < 3; ++poll) {
        const auto exchange = json::parse(requests[poll].body);
        EXPECT_EQ(requests[poll].body, json({{"authorizationCode", "code-77"},
                                             {"codeVerifier", exchange.value("codeVerifier", "")},
                                             {"state", state}})
                                           .dump());
        EXPECT_EQ(start.value("codeChallenge", ""), s256(exchange.value("codeVerifier", "")));
    }
    for (const auto& request : requests) {
        expectIdentity(request, std::nullopt, std::nullopt);
    }
    expectSignedInAsDefault("tok-new");
}

// A code of the platform holding controls reaches neither the terminal nor
// the browser's command line raw: the URL carries them percent-encoded, and
// the printable rest as issued.
TEST_F(BrowserLogin, CodeOfThePlatformIsPercentEncodedInTheUrl) {
    const std::string code = "x\r\x1B[2K\x07\x7F\xC2\x9B\xE2\x80\xAE" "y&z a+b/c=%41";
    platform.expect("POST", "/api/v1/user/cli/login/request")
        .respond(200, json{{"authorizationCode", code},
                           {"state", "s"},
                           {"expiresInSeconds", 60},
                           {"pollIntervalSeconds", 1}}
                          .dump());
    platform.expect("POST", "/api/v1/user/cli/token").respond(200, loginAnswer);

    const auto result = quil({"auth", "login", "--server", platform.url()});

    const auto requests = platform.requests();
    ASSERT_EQ(requests.size(), 2U);
    const std::string state = json::parse(requests[0].body).value("state", "");
    const std::string url =
        platform.url() + "/#/cli-auth?authorizationCode=x%0D%1B[2K%07%7F%C2%9B%E2%80%AEy&z%20a+b/c=%41&state=" + state;
    expectOutcome(result, {0, userTable(),
                           "If the browser does not open, visit:\n" + url + "\nWaiting for authentication...\n"
                           "Opening Quarlino login in your browser...\n"});
    EXPECT_EQ(browserArguments(), url + "\n");
    // The platform gets its code back as it was.
    EXPECT_EQ(json::parse(requests[1].body).value("authorizationCode", ""), code);
}

// The token polls' keep-alive connection is open while the browser starts:
// the browser must neither inherit it (and read the platform's answer) nor
// find a token in its environment.
TEST_F(BrowserLogin, BrowserGetsOnlyTheStandardStreamsAndNoToken) {
    setEnvironment("QUARLINO_ACCESS_TOKEN", "tok-from-the-environment");
    setEnvironment("QUARLINO_ACCESS_TOKEN_HINT", "kept");
    platform.expect("POST", "/api/v1/user/cli/login/request").respond(200, startAnswer(60));
    platform.expect("POST", "/api/v1/user/cli/token").respond(200, loginAnswer);

    EXPECT_EQ(quil({"auth", "login", "--server", platform.url()}).exitCode, 0);

    EXPECT_EQ(browserRecord("descriptors"), "0\n1\n2\n3\n");
    const std::string environment = browserRecord("environment");
    EXPECT_EQ(environment.find("tok-from-the-environment"), std::string::npos);
    EXPECT_NE(environment.find("QUARLINO_ACCESS_TOKEN_HINT=kept\n"), std::string::npos);
}

TEST_F(BrowserLogin, GivesUpOnceTheExchangeExpires) {
    platform.expect("POST", "/api/v1/user/cli/login/request").respond(200, startAnswer(1));
    // One poll at once, one after the interval, which is past the deadline.
    platform.expect("POST", "/api/v1/user/cli/token").respond(200, R"({"status":"pending"})").times(2);

    const auto result = quil({"auth", "login", "--server", platform.url()});

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    const std::string ending = "quil: Quil browser login timed out\n";
    ASSERT_GE(result.err.size(), ending.size());
    EXPECT_EQ(result.err.substr(result.err.size() - ending.size()), ending);
    EXPECT_FALSE(std::filesystem::exists(credentialsFile()));
}

TEST_F(BrowserLogin, BrowserThatCannotStart) {
    setEnvironment("QUIL_BROWSER", (home() / "no-such-browser").string());
    platform.expect("POST", "/api/v1/user/cli/login/request").respond(200, startAnswer(60));

    const auto result = quil({"auth", "login", "--server", platform.url()});

    EXPECT_EQ(result.exitCode, 1);
    const std::string ending = "Opening Quarlino login in your browser...\n"
                               "quil: cannot open the browser; set QUIL_BROWSER to a browser command\n";
    ASSERT_GE(result.err.size(), ending.size());
    EXPECT_EQ(result.err.substr(result.err.size() - ending.size()), ending);
}

}  // namespace
}  // namespace quarlino::quil::e2e
