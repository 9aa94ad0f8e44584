#pragma once

#include <string>

#include "zorvik/HttpRequest.hpp"

namespace zorvik::detail {

// The request-line word of a method; a value outside the enumeration is "GET".
std::string methodToString(HttpMethod method);

// The complete HTTP/1.1 request text: request line, Host (the caller's own
// when set, else the request's host without port), keep-alive unless the
// caller set Connection, the caller's other headers in map order, a length
// for a non-empty body unless the caller set one, the blank line and the body.
// Throws std::invalid_argument when the host, path or a header holds CR, LF
// or NUL, so that caller text can never add lines of its own to the head.
std::string buildHttpRequest(const HttpRequest& request);

}  // namespace zorvik::detail
