#include "application/profile_service.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/client_config.hpp"
#include "support/quil/fake_credential_store.hpp"
#include "support/quil/fake_profile_repository.hpp"
#include "support/quil/scoped_environment.hpp"

namespace {

using namespace std::chrono_literals;
using quarlino::quil::application::ClientSession;
using quarlino::quil::application::ProfileService;
using quarlino::quil::config::ClientConfig;
using quarlino::quil::model::Profile;
using testsupport::quil::FakeCredentialStore;
using testsupport::quil::FakeProfileRepository;
using testsupport::quil::CleanClientEnvironment;
using testsupport::quil::ScopedEnvironment;

using Optional = std::optional<std::string>;

template <typename Action>
std::string invalidArgumentOf(Action action) {
    try {
        action();
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "<no error>";
}

std::vector<std::string> namesOf(const std::vector<Profile>& profiles) {
    std::vector<std::string> names;
    for (const Profile& profile : profiles) {
        names.push_back(profile.name);
    }
    return names;
}

// Starts every test from an environment without the client variables.
class ProfileServiceTest : public ::testing::Test {
protected:
    CleanClientEnvironment clean_;
    FakeProfileRepository profiles_;
    FakeCredentialStore credentials_;
    ProfileService service_{profiles_, credentials_};
};

// The resolution table: which of environment, stored profile, stored token and
// explicit options wins for each setting.
struct ResolutionCase {
    const char* label;
    // Environment (absent = unset)
    Optional envUrl;
    Optional envToken;
    Optional envTimeout;
    // Stored state: one profile "work" (server, workspace), active "work" or none
    bool workStored;
    Optional workWorkspace;
    bool workActive;
    Optional storedToken;  // stored for the selected name
    // Explicit values
    Optional requestedProfile;
    Optional explicitUrl;
    Optional explicitWorkspace;
    std::optional<std::chrono::seconds> explicitTimeout;
    // Expected
    const char* name;
    const char* url;
    Optional token;
    Optional workspace;
    std::chrono::seconds timeout;
};

class ProfileResolution : public ProfileServiceTest, public ::testing::WithParamInterface<ResolutionCase> {};

TEST_P(ProfileResolution, AppliesThePrecedenceOfEachSetting) {
    const ResolutionCase& c = GetParam();
    const ScopedEnvironment url("QUARLINO_SERVER_URL", c.envUrl);
    const ScopedEnvironment token("QUARLINO_ACCESS_TOKEN", c.envToken);
    const ScopedEnvironment timeout("QUARLINO_HTTP_TIMEOUT_SECONDS", c.envTimeout);
    FakeProfileRepository profiles;
    if (c.workStored) {
        profiles.save(Profile{"work", "https://profile.example", c.workWorkspace});
    }
    if (c.workActive) {
        profiles.setActive("work");
    }
    FakeCredentialStore credentials;
    if (c.storedToken) {
        credentials.saveToken(c.name, *c.storedToken);
    }
    const ProfileService service(profiles, credentials);

    const std::optional<std::string_view> requested =
        c.requestedProfile ? std::optional<std::string_view>(*c.requestedProfile) : std::nullopt;
    const std::optional<std::string_view> server =
        c.explicitUrl ? std::optional<std::string_view>(*c.explicitUrl) : std::nullopt;
    const std::optional<std::string_view> workspace =
        c.explicitWorkspace ? std::optional<std::string_view>(*c.explicitWorkspace) : std::nullopt;
    const ClientSession session = service.resolve(requested, server, workspace, c.explicitTimeout);

    EXPECT_EQ(session.profileName, c.name);
    EXPECT_EQ(session.config.serverUrl(), c.url);
    EXPECT_EQ(session.config.accessToken(), c.token);
    EXPECT_EQ(session.config.workspaceId(), c.workspace);
    EXPECT_EQ(session.config.requestTimeout(), c.timeout);
}

const char* const defaultUrl = ClientConfig::defaultServerUrl;

INSTANTIATE_TEST_SUITE_P(
    Table, ProfileResolution,
    ::testing::Values(
        ResolutionCase{"nothing_anywhere", {}, {}, {}, false, {}, false, {}, {}, {}, {}, {},
                       "default", defaultUrl, {}, {}, 30s},
        ResolutionCase{"token_stored_under_default", {}, {}, {}, false, {}, false, "stored", {}, {}, {}, {},
                       "default", defaultUrl, "stored", {}, 30s},
        ResolutionCase{"environment_only", "https://env.example/", "env-token", "45", false, {}, false, {}, {},
                       {}, {}, {}, "default", "https://env.example", "env-token", {}, 45s},
        ResolutionCase{"active_profile_url_beats_environment", "https://env.example", {}, {}, true, "ws", true,
                       {}, {}, {}, {}, {}, "work", "https://profile.example", {}, "ws", 30s},
        ResolutionCase{"environment_token_beats_stored_token", {}, "env-token", {}, true, {}, true, "stored", {},
                       {}, {}, {}, "work", "https://profile.example", "env-token", {}, 30s},
        ResolutionCase{"stored_token_when_environment_has_none", {}, {}, {}, true, {}, true, "stored", {}, {},
                       {}, {}, "work", "https://profile.example", "stored", {}, 30s},
        ResolutionCase{"explicit_url_beats_profile_but_keeps_its_workspace", "https://env.example", {}, {},
                       true, "ws", true, {}, {}, "https://explicit.example/", {}, {}, "work",
                       "https://explicit.example", {}, "ws", 30s},
        ResolutionCase{"explicit_workspace_beats_profile", {}, {}, {}, true, "ws", true, {}, {}, {}, "other", {},
                       "work", "https://profile.example", {}, "other", 30s},
        ResolutionCase{"explicit_timeout_beats_environment", {}, {}, "45", false, {}, false, {}, {}, {}, {}, 7s,
                       "default", defaultUrl, {}, {}, 7s},
        ResolutionCase{"requested_profile_beats_active", "https://env.example", {}, {}, true, "ws", true, "t",
                       "other", {}, {}, {}, "other", "https://env.example", "t", {}, 30s},
        ResolutionCase{"requested_unstored_profile_uses_environment_and_its_token", "https://env.example", {}, {},
                       false, {}, false, "t", "ghost", {}, {}, {}, "ghost", "https://env.example", "t", {}, 30s},
        ResolutionCase{"stored_profile_not_active_is_not_used", "https://env.example", {}, {}, true, "ws", false,
                       {}, {}, {}, {}, {}, "default", "https://env.example", {}, {}, 30s}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProfileServiceTest, SelectsTheRequestedThenTheActiveThenTheDefaultName) {
    EXPECT_EQ(service_.selectedName(std::nullopt), "default");
    profiles_.save(Profile{"work", "https://w", std::nullopt});
    profiles_.setActive("work");
    EXPECT_EQ(service_.selectedName(std::nullopt), "work");
    EXPECT_EQ(service_.selectedName("other"), "other");
    EXPECT_EQ(service_.selectedName(""), "");
}

TEST_F(ProfileServiceTest, ResolutionValidatesTheEnvironmentFirst) {
    profiles_.save(Profile{"work", "https://w", std::nullopt});
    const ScopedEnvironment url("QUARLINO_SERVER_URL", "ftp://replaced-later");
    EXPECT_EQ(invalidArgumentOf([&] { service_.resolve("work", "https://explicit", {}, {}); }),
              "Quarlino server URL must use HTTPS");
}

TEST_F(ProfileServiceTest, AStoredPlainHttpUrlNeedsTheSwitchInThisRun) {
    profiles_.save(Profile{"local", "http://127.0.0.1:8080", std::nullopt});
    EXPECT_EQ(invalidArgumentOf([&] { service_.resolve("local", {}, {}, {}); }),
              "Quarlino server URL must use HTTPS");
    const ScopedEnvironment insecure("QUARLINO_ALLOW_INSECURE_HTTP", "true");
    EXPECT_EQ(service_.resolve("local", {}, {}, {}).config.serverUrl(), "http://127.0.0.1:8080");
}

TEST_F(ProfileServiceTest, AnEmptyStoredTokenIsReportedAsMalformed) {
    credentials_.saveToken("default", "");
    EXPECT_EQ(invalidArgumentOf([&] { service_.resolve({}, {}, {}, {}); }), "Quarlino access token is malformed");
}

TEST_F(ProfileServiceTest, CreatesTheFirstProfileActiveAndLaterOnesInactive) {
    const Profile first = service_.create("work", "https://work.example//");
    EXPECT_EQ(first.serverUrl, "https://work.example");
    EXPECT_EQ(first.workspaceId, std::nullopt);
    EXPECT_EQ(profiles_.active(), "work");

    service_.create("home", "https://home.example");
    EXPECT_EQ(profiles_.active(), "work");
    EXPECT_EQ(namesOf(profiles_.stored()), (std::vector<std::string>{"work", "home"}));
    EXPECT_EQ(profiles_.stored()[0].serverUrl, "https://work.example");
}

TEST_F(ProfileServiceTest, CreateRejectsEmptyAndDuplicateNamesAndBadUrls) {
    service_.create("work", "https://w");
    const int writes = profiles_.writes();
    EXPECT_EQ(invalidArgumentOf([&] { service_.create("", "https://x"); }), "profile name cannot be empty");
    EXPECT_EQ(invalidArgumentOf([&] { service_.create("work", "https://x"); }), "profile already exists: work");
    EXPECT_EQ(invalidArgumentOf([&] { service_.create("local", "http://x"); }),
              "Quarlino server URL must use HTTPS");
    EXPECT_EQ(invalidArgumentOf([&] { service_.create("pathy", "https://x/api"); }),
              "Quarlino server URL must contain only scheme and authority");
    EXPECT_EQ(profiles_.writes(), writes);
}

TEST_F(ProfileServiceTest, CreateUsesTheCallersUrlWithThisRunsSwitch) {
    const ScopedEnvironment url("QUARLINO_SERVER_URL", "https://env.example");
    const ScopedEnvironment insecure("QUARLINO_ALLOW_INSECURE_HTTP", "1");
    EXPECT_EQ(service_.create("local", "http://127.0.0.1:9/").serverUrl, "http://127.0.0.1:9");
}

TEST_F(ProfileServiceTest, GetsTheNamedActiveOrDefaultProfile) {
    EXPECT_EQ(invalidArgumentOf([&] { service_.get(std::nullopt); }), "profile not found: default");
    service_.create("work", "https://w");
    EXPECT_EQ(service_.get(std::nullopt).name, "work");
    EXPECT_EQ(invalidArgumentOf([&] { service_.get("nope"); }), "profile not found: nope");
}

TEST_F(ProfileServiceTest, SetsTheWorkspaceOfAStoredProfileInPlace) {
    service_.create("a", "https://a");
    service_.create("b", "https://b");
    const Profile updated = service_.setWorkspace("a", "ws-9");
    EXPECT_EQ(updated.workspaceId, "ws-9");
    EXPECT_EQ(namesOf(profiles_.stored()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(profiles_.stored()[0].workspaceId, "ws-9");
    EXPECT_EQ(invalidArgumentOf([&] { service_.setWorkspace("c", "ws"); }), "profile not found: c");
}

TEST_F(ProfileServiceTest, UseActivatesOnlyStoredProfiles) {
    service_.create("a", "https://a");
    service_.create("b", "https://b");
    service_.use("b");
    EXPECT_EQ(service_.activeName(), "b");
    EXPECT_EQ(invalidArgumentOf([&] { service_.use("c"); }), "profile not found: c");
    EXPECT_EQ(service_.activeName(), "b");
}

TEST_F(ProfileServiceTest, RemovingTheActiveProfileDeletesItsTokenAndActivatesTheFirstRemaining) {
    for (const char* name : {"zeta", "alpha", "mid"}) {
        service_.create(name, "https://x");
        service_.saveToken(name, std::string("token-") + name);
    }
    service_.use("alpha");
    service_.remove("alpha");
    EXPECT_EQ(service_.activeName(), "zeta");  // file order, not name order
    EXPECT_FALSE(service_.exists("alpha"));
    EXPECT_EQ(credentials_.loadToken("alpha"), std::nullopt);
    EXPECT_EQ(credentials_.loadToken("mid"), "token-mid");

    service_.remove("zeta");
    service_.remove("mid");
    EXPECT_EQ(service_.activeName(), std::nullopt);
    EXPECT_TRUE(credentials_.tokens().empty());
}

TEST_F(ProfileServiceTest, RemovingAnUnknownProfileChangesNothing) {
    credentials_.saveToken("ghost", "t");
    EXPECT_EQ(invalidArgumentOf([&] { service_.remove("ghost"); }), "profile not found: ghost");
    EXPECT_EQ(credentials_.loadToken("ghost"), "t");
}

TEST_F(ProfileServiceTest, ListsProfilesSortedByteWise) {
    for (const char* name : {"beta", "Zulu", "alpha", "Alpha", "_x", "10"}) {
        profiles_.save(Profile{name, "https://x", std::nullopt});
    }
    EXPECT_EQ(namesOf(service_.list()), (std::vector<std::string>{"10", "Alpha", "Zulu", "_x", "alpha", "beta"}));
}

TEST_F(ProfileServiceTest, SavesAndForgetsTokensForAnyName) {
    service_.saveToken("not-a-profile", "t");
    EXPECT_EQ(credentials_.loadToken("not-a-profile"), "t");
    service_.removeToken("not-a-profile");
    service_.removeToken("never-stored");
    EXPECT_TRUE(credentials_.tokens().empty());
}

TEST_F(ProfileServiceTest, AnEmptyTokenIsRejectedBeforeTheStoreIsTouched) {
    const int calls = credentials_.calls();
    EXPECT_EQ(invalidArgumentOf([&] { service_.saveToken("default", ""); }), "access token cannot be empty");
    EXPECT_EQ(credentials_.calls(), calls);
}

}  // namespace
