#include <string>
#include <vector>

#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

namespace {

const std::vector<std::string> activityHeaders{"RUN", "PIPELINE", "PROJECT", "STATUS", "WHEN", "MESSAGE"};
const std::vector<std::string> pipelineStatusHeaders{"ID", "PIPELINE", "PROJECT", "LAST STATUS", "LAST RUN", "RUN ID"};
const std::vector<std::string> statsHeaders{"PIPELINES", "EXECUTIONS TODAY", "SUCCESS RATE", "AVERAGE DURATION"};

std::vector<std::string> activityRow(const model::RecentActivity& activity) {
    return {activity.executionId, activity.pipelineName, activity.projectName,
            activity.status,      activity.timeAgo,      activity.message};
}

std::vector<std::string> pipelineStatusRow(const model::DashboardPipelineStatus& status) {
    return {status.pipelineId,
            status.pipelineName,
            status.projectName,
            dashIfEmpty(status.lastExecutionStatus),
            dashIfEmpty(status.lastExecutionTime),
            dashIfEmpty(status.lastExecutionId)};
}

std::vector<std::string> statsRow(const model::DashboardStats& stats) {
    return {std::to_string(stats.totalPipelines), std::to_string(stats.executionsToday),
            std::to_string(stats.successRate) + "%", dashIfEmpty(stats.avgDuration)};
}

}  // namespace

void OutputFormatter::recentActivity(const std::vector<model::RecentActivity>& activity, std::string_view rawBody) {
    renderList(
        std::span<const model::RecentActivity>(activity), rawBody, activityHeaders,
        [](const model::RecentActivity& a) { return a.executionId; }, activityRow);
}

void OutputFormatter::dashboardPipelines(const std::vector<model::DashboardPipelineStatus>& pipelines,
                                         std::string_view rawBody) {
    renderList(
        std::span<const model::DashboardPipelineStatus>(pipelines), rawBody, pipelineStatusHeaders,
        [](const model::DashboardPipelineStatus& p) { return p.pipelineId; }, pipelineStatusRow);
}

// The statistics have no identifier: quiet mode prints nothing at all.
void OutputFormatter::dashboardStats(const model::DashboardStats& stats, std::string_view rawBody) {
    if (mode() == Mode::Quiet) {
        return;
    }
    renderRecord(
        stats, rawBody, statsHeaders, [](const model::DashboardStats&) { return std::string(); }, statsRow);
}

}  // namespace quarlino::quil::cli
