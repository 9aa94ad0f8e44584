#include <cstdint>
#include <ostream>
#include <stdexcept>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t repositoryShow = 50;
constexpr std::uint8_t repositoryEnable = 51;
constexpr std::uint8_t repositoryTree = 52;

}  // namespace

int CliApplication::runRepository(const ParsedCommand& command, std::ostream& out) {
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;
    const model::Project project = resolveProject(gateway, command.operand(0));

    switch (command.id) {
        case repositoryShow: {
            const auto shown = gateway.getProject(project.id);
            formatter.project(shown.value, shown.body);
            return 0;
        }
        case repositoryEnable: {
            const auto enabled = gateway.enableRepository(project.id);
            formatter.project(enabled.value, enabled.body);
            return 0;
        }
        case repositoryTree: {
            // No --path asks for the repository's root.
            const auto tree = gateway.repositoryTree(project.id, command.option("path").value_or(""));
            formatter.repositoryEntries(tree.value, tree.body);
            return 0;
        }
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
