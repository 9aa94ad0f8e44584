#include "infrastructure/http/http_quarlino_gateway.hpp"

#include <stdexcept>

namespace quarlino::quil::infrastructure::http {

// Operations on variable groups and secret groups; placeholders until they are built.

namespace {

[[noreturn]] void notBuiltYet() { throw std::logic_error("gateway operation not built yet"); }

}  // namespace

model::ApiResponse<std::vector<model::VariableGroup>> HttpQuarlinoGateway::listVariableGroups() { notBuiltYet(); }

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::getVariableGroup(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::createVariableGroup(std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::setVariable(std::string_view, std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<model::VariableGroup> HttpQuarlinoGateway::unsetVariable(std::string_view, std::string_view) { notBuiltYet(); }

void HttpQuarlinoGateway::deleteVariableGroup(std::string_view) { notBuiltYet(); }

model::ApiResponse<std::vector<model::SecretGroup>> HttpQuarlinoGateway::listSecretGroups() { notBuiltYet(); }

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::getSecretGroup(std::string_view) { notBuiltYet(); }

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::createSecretGroup(std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::setSecret(std::string_view, std::string_view, std::string_view) { notBuiltYet(); }

model::ApiResponse<model::SecretGroup> HttpQuarlinoGateway::unsetSecret(std::string_view, std::string_view) { notBuiltYet(); }

void HttpQuarlinoGateway::deleteSecretGroup(std::string_view) { notBuiltYet(); }

}  // namespace quarlino::quil::infrastructure::http
