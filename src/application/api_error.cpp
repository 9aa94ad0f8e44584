#include "application/api_error.hpp"

#include <utility>

namespace quarlino::quil::application {

ApiError::ApiError(int statusCode, const std::string& message, std::string responseBody)
    : std::runtime_error(message), statusCode_(statusCode), responseBody_(std::move(responseBody)) {}

}  // namespace quarlino::quil::application
