#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "application/status_service.hpp"
#include "cli/cli_application.hpp"
#include "cli/commands/transport_access.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

bool isAvailable(int status) { return status >= 200 && status <= 299; }

}  // namespace

int CliApplication::runStatus(const ParsedCommand& command, std::ostream& out, std::ostream& err) {
    // The profile's server, or --server, which may name any host. The probe
    // needs no credentials, so none are sent there: not the stored or
    // environment token, not the workspace. --workspace is not resolved
    // either, since that would list workspaces with the token first.
    const application::ClientSession current = profileSession(command);
    const config::ClientConfig probe = current.config.withAccessToken(std::nullopt).withWorkspaceId(std::nullopt);
    OutputFormatter formatter(command, out);

    const auto transport = makeTransport(transportFactory, probe);
    const int status = application::StatusService(*transport).check();
    const bool available = isAvailable(status);
    const int exitCode = available ? 0 : 1;
    const std::string& server = probe.serverUrl();

    if (formatter.isJson()) {
        const nlohmann::json report{{"available", available}, {"server", server}, {"statusCode", status}};
        formatter.rawJson(report.dump());
        return exitCode;
    }
    if (available) {
        formatter.message("Quarlino is available at " + server + " (HTTP " + std::to_string(status) + ")");
        return exitCode;
    }
    if (!formatter.isQuiet()) {
        err << "Quarlino at " << server << " returned HTTP " << status << "\n";
    }
    return exitCode;
}

}  // namespace quarlino::quil::cli
