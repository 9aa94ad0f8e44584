#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/golden_files.hpp"
#include "e2e/process_runner.hpp"
#include "support/quil/temporary_directory.hpp"

namespace quarlino::quil::e2e {
namespace {

using testsupport::quil::TemporaryDirectory;

namespace golden = cli::golden;

class QuilProcess : public testing::Test {
protected:
    ProcessResult quil(std::vector<std::string> arguments) const {
        return runProcess({QUIL_BINARY,
                           std::move(arguments),
                           {{"HOME", home_.path().string()}, {"PATH", "/usr/bin:/bin"}, {"LANG", "C"}},
                           ""});
    }

private:
    TemporaryDirectory home_;
};

struct Expectation {
    std::vector<std::string> arguments;
    int exitCode;
    std::string out;
    std::string err;
};

void expectOutcome(const ProcessResult& result, const Expectation& expected) {
    EXPECT_EQ(result.exitCode, expected.exitCode);
    EXPECT_EQ(result.out, expected.out);
    EXPECT_EQ(result.err, expected.err);
}

std::string jsonError(const std::string& code, const std::string& message) {
    return "{\"code\":\"" + code + "\",\"httpStatus\":null,\"message\":\"" + message + "\"}\n";
}

std::string textParseError(const std::string& message) {
    return "quil: " + message + "\n\n" + golden::topLevelUsage();
}

TEST_F(QuilProcess, GeneralUsageForEveryWayOfAskingForIt) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {}, {"help"}, {"--help"}, {"-h"}, {"help", "--help"}, {"--output", "json"}, {"--quiet", "--timeout", "0"}}) {
        expectOutcome(quil(arguments), {arguments, 0, golden::topLevelUsage(), ""});
    }
}

TEST_F(QuilProcess, TopicHelpPrintsTheListingOrTheSynopsis) {
    const std::vector<Expectation> cases{
        {{"registry", "--help"}, 0, golden::listing("registry"), ""},
        {{"help", "team", "member"}, 0, golden::listing("team_member"), ""},
        {{"help", "help"}, 0, golden::listing("help"), ""},
        {{"team", "member", "add", "t", "-h", "--output", "bogus"},
         0,
         golden::commandUsage("quil team member add <team> --email <value> --organization <value>"),
         ""},
        {{"help", "completion"}, 0, golden::commandUsage("quil completion <bash|zsh|fish>"), ""},
    };
    for (const Expectation& expected : cases) {
        expectOutcome(quil(expected.arguments), expected);
    }
}

TEST_F(QuilProcess, VersionIsAPlainLine) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--version"}, {"version"}, {"version", "--output", "json"}, {"version", "--quiet"}}) {
        expectOutcome(quil(arguments), {arguments, 0, "quil 0.1.0\n", ""});
    }
}

TEST_F(QuilProcess, CompletionScriptsForTheThreeShells) {
    for (const std::string shell : {"bash", "zsh", "fish"}) {
        expectOutcome(quil({"completion", shell}), {{}, 0, golden::completion(shell), ""});
    }
}

TEST_F(QuilProcess, ParseErrorsInTextFormCarryTheUsage) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"nothing"}, "unknown command: nothing"},
        {{"nothing", "--output=json"}, "unknown command: nothing"},
        {{"workspace", "list", "--output:json", "--output=table"}, "--output can only be provided once"},
        {{"workspace", "list", "--timeout", "99999999999999999999"}, "--timeout must be between 1 and 300 seconds"},
        {{"--version", "--quiet"}, "--version requires a value"},
        {{"pipeline", "configure", "p"}, "at least one command option is required"},
    };
    for (const auto& [arguments, message] : cases) {
        expectOutcome(quil(arguments), {arguments, 2, "", textParseError(message)});
    }
}

TEST_F(QuilProcess, ParseErrorsWithTheTwoWordJsonPairAreOneRecord) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"nothing", "--output", "json"}, "unknown command: nothing"},
        {{"--output", "json", "team", "list"}, "--organization is required"},
        {{"workspace", "list", "--output", "json", "--timeout", "99999999999999999999"},
         "--timeout must be between 1 and 300 seconds"},
        {{"workspace", "list", "--output", "json", "--output", "json"}, "--output can only be provided once"},
    };
    for (const auto& [arguments, message] : cases) {
        expectOutcome(quil(arguments), {arguments, 2, "", jsonError("INVALID_ARGUMENT", message)});
    }
}

TEST_F(QuilProcess, InvalidArgumentAfterParsingHasNoUsageAndFollowsTheParsedFormat) {
    const std::string message = "completion shell must be bash, zsh, or fish";
    expectOutcome(quil({"completion", "powershell"}), {{}, 2, "", "quil: " + message + "\n"});
    expectOutcome(quil({"completion", "Bash", "--output=json"}), {{}, 2, "", jsonError("INVALID_ARGUMENT", message)});
    expectOutcome(quil({"completion", "fish ", "--output", "table"}), {{}, 2, "", "quil: " + message + "\n"});
}

TEST_F(QuilProcess, BytesThatAreNotUtf8NeverBreakTheJsonRecord) {
    expectOutcome(quil({"\xFFno\xC3", "--output", "json"}),
                  {{}, 2, "", jsonError("INVALID_ARGUMENT", "unknown command: \xEF\xBF\xBDno\xEF\xBF\xBD")});
    expectOutcome(quil({"\xFFno"}), {{}, 2, "", textParseError("unknown command: \xFFno")});
}

}  // namespace
}  // namespace quarlino::quil::e2e
