#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>

#include "zorvik/HttpClient.hpp"
#include "zorvik/detail/ResponseFramer.hpp"

namespace zorvik {

// The common base of the reactor clients: no state, only the HTTP/1.1
// operations they share (request text, response framing and parsing) and the
// small header helpers both sides use.
class HttpClientBase : public HttpClient {
public:
    using ResponseFrame = detail::ResponseFrame;

    static std::string methodToString(HttpMethod method);

    // A caller's own Host header takes the place of the built-in Host line.
    // Throws std::invalid_argument when the host, path or a header holds CR,
    // LF or NUL; the reactors turn that into a failed exchange.
    static std::string buildHttpRequest(const HttpRequest& request);

    static bool hasHeaderIgnoreCase(const std::map<std::string, std::string>& headers, const std::string& name);
    static bool hasHeaderValueIgnoreCase(const std::map<std::string, std::string>& headers,
                                         const std::string& name, const std::string& value);

    // A ttl of INT64_MAX milliseconds means "never"; a ttl of 0 expires at once.
    static bool isIdleConnectionExpired(std::chrono::steady_clock::time_point lastActivity,
                                        std::chrono::milliseconds ttl);

    static std::string trimCopy(const std::string& text);
    static std::string toLowerCopy(std::string text);

    // True when `buffer` begins with one complete response (interim 1xx heads
    // in front of it included); `frame` then holds its length and whether the
    // connection must close. A response that cannot be framed safely comes
    // back complete and `malformed`, spanning the whole buffer, with the
    // reason in `error` (a head past its limits, or a framing its parsing
    // would throw on). Scans from the start on every call: a connection that
    // reads in small pieces should keep a detail::ResponseFramer instead.
    static bool tryExtractResponseFrame(const std::string& buffer, HttpMethod requestMethod, bool peerClosed,
                                        ResponseFrame& frame);

    // True when a complete chunked body starts at `bodyStart`; `messageLength`
    // is then the offset just past it.
    static bool tryParseChunkedMessageLength(const std::string& buffer, std::size_t bodyStart,
                                             std::size_t& messageLength);

    // Exchange-level problems give status 0; an unusable framing throws
    // std::runtime_error.
    static HttpResponse parseHttpResponse(const std::string& text);

protected:
    HttpClientBase() = default;
};

}  // namespace zorvik
