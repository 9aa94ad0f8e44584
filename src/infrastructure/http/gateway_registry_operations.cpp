#include <string>
#include <utility>

#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/record_mappers.hpp"

// The container registry of a project and its access tokens, all under the
// versioned, plural "/api/v1/projects/".
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

std::string registryPath(std::string_view projectId) {
    return resourcePath("/api/v1/projects", projectId) + "/registry";
}

std::string tokensPath(std::string_view projectId) { return registryPath(projectId) + "/tokens"; }

// "permissions" is always an array; an absent expiry is sent as null.
std::string tokenBody(const model::RegistryAccessTokenDefinition& definition) {
    return jsonBody({
        {"name", definition.name},
        {"permissions", definition.permissions},
        {"expiresAt", valueOrNull(definition.expiresAt)},
    });
}

}  // namespace

model::ApiResponse<model::ProjectRegistry> HttpQuarlinoGateway::getProjectRegistry(std::string_view projectId) {
    return parseRecordResponse(send(HttpMethod::GET, registryPath(projectId), ""), parseProjectRegistry);
}

// The platform expects an empty JSON object here, not an empty body.
model::ApiResponse<model::ProjectRegistry> HttpQuarlinoGateway::enableProjectRegistry(std::string_view projectId) {
    return parseRecordResponse(send(HttpMethod::POST, registryPath(projectId), "{}"), parseProjectRegistry);
}

model::ApiResponse<model::ProjectRegistry> HttpQuarlinoGateway::updateProjectRegistryVisibility(
    std::string_view projectId, std::string_view visibility) {
    std::string body = jsonBody({{"visibility", visibility}});
    std::string path = registryPath(projectId);
    return parseRecordResponse(send(HttpMethod::PATCH, std::move(path), std::move(body)), parseProjectRegistry);
}

model::ApiResponse<std::vector<model::RegistryRepository>> HttpQuarlinoGateway::listRegistryRepositories(
    std::string_view projectId) {
    return parseArrayResponse(send(HttpMethod::GET, registryPath(projectId) + "/repositories", ""),
                              parseRegistryRepository);
}

model::ApiResponse<std::vector<model::RegistryAccessToken>> HttpQuarlinoGateway::listRegistryAccessTokens(
    std::string_view projectId) {
    return parseArrayResponse(send(HttpMethod::GET, tokensPath(projectId), ""), parseRegistryAccessToken);
}

// The one-time token text comes back in the record's secret, when the
// platform includes it.
model::ApiResponse<model::RegistryAccessToken> HttpQuarlinoGateway::createRegistryAccessToken(
    std::string_view projectId, const model::RegistryAccessTokenDefinition& definition) {
    std::string body = tokenBody(definition);
    std::string path = tokensPath(projectId);
    return parseRecordResponse(send(HttpMethod::POST, std::move(path), std::move(body)), parseRegistryAccessToken);
}

void HttpQuarlinoGateway::revokeRegistryAccessToken(std::string_view projectId, std::string_view tokenId) {
    send(HttpMethod::DELETE, resourcePath(tokensPath(projectId), tokenId), "");
}

void HttpQuarlinoGateway::disableProjectRegistry(std::string_view projectId) {
    send(HttpMethod::DELETE, registryPath(projectId), "");
}

}  // namespace quarlino::quil::infrastructure::http
