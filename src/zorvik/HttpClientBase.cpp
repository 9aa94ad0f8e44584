#include "zorvik/HttpClientBase.hpp"

#include <utility>

#include "zorvik/detail/AsciiText.hpp"
#include "zorvik/detail/ChunkedBody.hpp"
#include "zorvik/detail/HeaderText.hpp"
#include "zorvik/detail/RequestWriter.hpp"
#include "zorvik/detail/ResponseParser.hpp"

namespace zorvik {

std::string HttpClientBase::methodToString(HttpMethod method) { return detail::methodToString(method); }

std::string HttpClientBase::buildHttpRequest(const HttpRequest& request) { return detail::buildHttpRequest(request); }

bool HttpClientBase::hasHeaderIgnoreCase(const std::map<std::string, std::string>& headers,
                                         const std::string& name) {
    return detail::hasHeaderIgnoreCase(headers, name);
}

bool HttpClientBase::hasHeaderValueIgnoreCase(const std::map<std::string, std::string>& headers,
                                              const std::string& name, const std::string& value) {
    return detail::hasHeaderValueIgnoreCase(headers, name, value);
}

bool HttpClientBase::isIdleConnectionExpired(std::chrono::steady_clock::time_point lastActivity,
                                             std::chrono::milliseconds ttl) {
    // INT64_MAX milliseconds means "never"; no ttl too long to count in
    // nanoseconds (about 292 years) can have passed either.
    constexpr auto kLongestCountable =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::nanoseconds::max());
    if (ttl >= kLongestCountable) {
        return false;
    }
    return std::chrono::steady_clock::now() - lastActivity >= std::chrono::nanoseconds(ttl);
}

std::string HttpClientBase::trimCopy(const std::string& text) { return detail::trimCopy(text); }

std::string HttpClientBase::toLowerCopy(std::string text) { return detail::toLowerCopy(std::move(text)); }

bool HttpClientBase::tryExtractResponseFrame(const std::string& buffer, HttpMethod requestMethod, bool peerClosed,
                                             ResponseFrame& frame) {
    detail::ResponseFramer framer;
    return framer.tryExtract(buffer, requestMethod == HttpMethod::HEAD, peerClosed, frame);
}

bool HttpClientBase::tryParseChunkedMessageLength(const std::string& buffer, std::size_t bodyStart,
                                                  std::size_t& messageLength) {
    detail::ChunkScanner scanner(bodyStart);
    if (scanner.scan(buffer) != detail::ChunkScanner::Status::Complete) {
        return false;
    }
    messageLength = scanner.end();
    return true;
}

HttpResponse HttpClientBase::parseHttpResponse(const std::string& text) { return detail::parseHttpResponse(text); }

}  // namespace zorvik
