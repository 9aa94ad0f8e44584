#include <string>

#include "cli/commands/execution_commands.hpp"

namespace quarlino::quil::cli {

bool isTerminalStatus(std::string_view status) {
    return status == "SUCCESS" || status == "FAILED" || status == "CANCELLED" || status == "CANCELED" ||
           status == "STOPPED" || status == "SKIPPED";
}

void followExecution(application::port::QuarlinoGateway& gateway, OutputFormatter& formatter,
                     const model::Execution& started, const CliApplication::Sleeper& sleeper) {
    std::string printedStatus;
    for (;;) {
        const auto current = gateway.getExecution(started.id);
        if (current.value.status != printedStatus) {
            formatter.message("Run " + current.value.id + ": " + current.value.status);
            printedStatus = current.value.status;
            formatter.flush();
        }
        if (isTerminalStatus(current.value.status)) {
            formatter.execution(current.value, current.body);
            return;
        }
        sleeper(followPollInterval);
    }
}

void followExecutionLogs(application::port::QuarlinoGateway& gateway, OutputFormatter& formatter,
                         std::string_view executionId, const CliApplication::Sleeper& sleeper) {
    std::size_t printed = 0;
    // The whole log comes back every time; only the entries past those
    // already printed are new. JSON mode waits for the final log.
    const auto printNew = [&](const model::ApiResponse<std::vector<model::ExecutionLog>>& log) {
        formatter.logs(log.value, log.body, printed);
        printed = log.value.size();
    };
    for (;;) {
        const auto log = gateway.executionLogs(executionId);
        if (!formatter.isJson()) {
            printNew(log);
            formatter.flush();
        }
        if (isTerminalStatus(gateway.getExecution(executionId).value.status)) {
            break;
        }
        sleeper(followPollInterval);
    }
    printNew(gateway.executionLogs(executionId));
}

}  // namespace quarlino::quil::cli
