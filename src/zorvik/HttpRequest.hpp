#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace zorvik {

class LoggerAdapter;

enum class HttpMethod : std::uint32_t {
    GET = 0,
    POST = 1,
    PUT = 2,
    PATCH = 3,
    DELETE = 4,
    HEAD = 5,
    OPTIONS = 6,
};

// One HTTP request as the library sends it. A plain value: copies share the
// logger. `url` and `path` are kept in step by setRouteParam and addQueryString;
// the reactors connect and write the request line from host, port, path and
// useSSL as they stand.
//
// Setters refuse CR, LF and NUL in header names and values, route parameter
// values and raw query pieces (std::invalid_argument), so that no caller text
// can split the request head; the writer checks the finished request once more
// (detail/HeaderSafety.hpp) because the fields are public.
class HttpRequest {
public:
    using HeaderMap = std::map<std::string, std::string>;

    // Prefixes "http://" when the URL has no scheme; throws std::runtime_error
    // "Invalid URL format: <url>" when it does not parse, a port outside 1 to
    // 65535 included.
    HttpRequest(HttpMethod method, const std::string& url);

    HttpMethod method;
    std::string url;
    HeaderMap headers;      // exact-case names
    HeaderMap routeParams;  // values given to setRouteParam, by placeholder name
    std::string body;       // empty means no body
    std::int32_t timeout = 30000;  // milliseconds for the whole exchange
    bool followRedirects = true;
    std::int32_t maxRedirects = 5;
    std::shared_ptr<LoggerAdapter> logger;
    bool logRequest = false;
    bool logResponse = false;
    std::string host;
    std::int32_t port = 0;
    std::string path;  // begins with "/", query included
    bool useSSL = false;

    static void parseUrl(const std::string& url, std::string& host, int& port, std::string& path);

    // The URL, after checking that no "{name}" placeholder is left unfilled.
    std::string processUrl() const;

    void setTimeout(int milliseconds);
    void setFollowRedirects(bool follow);
    void setMaxRedirects(int count);
    void setLogger(std::shared_ptr<LoggerAdapter> newLogger);
    void setBody(const std::string& text);

    void setHeader(const std::string& name, const std::string& value);
    // Adds only the names not present yet; existing values are never replaced.
    void setHeaders(const HeaderMap& entries);
    void setContentType(const std::string& value);
    void setUserAgent(const std::string& value);
    void setBasicAuth(const std::string& user, const std::string& password);
    void setBearerAuth(const std::string& token);

    void setRouteParam(const std::string& name, const std::string& value);
    void addQueryString(const std::string& key, const std::string& value, bool encode);
    void addQueryString(const std::map<std::string, std::string>& entries, bool encode);

    static std::string urlEncode(const std::string& text);
    static std::string base64Encode(const std::string& text);
};

}  // namespace zorvik
