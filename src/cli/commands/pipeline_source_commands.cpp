#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/command_helpers.hpp"
#include "cli/commands/pipeline_commands.hpp"

// The pipeline commands that read or write a pipeline's source.
namespace quarlino::quil::cli {

namespace {

void writeSourceFile(const std::string& path, const std::string& source) {
    std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!file) {
        throw std::runtime_error("cannot write file: " + path);
    }
    file.write(source.data(), static_cast<std::streamsize>(source.size()));
    file.close();
    if (!file) {
        throw std::runtime_error("cannot complete file write: " + path);
    }
}

}  // namespace

std::string sourceValidationJson(const model::SourceValidation& validation) {
    nlohmann::json diagnostics = nlohmann::json::array();
    for (const model::SourceDiagnostic& diagnostic : validation.diagnostics) {
        diagnostics.push_back({{"code", diagnostic.code},
                               {"message", diagnostic.message},
                               {"startColumn", diagnostic.startColumn},
                               {"startLine", diagnostic.startLine}});
    }
    return compactJson({{"diagnostics", diagnostics}, {"valid", validation.valid}});
}

int validatePipelineSource(const ParsedCommand& command, std::istream& in,
                           application::port::QuarlinoGateway& gateway, OutputFormatter& output) {
    const std::string source = readFile(requiredOption(command, "file"), in);
    const auto validated = gateway.validatePipelineSource(source);
    output.validation(validated.value, validated.body);
    return validated.value.valid ? 0 : 1;
}

int updatePipelineSource(const ParsedCommand& command, std::istream& in, const model::Pipeline& pipeline,
                         application::port::QuarlinoGateway& gateway, OutputFormatter& output) {
    const std::string source = readFile(requiredOption(command, "file"), in);
    // The platform refuses the change when someone else saved in between.
    const std::uint64_t revision = gateway.pipelineEditor(pipeline.id).value.revision;
    const auto updated = gateway.updatePipelineSource(pipeline.id, source, revision);
    if (updated.value.status == "VALID") {
        if (output.isJson()) {
            output.rawJson(updated.body);
        } else {
            output.message("Updated pipeline " + pipeline.name + " to revision " +
                           std::to_string(updated.value.revision));
        }
        return 0;
    }
    const model::SourceValidation invalid{.valid = false, .diagnostics = updated.value.diagnostics};
    output.validation(invalid, sourceValidationJson(invalid));
    return 1;
}

void exportPipeline(const ParsedCommand& command, std::ostream& out, const model::Pipeline& pipeline,
                    application::port::QuarlinoGateway& gateway, OutputFormatter& output) {
    const auto snapshot = gateway.pipelineEditor(pipeline.id).value;
    const std::string& source = snapshot.validSource;
    if (const auto path = command.option("file")) {
        // "-" is a file name here: the source never goes to standard output
        // mixed with a receipt.
        writeSourceFile(std::string(*path), source);
        mutationReceipt(output, {{"exported", true}, {"file", *path}, {"pipelineId", pipeline.id}},
                        "Exported pipeline " + pipeline.name + " to " + std::string(*path));
        return;
    }
    if (output.isJson()) {
        output.rawJson(compactJson(
            {{"pipelineId", pipeline.id}, {"revision", snapshot.revision}, {"source", source}}));
        return;
    }
    // The source itself is the result, so --quiet does not hide it.
    out << source;
    if (!source.ends_with('\n')) {
        out << '\n';
    }
}

}  // namespace quarlino::quil::cli
