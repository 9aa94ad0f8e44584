#include "cli/commands/execution_commands.hpp"

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/command_helpers.hpp"

namespace quarlino::quil::cli {

namespace {

constexpr std::uint8_t runList = 97;
constexpr std::uint8_t runShow = 98;
constexpr std::uint8_t runLogs = 99;
constexpr std::uint8_t runReports = 100;
constexpr std::uint8_t runCancel = 101;

using application::port::QuarlinoGateway;

// The list printed in JSON mode is built here, the same whether it came from
// the workspace or from one pipeline.
std::string executionListJson(const std::vector<model::Execution>& executions) {
    nlohmann::json array = nlohmann::json::array();
    for (const model::Execution& execution : executions) {
        array.push_back({{"completedAt", execution.completedAt},
                         {"errorMessage", execution.errorMessage},
                         {"executionNumber", execution.executionNumber ? nlohmann::json(*execution.executionNumber)
                                                                       : nlohmann::json(nullptr)},
                         {"id", execution.id},
                         {"pipelineId", execution.pipelineId},
                         {"pipelineName", execution.pipelineName},
                         {"startedAt", execution.startedAt},
                         {"status", execution.status}});
    }
    return compactJson(array);
}

void listExecutions(const ParsedCommand& command, QuarlinoGateway& gateway, OutputFormatter& formatter) {
    const auto pipelineSelector = command.option("pipeline");
    const auto listed = pipelineSelector
                            ? gateway.listPipelineExecutions(resolvePipeline(gateway, *pipelineSelector).id)
                            : gateway.listExecutions();
    formatter.executions(listed.value, executionListJson(listed.value));
}

// Runs are named by id only, and only runs the workspace lists can be named.
model::Execution resolveExecution(QuarlinoGateway& gateway, std::string_view selector) {
    if (selector.empty()) {
        throw std::invalid_argument("run ID cannot be empty");
    }
    return resolve(gateway.listExecutions().value, selector, {&model::Execution::id}, "run");
}

}  // namespace

int CliApplication::runExecution(const ParsedCommand& command, std::ostream& out) {
    if (command.id < runList || command.id > runCancel) {
        throw std::logic_error("unsupported run command");
    }
    OutputFormatter formatter(command, out);
    const auto context = workspaceApi(command);
    auto& gateway = context->gateway;

    if (command.id == runList) {
        listExecutions(command, gateway, formatter);
        return 0;
    }

    const model::Execution run = resolveExecution(gateway, command.operand(0));
    switch (command.id) {
        case runShow: {
            const auto shown = gateway.getExecution(run.id);
            formatter.execution(shown.value, shown.body);
            return 0;
        }
        case runLogs: {
            if (command.hasFlag("follow")) {
                followExecutionLogs(gateway, formatter, run.id, sleeper);
                return 0;
            }
            const auto log = gateway.executionLogs(run.id);
            formatter.logs(log.value, log.body, 0);
            return 0;
        }
        case runReports: {
            const auto reports = gateway.executionReports(run.id);
            formatter.testReports(reports.value, reports.body);
            return 0;
        }
        case runCancel:
            gateway.cancelExecution(run.id);
            mutationReceipt(formatter, {{"cancellationRequested", true}, {"id", run.id}},
                            "Cancellation requested for run " + run.id);
            return 0;
        default:
            throw std::logic_error(unsupportedCommandMessage);
    }
}

}  // namespace quarlino::quil::cli
