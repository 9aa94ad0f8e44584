#include "infrastructure/http/http_quarlino_gateway.hpp"

#include <stdexcept>

namespace quarlino::quil::infrastructure::http {

// Operations on pipelines; placeholders until they are built.

namespace {

[[noreturn]] void notBuiltYet() { throw std::logic_error("gateway operation not built yet"); }

}  // namespace

model::ApiResponse<std::vector<model::Pipeline>> HttpQuarlinoGateway::listPipelines() { notBuiltYet(); }

model::ApiResponse<model::Pipeline> HttpQuarlinoGateway::getPipeline(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::Pipeline> HttpQuarlinoGateway::createPipeline(std::string_view, std::string_view) { notBuiltYet(); }

void HttpQuarlinoGateway::setPipelineSecretGroup(std::string_view, std::optional<std::string_view>) { notBuiltYet(); }

void HttpQuarlinoGateway::setPipelineVariableGroup(std::string_view, std::optional<std::string_view>) { notBuiltYet(); }

void HttpQuarlinoGateway::setPipelineContinueOnError(std::string_view, bool) { notBuiltYet(); }

void HttpQuarlinoGateway::setPipelineRunner(std::string_view, std::string_view) { notBuiltYet(); }

void HttpQuarlinoGateway::deletePipeline(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::SourceValidation> HttpQuarlinoGateway::validatePipelineSource(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::EditorSnapshot> HttpQuarlinoGateway::pipelineEditor(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::EditorSnapshot> HttpQuarlinoGateway::updatePipelineSource(std::string_view, std::string_view, std::uint64_t) { notBuiltYet(); }

}  // namespace quarlino::quil::infrastructure::http
