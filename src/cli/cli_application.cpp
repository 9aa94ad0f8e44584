#include "cli/cli_application.hpp"

#include <ostream>
#include <stdexcept>
#include <utility>

#include "cli/command_group.hpp"
#include "cli/command_helpers.hpp"
#include "cli/command_line.hpp"

namespace quarlino::quil::cli {

CliApplication::ApiContext::ApiContext(std::unique_ptr<application::port::QuarlinoGateway> owned)
    : owner(std::move(owned)), gateway(*owner) {}

CliApplication::CliApplication(TransportFactory transportFactory,
                               GatewayFactory gatewayFactory,
                               application::ProfileService& profiles,
                               SecretReader secretReader,
                               Sleeper sleeper,
                               std::shared_ptr<application::port::BrowserOpener> browserOpener)
    : transportFactory(std::move(transportFactory)),
      gatewayFactory(std::move(gatewayFactory)),
      profiles(profiles),
      secretReader(std::move(secretReader)),
      sleeper(std::move(sleeper)),
      browserOpener(std::move(browserOpener)) {
    if (!this->transportFactory || !this->gatewayFactory || !this->secretReader || !this->sleeper) {
        throw std::invalid_argument("Quil application dependencies are required");
    }
}

int CliApplication::run(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err) {
    switch (commandGroup(command.id)) {
        case CommandGroup::Help:
            out << CommandLine::usage(command.operands);
            return 0;
        case CommandGroup::Version:
            // A plain line even with --output json: scripts read the version as text.
            out << "quil " << version << "\n";
            return 0;
        case CommandGroup::Completion:
            out << CommandLine::completion(command.operand(0));
            return 0;
        case CommandGroup::Status:
            return runStatus(command, out, err);
        case CommandGroup::Auth:
            return runAuth(command, in, out, err);
        case CommandGroup::Profile:
            return runProfile(command, in, out, err);
        case CommandGroup::Workspace:
            return runWorkspace(command, out);
        case CommandGroup::Organization:
            return runOrganization(command, out);
        case CommandGroup::Team:
            return runTeam(command, in, out, err);
        case CommandGroup::Access:
            return runAccess(command, in, out, err);
        case CommandGroup::Project:
            return runProject(command, in, out, err);
        case CommandGroup::Repository:
            return runRepository(command, out);
        case CommandGroup::Action:
            return runAction(command, out);
        case CommandGroup::Registry:
            return runRegistry(command, in, out, err);
        case CommandGroup::Pipeline:
            return runPipeline(command, in, out, err);
        case CommandGroup::VariableGroup:
            return runVariableGroup(command, in, out, err);
        case CommandGroup::SecretGroup:
            return runSecretGroup(command, in, out, err);
        case CommandGroup::Agent:
            return runAgent(command, in, out, err);
        case CommandGroup::DeploymentTarget:
            return runDeploymentTarget(command, in, out);
        case CommandGroup::Execution:
            return runExecution(command, out);
        case CommandGroup::Dashboard:
            return runDashboard(command, out);
        case CommandGroup::Update:
            return runUpdate(command, out);
        case CommandGroup::Unsupported:
            break;
    }
    throw std::logic_error(unsupportedCommandMessage);
}

application::ClientSession CliApplication::profileSession(const ParsedCommand& command) {
    return profiles.resolve(command.option("profile"), command.option("server"), std::nullopt, command.timeout);
}

application::ClientSession CliApplication::session(const ParsedCommand& command, bool requireWorkspace) {
    application::ClientSession session = profileSession(command);
    // Resolved even for commands that need no workspace: a selector that names
    // nothing is an error wherever it is given.
    if (const auto selector = command.option("workspace")) {
        session.config = withSelectedWorkspace(session.config, *selector);
    }
    if (requireWorkspace && !session.config.workspaceId()) {
        throw std::invalid_argument("no active workspace; run 'quil workspace use <id|slug>' or pass --workspace");
    }
    return session;
}

config::ClientConfig CliApplication::withSelectedWorkspace(const config::ClientConfig& config,
                                                           std::string_view selector) {
    requireAuthentication(config);
    // The listing must not be scoped to the workspace the profile remembers.
    const auto context = api(config.withWorkspaceId(std::nullopt));
    const auto workspaces = context->gateway.listWorkspaces();
    return config.withWorkspaceId(resolveWorkspace(workspaces.value, selector).id);
}

std::unique_ptr<CliApplication::ApiContext> CliApplication::api(const config::ClientConfig& config) {
    auto gateway = gatewayFactory(config);
    if (!gateway) {
        throw std::runtime_error("Quarlino gateway factory returned no gateway");
    }
    return std::make_unique<ApiContext>(std::move(gateway));
}

std::unique_ptr<CliApplication::ApiContext> CliApplication::workspaceApi(const ParsedCommand& command) {
    const application::ClientSession current = session(command, true);
    requireAuthentication(current.config);
    return api(current.config);
}

}  // namespace quarlino::quil::cli
