#include "infrastructure/http/http_quarlino_gateway.hpp"

#include <stdexcept>

namespace quarlino::quil::infrastructure::http {

// Operations on runs and dashboard; placeholders until they are built.

namespace {

[[noreturn]] void notBuiltYet() { throw std::logic_error("gateway operation not built yet"); }

}  // namespace

model::ApiResponse<model::Execution> HttpQuarlinoGateway::startExecution(std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::Execution>> HttpQuarlinoGateway::listExecutions() { notBuiltYet(); }

model::ApiResponse<std::vector<model::Execution>> HttpQuarlinoGateway::listPipelineExecutions(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::Execution> HttpQuarlinoGateway::getExecution(std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::ExecutionLog>> HttpQuarlinoGateway::executionLogs(std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::ExecutionTestReport>> HttpQuarlinoGateway::executionReports(std::string_view) { notBuiltYet(); }

void HttpQuarlinoGateway::cancelExecution(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::DashboardStats> HttpQuarlinoGateway::dashboardStats() { notBuiltYet(); }

model::ApiResponse<std::vector<model::RecentActivity>> HttpQuarlinoGateway::recentActivity() { notBuiltYet(); }

model::ApiResponse<std::vector<model::DashboardPipelineStatus>> HttpQuarlinoGateway::dashboardPipelineStatuses() { notBuiltYet(); }

}  // namespace quarlino::quil::infrastructure::http
