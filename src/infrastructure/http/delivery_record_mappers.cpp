#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Designated initialisers read the members in record order, which decides
// which member's error surfaces first.
namespace quarlino::quil::infrastructure::http {

namespace {

// The elements of a member that is an array, mapped in order; anything else
// (also a root that is not an object) gives none.
template <typename T>
std::vector<T> parseArrayMember(const nlohmann::json& object, const char* key, T (*parse)(const nlohmann::json&)) {
    std::vector<T> items;
    if (!object.is_object()) {
        return items;
    }
    const auto member = object.find(key);
    if (member == object.end() || !member->is_array()) {
        return items;
    }
    items.reserve(member->size());
    for (const auto& element : *member) {
        items.push_back(parse(element));
    }
    return items;
}

model::Variable parseVariable(const nlohmann::json& element) {
    return model::Variable{
        .id = stringValue(element, "id"),
        .name = stringValue(element, "name"),
        .value = stringValue(element, "value"),
    };
}

// No secret value is ever read from a response.
model::Secret parseSecret(const nlohmann::json& element) {
    return model::Secret{
        .id = stringValue(element, "id"),
        .name = stringValue(element, "name"),
        .configured = booleanValue(element, "configured"),
    };
}

std::optional<int> executionNumber(const nlohmann::json& object) {
    if (!object.is_object()) {
        return std::nullopt;
    }
    const auto member = object.find("executionNumber");
    if (member == object.end() || !member->is_number_integer()) {
        return std::nullopt;
    }
    return member->get<int>();
}

}  // namespace

model::VariableGroup parseVariableGroup(const nlohmann::json& object) {
    return model::VariableGroup{
        .id = stringValue(object, "id"),
        .name = stringValue(object, "name"),
        .description = stringValue(object, "description"),
        .ownerId = stringValue(object, "ownerId"),
        .variables = parseArrayMember(object, "variables", parseVariable),
        .created = stringValue(object, "created"),
        .updated = stringValue(object, "updated"),
    };
}

model::SecretGroup parseSecretGroup(const nlohmann::json& object) {
    return model::SecretGroup{
        .id = stringValue(object, "id"),
        .name = stringValue(object, "name"),
        .description = stringValue(object, "description"),
        .ownerId = stringValue(object, "ownerId"),
        .secrets = parseArrayMember(object, "secrets", parseSecret),
        .created = stringValue(object, "created"),
        .updated = stringValue(object, "updated"),
    };
}

model::DeploymentAgent parseDeploymentAgent(const nlohmann::json& object) {
    return model::DeploymentAgent{
        .id = stringValue(object, "id"),
        .name = stringValue(object, "name"),
        .status = stringValue(object, "status"),
        .lastSeenAt = stringValue(object, "lastSeenAt"),
        .certificateExpiresAt = stringValue(object, "certificateExpiresAt"),
    };
}

model::DeploymentTarget parseDeploymentTarget(const nlohmann::json& object) {
    return model::DeploymentTarget{
        .id = stringValue(object, "id"),
        .agentId = optionalString(object, "agentId"),
        .agentName = stringValue(object, "agentName"),
        .name = stringValue(object, "name"),
        .referenceName = stringValue(object, "referenceName"),
        .targetKind = stringValue(object, "targetKind"),
        .updateStrategy = stringValue(object, "updateStrategy"),
        // Made anew from the parsed value: compact, keys in byte order.
        .configuration = jsonValue(object, "configuration", nlohmann::json::object()).dump(),
        .revision = intValue(object, "revision"),
        .enabled = booleanValue(object, "enabled"),
        .created = stringValue(object, "created"),
        .updated = stringValue(object, "updated"),
    };
}

model::Execution parseExecution(const nlohmann::json& object) {
    return model::Execution{
        .id = stringValue(object, "id"),
        .pipelineId = stringValue(object, "pipelineId"),
        .pipelineName = stringValue(object, "pipelineName"),
        .executionNumber = executionNumber(object),
        .status = stringValue(object, "status"),
        .startedAt = stringValue(object, "startedAt"),
        .completedAt = stringValue(object, "completedAt"),
        .errorMessage = stringValue(object, "errorMessage"),
    };
}

model::RecentActivity parseRecentActivity(const nlohmann::json& object) {
    return model::RecentActivity{
        .executionId = stringValue(object, "executionId"),
        .pipelineName = stringValue(object, "pipelineName"),
        .projectName = stringValue(object, "projectName"),
        .status = stringValue(object, "status"),
        .timeAgo = stringValue(object, "timeAgo"),
        .message = stringValue(object, "message"),
    };
}

model::DashboardPipelineStatus parseDashboardPipelineStatus(const nlohmann::json& object) {
    return model::DashboardPipelineStatus{
        .pipelineId = stringValue(object, "pipelineId"),
        .pipelineName = stringValue(object, "pipelineName"),
        .projectName = stringValue(object, "projectName"),
        .lastExecutionStatus = stringValue(object, "lastExecutionStatus"),
        .lastExecutionTime = stringValue(object, "lastExecutionTime"),
        .lastExecutionId = stringValue(object, "lastExecutionId"),
    };
}

}  // namespace quarlino::quil::infrastructure::http
