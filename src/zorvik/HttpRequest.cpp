#include "zorvik/HttpRequest.hpp"

#include <algorithm>
#include <cstdint>
#include <regex>
#include <stdexcept>
#include <utility>

#include "zorvik/detail/AsciiText.hpp"
#include "zorvik/detail/HeaderSafety.hpp"

namespace zorvik {
namespace {

constexpr std::string_view kHttpScheme = "http://";
constexpr std::string_view kHttpsScheme = "https://";

bool hasScheme(const std::string& url) {
    return detail::startsWithIgnoreCase(url, kHttpScheme) || detail::startsWithIgnoreCase(url, kHttpsScheme) ||
           url.find("://") != std::string::npos;
}

const std::regex& urlPattern() {
    static const std::regex pattern("https?://([^:/]+)(?::(\\d+))?(/.*)?",
                                    std::regex::ECMAScript | std::regex::icase);
    return pattern;
}

const std::regex& placeholderPattern() {
    static const std::regex pattern("\\{([A-Za-z0-9_]+)\\}", std::regex::ECMAScript);
    return pattern;
}

// Replaces left to right and resumes after each inserted value, so text inside
// the value is never replaced again.
void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

}  // namespace

HttpRequest::HttpRequest(HttpMethod requestMethod, const std::string& requestUrl)
    : method(requestMethod), url(hasScheme(requestUrl) ? requestUrl : std::string(kHttpScheme) + requestUrl) {
    parseUrl(url, host, port, path);
    useSSL = detail::startsWithIgnoreCase(url, kHttpsScheme);
}

void HttpRequest::parseUrl(const std::string& url, std::string& host, int& port, std::string& path) {
    std::smatch match;
    // The pattern's "." already stops at line breaks; a NUL, or a line break in
    // the host, is refused here too, as no valid URL holds one.
    if (detail::findForbiddenByte(url) != std::string_view::npos || !std::regex_match(url, match, urlPattern())) {
        throw std::runtime_error("Invalid URL format: " + url);
    }
    host = match[1].str();
    if (match[2].matched) {
        port = std::stoi(match[2].str());
    } else {
        port = detail::startsWithIgnoreCase(url, kHttpsScheme) ? 443 : 80;
    }
    path = match[3].matched ? match[3].str() : std::string("/");
}

std::string HttpRequest::processUrl() const {
    std::smatch match;
    if (std::regex_search(url, match, placeholderPattern())) {
        throw std::runtime_error("Unresolved route placeholder {" + match[1].str() + "} in URL: " + url);
    }
    return url;
}

void HttpRequest::setTimeout(int milliseconds) { timeout = milliseconds; }

void HttpRequest::setFollowRedirects(bool follow) { followRedirects = follow; }

void HttpRequest::setMaxRedirects(int count) { maxRedirects = count; }

void HttpRequest::setLogger(std::shared_ptr<LoggerAdapter> newLogger) { logger = std::move(newLogger); }

void HttpRequest::setBody(const std::string& text) { body = text; }

void HttpRequest::setHeader(const std::string& name, const std::string& value) {
    detail::requireWireSafe(name, detail::kForbiddenHeaderName);
    detail::requireWireSafe(value, detail::kForbiddenHeaderValue);
    headers[name] = value;
}

void HttpRequest::setHeaders(const HeaderMap& entries) {
    // Checked as a whole first so that a refused map leaves the request unchanged.
    for (const auto& [name, value] : entries) {
        detail::requireWireSafe(name, detail::kForbiddenHeaderName);
        detail::requireWireSafe(value, detail::kForbiddenHeaderValue);
    }
    for (const auto& entry : entries) {
        headers.insert(entry);
    }
}

void HttpRequest::setContentType(const std::string& value) { setHeader("Content-Type", value); }

void HttpRequest::setUserAgent(const std::string& value) { setHeader("User-Agent", value); }

void HttpRequest::setBasicAuth(const std::string& user, const std::string& password) {
    setHeader("Authorization", "Basic " + base64Encode(user + ":" + password));
}

void HttpRequest::setBearerAuth(const std::string& token) { setHeader("Authorization", "Bearer " + token); }

void HttpRequest::setRouteParam(const std::string& name, const std::string& value) {
    const std::string placeholder = "{" + name + "}";
    if (url.find(placeholder) == std::string::npos && path.find(placeholder) == std::string::npos) {
        throw std::invalid_argument("Route placeholder " + placeholder + " not found in URL: " + url);
    }
    detail::requireWireSafe(value, detail::kForbiddenRouteParam);
    routeParams[name] = value;
    replaceAll(url, placeholder, value);
    replaceAll(path, placeholder, value);
}

void HttpRequest::addQueryString(const std::string& key, const std::string& value, bool encode) {
    if (!encode) {
        detail::requireWireSafe(key, detail::kForbiddenQueryString);
        detail::requireWireSafe(value, detail::kForbiddenQueryString);
    }
    const char* separator = url.find('?') != std::string::npos ? "&" : "?";
    const std::string piece =
        separator + (encode ? urlEncode(key) : key) + "=" + (encode ? urlEncode(value) : value);
    url += piece;
    path += piece;
}

void HttpRequest::addQueryString(const std::map<std::string, std::string>& entries, bool encode) {
    for (const auto& [key, value] : entries) {
        addQueryString(key, value, encode);
    }
}

std::string HttpRequest::urlEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte)) {
            encoded += c;
            continue;
        }
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0F];
    }
    return encoded;
}

std::string HttpRequest::base64Encode(const std::string& text) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    encoded.reserve((text.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < text.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, text.size() - i);
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j) {
            const auto byte = j < count ? static_cast<unsigned char>(text[i + j]) : 0U;
            group = (group << 8) | byte;
        }
        for (std::size_t j = 0; j < 4; ++j) {
            encoded += j <= count ? kAlphabet[(group >> (18 - 6 * j)) & 0x3F] : '=';
        }
    }
    return encoded;
}

}  // namespace zorvik
