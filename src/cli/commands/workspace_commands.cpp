#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t workspaceList = 13;
constexpr std::uint8_t workspaceCreate = 14;
constexpr std::uint8_t workspaceUse = 15;
constexpr std::uint8_t workspaceCurrent = 16;
constexpr std::uint8_t workspaceRename = 17;

// What `workspace use` and `workspace current` print in JSON mode: the one
// workspace they settled on, not the platform's whole list.
std::string localWorkspaceJson(const model::Workspace& workspace) {
    const nlohmann::json object{{"id", workspace.id},
                                {"name", workspace.name},
                                {"slug", workspace.slug},
                                {"personal", workspace.personal},
                                {"role", workspace.role}};
    return object.dump();
}

std::string currentWorkspaceSelector(const config::ClientConfig& config) {
    const auto& workspaceId = config.workspaceId();
    if (!workspaceId || workspaceId->empty()) {
        throw std::invalid_argument("no active workspace; run 'quil workspace use <id|slug>'");
    }
    return *workspaceId;
}

}  // namespace

int CliApplication::runWorkspace(const ParsedCommand& command, std::ostream& out) {
    OutputFormatter formatter(command, out);
    const application::ClientSession current = session(command, false);
    requireAuthentication(current.config);
    // Workspaces are listed and changed above any one workspace.
    const auto context = api(current.config.withWorkspaceId(std::nullopt));
    auto& gateway = context->gateway;

    if (command.id == workspaceList) {
        const auto listed = gateway.listWorkspaces();
        formatter.workspaces(listed.value, listed.body);
        return 0;
    }
    if (command.id == workspaceCreate) {
        const auto created = gateway.createWorkspace(command.operand(0), command.option("slug").value_or(""));
        formatter.workspace(created.value, created.body);
        return 0;
    }

    const auto listed = gateway.listWorkspaces();
    const std::string selector =
        command.id == workspaceCurrent ? currentWorkspaceSelector(current.config) : std::string(command.operand(0));
    const model::Workspace workspace = resolveWorkspace(listed.value, selector);

    switch (command.id) {
        case workspaceUse:
            // An id that could never be sent (a line break in it) would leave
            // the profile unusable, this command included; it is never stored.
            try {
                static_cast<void>(current.config.withWorkspaceId(workspace.id));
            } catch (const std::invalid_argument& error) {
                throw std::runtime_error(error.what());
            }
            profiles.setWorkspace(current.profileName, workspace.id);
            formatter.workspace(workspace, localWorkspaceJson(workspace));
            return 0;
        case workspaceCurrent:
            formatter.workspace(workspace, localWorkspaceJson(workspace));
            return 0;
        case workspaceRename: {
            const auto renamed = gateway.renameWorkspace(workspace.id, command.operand(1));
            formatter.workspace(renamed.value, renamed.body);
            return 0;
        }
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
