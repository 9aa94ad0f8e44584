#include "zorvik/detail/RequestWriter.hpp"

#include "zorvik/detail/AsciiText.hpp"
#include "zorvik/detail/HeaderSafety.hpp"
#include "zorvik/detail/HeaderText.hpp"

namespace zorvik::detail {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kHost = "Host";

void appendHeader(std::string& text, std::string_view name, std::string_view value) {
    text.append(name).append(": ").append(value).append(kCrLf);
}

}  // namespace

std::string methodToString(HttpMethod method) {
    switch (method) {
        case HttpMethod::GET:
            return "GET";
        case HttpMethod::POST:
            return "POST";
        case HttpMethod::PUT:
            return "PUT";
        case HttpMethod::PATCH:
            return "PATCH";
        case HttpMethod::DELETE:
            return "DELETE";
        case HttpMethod::HEAD:
            return "HEAD";
        case HttpMethod::OPTIONS:
            return "OPTIONS";
    }
    return "GET";
}

std::string buildHttpRequest(const HttpRequest& request) {
    validateRequestForWire(request);

    std::string text;
    text.reserve(256 + request.path.size() + request.body.size());
    text.append(methodToString(request.method)).append(" ").append(request.path).append(" HTTP/1.1").append(kCrLf);
    // A caller's own Host takes the place of the built-in line; several Host
    // lines would let servers and proxies disagree on the target, so only
    // the first in map order is written.
    const auto callerHost = findHeaderIgnoreCase(request.headers, kHost);
    if (callerHost == request.headers.end()) {
        appendHeader(text, kHost, request.host);
    } else {
        appendHeader(text, callerHost->first, callerHost->second);
    }
    if (!hasHeaderIgnoreCase(request.headers, "Connection")) {
        appendHeader(text, "Connection", "keep-alive");
    }
    for (const auto& [name, value] : request.headers) {
        if (!equalsIgnoreCase(name, kHost)) {
            appendHeader(text, name, value);
        }
    }
    if (!request.body.empty() && !hasHeaderIgnoreCase(request.headers, "Content-Length")) {
        appendHeader(text, "Content-Length", std::to_string(request.body.size()));
    }
    text.append(kCrLf).append(request.body);
    return text;
}

}  // namespace zorvik::detail
