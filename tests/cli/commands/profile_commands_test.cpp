#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/expect_failure.hpp"
#include "support/quil/application_harness.hpp"

namespace quarlino::quil::cli {
namespace {

using testsupport::quil::ApplicationHarness;

// No profile command talks to a platform: the strict gateway script stays
// empty, so any gateway would fail the test.
class ProfileCommands : public testing::Test {
protected:
    void storeTwo() {
        harness.profileRepository.save({"work", "https://work.example", "w-1"});
        harness.profileRepository.save({"home", "https://home.example", std::nullopt});
        harness.profileRepository.setActive("work");
        harness.credentialStore.saveToken("work", "tok");
    }

    template <typename Error = std::invalid_argument>
    void expectFailure(const std::vector<std::string_view>& words, const std::string& message,
                       std::string input = {}) {
        cli::expectFailure<Error>([&] { harness.run(words, std::move(input)); }, message);
    }

    ApplicationHarness harness;
};

TEST_F(ProfileCommands, ListSortsByNameAndMarksTheActiveProfile) {
    storeTwo();
    EXPECT_EQ(harness.run({"profile", "list"}).out,
              "ACTIVE  NAME  SERVER                WORKSPACE  \n"
              "        home  https://home.example  -          \n"
              "*       work  https://work.example  w-1        \n");
    EXPECT_EQ(harness.run({"profile", "list", "--quiet"}).out, "home\nwork\n");
    EXPECT_EQ(harness.run({"profile", "list", "--output", "json"}).out,
              R"([{"active":false,"name":"home","serverUrl":"https://home.example","workspaceId":null},)"
              R"({"active":true,"name":"work","serverUrl":"https://work.example","workspaceId":"w-1"}])"
              "\n");
}

TEST_F(ProfileCommands, ListWithoutProfiles) {
    EXPECT_EQ(harness.run({"profile", "list"}).out, "ACTIVE  NAME  SERVER  WORKSPACE  \n");
    EXPECT_EQ(harness.run({"profile", "list", "--output", "json"}).out, "[]\n");
}

TEST_F(ProfileCommands, UseMakesTheProfileActiveWithAReceipt) {
    storeTwo();
    EXPECT_EQ(harness.run({"profile", "use", "home"}).out, "Active profile: home\n");
    EXPECT_EQ(harness.profileRepository.active(), "home");
    EXPECT_EQ(harness.run({"profile", "use", "work", "--quiet"}).out, "");
    EXPECT_EQ(harness.profileRepository.active(), "work");
    EXPECT_EQ(harness.run({"profile", "use", "home", "--output", "json"}).out,
              "{\"active\":true,\"profile\":\"home\"}\n");
    expectFailure({"profile", "use", "Home"}, "profile not found: Home");
}

TEST_F(ProfileCommands, ShowTakesTheGlobalProfileElseTheActiveOne) {
    expectFailure({"profile", "show"}, "profile not found: default");
    storeTwo();
    EXPECT_EQ(harness.run({"profile", "show"}).out,
              "ACTIVE  NAME  SERVER                WORKSPACE  \n"
              "*       work  https://work.example  w-1        \n");
    EXPECT_EQ(harness.run({"profile", "show", "--profile", "home", "--output", "json"}).out,
              R"({"active":false,"name":"home","serverUrl":"https://home.example","workspaceId":null})"
              "\n");
    EXPECT_EQ(harness.run({"profile", "show", "--quiet"}).out, "work\n");
}

TEST_F(ProfileCommands, CreateNormalisesTheServerAndActivatesTheFirstProfile) {
    EXPECT_EQ(harness.run({"profile", "create", "work", "--server", "https://work.example/"}).out,
              "ACTIVE  NAME  SERVER                WORKSPACE  \n"
              "*       work  https://work.example  -          \n");
    EXPECT_EQ(harness.profileRepository.find("work")->serverUrl, "https://work.example");

    EXPECT_EQ(harness.run({"profile", "create", "home", "--server", "https://home.example", "--output", "json"}).out,
              R"({"active":false,"name":"home","serverUrl":"https://home.example","workspaceId":null})"
              "\n");
    EXPECT_EQ(harness.profileRepository.active(), "work");
    expectFailure({"profile", "create", "home", "--server", "https://x.example"}, "profile already exists: home");
}

TEST_F(ProfileCommands, CreateAcceptsPlainHttpOnlyWhenTheEnvironmentAllowsIt) {
    expectFailure({"profile", "create", "local", "--server", "http://localhost:8080"},
                  "Quarlino server URL must use HTTPS");
    harness.setEnvironment("QUARLINO_ALLOW_INSECURE_HTTP", "true");
    EXPECT_EQ(harness.run({"profile", "create", "local", "--server", "http://localhost:8080", "--quiet"}).out,
              "local\n");
}

struct DeleteAnswer {
    const char* input;
    bool deletes;
};

void PrintTo(const DeleteAnswer& entry, std::ostream* out) { *out << "answer [" << entry.input << "]"; }

class ProfileDeletion : public ProfileCommands, public testing::WithParamInterface<DeleteAnswer> {};

TEST_P(ProfileDeletion, AsksFirstAndGoesOnOnlyForAYes) {
    storeTwo();
    const auto outcome = harness.run({"profile", "delete", "work"}, GetParam().input);

    EXPECT_EQ(outcome.err, "Delete profile 'work'? [y/N] ");
    EXPECT_EQ(outcome.exitCode, 0);
    if (GetParam().deletes) {
        EXPECT_EQ(outcome.out, "Deleted profile work\n");
        EXPECT_FALSE(harness.profileRepository.find("work").has_value());
        EXPECT_FALSE(harness.credentialStore.loadToken("work").has_value());
        EXPECT_EQ(harness.profileRepository.active(), "home");
    } else {
        EXPECT_EQ(outcome.out, "Profile deletion cancelled\n");
        EXPECT_TRUE(harness.profileRepository.find("work").has_value());
        EXPECT_EQ(harness.credentialStore.loadToken("work"), "tok");
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, ProfileDeletion,
                         testing::Values(DeleteAnswer{"y\n", true}, DeleteAnswer{"Y\n", true},
                                         DeleteAnswer{"yes\n", true}, DeleteAnswer{"YES", true},
                                         DeleteAnswer{"n\n", false}, DeleteAnswer{"\n", false},
                                         DeleteAnswer{"Yes\n", false}, DeleteAnswer{" y\n", false}));

TEST_F(ProfileCommands, DeleteInJsonNeedsYesAndPrintsTheReceipt) {
    storeTwo();
    expectFailure({"profile", "delete", "work", "--output", "json"},
                  "--yes is required for destructive commands with --output json", "y\n");
    EXPECT_TRUE(harness.profileRepository.find("work").has_value());

    const auto outcome = harness.run({"profile", "delete", "work", "--output", "json", "--yes"});
    EXPECT_EQ(outcome.out, "{\"deleted\":true,\"profile\":\"work\"}\n");
    EXPECT_EQ(outcome.err, "");
}

TEST_F(ProfileCommands, DeletingAnUnknownProfileAsksBeforeItFails) {
    std::istringstream in("y\n");
    std::ostringstream out;
    std::ostringstream err;
    try {
        harness.application().run(CommandLine::parse({"profile", "delete", "gone"}), in, out, err);
        ADD_FAILURE() << "no failure";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "profile not found: gone");
    }
    EXPECT_EQ(err.str(), "Delete profile 'gone'? [y/N] ");
    EXPECT_EQ(out.str(), "");
}

TEST_F(ProfileCommands, EndOfInputAtTheQuestionIsAnError) {
    storeTwo();
    expectFailure<std::runtime_error>({"profile", "delete", "work"}, "cannot read command input", "");
    EXPECT_TRUE(harness.profileRepository.find("work").has_value());
}

}  // namespace
}  // namespace quarlino::quil::cli
