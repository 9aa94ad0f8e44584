#include <stdexcept>
#include <string>
#include <utility>

#include "application/bounded_json.hpp"
#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Deployment agents (listing, enrollment, revocation) and deployment targets.
// A target is disabled by deleting it and enabled again through "/enable".
// The target update names the revision it is based on in its body.
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

constexpr std::string_view kAgents = "/api/deployment-agents";
constexpr std::string_view kTargets = "/api/deployment-targets";

std::string agentPath(std::string_view agentId) { return resourcePath(kAgents, agentId); }

std::string targetPath(std::string_view targetId) { return resourcePath(kTargets, targetId); }

// The configuration travels as an embedded object, re-serialised compactly,
// so anything but an object is refused before a request is made.
nlohmann::json deploymentTargetPayload(const model::DeploymentTargetDefinition& definition) {
    nlohmann::json configuration = application::tryParseBoundedJson(definition.configuration);
    if (!configuration.is_object()) {
        throw std::invalid_argument("deployment target configuration must be a JSON object");
    }
    return {
        {"agentId", valueOrNull(definition.agentId)},
        {"name", definition.name},
        {"referenceName", definition.referenceName},
        {"targetKind", definition.targetKind},
        {"updateStrategy", definition.updateStrategy},
        {"configuration", std::move(configuration)},
    };
}

// Neither field is checked: an empty token is the platform's to explain.
model::DeploymentEnrollmentToken parseEnrollmentToken(const nlohmann::json& object) {
    return model::DeploymentEnrollmentToken{
        .token = stringValue(object, "token"),
        .expiresAt = stringValue(object, "expiresAt"),
    };
}

}  // namespace

// Agents -------------------------------------------------------------------------------

model::ApiResponse<std::vector<model::DeploymentAgent>> HttpQuarlinoGateway::listDeploymentAgents() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kAgents), ""), parseDeploymentAgent);
}

model::ApiResponse<model::DeploymentEnrollmentToken> HttpQuarlinoGateway::createDeploymentEnrollmentToken(
    std::string_view agentName, std::optional<std::uint64_t> expiresInSeconds) {
    std::string body = jsonBody({{"agentName", agentName}, {"expiresInSeconds", valueOrNull(expiresInSeconds)}});
    return parseRecordResponse(
        send(HttpMethod::POST, std::string(kAgents) + "/enrollment-tokens", std::move(body)), parseEnrollmentToken);
}

void HttpQuarlinoGateway::revokeDeploymentAgent(std::string_view agentId) {
    send(HttpMethod::DELETE, agentPath(agentId), "");
}

// Targets ------------------------------------------------------------------------------

model::ApiResponse<std::vector<model::DeploymentTarget>> HttpQuarlinoGateway::listDeploymentTargets() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kTargets), ""), parseDeploymentTarget);
}

model::ApiResponse<model::DeploymentTarget> HttpQuarlinoGateway::getDeploymentTarget(std::string_view targetId) {
    return parseRecordResponse(send(HttpMethod::GET, targetPath(targetId), ""), parseDeploymentTarget);
}

model::ApiResponse<model::DeploymentTarget> HttpQuarlinoGateway::createDeploymentTarget(
    const model::DeploymentTargetDefinition& definition) {
    std::string body = jsonBody(deploymentTargetPayload(definition));
    return parseRecordResponse(send(HttpMethod::POST, std::string(kTargets), std::move(body)), parseDeploymentTarget);
}

// The payload comes first, so a bad configuration is reported even when the
// identifier is empty too.
model::ApiResponse<model::DeploymentTarget> HttpQuarlinoGateway::updateDeploymentTarget(
    std::string_view targetId, int revision, const model::DeploymentTargetDefinition& definition) {
    nlohmann::json payload = deploymentTargetPayload(definition);
    payload["revision"] = revision;
    std::string body = jsonBody(payload);
    std::string path = targetPath(targetId);
    return parseRecordResponse(send(HttpMethod::PUT, std::move(path), std::move(body)), parseDeploymentTarget);
}

void HttpQuarlinoGateway::disableDeploymentTarget(std::string_view targetId) {
    send(HttpMethod::DELETE, targetPath(targetId), "");
}

model::ApiResponse<model::DeploymentTarget> HttpQuarlinoGateway::enableDeploymentTarget(std::string_view targetId) {
    return parseRecordResponse(send(HttpMethod::POST, targetPath(targetId) + "/enable", ""), parseDeploymentTarget);
}

}  // namespace quarlino::quil::infrastructure::http
