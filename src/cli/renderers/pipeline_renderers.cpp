#include <string>
#include <vector>

#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

// The single pipeline names its project, the list shows the project's id.
const std::vector<std::string> pipelineHeaders{"ID",           "NAME",     "PROJECT",    "VARIABLE GROUP",
                                               "SECRET GROUP", "CONTINUE", "LAST STATUS"};
const std::vector<std::string> pipelineListHeaders{"ID", "NAME", "PROJECT", "LAST STATUS"};
const std::vector<std::string> diagnosticHeaders{"CODE", "LOCATION", "MESSAGE"};
const std::vector<std::string> executionHeaders{"ID", "PIPELINE", "NUMBER", "STATUS", "STARTED"};
const std::vector<std::string> testReportHeaders{"ACTION", "FORMAT", "TESTS", "FAILURES",
                                                 "ERRORS", "SKIPPED", "SECONDS"};

template <typename Record>
std::string idOf(const Record& record) {
    return record.id;
}

std::string orFallback(const std::string& value, const std::string& fallback) {
    return value.empty() ? fallback : value;
}

std::vector<std::string> pipelineRow(const model::Pipeline& pipeline) {
    return {pipeline.id,
            pipeline.name,
            orFallback(pipeline.projectName, pipeline.projectId),
            valueOrDash(pipeline.variableGroupId),
            valueOrDash(pipeline.secretGroupId),
            yesNo(pipeline.continueOnError),
            dashIfEmpty(pipeline.lastStatus)};
}

std::vector<std::string> pipelineListRow(const model::Pipeline& pipeline) {
    return {pipeline.id, pipeline.name, pipeline.projectId, dashIfEmpty(pipeline.lastStatus)};
}

// A line below 1 means the diagnostic has no place in the source.
std::string location(const model::SourceDiagnostic& diagnostic) {
    if (diagnostic.startLine < 1) {
        return "-";
    }
    return std::to_string(diagnostic.startLine) + ":" + std::to_string(diagnostic.startColumn);
}

std::vector<std::string> executionRow(const model::Execution& execution) {
    return {execution.id, orFallback(execution.pipelineName, execution.pipelineId),
            numberOrDash(execution.executionNumber), execution.status, dashIfEmpty(execution.startedAt)};
}

std::vector<std::string> testReportRow(const model::ExecutionTestReport& report) {
    return {orFallback(report.actionName, report.actionId),
            report.format,
            std::to_string(report.tests),
            std::to_string(report.failures),
            std::to_string(report.errors),
            std::to_string(report.skipped),
            std::to_string(report.durationSeconds)};
}

}  // namespace

void OutputFormatter::pipeline(const model::Pipeline& pipeline, std::string_view rawBody) {
    renderRecord(pipeline, rawBody, pipelineHeaders, idOf<model::Pipeline>, pipelineRow);
}

void OutputFormatter::pipelines(const std::vector<model::Pipeline>& pipelines, std::string_view rawBody) {
    renderList(std::span<const model::Pipeline>(pipelines), rawBody, pipelineListHeaders, idOf<model::Pipeline>,
               pipelineListRow);
}

// Diagnostics are what a script needs to see even with --quiet, so an
// invalid result prints its table in quiet mode too.
void OutputFormatter::validation(const model::SourceValidation& result, std::string_view rawBody) {
    if (isJson()) {
        rawJson(rawBody);
        return;
    }
    if (result.valid) {
        message("Pipeline source is valid");
        return;
    }
    table(diagnosticHeaders,
          eachRow(std::span<const model::SourceDiagnostic>(result.diagnostics),
                  [](const model::SourceDiagnostic& diagnostic) -> std::vector<std::string> {
                      return {diagnostic.code, location(diagnostic), diagnostic.message};
                  }));
}

void OutputFormatter::execution(const model::Execution& execution, std::string_view rawBody) {
    renderRecord(execution, rawBody, executionHeaders, idOf<model::Execution>, executionRow);
}

void OutputFormatter::executions(const std::vector<model::Execution>& executions, std::string_view rawBody) {
    renderList(std::span<const model::Execution>(executions), rawBody, executionHeaders, idOf<model::Execution>,
               executionRow);
}

void OutputFormatter::testReports(const std::vector<model::ExecutionTestReport>& reports,
                                  std::string_view rawBody) {
    renderList(std::span<const model::ExecutionTestReport>(reports), rawBody, testReportHeaders,
               idOf<model::ExecutionTestReport>, testReportRow);
}

}  // namespace quarlino::quil::cli
