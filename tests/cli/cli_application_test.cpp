#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>

#include "cli/cli_application.hpp"
#include "cli/command_line.hpp"
#include "cli/command_table.hpp"
#include "cli/golden_files.hpp"

namespace quarlino::quil::cli {
namespace {

struct Outcome {
    int exitCode;
    std::string out;
    std::string err;
};

Outcome run(const ParsedCommand& command) {
    CliApplication application;
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = application.run(command, in, out, err);
    return {exitCode, out.str(), err.str()};
}

TEST(CliApplicationLocalCommands, HelpWritesTheUsageOfItsTopic) {
    EXPECT_EQ(run(CommandLine::parse({})).out, golden::topLevelUsage());
    EXPECT_EQ(run(CommandLine::parse({"registry", "token", "--help"})).out, golden::listing("registry_token"));
    const Outcome outcome = run(CommandLine::parse({"help", "version"}));
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, golden::commandUsage("quil version"));
    EXPECT_EQ(outcome.err, "");
}

TEST(CliApplicationLocalCommands, VersionIsOnePlainLineInEveryOutputMode) {
    for (const auto& words : {std::vector<std::string_view>{"--version"}, {"version", "--output", "json"},
                              {"version", "--quiet"}}) {
        const Outcome outcome = run(CommandLine::parse(words));
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.out, "quil 0.1.0\n");
        EXPECT_EQ(outcome.err, "");
    }
}

TEST(CliApplicationLocalCommands, CompletionWritesTheScriptOfTheShell) {
    const Outcome outcome = run(CommandLine::parse({"completion", "zsh"}));
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, golden::completion("zsh"));
}

TEST(CliApplicationLocalCommands, CompletionForAnUnknownShellFailsAsAnInvalidArgument) {
    EXPECT_THROW(run(CommandLine::parse({"completion", "powershell"})), std::invalid_argument);
}

// Until the command groups have handlers, every platform command fails as an
// internal error; numbers past the table always do.
TEST(CliApplicationDispatch, CommandsWithoutAHandlerAreUnsupported) {
    for (unsigned id = 3; id <= 255; ++id) {
        ParsedCommand command;
        command.id = static_cast<std::uint8_t>(id);
        try {
            run(command);
            ADD_FAILURE() << "command " << id << " ran";
        } catch (const std::logic_error& error) {
            EXPECT_STREQ(error.what(), "unsupported Quil command") << id;
        }
    }
}

}  // namespace
}  // namespace quarlino::quil::cli
