#pragma once

#include <chrono>
#include <string_view>

#include "application/port/quarlino_gateway.hpp"
#include "cli/cli_application.hpp"
#include "cli/output_formatter.hpp"
#include "model/records.hpp"

namespace quarlino::quil::cli {

// The wait between two polls of a run that is still going.
inline constexpr std::chrono::milliseconds followPollInterval{2000};

// Whether a run has ended: exactly SUCCESS, FAILED, CANCELLED, CANCELED,
// STOPPED or SKIPPED.
bool isTerminalStatus(std::string_view status);

// Polls the started run until it ends, printing a line per status change,
// then prints the final state (in JSON mode the last answer's body).
void followExecution(application::port::QuarlinoGateway& gateway, OutputFormatter& formatter,
                     const model::Execution& started, const CliApplication::Sleeper& sleeper);

// Prints the run's log as it grows until the run ends, each entry once. The
// log is fetched once more after the end is seen, so that the last lines
// (often the error that ended the run) are printed too; JSON mode prints
// that last log alone.
void followExecutionLogs(application::port::QuarlinoGateway& gateway, OutputFormatter& formatter,
                         std::string_view executionId, const CliApplication::Sleeper& sleeper);

}  // namespace quarlino::quil::cli
