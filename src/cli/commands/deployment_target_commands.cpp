#include <cstdint>
#include <istream>
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

constexpr std::uint8_t targetList = 91;
constexpr std::uint8_t targetShow = 92;
constexpr std::uint8_t targetCreate = 93;
constexpr std::uint8_t targetUpdate = 94;
constexpr std::uint8_t targetDisable = 95;
constexpr std::uint8_t targetEnable = 96;

std::string targetKind(std::string_view value) {
    return normalizeEnumOption(value, {"MACHINE", "CONTAINER", "SWARM"}, "kind");
}

std::string updateStrategy(std::string_view value) {
    return normalizeEnumOption(value, {"DOCKER_COMPOSE", "DOCKER_CONTAINER", "DOCKER_SWARM"}, "strategy");
}

model::DeploymentTargetDefinition createDefinition(const ParsedCommand& command, std::istream& in) {
    model::DeploymentTargetDefinition definition;
    if (const auto agent = command.option("agent")) {
        definition.agentId = std::string(*agent);
    }
    definition.name = command.operand(0);
    definition.referenceName = requiredOption(command, "reference");
    definition.targetKind = targetKind(requiredOption(command, "kind"));
    definition.updateStrategy = updateStrategy(requiredOption(command, "strategy"));
    definition.configuration = readJsonObject(requiredOption(command, "config"), in);
    return definition;
}

// The target as stored, with the fields the command changes replaced: an
// option left out keeps what the platform holds.
model::DeploymentTargetDefinition updatedDefinition(const ParsedCommand& command,
                                                    const model::DeploymentTarget& current, std::istream& in) {
    const bool changes = command.option("agent") || command.option("name") || command.option("reference") ||
                         command.option("kind") || command.option("strategy") || command.option("config") ||
                         command.hasFlag("clear-agent");
    if (!changes) {
        throw std::invalid_argument("target update requires at least one changed field");
    }
    if (command.option("agent") && command.hasFlag("clear-agent")) {
        throw std::invalid_argument("--agent and --clear-agent cannot be used together");
    }
    model::DeploymentTargetDefinition definition{current.agentId,    current.name,           current.referenceName,
                                                 current.targetKind, current.updateStrategy, current.configuration};
    if (const auto agent = command.option("agent")) {
        definition.agentId = std::string(*agent);
    } else if (command.hasFlag("clear-agent")) {
        definition.agentId.reset();
    }
    if (const auto name = command.option("name")) {
        definition.name = *name;
    }
    if (const auto reference = command.option("reference")) {
        definition.referenceName = *reference;
    }
    if (const auto kind = command.option("kind")) {
        definition.targetKind = targetKind(*kind);
    }
    if (const auto strategy = command.option("strategy")) {
        definition.updateStrategy = updateStrategy(*strategy);
    }
    if (const auto config = command.option("config")) {
        definition.configuration = readJsonObject(*config, in);
    }
    return definition;
}

}  // namespace

int CliApplication::runDeploymentTarget(const ParsedCommand& command, std::istream& in, std::ostream& out) {
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;

    if (command.id == targetList) {
        return renderResponse(formatter, &OutputFormatter::deploymentTargets, gateway.listDeploymentTargets());
    }
    if (command.id == targetCreate) {
        return renderResponse(formatter, &OutputFormatter::deploymentTarget,
                              gateway.createDeploymentTarget(createDefinition(command, in)));
    }
    const auto target =
        resolve(gateway.listDeploymentTargets().value, command.operand(0),
                {&model::DeploymentTarget::id, &model::DeploymentTarget::referenceName, &model::DeploymentTarget::name},
                "deployment target");
    switch (command.id) {
        case targetShow:
            return renderResponse(formatter, &OutputFormatter::deploymentTarget,
                                  gateway.getDeploymentTarget(target.id));
        case targetUpdate: {
            // Edits merge into the state read just now, and the revision read
            // with it lets the platform refuse a change made in between.
            const model::DeploymentTarget stored = gateway.getDeploymentTarget(target.id).value;
            return renderResponse(
                formatter, &OutputFormatter::deploymentTarget,
                gateway.updateDeploymentTarget(stored.id, stored.revision, updatedDefinition(command, stored, in)));
        }
        case targetDisable:
            gateway.disableDeploymentTarget(target.id);
            mutationReceipt(formatter, {{"enabled", false}, {"id", target.id}},
                            "Disabled deployment target " + target.name);
            return 0;
        case targetEnable:
            return renderResponse(formatter, &OutputFormatter::deploymentTarget,
                                  gateway.enableDeploymentTarget(target.id));
        default:
            throw std::logic_error("unsupported deployment-target command");
    }
}

}  // namespace quarlino::quil::cli
