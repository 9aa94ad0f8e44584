#include <gtest/gtest.h>

#include <map>
#include <string_view>

#include "cli/command_group.hpp"
#include "cli/command_table.hpp"

namespace quarlino::quil::cli {
namespace {

// The handler of each command follows from the first word of its path; the
// access, role and grant commands share one.
const std::map<std::string_view, CommandGroup> groupOfFirstWord{
    {"help", CommandGroup::Help},
    {"version", CommandGroup::Version},
    {"completion", CommandGroup::Completion},
    {"status", CommandGroup::Status},
    {"auth", CommandGroup::Auth},
    {"profile", CommandGroup::Profile},
    {"workspace", CommandGroup::Workspace},
    {"organization", CommandGroup::Organization},
    {"team", CommandGroup::Team},
    {"access", CommandGroup::Access},
    {"role", CommandGroup::Access},
    {"grant", CommandGroup::Access},
    {"project", CommandGroup::Project},
    {"repository", CommandGroup::Repository},
    {"action", CommandGroup::Action},
    {"registry", CommandGroup::Registry},
    {"pipeline", CommandGroup::Pipeline},
    {"variable-group", CommandGroup::VariableGroup},
    {"secret-group", CommandGroup::SecretGroup},
    {"agent", CommandGroup::Agent},
    {"target", CommandGroup::DeploymentTarget},
    {"run", CommandGroup::Execution},
    {"dashboard", CommandGroup::Dashboard},
    {"update", CommandGroup::Update},
};

TEST(CommandGroup, EveryCommandOfTheTableGoesToTheHandlerOfItsGroup) {
    for (const CommandSpec& spec : commandSpecs) {
        ASSERT_FALSE(spec.path.empty());
        const auto expected = groupOfFirstWord.find(spec.path.front());
        ASSERT_NE(expected, groupOfFirstWord.end()) << joinPath(spec.path);
        EXPECT_EQ(commandGroup(spec.id), expected->second) << joinPath(spec.path);
    }
}

TEST(CommandGroup, TheGroupsSplitTheTableWhereTheSpecificationSays) {
    const std::map<unsigned, CommandGroup> firstNumbers{
        {3, CommandGroup::Status},          {4, CommandGroup::Auth},           {8, CommandGroup::Profile},
        {13, CommandGroup::Workspace},      {18, CommandGroup::Organization},  {22, CommandGroup::Team},
        {29, CommandGroup::Access},         {45, CommandGroup::Project},       {50, CommandGroup::Repository},
        {53, CommandGroup::Action},         {55, CommandGroup::Registry},      {63, CommandGroup::Pipeline},
        {76, CommandGroup::VariableGroup},  {82, CommandGroup::SecretGroup},   {88, CommandGroup::Agent},
        {91, CommandGroup::DeploymentTarget}, {97, CommandGroup::Execution},   {102, CommandGroup::Dashboard},
        {105, CommandGroup::Update},        {106, CommandGroup::Unsupported},
    };
    for (const auto& [first, group] : firstNumbers) {
        EXPECT_EQ(commandGroup(static_cast<std::uint8_t>(first)), group) << first;
        EXPECT_NE(commandGroup(static_cast<std::uint8_t>(first - 1)), group) << first;
    }
}

TEST(CommandGroup, NumbersPastTheTableHaveNoHandler) {
    for (unsigned id = commandCount; id <= 255; ++id) {
        EXPECT_EQ(commandGroup(static_cast<std::uint8_t>(id)), CommandGroup::Unsupported) << id;
    }
}

}  // namespace
}  // namespace quarlino::quil::cli
