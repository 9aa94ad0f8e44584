#include <cstdint>
#include <ostream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t projectList = 45;
constexpr std::uint8_t projectShow = 46;
constexpr std::uint8_t projectCreate = 47;
constexpr std::uint8_t projectUpdate = 48;
constexpr std::uint8_t projectDelete = 49;

int deleteProject(const ParsedCommand& command, application::port::QuarlinoGateway& gateway,
                  const model::Project& project, std::istream& in, std::ostream& err, OutputFormatter& formatter) {
    if (!confirmOrCancel(command, in, err, "Delete project '" + project.name + "'?", formatter,
                         "Project deletion cancelled")) {
        return 0;
    }
    gateway.deleteProject(project.id);
    mutationReceipt(formatter, {{"deleted", true}, {"id", project.id}}, "Deleted project " + project.name);
    return 0;
}

}  // namespace

int CliApplication::runProject(const ParsedCommand& command, std::istream& in, std::ostream& out,
                               std::ostream& err) {
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;

    if (command.id == projectList) {
        const auto listed = gateway.listProjects();
        formatter.projects(listed.value, listed.body);
        return 0;
    }
    if (command.id == projectCreate) {
        const auto created = gateway.createProject(command.operand(0), command.hasFlag("git"));
        formatter.project(created.value, created.body);
        return 0;
    }

    const model::Project project = resolveProject(gateway, command.operand(0));
    switch (command.id) {
        case projectShow: {
            const auto shown = gateway.getProject(project.id);
            formatter.project(shown.value, shown.body);
            return 0;
        }
        case projectUpdate: {
            const auto renamed = gateway.renameProject(project.id, requiredOption(command, "name"));
            formatter.project(renamed.value, renamed.body);
            return 0;
        }
        case projectDelete:
            return deleteProject(command, gateway, project, in, err, formatter);
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
