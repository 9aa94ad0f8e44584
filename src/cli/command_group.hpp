#pragma once

#include <cstdint>

namespace quarlino::quil::cli {

// The handler slot of a command number. Each group's numbers are contiguous
// in the command table; access, role and grant commands share one handler.
enum class CommandGroup : std::uint8_t {
    Help,
    Version,
    Completion,
    Status,
    Auth,
    Profile,
    Workspace,
    Organization,
    Team,
    Access,
    Project,
    Repository,
    Action,
    Registry,
    Pipeline,
    VariableGroup,
    SecretGroup,
    Agent,
    DeploymentTarget,
    Execution,
    Dashboard,
    Update,
    Unsupported,  // past the end of the command table
};

CommandGroup commandGroup(std::uint8_t id) noexcept;

}  // namespace quarlino::quil::cli
