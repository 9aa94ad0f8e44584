#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace quarlino::quil::application::port {

enum class HttpMethod : std::uint8_t {
    GET = 0,
    POST = 1,
    PUT = 2,
    PATCH = 3,
    DELETE = 4,
};

struct HttpRequest {
    HttpMethod method = HttpMethod::GET;
    // Server-relative target, query string included and already encoded.
    std::string path;
    // Names compared byte for byte: "Accept" and "accept" are two entries.
    std::map<std::string, std::string> headers;
    // Empty means no body.
    std::string body;
};

struct HttpResponse {
    int status = 0;
    std::map<std::string, std::string> headers;
    std::string body;
};

// One synchronous exchange. Any status is returned as an answer; callers judge
// it. Requests that cannot be built throw std::invalid_argument.
class HttpTransport {
public:
    virtual ~HttpTransport() = default;

    virtual HttpResponse send(const HttpRequest& request) = 0;

protected:
    HttpTransport() = default;
    HttpTransport(const HttpTransport&) = default;
    HttpTransport& operator=(const HttpTransport&) = default;
};

}  // namespace quarlino::quil::application::port
