#include <chrono>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "application/update_service.hpp"
#include "cli/cli_application.hpp"
#include "cli/commands/transport_access.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr const char* defaultReleaseServer = "https://releases.quarlino.com";
constexpr const char* defaultManifestPath = "/quil/latest.json";
constexpr std::chrono::seconds defaultUpdateTimeout{30};

std::string releaseServer(const ParsedCommand& command) {
    if (const auto server = command.option("release-server")) {
        return std::string(*server);
    }
    const char* fromEnvironment = std::getenv("QUIL_RELEASE_SERVER_URL");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') {
        return fromEnvironment;
    }
    return defaultReleaseServer;
}

}  // namespace

int CliApplication::runUpdate(const ParsedCommand& command, std::ostream& out) {
    // No profile at all: the release server gets neither the user's token nor
    // a workspace, and must be HTTPS whatever the environment allows for the
    // platform.
    const config::ClientConfig releaseConfig(releaseServer(command), std::nullopt,
                                             command.timeout.value_or(defaultUpdateTimeout), false, std::nullopt);
    const auto transport = makeTransport(transportFactory, releaseConfig);
    const application::UpdateCheckResult result =
        application::UpdateService(*transport).check(command.option("manifest-path").value_or(defaultManifestPath));

    OutputFormatter formatter(command, out);
    formatter.updateCheck(result);
    return 0;
}

}  // namespace quarlino::quil::cli
