#pragma once

#include <cstdint>
#include <string>

namespace quarlino::quil::model {

struct DashboardStats {
    std::uint64_t totalPipelines = 0;
    std::uint64_t executionsToday = 0;
    double successRate = 0.0;
    std::string avgDuration;
};

struct RecentActivity {
    std::string executionId;
    std::string pipelineName;
    std::string projectName;
    std::string status;
    std::string timeAgo;
    std::string message;
};

struct DashboardPipelineStatus {
    std::string pipelineId;
    std::string pipelineName;
    std::string projectName;
    std::string lastExecutionStatus;
    std::string lastExecutionTime;
    std::string lastExecutionId;
};

}  // namespace quarlino::quil::model
