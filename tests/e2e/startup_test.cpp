#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/golden_files.hpp"
#include "e2e/process_runner.hpp"
#include "support/quil/temporary_directory.hpp"

namespace quarlino::quil::e2e {
namespace {

using testsupport::quil::TemporaryDirectory;

const std::string noDirectory = "HOME or XDG_CONFIG_HOME is required for Quil configuration";

ProcessResult quil(std::vector<std::string> arguments, std::map<std::string, std::string> environment) {
    environment.emplace("PATH", "/usr/bin:/bin");
    environment.emplace("LANG", "C");
    return runProcess({QUIL_BINARY, std::move(arguments), std::move(environment), ""});
}

// The stores locate the configuration directory before any command runs, so
// without one even the local commands fail as internal errors.
TEST(QuilStartup, EveryCommandNeedsAConfigurationDirectory) {
    const std::vector<std::map<std::string, std::string>> environments{
        {}, {{"HOME", ""}}, {{"XDG_CONFIG_HOME", ""}}, {{"HOME", ""}, {"XDG_CONFIG_HOME", ""}}};
    const std::vector<std::vector<std::string>> commands{
        {"--version"}, {}, {"help"}, {"version"}, {"completion", "bash"}, {"status"}, {"workspace", "list"}};
    for (const auto& environment : environments) {
        for (const auto& arguments : commands) {
            const ProcessResult result = quil(arguments, environment);
            EXPECT_EQ(result.exitCode, 1) << testing::PrintToString(arguments);
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err, "quil: " + noDirectory + "\n");
        }
    }
}

TEST(QuilStartup, TheMissingDirectoryFollowsTheParsedOutputFormat) {
    const ProcessResult result = quil({"version", "--output=json"}, {});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "{\"code\":\"INTERNAL_ERROR\",\"httpStatus\":null,\"message\":\"" + noDirectory + "\"}\n");
}

// A line that does not parse is refused before anything is built.
TEST(QuilStartup, ParseErrorsComeFirst) {
    const ProcessResult result = quil({"nothing"}, {});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "quil: unknown command: nothing\n\n" + cli::golden::topLevelUsage());
}

// Output that cannot be written (here to a full device) turns a success into
// a failure; the report goes to standard error in the selected format.
TEST(QuilStartup, OutputThatCannotBeWrittenIsAFailure) {
    const TemporaryDirectory root;
    const std::map<std::string, std::string> environment{{"HOME", root.path().string()}, {"PATH", "/usr/bin:/bin"}};
    const auto toFullDevice = [&](std::vector<std::string> arguments, const std::string& redirection = "> /dev/full") {
        arguments.insert(arguments.begin(), {"-c", "exec \"$0\" \"$@\" " + redirection, QUIL_BINARY});
        return runProcess({"/bin/sh", std::move(arguments), environment, ""});
    };
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"version"}, {"help"}, {"completion", "bash"}, {"profile", "list"}}) {
        const ProcessResult result = toFullDevice(arguments);
        EXPECT_EQ(result.exitCode, 1) << testing::PrintToString(arguments);
        EXPECT_EQ(result.err, "quil: cannot write to standard output\n");
    }
    const ProcessResult json = toFullDevice({"profile", "list", "--output", "json"});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(json.err,
              "{\"code\":\"INTERNAL_ERROR\",\"httpStatus\":null,\"message\":\"cannot write to standard output\"}\n");
    // A closed standard output fails alike; with standard error closed too,
    // the exit code alone says so.
    const ProcessResult closed = toFullDevice({"version"}, ">&-");
    EXPECT_EQ(closed.exitCode, 1);
    EXPECT_EQ(closed.err, "quil: cannot write to standard output\n");
    EXPECT_EQ(toFullDevice({"version", "--output", "json"}, ">&- 2>&-").exitCode, 1);
}

TEST(QuilStartup, EitherVariableLocatesTheDirectoryAndNothingIsWrittenForLocalCommands) {
    const TemporaryDirectory root;
    const std::string directory = root.path().string();
    for (const auto& environment : std::vector<std::map<std::string, std::string>>{
             {{"HOME", directory}}, {{"XDG_CONFIG_HOME", directory}}, {{"HOME", ""}, {"XDG_CONFIG_HOME", directory}}}) {
        for (const auto& arguments : std::vector<std::vector<std::string>>{{"--version"}, {"help"}}) {
            const ProcessResult result = quil(arguments, environment);
            EXPECT_EQ(result.exitCode, 0) << result.err;
            EXPECT_EQ(result.err, "");
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(root.path()));
}

}  // namespace
}  // namespace quarlino::quil::e2e
