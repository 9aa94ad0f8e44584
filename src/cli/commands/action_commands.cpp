#include "cli/commands/action_commands.hpp"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/cli_application.hpp"
#include "cli/command_helpers.hpp"
#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t actionList = 53;
constexpr std::uint8_t actionShow = 54;

// Categories are matched without regard to ASCII case; other bytes must be equal.
bool sameCategory(std::string_view category, std::string_view wanted) {
    return upperAscii(category) == upperAscii(wanted);
}

std::string actionListJson(const std::vector<model::ActionDefinition>& actions) {
    nlohmann::json array = nlohmann::json::array();
    for (const model::ActionDefinition& action : actions) {
        array.push_back(actionJson(action));
    }
    return compactJson(array);
}

void listActions(const ParsedCommand& command, application::port::QuarlinoGateway& gateway,
                 OutputFormatter& formatter) {
    auto listed = gateway.listActions();
    const auto category = command.option("category");
    if (!category) {
        formatter.actions(listed.value, listed.body);
        return;
    }
    std::erase_if(listed.value,
                  [&](const model::ActionDefinition& action) { return !sameCategory(action.category, *category); });
    formatter.actions(listed.value, actionListJson(listed.value));
}

}  // namespace

nlohmann::json actionJson(const model::ActionDefinition& action) {
    nlohmann::json outputs = nlohmann::json::array();
    for (const model::ActionOutput& output : action.outputs) {
        outputs.push_back({{"name", output.name}, {"type", output.type}, {"description", output.description}});
    }
    return {{"code", action.code},         {"displayName", action.displayName},
            {"description", action.description}, {"icon", action.icon},
            {"category", action.category}, {"formId", action.formId},
            {"outputs", outputs}};
}

int CliApplication::runAction(const ParsedCommand& command, std::ostream& out) {
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;

    switch (command.id) {
        case actionList:
            listActions(command, gateway, formatter);
            return 0;
        case actionShow: {
            const model::ActionDefinition action =
                resolve(gateway.listActions().value, command.operand(0),
                        {&model::ActionDefinition::code, &model::ActionDefinition::displayName}, "action");
            // JSON output shows the one action, not the whole catalogue.
            formatter.action(action, compactJson(actionJson(action)));
            return 0;
        }
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
