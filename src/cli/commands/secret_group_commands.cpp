#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>

#include "cli/cli_application.hpp"
#include "cli/commands/group_commands.hpp"

namespace quarlino::quil::cli {

namespace {

using Gateway = application::port::QuarlinoGateway;

const GroupCommands<model::SecretGroup> secretGroups{
    82,
    "secret group",
    "Secret-group deletion cancelled",
    "unsupported secret-group command",
    resolveSecretGroup,
    &Gateway::listSecretGroups,
    &Gateway::getSecretGroup,
    &Gateway::createSecretGroup,
    &Gateway::unsetSecret,
    &Gateway::deleteSecretGroup,
    &OutputFormatter::secretGroup,
    &OutputFormatter::secretGroups,
};

}  // namespace

int CliApplication::runSecretGroup(const ParsedCommand& command, std::istream& in, std::ostream& out,
                                   std::ostream& err) {
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;

    // A secret never comes from the command line, where other users and the
    // shell history could see it.
    return runGroupCommand(secretGroups, command, gateway, formatter, in, err, [&](const model::SecretGroup& group) {
        const std::string value = command.hasFlag("stdin") ? readSecretFromStdin(in) : secretReader("Secret value: ");
        if (value.empty()) {
            throw std::invalid_argument("secret value cannot be empty");
        }
        return gateway.setSecret(group.id, command.operand(1), value);
    });
}

}  // namespace quarlino::quil::cli
