#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarlino::quil::model {

struct Pipeline {
    std::string id;
    std::string name;
    std::string projectId;
    std::string projectName;
    std::string lastStatus;
    std::optional<std::string> secretGroupId;
    std::optional<std::string> variableGroupId;
    bool continueOnError = false;
};

struct SourceDiagnostic {
    std::string code;
    std::string message;
    int startLine = 0;
    int startColumn = 0;
};

struct SourceValidation {
    bool valid = false;
    std::vector<SourceDiagnostic> diagnostics;
};

struct EditorSnapshot {
    std::uint64_t revision = 0;
    std::string validSource;
    std::optional<std::string> draftSource;
    std::string status;
    std::vector<SourceDiagnostic> diagnostics;
};

}  // namespace quarlino::quil::model
