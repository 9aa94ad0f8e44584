#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_table.hpp"

namespace quarlino::quil::cli {
namespace {

bool isPrefix(const std::vector<std::string_view>& shorter, const std::vector<std::string_view>& longer) {
    return shorter.size() <= longer.size() && std::equal(shorter.begin(), shorter.end(), longer.begin());
}

std::set<int> idsWhere(bool (*predicate)(const CommandSpec&)) {
    std::set<int> ids;
    for (const CommandSpec& spec : commandSpecs) {
        if (predicate(spec)) {
            ids.insert(spec.id);
        }
    }
    return ids;
}

TEST(CommandTable, NumbersEqualPositions) {
    for (std::size_t index = 0; index < commandCount; ++index) {
        EXPECT_EQ(commandSpecs[index].id, index);
    }
}

TEST(CommandTable, NoPathIsAPrefixOfAnother) {
    for (const CommandSpec& first : commandSpecs) {
        for (const CommandSpec& second : commandSpecs) {
            if (&first != &second) {
                EXPECT_FALSE(isPrefix(first.path, second.path)) << first.id << " and " << second.id;
            }
        }
    }
}

TEST(CommandTable, RecordsAreConsistentWithTheGlobals) {
    for (const CommandSpec& spec : commandSpecs) {
        EXPECT_TRUE(std::includes(spec.options.begin(), spec.options.end(), spec.required.begin(),
                                  spec.required.end()))
            << spec.id;
        for (const std::string_view option : spec.options) {
            EXPECT_FALSE(spec.flags.contains(option)) << spec.id;
            EXPECT_FALSE(globalOptions.contains(option) || globalFlags.contains(option)) << spec.id;
        }
        for (const std::string_view flag : spec.flags) {
            EXPECT_FALSE(globalOptions.contains(flag) || globalFlags.contains(flag)) << spec.id;
        }
        EXPECT_GE(spec.path.size(), 1U);
        EXPECT_LE(spec.path.size(), 3U);
    }
}

TEST(CommandTable, GlobalsAreTheDocumentedOnes) {
    EXPECT_EQ(globalOptions, (std::set<std::string_view>{"output", "profile", "timeout", "workspace"}));
    EXPECT_EQ(globalFlags, (std::set<std::string_view>{"no-color", "quiet"}));
}

TEST(CommandTable, ServerOptionOnlyWhereDocumented) {
    EXPECT_EQ(idsWhere([](const CommandSpec& spec) { return spec.options.contains("server"); }),
              (std::set<int>{3, 4, 5, 11}));
    EXPECT_EQ(idsWhere([](const CommandSpec& spec) { return spec.required.contains("server"); }),
              (std::set<int>{11}));
}

TEST(CommandTable, ConfirmationFlagOnTheElevenDestructiveCommands) {
    EXPECT_EQ(idsWhere([](const CommandSpec& spec) { return spec.flags.contains("yes"); }),
              (std::set<int>{12, 28, 38, 42, 49, 59, 62, 71, 81, 87, 90}));
}

TEST(CommandTable, OnlyPipelineConfigureNeedsAnyOption) {
    EXPECT_EQ(idsWhere([](const CommandSpec& spec) { return spec.requiresAnyOption; }), (std::set<int>{70}));
}

TEST(CommandTable, FlagsAreTheFixedSet) {
    std::set<std::string_view> flags;
    for (const CommandSpec& spec : commandSpecs) {
        flags.insert(spec.flags.begin(), spec.flags.end());
    }
    EXPECT_EQ(flags, (std::set<std::string_view>{"clear-agent", "follow", "git", "password-stdin", "stdin", "yes"}));
}

TEST(CommandTable, GroupsOccupyTheirDocumentedRanges) {
    const std::vector<std::pair<std::string_view, std::pair<int, int>>> groups{
        {"help", {0, 0}},          {"version", {1, 1}},          {"completion", {2, 2}},
        {"status", {3, 3}},        {"auth", {4, 7}},             {"profile", {8, 12}},
        {"workspace", {13, 17}},   {"organization", {18, 21}},   {"team", {22, 28}},
        {"access", {29, 31}},      {"role", {32, 38}},           {"grant", {39, 44}},
        {"project", {45, 49}},     {"repository", {50, 52}},     {"action", {53, 54}},
        {"registry", {55, 62}},    {"pipeline", {63, 75}},       {"variable-group", {76, 81}},
        {"secret-group", {82, 87}}, {"agent", {88, 90}},         {"target", {91, 96}},
        {"run", {97, 101}},        {"dashboard", {102, 104}},    {"update", {105, 105}},
    };
    for (const auto& [word, range] : groups) {
        for (int id = range.first; id <= range.second; ++id) {
            EXPECT_EQ(commandSpecs[static_cast<std::size_t>(id)].path.front(), word) << id;
        }
    }
}

struct LookupCase {
    std::vector<std::string> words;
    int longest;  // -1 for none
    int exact;
};

class CommandLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(CommandLookup, FindsTheDocumentedRecord) {
    const LookupCase& lookup = GetParam();
    const CommandSpec* longest = longestMatchingSpec(lookup.words);
    const CommandSpec* exact = exactSpec(lookup.words);
    EXPECT_EQ(longest == nullptr ? -1 : longest->id, lookup.longest);
    EXPECT_EQ(exact == nullptr ? -1 : exact->id, lookup.exact);
}

INSTANTIATE_TEST_SUITE_P(
    Words, CommandLookup,
    testing::Values(LookupCase{{"team", "member", "add", "x"}, 27, -1}, LookupCase{{"team", "member", "add"}, 27, 27},
                    LookupCase{{"team", "member"}, -1, -1}, LookupCase{{"team"}, -1, -1},
                    LookupCase{{"teams", "list"}, -1, -1}, LookupCase{{"help"}, 0, 0}, LookupCase{{"version"}, 1, 1},
                    LookupCase{{"completion", "bash"}, 2, -1}, LookupCase{{"registry", "token"}, -1, -1},
                    LookupCase{{"registry", "token", "list"}, 60, 60}, LookupCase{{}, -1, -1},
                    LookupCase{{"Workspace", "list"}, -1, -1}, LookupCase{{"workspace", "LIST"}, -1, -1},
                    LookupCase{{"update", "check", "now"}, 105, -1}, LookupCase{{"status", "extra"}, 3, -1}));

}  // namespace
}  // namespace quarlino::quil::cli
