#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/command_table.hpp"
#include "cli/golden_files.hpp"
#include "cli/usage_text.hpp"

namespace quarlino::quil::cli {
namespace {

std::vector<std::string> pathWords(const CommandSpec& spec) {
    return {spec.path.begin(), spec.path.end()};
}

std::vector<std::string> topicOfListing(const std::string& stem) {
    std::vector<std::string> topic;
    if (stem == "top") {
        return topic;
    }
    std::istringstream words(stem);
    for (std::string word; std::getline(words, word, '_');) {
        topic.push_back(word);
    }
    return topic;
}

TEST(UsageGolden, EveryCommandHasItsDocumentedSynopsis) {
    const std::vector<std::string> expected = golden::synopses();
    ASSERT_EQ(expected.size(), commandCount);
    for (std::size_t id = 0; id < commandCount; ++id) {
        EXPECT_EQ(synopsis(commandSpecs[id]), expected[id]) << "command " << id;
    }
}

TEST(UsageGolden, EveryCommandButHelpShowsItsSynopsisAndTheGlobalOptionsWithoutFooter) {
    const std::vector<std::string> expected = golden::synopses();
    for (std::size_t id = 1; id < commandCount; ++id) {
        EXPECT_EQ(CommandLine::usage(pathWords(commandSpecs[id])), golden::commandUsage(expected[id]))
            << "command " << id;
    }
}

TEST(UsageGolden, EveryGroupListsItsNextWordsInByteOrder) {
    int listings = 0;
    for (const auto& entry : std::filesystem::directory_iterator(golden::directory() / "listings")) {
        const std::string stem = entry.path().stem().string();
        EXPECT_EQ(CommandLine::usage(topicOfListing(stem)), golden::listing(stem)) << "topic " << stem;
        ++listings;
    }
    // The top level, "help", 20 other group words and the two nested groups.
    EXPECT_EQ(listings, 24);
}

TEST(UsageGolden, GeneralUsageIsTheListingOfTheEmptyTopic) {
    EXPECT_EQ(CommandLine::usage(), golden::topLevelUsage());
    EXPECT_EQ(CommandLine::usage({}), CommandLine::usage());
}

TEST(UsageGolden, SingleCommandTopicMatchesTheDocumentedText) {
    EXPECT_EQ(CommandLine::usage({"team", "member", "add"}),
              "Usage:\n"
              "  quil team member add <team> --email <value> --organization <value>\n"
              "\n"
              "Global options:\n"
              "  --profile <name>       Select a local profile\n"
              "  --workspace <id|slug>  Override the active workspace\n"
              "  --output table|json    Select human or machine output\n"
              "  --timeout <seconds>    Set a request timeout between 1 and 300\n"
              "  --quiet                 Print identifiers only where supported\n"
              "  --no-color              Disable terminal colors\n"
              "  --help, -h              Show contextual help\n");
}

TEST(UsageGolden, HelpTopicIsAListingWithNoCommands) {
    const std::string text = CommandLine::usage({"help"});
    EXPECT_THAT(text, testing::StartsWith("Usage:\n  quil help <command> [options]\n\nCommands:\n\nGlobal options:\n"));
    EXPECT_THAT(text, testing::EndsWith("\nRun 'quil <command> --help' for command-specific usage.\n"));
}

class CompletionGolden : public testing::TestWithParam<const char*> {};

TEST_P(CompletionGolden, ScriptOffersTheFullSortedWordList) {
    EXPECT_EQ(CommandLine::completion(GetParam()), golden::completion(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Shells, CompletionGolden, testing::Values("bash", "zsh", "fish"));

TEST(Completion, RefusesShellsItHasNoScriptFor) {
    for (const char* shell : {"Bash", "powershell", "", "bash ", "FISH"}) {
        try {
            CommandLine::completion(shell);
            ADD_FAILURE() << "accepted shell '" << shell << "'";
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), "completion shell must be bash, zsh, or fish");
        }
    }
}

}  // namespace
}  // namespace quarlino::quil::cli
