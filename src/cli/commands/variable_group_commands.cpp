#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>

#include "cli/cli_application.hpp"
#include "cli/commands/group_commands.hpp"

namespace quarlino::quil::cli {

namespace {

using Gateway = application::port::QuarlinoGateway;

const GroupCommands<model::VariableGroup> variableGroups{
    76,
    "variable group",
    "Variable-group deletion cancelled",
    "unsupported variable-group command",
    resolveVariableGroup,
    &Gateway::listVariableGroups,
    &Gateway::getVariableGroup,
    &Gateway::createVariableGroup,
    &Gateway::unsetVariable,
    &Gateway::deleteVariableGroup,
    &OutputFormatter::variableGroup,
    &OutputFormatter::variableGroups,
};

// NAME=VALUE split at the first "=": later ones belong to the value, which
// may be empty; the name may not.
std::pair<std::string, std::string> variableAssignment(std::string_view assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        throw std::invalid_argument("variable assignment must use NAME=VALUE");
    }
    return {std::string(assignment.substr(0, equals)), std::string(assignment.substr(equals + 1))};
}

}  // namespace

int CliApplication::runVariableGroup(const ParsedCommand& command, std::istream& in, std::ostream& out,
                                     std::ostream& err) {
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;

    return runGroupCommand(variableGroups, command, gateway, formatter, in, err,
                           [&](const model::VariableGroup& group) {
                               const auto [name, value] = variableAssignment(command.operand(1));
                               return gateway.setVariable(group.id, name, value);
                           });
}

}  // namespace quarlino::quil::cli
