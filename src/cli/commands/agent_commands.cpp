#include <cstdint>
#include <istream>
#include <limits>
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

constexpr std::uint8_t agentList = 88;
constexpr std::uint8_t agentEnrollmentToken = 89;
constexpr std::uint8_t agentDelete = 90;

// A count of seconds: ASCII digits only (no sign, no unit), above 0 and
// within 64 bits.
std::uint64_t tokenLifetime(std::string_view value) {
    const std::invalid_argument invalid("--expires-in must be a positive integer");
    constexpr std::uint64_t maximum = std::numeric_limits<std::uint64_t>::max();
    if (value.empty()) {
        throw invalid;
    }
    std::uint64_t seconds = 0;
    for (const char byte : value) {
        if (byte < '0' || byte > '9') {
            throw invalid;
        }
        const auto digit = static_cast<std::uint64_t>(byte - '0');
        if (seconds > (maximum - digit) / 10) {
            throw invalid;
        }
        seconds = seconds * 10 + digit;
    }
    if (seconds == 0) {
        throw invalid;
    }
    return seconds;
}

int revokeAgent(const ParsedCommand& command, application::port::QuarlinoGateway& gateway, OutputFormatter& formatter,
                std::istream& in, std::ostream& err) {
    const auto agent = resolve(gateway.listDeploymentAgents().value, command.operand(0),
                               {&model::DeploymentAgent::id, &model::DeploymentAgent::name}, "deployment agent");
    if (!confirmDestructive(command, in, err, "Revoke deployment agent '" + agent.name + "'?")) {
        formatter.message("Deployment-agent revocation cancelled");
        return 0;
    }
    gateway.revokeDeploymentAgent(agent.id);
    mutationReceipt(formatter, {{"id", agent.id}, {"revoked", true}}, "Revoked deployment agent " + agent.name);
    return 0;
}

}  // namespace

int CliApplication::runAgent(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err) {
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;

    switch (command.id) {
        case agentList:
            return renderResponse(formatter, &OutputFormatter::deploymentAgents, gateway.listDeploymentAgents());
        case agentEnrollmentToken: {
            std::optional<std::uint64_t> lifetime;
            if (const auto expiresIn = command.option("expires-in")) {
                lifetime = tokenLifetime(*expiresIn);
            }
            return renderResponse(formatter, &OutputFormatter::deploymentEnrollmentToken,
                                  gateway.createDeploymentEnrollmentToken(command.operand(0), lifetime));
        }
        case agentDelete:
            return revokeAgent(command, gateway, formatter, in, err);
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
