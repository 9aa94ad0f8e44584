#include "application/status_service.hpp"

namespace quarlino::quil::application {

int StatusService::check() {
    port::HttpRequest request;
    request.method = port::HttpMethod::GET;
    request.path = "/";
    // The root may be the web application or the API, so accept either.
    request.headers.emplace("Accept", "text/html, application/json");
    return transport_.send(request).status;
}

}  // namespace quarlino::quil::application
