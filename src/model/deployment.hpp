#pragma once

#include <optional>
#include <string>

namespace quarlino::quil::model {

struct DeploymentAgent {
    std::string id;
    std::string name;
    std::string status;
    std::string lastSeenAt;
    std::string certificateExpiresAt;
};

struct DeploymentEnrollmentToken {
    std::string token;
    std::string expiresAt;
};

struct DeploymentTarget {
    std::string id;
    std::optional<std::string> agentId;
    std::string agentName;
    std::string name;
    std::string referenceName;
    std::string targetKind;
    std::string updateStrategy;
    // Compact JSON text of the target's configuration object.
    std::string configuration;
    int revision = 0;
    bool enabled = false;
    std::string created;
    std::string updated;
};

struct DeploymentTargetDefinition {
    std::optional<std::string> agentId;
    std::string name;
    std::string referenceName;
    std::string targetKind;
    std::string updateStrategy;
    // JSON text that must parse to an object.
    std::string configuration;
};

}  // namespace quarlino::quil::model
