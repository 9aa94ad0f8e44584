#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/golden_files.hpp"

namespace quarlino::quil::cli {
namespace {

using Words = std::vector<std::string_view>;

std::string parseError(const Words& words) {
    try {
        CommandLine::parse(words);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "(parsed)";
}

struct RefusalCase {
    Words words;
    std::string message;
};

class ParserRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ParserRefusal, ReportsTheFirstFaultInValidationOrder) {
    EXPECT_EQ(parseError(GetParam().words), GetParam().message);
}

// Grouped by message, in the order the parser checks them; several cases carry
// a later fault as well to prove the earlier check wins.
INSTANTIATE_TEST_SUITE_P(
    MissingValue, ParserRefusal,
    testing::Values(RefusalCase{{"--version", "--quiet"}, "--version requires a value"},
                    RefusalCase{{"team", "list", "--organization"}, "--organization requires a value"},
                    RefusalCase{{"team", "list", "--organization", "--quiet"}, "--organization requires a value"},
                    RefusalCase{{"team", "list", "--organization", ""}, "--organization requires a value"},
                    RefusalCase{{"pipeline", "validate", "--file="}, "--file requires a value"},
                    RefusalCase{{"pipeline", "validate", "--file:"}, "--file requires a value"},
                    RefusalCase{{"auth", "login", "--pwdstdin="}, "--password-stdin requires a value"},
                    RefusalCase{{"workspace", "list", "--timeout="}, "--timeout requires a value"},
                    RefusalCase{{"help", "--topic"}, "--topic requires a value"},
                    RefusalCase{{"nothing", "--file", "--x"}, "--file requires a value"}));

INSTANTIATE_TEST_SUITE_P(
    Repeated, ParserRefusal,
    testing::Values(RefusalCase{{"pipeline", "validate", "--file", "a", "--file=b"}, "--file can only be provided once"},
                    RefusalCase{{"pipeline", "validate", "--file:a", "--file", "b"}, "--file can only be provided once"},
                    RefusalCase{{"profile", "delete", "n", "--yes", "--yes"}, "--yes can only be provided once"},
                    RefusalCase{{"--help", "--help"}, "--help can only be provided once"},
                    RefusalCase{{"-h", "--help"}, "--help can only be provided once"},
                    RefusalCase{{"nothing", "--quiet", "--quiet"}, "--quiet can only be provided once"},
                    RefusalCase{{"auth", "login", "--pwdstdin", "--password-stdin"},
                                "--password-stdin can only be provided once"}));

INSTANTIATE_TEST_SUITE_P(
    HelpTopic, ParserRefusal,
    testing::Values(RefusalCase{{"help", "workspace", "list", "extra"}, "unknown help topic: workspace list extra"},
                    RefusalCase{{"help", "nothing"}, "unknown help topic: nothing"},
                    RefusalCase{{"nothing", "here", "--help"}, "unknown help topic: nothing here"},
                    RefusalCase{{"help", "Workspace"}, "unknown help topic: Workspace"},
                    RefusalCase{{"help", "help", "help"}, "unknown help topic: help help"},
                    RefusalCase{{"help", "team", "member", "x"}, "unknown help topic: team member x"}));

INSTANTIATE_TEST_SUITE_P(
    UnknownCommand, ParserRefusal,
    testing::Values(RefusalCase{{"workspace"}, "unknown command: workspace"},
                    RefusalCase{{"nothing", "here"}, "unknown command: nothing here"},
                    RefusalCase{{"team", "member"}, "unknown command: team member"},
                    RefusalCase{{"Workspace", "list"}, "unknown command: Workspace list"},
                    RefusalCase{{"--quiet", "teams", "--bogus", "1", "list"}, "unknown command: teams list"},
                    RefusalCase{{"-", "x"}, "unknown command: - x"}));

INSTANTIATE_TEST_SUITE_P(
    OperandCount, ParserRefusal,
    testing::Values(RefusalCase{{"workspace", "use"}, "incorrect number of operands for workspace use"},
                    RefusalCase{{"workspace", "use", "a", "b"}, "incorrect number of operands for workspace use"},
                    RefusalCase{{"variable-group", "set", "g", "--", "x"},
                                "incorrect number of operands for variable-group set"},
                    RefusalCase{{"version", "extra"}, "incorrect number of operands for version"},
                    RefusalCase{{"completion"}, "incorrect number of operands for completion"},
                    RefusalCase{{"workspace", "use", "--bogus", "1"}, "incorrect number of operands for workspace use"},
                    RefusalCase{{"team", "member", "add"}, "incorrect number of operands for team member add"}));

INSTANTIATE_TEST_SUITE_P(
    NotValidHere, ParserRefusal,
    testing::Values(RefusalCase{{"workspace", "use", "--yes", "x"}, "--yes is not valid for this command"},
                    RefusalCase{{"workspace", "list", "--zzz", "1", "--aaa", "2"}, "--aaa is not valid for this command"},
                    RefusalCase{{"workspace", "list", "--yes", "--zzz", "1"}, "--zzz is not valid for this command"},
                    RefusalCase{{"profile", "delete", "n", "--yes", "--yes=1"}, "--yes is not valid for this command"},
                    RefusalCase{{"workspace", "list", "--server", "https://x"}, "--server is not valid for this command"},
                    RefusalCase{{"team", "list", "--bogus", "1"}, "--bogus is not valid for this command"},
                    RefusalCase{{"workspace", "list", "--help=x"}, "--help is not valid for this command"},
                    RefusalCase{{"workspace", "list", "--follow", "--git"}, "--follow is not valid for this command"}));

INSTANTIATE_TEST_SUITE_P(
    Required, ParserRefusal,
    testing::Values(RefusalCase{{"team", "list"}, "--organization is required"},
                    RefusalCase{{"team", "member", "add", "t"}, "--email is required"},
                    RefusalCase{{"team", "member", "add", "t", "--email", "e"}, "--organization is required"},
                    RefusalCase{{"grant", "effective", "--organization", "o", "--resource", "r"},
                                "--principal is required"},
                    RefusalCase{{"profile", "create", "p", "--output", "bad"}, "--server is required"},
                    RefusalCase{{"target", "create", "n", "--agent", "a"}, "--config is required"}));

INSTANTIATE_TEST_SUITE_P(
    AnyOption, ParserRefusal,
    testing::Values(RefusalCase{{"pipeline", "configure", "p"}, "at least one command option is required"},
                    RefusalCase{{"pipeline", "configure", "p", "--output", "json"},
                                "at least one command option is required"},
                    RefusalCase{{"pipeline", "configure", "p", "--output", "JSON"},
                                "at least one command option is required"}));

INSTANTIATE_TEST_SUITE_P(
    OutputFormat, ParserRefusal,
    testing::Values(RefusalCase{{"workspace", "list", "--output", "JSON"}, "--output must be table or json"},
                    RefusalCase{{"workspace", "list", "--output=yaml"}, "--output must be table or json"},
                    RefusalCase{{"workspace", "list", "--output", "json "}, "--output must be table or json"},
                    RefusalCase{{"workspace", "list", "--output", "x", "--timeout", "0"},
                                "--output must be table or json"}));

INSTANTIATE_TEST_SUITE_P(
    Timeout, ParserRefusal,
    testing::Values(RefusalCase{{"workspace", "list", "--timeout", "0"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "301"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "-5"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "-0"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "-"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "3s"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "+30"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", " 30"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "30 "}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "0x10"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "1.5"}, "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "99999999999999999999"},
                                "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "-99999999999999999999"},
                                "--timeout must be between 1 and 300 seconds"},
                    RefusalCase{{"workspace", "list", "--timeout", "18446744073709551916"},
                                "--timeout must be between 1 and 300 seconds"}));

struct AcceptCase {
    Words words;
    int id;
    std::vector<std::string> operands;
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
    OutputFormat format = OutputFormat::Table;
    std::optional<int> timeout{};
};

class ParserAcceptance : public testing::TestWithParam<AcceptCase> {};

TEST_P(ParserAcceptance, ProducesTheParsedCommand) {
    const AcceptCase& expected = GetParam();
    const ParsedCommand parsed = CommandLine::parse(expected.words);
    EXPECT_EQ(parsed.id, expected.id);
    EXPECT_EQ(parsed.operands, expected.operands);
    EXPECT_EQ(parsed.options, expected.options);
    EXPECT_EQ(parsed.flags, expected.flags);
    EXPECT_EQ(parsed.outputFormat, expected.format);
    if (expected.timeout) {
        EXPECT_EQ(parsed.timeout, std::chrono::seconds(*expected.timeout));
    } else {
        EXPECT_FALSE(parsed.timeout.has_value());
    }
}

// With no command words, or in help mode, every option and flag is dropped
// without validation.
INSTANTIATE_TEST_SUITE_P(
    GeneralUsageAndHelp, ParserAcceptance,
    testing::Values(AcceptCase{{}, 0, {}, {}, {}},
                    AcceptCase{{"--output", "json", "--quiet"}, 0, {}, {}, {}},
                    AcceptCase{{"--bogus", "x", "--timeout", "0"}, 0, {}, {}, {}},
                    AcceptCase{{"help"}, 0, {}, {}, {}}, AcceptCase{{"-h"}, 0, {}, {}, {}},
                    AcceptCase{{"--help"}, 0, {}, {}, {}}, AcceptCase{{"help", "--help"}, 0, {}, {}, {}},
                    AcceptCase{{"help", "workspace"}, 0, {"workspace"}, {}, {}},
                    AcceptCase{{"help", "workspace", "list"}, 0, {"workspace", "list"}, {}, {}},
                    AcceptCase{{"workspace", "list", "extra", "--help"}, 0, {"workspace", "list"}, {}, {}},
                    AcceptCase{{"workspace", "use", "abc", "--help"}, 0, {"workspace", "use"}, {}, {}},
                    AcceptCase{{"help", "help"}, 0, {"help"}, {}, {}},
                    AcceptCase{{"-h", "registry", "token"}, 0, {"registry", "token"}, {}, {}},
                    AcceptCase{{"team", "--help", "--output", "yaml"}, 0, {"team"}, {}, {}},
                    AcceptCase{{"help", "--bogus", "x", "--yes"}, 0, {}, {}, {}},
                    AcceptCase{{"help", "version"}, 0, {"version"}, {}, {}},
                    AcceptCase{{"completion", "zsh", "-h"}, 0, {"completion"}, {}, {}}));

INSTANTIATE_TEST_SUITE_P(
    Version, ParserAcceptance,
    testing::Values(AcceptCase{{"--version"}, 1, {}, {}, {}}, AcceptCase{{"version"}, 1, {}, {}, {}},
                    AcceptCase{{"version", "--output", "json"}, 1, {}, {{"output", "json"}}, {}, OutputFormat::Json},
                    AcceptCase{{"--version", "x"}, 0, {}, {}, {}},
                    AcceptCase{{"--version", "help"}, 0, {}, {}, {}}));

INSTANTIATE_TEST_SUITE_P(
    Values, ParserAcceptance,
    testing::Values(
        AcceptCase{{"team", "list", "--organization", "-"}, 22, {}, {{"organization", "-"}}, {}},
        AcceptCase{{"team", "list", "--organization", "-x"}, 22, {}, {{"organization", "-x"}}, {}},
        AcceptCase{{"team", "list", "--organization", "--"}, 22, {}, {{"organization", "--"}}, {}},
        AcceptCase{{"team", "list", "--organization", "help"}, 22, {}, {{"organization", "help"}}, {}},
        AcceptCase{{"pipeline", "validate", "--file=a=b"}, 66, {}, {{"file", "a=b"}}, {}},
        AcceptCase{{"pipeline", "validate", "--file:a:b"}, 66, {}, {{"file", "a:b"}}, {}},
        AcceptCase{{"pipeline", "validate", "--file:a=b"}, 66, {}, {{"file", "a=b"}}, {}},
        AcceptCase{{"pipeline", "validate", "--file", "--"}, 66, {}, {{"file", "--"}}, {}},
        AcceptCase{{"auth", "login", "--pwdstdin"}, 4, {}, {}, {"password-stdin"}},
        AcceptCase{{"completion", "--"}, 2, {"--"}, {}, {}},
        AcceptCase{{"profile", "use", "-"}, 9, {"-"}, {}, {}},
        AcceptCase{{"profile", "use", "-x"}, 9, {"-x"}, {}, {}},
        AcceptCase{{"profile", "use", ""}, 9, {""}, {}, {}},
        AcceptCase{{"--quiet", "profile", "--profile", "p", "delete", "n", "--yes"}, 12, {"n"}, {{"profile", "p"}},
                   {"quiet", "yes"}},
        AcceptCase{{"workspace", "list", "--workspace", "w", "--no-color"}, 13, {}, {{"workspace", "w"}},
                   {"no-color"}},
        AcceptCase{{"pipeline", "configure", "p", "--runner", "r"}, 70, {"p"}, {{"runner", "r"}}, {}},
        AcceptCase{{"variable-group", "set", "g", "a=b"}, 79, {"g", "a=b"}, {}, {}}));

INSTANTIATE_TEST_SUITE_P(
    FormatAndTimeout, ParserAcceptance,
    testing::Values(
        AcceptCase{{"workspace", "list", "--output=json"}, 13, {}, {{"output", "json"}}, {}, OutputFormat::Json},
        AcceptCase{{"workspace", "list", "--output:json"}, 13, {}, {{"output", "json"}}, {}, OutputFormat::Json},
        AcceptCase{{"workspace", "list", "--output", "json"}, 13, {}, {{"output", "json"}}, {}, OutputFormat::Json},
        AcceptCase{{"workspace", "list", "--output", "table"}, 13, {}, {{"output", "table"}}, {}},
        AcceptCase{{"workspace", "list", "--timeout", "300"}, 13, {}, {{"timeout", "300"}}, {}, OutputFormat::Table,
                   300},
        AcceptCase{{"workspace", "list", "--timeout", "030"}, 13, {}, {{"timeout", "030"}}, {}, OutputFormat::Table,
                   30},
        AcceptCase{{"workspace", "list", "--timeout=1"}, 13, {}, {{"timeout", "1"}}, {}, OutputFormat::Table, 1},
        AcceptCase{{"workspace", "list", "--timeout", "0000000000000000000000000042"},
                   13,
                   {},
                   {{"timeout", "0000000000000000000000000042"}},
                   {},
                   OutputFormat::Table,
                   42}));

// Every command of the documented synopses parses when each of its operands,
// options and flags is given once, and refuses one operand too many.
std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

struct SynopsisCommandLine {
    std::vector<std::string> words;
    std::vector<std::string> commandWords;
    std::vector<std::string> operands;
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
    std::vector<std::string> required;
};

SynopsisCommandLine commandLineFromSynopsis(const std::string& synopsis) {
    SynopsisCommandLine line;
    const std::vector<std::string> tokens = splitWords(synopsis);
    for (std::size_t index = 1; index < tokens.size(); ++index) {
        std::string token = tokens[index];
        const bool optional = token.front() == '[';
        if (optional) {
            token = token.substr(1);
        }
        if (token.back() == ']') {
            token.pop_back();
        }
        if (token.front() == '<') {
            const std::string value = "op" + std::to_string(line.operands.size());
            line.operands.push_back(value);
            line.words.push_back(value);
        } else if (token.starts_with("--") && index + 1 < tokens.size() && tokens[index + 1].starts_with("<value>")) {
            const std::string name = token.substr(2);
            line.options[name] = "v-" + name;
            if (!optional) {
                line.required.push_back(name);
            }
            line.words.push_back(token);
            line.words.push_back("v-" + name);
            ++index;
        } else if (token.starts_with("--")) {
            line.flags.insert(token.substr(2));
            line.words.push_back(token);
        } else {
            line.commandWords.push_back(token);
            line.words.push_back(token);
        }
    }
    return line;
}

Words viewsOf(const std::vector<std::string>& words) {
    return Words(words.begin(), words.end());
}

std::string joinWords(const std::vector<std::string>& words) {
    std::string joined;
    for (const std::string& word : words) {
        joined += (joined.empty() ? "" : " ") + word;
    }
    return joined;
}

TEST(ParserOverAllCommands, EveryDocumentedCommandLineParses) {
    const std::vector<std::string> synopses = golden::synopses();
    for (std::size_t id = 0; id < synopses.size(); ++id) {
        const SynopsisCommandLine line = commandLineFromSynopsis(synopses[id]);
        const ParsedCommand parsed = CommandLine::parse(viewsOf(line.words));
        EXPECT_EQ(parsed.id, id) << synopses[id];
        EXPECT_EQ(parsed.operands, line.operands) << synopses[id];
        EXPECT_EQ(parsed.options, line.options) << synopses[id];
        EXPECT_EQ(parsed.flags, line.flags) << synopses[id];
    }
}

TEST(ParserOverAllCommands, OneOperandTooManyIsRefused) {
    const std::vector<std::string> synopses = golden::synopses();
    for (std::size_t id = 1; id < synopses.size(); ++id) {
        SynopsisCommandLine line = commandLineFromSynopsis(synopses[id]);
        line.words.push_back("surplus");
        EXPECT_EQ(parseError(viewsOf(line.words)),
                  "incorrect number of operands for " + joinWords(line.commandWords))
            << synopses[id];
    }
}

TEST(ParserOverAllCommands, FirstMissingRequiredOptionIsReported) {
    const std::vector<std::string> synopses = golden::synopses();
    int commandsWithRequiredOptions = 0;
    for (const std::string& synopsis : synopses) {
        const SynopsisCommandLine line = commandLineFromSynopsis(synopsis);
        if (line.required.empty()) {
            continue;
        }
        ++commandsWithRequiredOptions;
        std::vector<std::string> words = line.commandWords;
        words.insert(words.end(), line.operands.begin(), line.operands.end());
        EXPECT_EQ(parseError(viewsOf(words)), "--" + line.required.front() + " is required") << synopsis;
    }
    EXPECT_EQ(commandsWithRequiredOptions, 29);
}

TEST(ParsedCommandAccess, ReadsOperandsOptionsAndFlags) {
    const ParsedCommand parsed = CommandLine::parse({"team", "member", "remove", "t", "m", "--organization", "o",
                                                     "--yes"});
    EXPECT_EQ(parsed.operand(0), "t");
    EXPECT_EQ(parsed.operand(1), "m");
    EXPECT_EQ(parsed.option("organization"), std::optional<std::string_view>("o"));
    EXPECT_EQ(parsed.option("slug"), std::nullopt);
    EXPECT_TRUE(parsed.hasFlag("yes"));
    EXPECT_FALSE(parsed.hasFlag("quiet"));
    try {
        (void)parsed.operand(2);
        ADD_FAILURE() << "operand past the end was returned";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "command operand index is out of range");
    }
}

}  // namespace
}  // namespace quarlino::quil::cli
