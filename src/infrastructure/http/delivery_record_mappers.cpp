#include "application/json_memory_budget.hpp"
#include "infrastructure/http/json_element_walk.hpp"
#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Designated initialisers read the members in record order, which decides
// which member's error surfaces first.
namespace quarlino::quil::infrastructure::http {

namespace {

// The elements of a member that is an array, mapped in order; anything else
// (also a root that is not an object) gives none. Read by type test rather
// than a keyed read, so a group of any shape maps without failing.
template <typename T>
std::vector<T> arrayMemberElements(const nlohmann::json& object, std::string_view key,
                                   T (*parse)(const nlohmann::json&)) {
    const nlohmann::json* member = findMember(object, key);
    return member == nullptr ? std::vector<T>{} : mapArrayElements(*member, parse);
}

// The members variable groups and secret groups share; the caller adds the
// entries, which differ.
template <typename Group>
Group parseGroupMembers(const nlohmann::json& object) {
    Group group;
    group.id = stringValue(object, "id");
    group.name = stringValue(object, "name");
    group.description = stringValue(object, "description");
    group.ownerId = stringValue(object, "ownerId");
    group.created = stringValue(object, "created");
    group.updated = stringValue(object, "updated");
    return group;
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
    const nlohmann::json* number = integerMember(object, "executionNumber");
    if (number == nullptr) {
        return std::nullopt;
    }
    return number->get<int>();
}

// Made anew from the parsed value: compact, keys in byte order.
std::string configurationText(const nlohmann::json& object) {
    std::string text = jsonValue(object, "configuration", nlohmann::json::object()).dump();
    application::chargeKeptText(text);
    return text;
}

}  // namespace

model::VariableGroup parseVariableGroup(const nlohmann::json& object) {
    auto group = parseGroupMembers<model::VariableGroup>(object);
    group.variables = arrayMemberElements(object, "variables", parseVariable);
    return group;
}

model::SecretGroup parseSecretGroup(const nlohmann::json& object) {
    auto group = parseGroupMembers<model::SecretGroup>(object);
    group.secrets = arrayMemberElements(object, "secrets", parseSecret);
    return group;
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
        .configuration = configurationText(object),
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
