#pragma once

#include <cstdint>
#include <future>
#include <limits>
#include <map>
#include <string>

#include "zorvik/CompressionHandler.hpp"

namespace zorvik {

// The result of one request: an HTTP response, or a transport failure with
// status 0 and the error text as status message. Headers keep the names as
// received and are looked up without regard to ASCII case. A gzip or deflate
// body stays as received until getBody is first called, which decodes it once
// (falling back to the raw bytes when it does not decode). getBody fills a
// cache in a const object: not for concurrent use on one response.
class HttpResponse {
public:
    using HeaderMap = std::map<std::string, std::string>;
    using CompressionType = CompressionHandler::CompressionType;

    // Takes its parts by value, so that a parsed response moves its headers
    // and body in instead of copying them.
    HttpResponse(int statusCode, std::string statusMessage, HeaderMap headers, std::string body);

    std::int32_t statusCode;
    std::string statusMessage;
    HeaderMap headers;
    std::string body;  // as received (de-chunked), possibly compressed; change it through setBody

    // Empty when no header matches; when names differ only in case, the first
    // in map order wins.
    std::string getHeader(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
    // The Content-Length header as a number, else the size of the raw body.
    std::uint64_t getContentLength() const;
    std::string getContentType() const;
    const std::string& getBody() const;
    // getBody's text, moved out: the response is left with an empty body. For
    // a caller that keeps the body alone and need not copy it.
    std::string takeBody();
    CompressionType getCompressionType() const { return compressionType_; }

    // Decoding that would yield more than maxBytes leaves the body as received.
    void limitDecodedBody(std::size_t maxBytes) { maxDecodedBytes_ = maxBytes; }

    void setBody(const std::string& text);
    void setCompressedBody(const std::string& text, CompressionType type);

    // A future that is already ready with a status-0 response carrying `message`.
    static std::future<HttpResponse> createErrorFuture(const std::string& message);

private:
    mutable std::string decodedBody_;
    mutable bool decodedBodyValid_ = false;
    CompressionType compressionType_ = CompressionType::None;
    std::size_t maxDecodedBytes_ = std::numeric_limits<std::size_t>::max();
};

}  // namespace zorvik
