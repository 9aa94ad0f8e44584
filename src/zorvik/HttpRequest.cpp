#include "zorvik/HttpRequest.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>
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

bool isPlaceholderNameChar(char c) {
    return detail::isAsciiLetter(c) || detail::isAsciiDigit(c) || c == '_';
}

// The parts of a URL as the whole-string pattern
// "https?://([^:/]+)(?::(\d+))?(/.*)?" (any letter case) takes them; no value
// when it does not match. Matched by hand, not with std::regex, whose
// recursion per byte would exhaust the stack on a long URL (a redirect's
// Location is the server's to choose). The caller refuses CR, LF and NUL
// first; the pattern's "." takes every other byte.
struct UrlParts {
    std::string_view host;
    std::optional<std::string_view> port;
    std::optional<std::string_view> path;
};

std::optional<UrlParts> matchUrl(std::string_view url) {
    if (detail::startsWithIgnoreCase(url, kHttpsScheme)) {
        url.remove_prefix(kHttpsScheme.size());
    } else if (detail::startsWithIgnoreCase(url, kHttpScheme)) {
        url.remove_prefix(kHttpScheme.size());
    } else {
        return std::nullopt;
    }
    UrlParts parts;
    parts.host = url.substr(0, url.find_first_of(":/"));
    if (parts.host.empty()) {
        return std::nullopt;
    }
    url.remove_prefix(parts.host.size());
    if (!url.empty() && url.front() == ':') {
        const auto digits = std::find_if_not(url.begin() + 1, url.end(), detail::isAsciiDigit) - (url.begin() + 1);
        if (digits == 0) {
            return std::nullopt;
        }
        parts.port = url.substr(1, static_cast<std::size_t>(digits));
        url.remove_prefix(1 + parts.port->size());
    }
    if (!url.empty()) {
        if (url.front() != '/') {
            return std::nullopt;
        }
        parts.path = url;
    }
    return parts;
}

// The name inside the first "{name}" whose name is one or more letters,
// digits or underscores, as a search for "\{([A-Za-z0-9_]+)\}" finds it.
std::optional<std::string_view> findPlaceholder(std::string_view text) {
    for (auto open = text.find('{'); open != std::string_view::npos; open = text.find('{', open)) {
        auto end = open + 1;
        while (end < text.size() && isPlaceholderNameChar(text[end])) {
            ++end;
        }
        if (end > open + 1 && end < text.size() && text[end] == '}') {
            return text.substr(open + 1, end - open - 1);
        }
        // The bytes skipped are name characters, none of them a "{".
        open = end;
    }
    return std::nullopt;
}

// Replaces left to right and resumes after each inserted value, so text inside
// the value is never replaced again.
void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

constexpr int kMaxPort = 65535;

// The port a run of decimal digits names, when it is one a connection can
// use (1 to 65535; leading zeros allowed); no value otherwise, however many
// digits the run has.
std::optional<int> portNumber(std::string_view digits) {
    int value = 0;
    for (const char digit : digits) {
        value = value * 10 + (digit - '0');
        if (value > kMaxPort) {
            return std::nullopt;
        }
    }
    return value == 0 ? std::nullopt : std::optional<int>(value);
}

bool isUnreserved(char c) {
    return detail::isAsciiLetter(c) || detail::isAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

}  // namespace

HttpRequest::HttpRequest(HttpMethod requestMethod, const std::string& requestUrl)
    : method(requestMethod), url(hasScheme(requestUrl) ? requestUrl : std::string(kHttpScheme) + requestUrl) {
    parseUrl(url, host, port, path);
    useSSL = detail::startsWithIgnoreCase(url, kHttpsScheme);
}

void HttpRequest::parseUrl(const std::string& url, std::string& host, int& port, std::string& path) {
    // No valid URL holds CR, LF or NUL, and in the host a line break would
    // reach the request head; they are refused wherever they stand.
    const auto parts =
        detail::findForbiddenByte(url) == std::string_view::npos ? matchUrl(url) : std::nullopt;
    const auto explicitPort = parts && parts->port ? portNumber(*parts->port) : std::nullopt;
    if (!parts || (parts->port && !explicitPort)) {
        throw std::runtime_error("Invalid URL format: " + url);
    }
    host = std::string(parts->host);
    port = explicitPort ? *explicitPort : (detail::startsWithIgnoreCase(url, kHttpsScheme) ? 443 : 80);
    path = parts->path ? std::string(*parts->path) : std::string("/");
}

std::string HttpRequest::processUrl() const {
    if (const auto name = findPlaceholder(url)) {
        throw std::runtime_error("Unresolved route placeholder {" + std::string(*name) + "} in URL: " + url);
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
        if (isUnreserved(c)) {
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
