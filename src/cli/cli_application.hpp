#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "application/client_session.hpp"
#include "application/port/browser_opener.hpp"
#include "application/port/http_transport.hpp"
#include "application/port/quarlino_gateway.hpp"
#include "application/profile_service.hpp"
#include "application/program_version.hpp"
#include "cli/parsed_command.hpp"
#include "config/client_config.hpp"

namespace quarlino::quil::cli {

// What a command number without a handler reports (an internal error).
inline constexpr const char* unsupportedCommandMessage = "unsupported Quil command";

// Runs one parsed command and returns the process exit code; failures leave as
// exceptions for the entry point to report. Help, version and completion are
// answered here; every other command goes to the handler of its group, whose
// definition lives in src/cli/commands/<group>_commands.cpp.
class CliApplication {
public:
    static constexpr std::string_view version = application::programVersion;

    using TransportFactory =
        std::function<std::unique_ptr<application::port::HttpTransport>(const config::ClientConfig&)>;
    using GatewayFactory =
        std::function<std::unique_ptr<application::port::QuarlinoGateway>(const config::ClientConfig&)>;
    using SecretReader = std::function<std::string(std::string_view prompt)>;
    using Sleeper = std::function<void(std::chrono::milliseconds)>;

    // The gateway of one command; it owns the transport, so both live as long
    // as the context.
    struct ApiContext {
        explicit ApiContext(std::unique_ptr<application::port::QuarlinoGateway> owned);

        std::unique_ptr<application::port::QuarlinoGateway> owner;
        application::port::QuarlinoGateway& gateway;
    };

    // Throws std::invalid_argument when a function object is empty; the
    // browser opener may be null (browser login is then unavailable).
    CliApplication(TransportFactory transportFactory,
                   GatewayFactory gatewayFactory,
                   application::ProfileService& profiles,
                   SecretReader secretReader,
                   Sleeper sleeper,
                   std::shared_ptr<application::port::BrowserOpener> browserOpener);
    CliApplication(const CliApplication&) = delete;
    CliApplication& operator=(const CliApplication&) = delete;

    int run(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);

    // The session of the command: profile, server, token and timeout, with a
    // --workspace id, slug or name resolved through the platform.
    application::ClientSession session(const ParsedCommand& command, bool requireWorkspace);

    // A fresh gateway for the configuration; nothing is shared between calls.
    std::unique_ptr<ApiContext> api(const config::ClientConfig& config);

    // The gateway of a command that works inside the active workspace: the
    // session must name a workspace and hold a token, and every request
    // carries both.
    std::unique_ptr<ApiContext> workspaceApi(const ParsedCommand& command);

    int runStatus(const ParsedCommand& command, std::ostream& out, std::ostream& err);
    int runAuth(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runProfile(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runWorkspace(const ParsedCommand& command, std::ostream& out);
    int runOrganization(const ParsedCommand& command, std::ostream& out);
    int runTeam(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runAccess(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runProject(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runRepository(const ParsedCommand& command, std::ostream& out);
    int runAction(const ParsedCommand& command, std::ostream& out);
    int runRegistry(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runPipeline(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runVariableGroup(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runSecretGroup(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runAgent(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
    int runDeploymentTarget(const ParsedCommand& command, std::istream& in, std::ostream& out);
    int runExecution(const ParsedCommand& command, std::ostream& out);
    int runDashboard(const ParsedCommand& command, std::ostream& out);
    int runUpdate(const ParsedCommand& command, std::ostream& out);

private:
    // The profile, server, token and timeout of the command, with no
    // --workspace resolved (that would need the platform).
    application::ClientSession profileSession(const ParsedCommand& command);
    config::ClientConfig withSelectedWorkspace(const config::ClientConfig& config, std::string_view selector);

    TransportFactory transportFactory;
    GatewayFactory gatewayFactory;
    application::ProfileService& profiles;
    SecretReader secretReader;
    Sleeper sleeper;
    std::shared_ptr<application::port::BrowserOpener> browserOpener;
};

}  // namespace quarlino::quil::cli
