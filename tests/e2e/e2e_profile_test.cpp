#include "e2e/quil_harness.hpp"

namespace quarlino::quil::e2e {
namespace {

const std::string alphaServer = "https://alpha.example.com";
const std::string betaServer = "https://beta.example.com";
const std::string zetaServer = "https://zeta.example.com:8443";

// Profiles need no platform: the fixture's fake platform, scripted with
// nothing, fails any test that sends a request.
class ProfileCommand : public QuilEndToEnd {
protected:
    // Stored out of name order, with zeta active and tokens for two of them.
    void storeThreeProfiles() const {
        writeConfig("profiles.json", profilesDocument("zeta", {{"zeta", zetaServer, std::nullopt},
                                                               {"Alpha", alphaServer, std::nullopt},
                                                               {"beta", betaServer, "ws-9"}}));
        writeConfig("credentials.json", credentialsDocument({{"beta", "tok-beta"}, {"zeta", "tok-zeta"}}));
    }
};

std::vector<std::size_t> profileWidths(const std::string& widestName, const std::string& widestServer,
                                       std::size_t workspaceWidth = 9) {
    return {8, std::max<std::size_t>(4, widestName.size()) + 2, std::max<std::size_t>(6, widestServer.size()) + 2,
            workspaceWidth + 2};
}

TEST_F(ProfileCommand, FirstCreatedProfileBecomesActiveWithItsUrlNormalised) {
    const auto widths = profileWidths("work", "https://quarlino.example.com");

    expectOutcome(quil({"profile", "create", "work", "--server", "https://quarlino.example.com//"}),
                  {0,
                   columns(widths, {"ACTIVE", "NAME", "SERVER", "WORKSPACE"}) +
                       columns(widths, {"*", "work", "https://quarlino.example.com", "-"}),
                   ""});

    EXPECT_EQ(readFile(profilesFile()),
              "{\n"
              "  \"activeProfile\": \"work\",\n"
              "  \"profiles\": [\n"
              "    {\n"
              "      \"name\": \"work\",\n"
              "      \"serverUrl\": \"https://quarlino.example.com\",\n"
              "      \"workspaceId\": null\n"
              "    }\n"
              "  ]\n"
              "}\n");
    EXPECT_FALSE(std::filesystem::exists(credentialsFile()));
}

// Past `ulimit -f` the write fails with its error instead of the signal
// killing quil silently, and its temporary file goes.
TEST_F(ProfileCommand, WritePastTheFileSizeLimitFailsAndLeavesNoTemporaryFile) {
    expectOutcome(quilWithFileSizeLimit({"profile", "create", "work", "--server", alphaServer}),
                  {1, "", "quil: cannot complete Quil configuration write: " + profilesFile().string() + "\n"});
    EXPECT_FALSE(std::filesystem::exists(profilesFile().string() + ".tmp"));
    EXPECT_FALSE(std::filesystem::exists(profilesFile()));
}

TEST_F(ProfileCommand, AFileNestedTooDeepIsInvalidAndLeftAsItIs) {
    const std::string deep = R"({"activeProfile":null,"profiles":[],"x":)" + std::string(75'000, '[') +
                             std::string(75'000, ']') + "}";
    writeConfig("profiles.json", deep);

    expectOutcome(quil({"profile", "create", "work", "--server", alphaServer}),
                  {1, "",
                   "quil: invalid Quil configuration in " + profilesFile().string() +
                       ": [json.exception.parse_error.101] parse error: JSON nested deeper than 512 levels\n"});
    EXPECT_EQ(readFile(profilesFile()), deep);
}

TEST_F(ProfileCommand, SecondProfileLeavesTheActiveOne) {
    storeThreeProfiles();

    expectOutcome(quil({"profile", "create", "work", "--server", "https://work.example.com", "--output", "json"}),
                  {0,
                   R"({"active":false,"name":"work","serverUrl":"https://work.example.com","workspaceId":null})"
                   "\n",
                   ""});

    EXPECT_EQ(readFile(profilesFile()), profilesDocument("zeta", {{"zeta", zetaServer, std::nullopt},
                                                                  {"Alpha", alphaServer, std::nullopt},
                                                                  {"beta", betaServer, "ws-9"},
                                                                  {"work", "https://work.example.com", std::nullopt}}));
}

struct CreateRefusal {
    const char* name;
    std::vector<std::string> arguments;
    bool insecureAllowed;
    std::string message;
};

void PrintTo(const CreateRefusal& c, std::ostream* os) {
    *os << c.name;
}

class ProfileCreateRefusals : public ProfileCommand, public testing::WithParamInterface<CreateRefusal> {};

TEST_P(ProfileCreateRefusals, NothingChanges) {
    const auto& c = GetParam();
    storeThreeProfiles();
    const auto before = readFile(profilesFile());
    if (!c.insecureAllowed) {
        unsetEnvironment("QUARLINO_ALLOW_INSECURE_HTTP");
    }
    std::vector<std::string> arguments{"profile", "create"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());

    expectOutcome(quil(arguments), {2, "", "quil: " + c.message + "\n"});
    EXPECT_EQ(readFile(profilesFile()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Validation, ProfileCreateRefusals,
    testing::Values(
        CreateRefusal{"PlainHttp", {"work", "--server", "http://work.example.com"}, false,
                      "Quarlino server URL must use HTTPS"},
        CreateRefusal{"UrlWithPath", {"work", "--server", "https://work.example.com/api"}, true,
                      "Quarlino server URL must contain only scheme and authority"},
        CreateRefusal{"UrlWithUser", {"work", "--server", "https://me@work.example.com"}, true,
                      "Quarlino server URL must contain only scheme and authority"},
        CreateRefusal{"ExistingName", {"beta", "--server", "https://work.example.com"}, true,
                      "profile already exists: beta"}),
    [](const testing::TestParamInfo<CreateRefusal>& info) { return std::string(info.param.name); });

TEST_F(ProfileCommand, PlainHttpProfileWhenAllowed) {
    expectOutcome(quil({"profile", "create", "local", "--server", "http://127.0.0.1:8080/", "--quiet"}),
                  {0, "local\n", ""});
    EXPECT_EQ(readFile(profilesFile()), profilesDocument("local", {{"local", "http://127.0.0.1:8080", std::nullopt}}));
}

TEST_F(ProfileCommand, ListSortsByteWiseAndMarksTheActiveOne) {
    storeThreeProfiles();
    const auto widths = profileWidths("Alpha", zetaServer);

    expectOutcome(quil({"profile", "list"}), {0,
                                              columns(widths, {"ACTIVE", "NAME", "SERVER", "WORKSPACE"}) +
                                                  columns(widths, {"", "Alpha", alphaServer, "-"}) +
                                                  columns(widths, {"", "beta", betaServer, "ws-9"}) +
                                                  columns(widths, {"*", "zeta", zetaServer, "-"}),
                                              ""});
    expectOutcome(quil({"profile", "list", "--quiet"}), {0, "Alpha\nbeta\nzeta\n", ""});
    expectOutcome(
        quil({"profile", "list", "--output", "json"}),
        {0,
         R"([{"active":false,"name":"Alpha","serverUrl":"https://alpha.example.com","workspaceId":null},)"
         R"({"active":false,"name":"beta","serverUrl":"https://beta.example.com","workspaceId":"ws-9"},)"
         R"({"active":true,"name":"zeta","serverUrl":"https://zeta.example.com:8443","workspaceId":null}])"
         "\n",
         ""});
}

TEST_F(ProfileCommand, ListWithNothingStored) {
    const auto widths = profileWidths("", "");

    expectOutcome(quil({"profile", "list"}), {0, columns(widths, {"ACTIVE", "NAME", "SERVER", "WORKSPACE"}), ""});
    expectOutcome(quil({"profile", "list", "--output", "json"}), {0, "[]\n", ""});
    EXPECT_FALSE(std::filesystem::exists(configDirectory()));
}

TEST_F(ProfileCommand, UseMakesAProfileActive) {
    storeThreeProfiles();

    expectOutcome(quil({"profile", "use", "beta"}), {0, "Active profile: beta\n", ""});
    expectOutcome(quil({"profile", "use", "Alpha", "--output", "json"}),
                  {0, "{\"active\":true,\"profile\":\"Alpha\"}\n", ""});
    expectOutcome(quil({"profile", "use", "zeta", "--quiet"}), {0, "", ""});
    expectOutcome(quil({"profile", "use", "ALPHA"}), {2, "", "quil: profile not found: ALPHA\n"});

    EXPECT_EQ(readFile(profilesFile()), profilesDocument("zeta", {{"zeta", zetaServer, std::nullopt},
                                                                  {"Alpha", alphaServer, std::nullopt},
                                                                  {"beta", betaServer, "ws-9"}}));
}

TEST_F(ProfileCommand, ShowTheActiveOrTheNamedProfile) {
    storeThreeProfiles();
    const auto widths = profileWidths("beta", betaServer);

    expectOutcome(quil({"profile", "show", "--output", "json"}),
                  {0, R"({"active":true,"name":"zeta","serverUrl":"https://zeta.example.com:8443","workspaceId":null})"
                      "\n",
                   ""});
    expectOutcome(quil({"profile", "show", "--profile", "beta"}),
                  {0,
                   columns(widths, {"ACTIVE", "NAME", "SERVER", "WORKSPACE"}) +
                       columns(widths, {"", "beta", betaServer, "ws-9"}),
                   ""});
    expectOutcome(quil({"profile", "show", "--profile", "nope"}), {2, "", "quil: profile not found: nope\n"});
}

TEST_F(ProfileCommand, ShowWithNoProfilesAtAll) {
    expectOutcome(quil({"profile", "show"}), {2, "", "quil: profile not found: default\n"});
}

TEST_F(ProfileCommand, DeleteAsksFirstAndRemovesTheToken) {
    storeThreeProfiles();

    expectOutcome(quil({"profile", "delete", "beta"}, "y\n"),
                  {0, "Deleted profile beta\n", "Delete profile 'beta'? [y/N] "});

    EXPECT_EQ(readFile(profilesFile()), profilesDocument("zeta", {{"zeta", zetaServer, std::nullopt},
                                                                  {"Alpha", alphaServer, std::nullopt}}));
    EXPECT_EQ(readFile(credentialsFile()), credentialsDocument({{"zeta", "tok-zeta"}}));
}

TEST_F(ProfileCommand, DeletingTheActiveProfileActivatesTheFirstRemainingInFileOrder) {
    storeThreeProfiles();

    expectOutcome(quil({"profile", "delete", "zeta", "--yes", "--output", "json"}),
                  {0, "{\"deleted\":true,\"profile\":\"zeta\"}\n", ""});

    EXPECT_EQ(readFile(profilesFile()), profilesDocument("Alpha", {{"Alpha", alphaServer, std::nullopt},
                                                                   {"beta", betaServer, "ws-9"}}));
    EXPECT_EQ(readFile(credentialsFile()), credentialsDocument({{"beta", "tok-beta"}}));
}

TEST_F(ProfileCommand, DeleteRefusedOrImpossibleChangesNothing) {
    storeThreeProfiles();
    const auto profiles = readFile(profilesFile());
    const auto credentials = readFile(credentialsFile());

    for (const std::string answer : {"n\n", "\n", "Yes\n", "y \n"}) {
        expectOutcome(quil({"profile", "delete", "beta"}, answer),
                      {0, "Profile deletion cancelled\n", "Delete profile 'beta'? [y/N] "});
    }
    expectOutcome(quil({"profile", "delete", "beta", "--quiet"}, "no\n"), {0, "", "Delete profile 'beta'? [y/N] "});
    expectOutcome(quil({"profile", "delete", "beta"}, ""),
                  {1, "", "Delete profile 'beta'? [y/N] quil: cannot read command input\n"});
    expectOutcome(quil({"profile", "delete", "beta", "--output", "json"}),
                  {2, "",
                   jsonError("INVALID_ARGUMENT", std::nullopt,
                             "--yes is required for destructive commands with --output json")});
    // Existence is known only after the question.
    expectOutcome(quil({"profile", "delete", "nope"}, "yes\n"),
                  {2, "", "Delete profile 'nope'? [y/N] quil: profile not found: nope\n"});

    EXPECT_EQ(readFile(profilesFile()), profiles);
    EXPECT_EQ(readFile(credentialsFile()), credentials);
}

}  // namespace
}  // namespace quarlino::quil::e2e
