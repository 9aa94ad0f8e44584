// The optional request and response log lines of HttpClient::fly and flyAsync.
#include "zorvik/HttpClient.hpp"
#include "zorvik/HttpClientBase.hpp"
#include "zorvik/LoggerAdapter.hpp"

#include <string>

namespace zorvik {
namespace {

constexpr std::size_t kRequestBodyLogLimit = 100;
constexpr std::size_t kResponseBodyLogLimit = 1000;

std::string truncateForLog(const std::string& text, std::size_t limit) {
    return text.size() > limit ? text.substr(0, limit) + "..." : text;
}

// Credentials never reach a log line, whatever logger a caller installs.
bool isSecretHeader(const std::string& name) {
    const std::string lower = HttpClientBase::toLowerCopy(name);
    return lower == "authorization" || lower == "proxy-authorization" || lower == "cookie" ||
           lower.find("token") != std::string::npos;
}

}  // namespace

void HttpClient::logRequest(const HttpRequest& request) {
    if (!request.logger) {
        return;
    }
    std::string line = "HTTP Request: " + HttpClientBase::methodToString(request.method) + " " + request.processUrl();
    if (!request.headers.empty()) {
        line += " Headers: ";
        bool first = true;
        for (const auto& [name, value] : request.headers) {
            line += (first ? "" : ", ") + name + "=" + (isSecretHeader(name) ? "[redacted]" : value);
            first = false;
        }
    }
    if (!request.body.empty()) {
        line += " Body: " + truncateForLog(request.body, kRequestBodyLogLimit);
    }
    request.logger->info(line);
}

void HttpClient::logResponse(const HttpRequest& request, const HttpResponse& response) {
    if (!request.logger) {
        return;
    }
    std::string line = "HTTP Response: " + std::to_string(response.statusCode) + " " + response.statusMessage +
                       " Content-Length: " + std::to_string(response.getContentLength());
    const std::string contentType = response.getContentType();
    if (!contentType.empty()) {
        line += " Content-Type: " + contentType;
    }
    const std::string& body = response.getBody();
    if (!body.empty()) {
        line += " Body: " + truncateForLog(body, kResponseBodyLogLimit);
    }
    if (response.statusCode >= 200 && response.statusCode <= 299) {
        request.logger->info(line);
    } else {
        request.logger->warn(line);
    }
}

}  // namespace zorvik
