#include <string>
#include <utility>

#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Runs (executions) and the dashboard. Starting a run and listing one
// pipeline's runs go through the singular pipeline prefix, everything else
// about runs through "/api/executions". No request here has a body, and every
// call fetches the whole current state: the follow loops of the handlers
// depend on that.
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

constexpr std::string_view kExecutions = "/api/executions";
constexpr std::string_view kDashboard = "/api/dashboard";

std::string pipelineExecutionsPath(std::string_view pipelineId) {
    return resourcePath("/api/pipeline", pipelineId) + "/executions";
}

std::string executionPath(std::string_view executionId) {
    return resourcePath(kExecutions, executionId);
}

// The timestamp stays the platform's text.
model::ExecutionLog parseExecutionLog(const nlohmann::json& object) {
    return model::ExecutionLog{
        .actionName = stringValue(object, "actionName"),
        .actionType = stringValue(object, "actionType"),
        .message = stringValue(object, "message"),
        .timestamp = stringValue(object, "timestamp"),
    };
}

model::ExecutionTestReport parseExecutionTestReport(const nlohmann::json& object) {
    return model::ExecutionTestReport{
        .id = stringValue(object, "id"),
        .executionId = stringValue(object, "executionId"),
        .actionId = stringValue(object, "actionId"),
        .actionName = stringValue(object, "actionName"),
        .format = stringValue(object, "format"),
        .reportPattern = stringValue(object, "reportPattern"),
        .files = intValue(object, "files"),
        .tests = intValue(object, "tests"),
        .failures = intValue(object, "failures"),
        .errors = intValue(object, "errors"),
        .skipped = intValue(object, "skipped"),
        .durationSeconds = doubleValue(object, "durationSeconds"),
        .created = stringValue(object, "created"),
    };
}

// Figures are passed on as sent: nothing derived, scaled or validated.
model::DashboardStats parseDashboardStats(const nlohmann::json& object) {
    return model::DashboardStats{
        .totalPipelines = unsignedValue(object, "totalPipelines"),
        .executionsToday = unsignedValue(object, "executionsToday"),
        .successRate = doubleValue(object, "successRate"),
        .avgDuration = stringValue(object, "avgDuration"),
    };
}

}  // namespace

// Runs ---------------------------------------------------------------------------------

// The same path as listPipelineExecutions: POST starts a run, GET lists them.
model::ApiResponse<model::Execution> HttpQuarlinoGateway::startExecution(std::string_view pipelineId) {
    return parseRecordResponse(send(HttpMethod::POST, pipelineExecutionsPath(pipelineId), ""), parseExecution);
}

model::ApiResponse<std::vector<model::Execution>> HttpQuarlinoGateway::listExecutions() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kExecutions), ""), parseExecution);
}

model::ApiResponse<std::vector<model::Execution>> HttpQuarlinoGateway::listPipelineExecutions(
    std::string_view pipelineId) {
    return parseArrayResponse(send(HttpMethod::GET, pipelineExecutionsPath(pipelineId), ""), parseExecution);
}

model::ApiResponse<model::Execution> HttpQuarlinoGateway::getExecution(std::string_view executionId) {
    return parseRecordResponse(send(HttpMethod::GET, executionPath(executionId), ""), parseExecution);
}

model::ApiResponse<std::vector<model::ExecutionLog>> HttpQuarlinoGateway::executionLogs(
    std::string_view executionId) {
    return parseArrayResponse(send(HttpMethod::GET, executionPath(executionId) + "/logs", ""), parseExecutionLog);
}

model::ApiResponse<std::vector<model::ExecutionTestReport>> HttpQuarlinoGateway::executionReports(
    std::string_view executionId) {
    return parseArrayResponse(send(HttpMethod::GET, executionPath(executionId) + "/test-reports", ""),
                              parseExecutionTestReport);
}

void HttpQuarlinoGateway::cancelExecution(std::string_view executionId) {
    send(HttpMethod::POST, executionPath(executionId) + "/stop", "");
}

// Dashboard ----------------------------------------------------------------------------

model::ApiResponse<model::DashboardStats> HttpQuarlinoGateway::dashboardStats() {
    return parseRecordResponse(send(HttpMethod::GET, std::string(kDashboard) + "/stats", ""), parseDashboardStats);
}

model::ApiResponse<std::vector<model::RecentActivity>> HttpQuarlinoGateway::recentActivity() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kDashboard) + "/recent-activity", ""),
                              parseRecentActivity);
}

model::ApiResponse<std::vector<model::DashboardPipelineStatus>> HttpQuarlinoGateway::dashboardPipelineStatuses() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kDashboard) + "/pipelines-status", ""),
                              parseDashboardPipelineStatus);
}

}  // namespace quarlino::quil::infrastructure::http
