#include "zorvik/detail/RedirectRequest.hpp"

#include "zorvik/HttpClientBase.hpp"

#include <array>
#include <string_view>

namespace zorvik::detail {
namespace {

constexpr std::array<std::string_view, 3> kNeverCopied = {"host", "connection", "content-length"};
constexpr std::array<std::string_view, 3> kCredentials = {"authorization", "proxy-authorization", "cookie"};

bool isAbsolute(const std::string& location) {
    return location.starts_with("http://") || location.starts_with("https://");
}

std::string resolveLocation(const HttpRequest& previous, const std::string& location) {
    if (isAbsolute(location)) {
        return location;
    }
    const int defaultPort = previous.useSSL ? 443 : 80;
    std::string url = previous.useSSL ? "https://" : "http://";
    url += previous.host;
    if (previous.port != defaultPort) {
        url += ':';
        url += std::to_string(previous.port);
    }
    if (!location.starts_with("/")) {
        url += '/';
    }
    url += location;
    return url;
}

HttpMethod redirectedMethod(HttpMethod method, int status) {
    const bool rewrites = status == 301 || status == 302 || status == 303;
    if (!rewrites || method == HttpMethod::HEAD) {
        return method;
    }
    return HttpMethod::GET;
}

bool sameOrigin(const HttpRequest& a, const HttpRequest& b) {
    return a.useSSL == b.useSSL && a.port == b.port &&
           HttpClientBase::toLowerCopy(a.host) == HttpClientBase::toLowerCopy(b.host);
}

template <std::size_t N>
bool isOneOf(const std::string& lowerName, const std::array<std::string_view, N>& names) {
    for (const auto name : names) {
        if (lowerName == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

HttpRequest buildRedirectRequest(const HttpRequest& previous, const HttpResponse& response) {
    const std::string location = response.getHeader("location");
    const HttpMethod method = redirectedMethod(previous.method, response.statusCode);
    HttpRequest next(method, resolveLocation(previous, location));
    next.timeout = previous.timeout;
    next.followRedirects = previous.followRedirects;
    next.maxRedirects = previous.maxRedirects;
    next.logger = previous.logger;

    const bool keepCredentials = sameOrigin(previous, next);
    for (const auto& [name, value] : previous.headers) {
        const std::string lowerName = HttpClientBase::toLowerCopy(name);
        if (isOneOf(lowerName, kNeverCopied) || (!keepCredentials && isOneOf(lowerName, kCredentials))) {
            continue;
        }
        next.headers.emplace(name, value);
    }
    if (method != HttpMethod::GET && method != HttpMethod::HEAD && !previous.body.empty()) {
        next.body = previous.body;
    }
    return next;
}

}  // namespace zorvik::detail
