#include <map>
#include <string>
#include <utility>

#include "application/api_error.hpp"
#include "infrastructure/http/gateway_requests.hpp"
#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/json_readers.hpp"
#include "infrastructure/http/record_mappers.hpp"

// Pipelines live under the singular "/api/pipeline", except the runner
// setting under "/api/v1/pipelines/". The source update alone is
// conditional: it names the snapshot revision it is based on in "If-Match";
// every other write here is last-writer-wins.
namespace quarlino::quil::infrastructure::http {

namespace {

using application::port::HttpMethod;

constexpr std::string_view kPipelines = "/api/pipeline";
constexpr std::string_view kUpdateSourceCommand = "UPDATE_ICE_SOURCE";

std::string pipelinePath(std::string_view pipelineId) { return resourcePath(kPipelines, pipelineId); }

// The platform takes a batch of editor commands; this sends a batch of one.
std::string sourceUpdateBody(std::string_view source) {
    const nlohmann::json command = {{"source", source}, {"userCommandType", kUpdateSourceCommand}};
    nlohmann::json commands = nlohmann::json::array();
    commands.push_back(command);
    return jsonBody(commands);
}

model::SourceValidation parseSourceValidation(const nlohmann::json& object) {
    return model::SourceValidation{
        .valid = booleanValue(object, "valid"),
        .diagnostics = parseDiagnostics(arrayMember(object, "diagnostics")),
    };
}

}  // namespace

// Pipelines and their settings ---------------------------------------------------------

model::ApiResponse<std::vector<model::Pipeline>> HttpQuarlinoGateway::listPipelines() {
    return parseArrayResponse(send(HttpMethod::GET, std::string(kPipelines) + "/list/simple", ""), parsePipeline);
}

model::ApiResponse<model::Pipeline> HttpQuarlinoGateway::getPipeline(std::string_view pipelineId) {
    return parseRecordResponse(send(HttpMethod::GET, pipelinePath(pipelineId), ""), parsePipeline);
}

model::ApiResponse<model::Pipeline> HttpQuarlinoGateway::createPipeline(std::string_view name,
                                                                        std::string_view projectId) {
    std::string body = jsonBody({{"name", name}, {"projectId", projectId}});
    return parseRecordResponse(send(HttpMethod::POST, std::string(kPipelines), std::move(body)), parsePipeline);
}

// An absent group detaches (null); a present one is sent as given, even empty.
void HttpQuarlinoGateway::setPipelineSecretGroup(std::string_view pipelineId,
                                                 std::optional<std::string_view> secretGroupId) {
    std::string body = jsonBody({{"secretGroupId", valueOrNull(secretGroupId)}});
    send(HttpMethod::PUT, pipelinePath(pipelineId) + "/secret-group", std::move(body));
}

void HttpQuarlinoGateway::setPipelineVariableGroup(std::string_view pipelineId,
                                                   std::optional<std::string_view> variableGroupId) {
    std::string body = jsonBody({{"variableGroupId", valueOrNull(variableGroupId)}});
    send(HttpMethod::PUT, pipelinePath(pipelineId) + "/variable-group", std::move(body));
}

void HttpQuarlinoGateway::setPipelineContinueOnError(std::string_view pipelineId, bool continueOnError) {
    std::string body = jsonBody({{"continueOnError", continueOnError}});
    send(HttpMethod::PUT, pipelinePath(pipelineId) + "/continue-on-error", std::move(body));
}

void HttpQuarlinoGateway::setPipelineRunner(std::string_view pipelineId, std::string_view runnerProfileCode) {
    std::string body = jsonBody({{"runnerProfileCode", runnerProfileCode}});
    send(HttpMethod::PUT, resourcePath("/api/v1/pipelines", pipelineId) + "/runner", std::move(body));
}

void HttpQuarlinoGateway::deletePipeline(std::string_view pipelineId) {
    send(HttpMethod::DELETE, pipelinePath(pipelineId), "");
}

// Pipeline source ----------------------------------------------------------------------

model::ApiResponse<model::SourceValidation> HttpQuarlinoGateway::validatePipelineSource(std::string_view source) {
    std::string body = jsonBody({{"source", source}});
    return parseRecordResponse(send(HttpMethod::POST, std::string(kPipelines) + "/validate-source", std::move(body)),
                               parseSourceValidation);
}

model::ApiResponse<model::EditorSnapshot> HttpQuarlinoGateway::pipelineEditor(std::string_view pipelineId) {
    return parseRecordResponse(send(HttpMethod::GET, pipelinePath(pipelineId) + "/editor", ""), parseSnapshot);
}

// A 2xx answer may still refuse the update ("success" false or absent); the
// caller sees that exactly like a failed request.
model::ApiResponse<model::EditorSnapshot> HttpQuarlinoGateway::updatePipelineSource(std::string_view pipelineId,
                                                                                   std::string_view source,
                                                                                   std::uint64_t expectedRevision) {
    std::string body = sourceUpdateBody(source);
    // The bare revision, not a quoted entity tag: that is what the platform compares.
    std::map<std::string, std::string> headers{{"If-Match", std::to_string(expectedRevision)}};
    std::string path = pipelinePath(pipelineId) + "/usercommand";
    const auto response = send(HttpMethod::POST, std::move(path), std::move(body), std::move(headers));
    return withAnswerBudget([&]() -> model::ApiResponse<model::EditorSnapshot> {
        const nlohmann::json root = parseJson(response);
        if (!booleanValue(root, "success")) {
            throw application::ApiError(response.status, errorMessage(response), response.body);
        }
        return {parseSnapshot(root.at("snapshot")), response.body};
    });
}

}  // namespace quarlino::quil::infrastructure::http
