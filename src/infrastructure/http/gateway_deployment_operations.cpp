#include "infrastructure/http/http_quarlino_gateway.hpp"

#include <stdexcept>

namespace quarlino::quil::infrastructure::http {

// Operations on deployment agents and targets; placeholders until they are built.

namespace {

[[noreturn]] void notBuiltYet() { throw std::logic_error("gateway operation not built yet"); }

}  // namespace

model::ApiResponse<std::vector<model::DeploymentAgent>> HttpQuarlinoGateway::listDeploymentAgents() { notBuiltYet(); }

model::ApiResponse<model::DeploymentEnrollmentToken> HttpQuarlinoGateway::createDeploymentEnrollmentToken(std::string_view, std::optional<std::uint64_t>) { notBuiltYet(); }

void HttpQuarlinoGateway::revokeDeploymentAgent(std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::DeploymentTarget>> HttpQuarlinoGateway::listDeploymentTargets() { notBuiltYet(); }

model::ApiResponse<model::DeploymentTarget> HttpQuarlinoGateway::getDeploymentTarget(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::DeploymentTarget> HttpQuarlinoGateway::createDeploymentTarget(const model::DeploymentTargetDefinition&) { notBuiltYet(); }

model::ApiResponse<model::DeploymentTarget> HttpQuarlinoGateway::updateDeploymentTarget(std::string_view, int, const model::DeploymentTargetDefinition&) { notBuiltYet(); }

void HttpQuarlinoGateway::disableDeploymentTarget(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::DeploymentTarget> HttpQuarlinoGateway::enableDeploymentTarget(std::string_view) { notBuiltYet(); }

}  // namespace quarlino::quil::infrastructure::http
