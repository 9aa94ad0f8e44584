#include "infrastructure/http/http_quarlino_gateway.hpp"

#include <stdexcept>
#include <utility>

#include "application/api_error.hpp"
#include "infrastructure/http/gateway_requests.hpp"

namespace quarlino::quil::infrastructure::http {

namespace {

constexpr const char* kJsonMediaType = "application/json";

application::port::HttpTransport& requireTransport(
    const std::unique_ptr<application::port::HttpTransport>& transport) {
    if (!transport) {
        throw std::invalid_argument("HTTP transport is required");
    }
    return *transport;
}

bool isSuccess(int status) { return status >= 200 && status <= 299; }

}  // namespace

HttpQuarlinoGateway::HttpQuarlinoGateway(std::unique_ptr<application::port::HttpTransport> transport)
    : ownedTransport_(std::move(transport)), transport_(&requireTransport(ownedTransport_)) {}

HttpQuarlinoGateway::HttpQuarlinoGateway(application::port::HttpTransport& transport)
    : transport_(&transport) {}

HttpQuarlinoGateway::~HttpQuarlinoGateway() = default;

application::port::HttpResponse HttpQuarlinoGateway::send(application::port::HttpMethod method,
                                                          std::string path, std::string body,
                                                          std::map<std::string, std::string> headers) {
    // emplace keeps a value the caller already gave.
    headers.emplace("Accept", kJsonMediaType);
    if (!body.empty()) {
        headers.emplace("Content-Type", kJsonMediaType);
    }
    const application::port::HttpRequest request{method, std::move(path), std::move(headers), std::move(body)};
    application::port::HttpResponse response = transport_->send(request);
    if (isSuccess(response.status)) {
        return response;
    }
    std::string message = errorMessage(response);
    throw application::ApiError(response.status, message, std::move(response.body));
}

}  // namespace quarlino::quil::infrastructure::http
