#include "zorvik/HttpResponse.hpp"

#include <exception>
#include <stdexcept>
#include <utility>

#include "zorvik/detail/HeaderText.hpp"

namespace zorvik {

HttpResponse::HttpResponse(int code, std::string message, HeaderMap responseHeaders, std::string responseBody)
    : statusCode(code),
      statusMessage(std::move(message)),
      headers(std::move(responseHeaders)),
      body(std::move(responseBody)) {
    compressionType_ = CompressionHandler::detectType(getHeader("content-encoding"));
}

std::string HttpResponse::getHeader(const std::string& name) const {
    const auto found = detail::findHeaderIgnoreCase(headers, name);
    return found != headers.end() ? found->second : std::string();
}

bool HttpResponse::hasHeader(const std::string& name) const { return detail::hasHeaderIgnoreCase(headers, name); }

std::uint64_t HttpResponse::getContentLength() const {
    const std::string value = getHeader("content-length");
    if (!value.empty()) {
        try {
            return std::stoull(value);
        } catch (const std::logic_error&) {
            // No digits or out of range: the received size is the better answer.
        }
    }
    return body.size();
}

std::string HttpResponse::getContentType() const { return getHeader("content-type"); }

const std::string& HttpResponse::getBody() const {
    if (decodedBodyValid_) {
        return decodedBody_;
    }
    if (compressionType_ == CompressionType::None) {
        return body;
    }
    try {
        decodedBody_ = CompressionHandler::decompress(body, compressionType_, maxDecodedBytes_);
    } catch (const std::exception&) {
        // A body labelled compressed that does not decode is handed over as it came.
        decodedBody_ = body;
    }
    decodedBodyValid_ = true;
    return decodedBody_;
}

std::string HttpResponse::takeBody() {
    static_cast<void>(getBody());
    std::string taken = std::move(decodedBodyValid_ ? decodedBody_ : body);
    setBody({});
    return taken;
}

void HttpResponse::setBody(const std::string& text) {
    body = text;
    decodedBody_ = text;
    decodedBodyValid_ = true;
    compressionType_ = CompressionType::None;
}

void HttpResponse::setCompressedBody(const std::string& text, CompressionType type) {
    body = text;
    compressionType_ = type;
    decodedBody_.clear();
    decodedBodyValid_ = false;
}

std::future<HttpResponse> HttpResponse::createErrorFuture(const std::string& message) {
    std::promise<HttpResponse> promise;
    promise.set_value(HttpResponse(0, message, {}, {}));
    return promise.get_future();
}

}  // namespace zorvik
