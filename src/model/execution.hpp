#pragma once

#include <optional>
#include <string>

namespace quarlino::quil::model {

struct Execution {
    std::string id;
    std::string pipelineId;
    std::string pipelineName;
    std::optional<int> executionNumber;
    std::string status;
    std::string startedAt;
    std::string completedAt;
    std::string errorMessage;
};

struct ExecutionLog {
    std::string actionName;
    std::string actionType;
    std::string message;
    std::string timestamp;
};

struct ExecutionTestReport {
    std::string id;
    std::string executionId;
    std::string actionId;
    std::string actionName;
    std::string format;
    std::string reportPattern;
    int files = 0;
    int tests = 0;
    int failures = 0;
    int errors = 0;
    int skipped = 0;
    double durationSeconds = 0.0;
    std::string created;
};

}  // namespace quarlino::quil::model
