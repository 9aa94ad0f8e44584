#pragma once

#include <stdexcept>
#include <string>

namespace quarlino::quil::application {

// A failed HTTP exchange, carried up to the entry point, which turns the
// status into an exit code and prints the message unchanged.
class ApiError : public std::runtime_error {
public:
    ApiError(int statusCode, const std::string& message, std::string responseBody);

    int statusCode() const noexcept { return statusCode_; }
    const std::string& responseBody() const noexcept { return responseBody_; }

private:
    int statusCode_;
    std::string responseBody_;
};

}  // namespace quarlino::quil::application
