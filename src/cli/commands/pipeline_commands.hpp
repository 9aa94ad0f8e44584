#pragma once

#include <iosfwd>
#include <string>

#include "application/port/quarlino_gateway.hpp"
#include "cli/output_formatter.hpp"
#include "cli/parsed_command.hpp"
#include "model/records.hpp"

namespace quarlino::quil::cli {

// `pipeline list`; with --project only that project's pipelines, and JSON
// output then prints the filtered list as the program rebuilds it.
void listPipelines(const ParsedCommand& command, application::port::QuarlinoGateway& gateway,
                   OutputFormatter& output);

// `pipeline export`: the stored valid source on `out`, or into the --file.
void exportPipeline(const ParsedCommand& command, std::ostream& out, const model::Pipeline& pipeline,
                    application::port::QuarlinoGateway& gateway, OutputFormatter& output);

// The compact JSON text of a validation result: {"diagnostics":[...],"valid":...}.
std::string sourceValidationJson(const model::SourceValidation& validation);

// `pipeline validate` and `pipeline update`; both return 1 when the source
// is not valid.
int validatePipelineSource(const ParsedCommand& command, std::istream& in,
                           application::port::QuarlinoGateway& gateway, OutputFormatter& output);
int updatePipelineSource(const ParsedCommand& command, std::istream& in, const model::Pipeline& pipeline,
                         application::port::QuarlinoGateway& gateway, OutputFormatter& output);

}  // namespace quarlino::quil::cli
