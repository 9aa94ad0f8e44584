#include "cli/command_group.hpp"

#include <array>

namespace quarlino::quil::cli {
namespace {

struct GroupRange {
    std::uint8_t last;  // the group's highest command number
    CommandGroup group;
};

// In table order; a group starts right after the previous group's last number.
constexpr std::array<GroupRange, 22> groupRanges{{
    {0, CommandGroup::Help},
    {1, CommandGroup::Version},
    {2, CommandGroup::Completion},
    {3, CommandGroup::Status},
    {7, CommandGroup::Auth},
    {12, CommandGroup::Profile},
    {17, CommandGroup::Workspace},
    {21, CommandGroup::Organization},
    {28, CommandGroup::Team},
    {44, CommandGroup::Access},
    {49, CommandGroup::Project},
    {52, CommandGroup::Repository},
    {54, CommandGroup::Action},
    {62, CommandGroup::Registry},
    {75, CommandGroup::Pipeline},
    {81, CommandGroup::VariableGroup},
    {87, CommandGroup::SecretGroup},
    {90, CommandGroup::Agent},
    {96, CommandGroup::DeploymentTarget},
    {101, CommandGroup::Execution},
    {104, CommandGroup::Dashboard},
    {105, CommandGroup::Update},
}};

}  // namespace

CommandGroup commandGroup(std::uint8_t id) noexcept {
    for (const GroupRange& range : groupRanges) {
        if (id <= range.last) {
            return range.group;
        }
    }
    return CommandGroup::Unsupported;
}

}  // namespace quarlino::quil::cli
