#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "zorvik/HttpClientBase.hpp"

namespace zorvik {
namespace {

struct WriteCase {
    std::string name;
    std::function<HttpRequest()> make;
    std::string expected;
};

void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.name; }

HttpRequest request(HttpMethod method, const std::string& url = "http://example.test:8080/a?b=1") {
    return HttpRequest(method, url);
}

std::vector<WriteCase> writeCases() {
    return {
        {"GetWithPortAndQuery", [] { return request(HttpMethod::GET); },
         "GET /a?b=1 HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\n\r\n"},
        {"NoPathGivesSlash", [] { return request(HttpMethod::DELETE, "https://example.test"); },
         "DELETE / HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\n\r\n"},
        {"CallerConnectionReplacesKeepAlive",
         [] {
             auto r = request(HttpMethod::GET);
             r.setHeader("connection", "close");
             r.setHeader("Accept", "application/json");
             return r;
         },
         "GET /a?b=1 HTTP/1.1\r\nHost: example.test\r\nAccept: application/json\r\nconnection: close\r\n\r\n"},
        {"BodyGetsLength",
         [] {
             auto r = request(HttpMethod::POST);
             r.setBody("abc");
             return r;
         },
         "POST /a?b=1 HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\nContent-Length: 3\r\n\r\nabc"},
        {"CallerLengthInAnyCaseWins",
         [] {
             auto r = request(HttpMethod::PUT);
             r.setHeader("CONTENT-length", "3");
             r.setBody("abc");
             return r;
         },
         "PUT /a?b=1 HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\nCONTENT-length: 3\r\n\r\nabc"},
        {"EmptyBodyHasNoLength", [] { return request(HttpMethod::PATCH); },
         "PATCH /a?b=1 HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\n\r\n"},
        {"PostWithEmptyBodyHasNoLength", [] { return request(HttpMethod::POST); },
         "POST /a?b=1 HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\n\r\n"},
        {"HeadersInByteOrder",
         [] {
             auto r = request(HttpMethod::OPTIONS);
             r.setHeader("alpha", "1");
             r.setHeader("Zeta", "2");
             r.setHeader("Accept", "*/*");
             return r;
         },
         "OPTIONS /a?b=1 HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\nAccept: */*\r\nZeta: "
         "2\r\nalpha: 1\r\n\r\n"},
        // A caller's Host takes the built-in line's place, so the server sees one.
        {"CallerHostReplacesBuiltInLine",
         [] {
             auto r = request(HttpMethod::GET);
             r.setHeader("Accept", "*/*");
             r.setHeader("Host", "other.test:8443");
             r.setHeader("Zeta", "2");
             return r;
         },
         "GET /a?b=1 HTTP/1.1\r\nHost: other.test:8443\r\nConnection: keep-alive\r\nAccept: */*\r\nZeta: "
         "2\r\n\r\n"},
        {"CallerHostEqualToUrlHostIsWrittenOnce",
         [] {
             auto r = request(HttpMethod::GET);
             r.setHeader("Host", "example.test");
             return r;
         },
         "GET /a?b=1 HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\n\r\n"},
        {"CallerHostKeepsItsNameAsSet",
         [] {
             auto r = request(HttpMethod::GET);
             r.setHeader("connection", "close");
             r.setHeader("host", "other.test");
             return r;
         },
         "GET /a?b=1 HTTP/1.1\r\nhost: other.test\r\nconnection: close\r\n\r\n"},
        {"OnlyTheFirstHostInMapOrderIsWritten",
         [] {
             auto r = request(HttpMethod::GET);
             r.setHeader("host", "second.test");
             r.setHeader("HOST", "first.test");
             return r;
         },
         "GET /a?b=1 HTTP/1.1\r\nHOST: first.test\r\nConnection: keep-alive\r\n\r\n"},
        {"HeadAndValuesAsStored",
         [] {
             auto r = request(HttpMethod::HEAD, "http://example.test/{id}/x");
             r.setHeader("X-Empty", "");
             r.setHeader("X-Spaced", "  v  ");
             return r;
         },
         "HEAD /{id}/x HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\nX-Empty: \r\nX-Spaced:   v  \r\n\r\n"},
        {"UnknownMethodIsGet",
         [] {
             auto r = request(HttpMethod::GET);
             r.method = static_cast<HttpMethod>(9);
             return r;
         },
         "GET /a?b=1 HTTP/1.1\r\nHost: example.test\r\nConnection: keep-alive\r\n\r\n"},
    };
}

class WriteRequestTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteRequestTest, WritesExactBytes) {
    const WriteCase& c = GetParam();
    EXPECT_EQ(HttpClientBase::buildHttpRequest(c.make()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteRequestTest, ::testing::ValuesIn(writeCases()),
                         [](const auto& info) { return info.param.name; });

TEST(RequestWriterTest, MethodWords) {
    const std::vector<std::pair<std::uint32_t, std::string>> words = {
        {0, "GET"}, {1, "POST"}, {2, "PUT"}, {3, "PATCH"}, {4, "DELETE"}, {5, "HEAD"}, {6, "OPTIONS"}, {7, "GET"},
        {0xffffffff, "GET"}};
    for (const auto& [value, word] : words) {
        EXPECT_EQ(HttpClientBase::methodToString(static_cast<HttpMethod>(value)), word) << value;
    }
}

// The request's fields are public, so text that bypassed the setters' checks
// must still be refused before anything is written.
struct InjectionCase {
    std::string name;
    std::function<void(HttpRequest&)> spoil;
    std::string message;
};

void PrintTo(const InjectionCase& c, std::ostream* out) { *out << c.name; }

class HeaderInjectionTest : public ::testing::TestWithParam<InjectionCase> {};

TEST_P(HeaderInjectionTest, RefusesToBuildTheText) {
    const InjectionCase& c = GetParam();
    HttpRequest r = request(HttpMethod::POST);
    r.setBody("secret-body");
    c.spoil(r);
    try {
        HttpClientBase::buildHttpRequest(r);
        FAIL() << "expected the request to be refused";
    } catch (const std::invalid_argument& error) {
        EXPECT_EQ(std::string(error.what()), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderInjectionTest,
    ::testing::Values(
        InjectionCase{"ValueWithCrLf", [](HttpRequest& r) { r.headers["X-A"] = "1\r\nX-Injected: 2"; },
                      "Header value contains CR, LF or NUL"},
        InjectionCase{"ValueWithBareLf", [](HttpRequest& r) { r.headers["X-A"] = "1\nX-Injected: 2"; },
                      "Header value contains CR, LF or NUL"},
        InjectionCase{"ValueWithNul", [](HttpRequest& r) { r.headers["X-A"] = std::string("a\0b", 3); },
                      "Header value contains CR, LF or NUL"},
        InjectionCase{"NameWithCr", [](HttpRequest& r) { r.headers["X-A\rB"] = "1"; },
                      "Header name contains CR, LF or NUL"},
        InjectionCase{"PathWithCrLf",
                      [](HttpRequest& r) { r.path = "/a HTTP/1.1\r\nHost: evil\r\n\r\nGET /b"; },
                      "Request path contains CR, LF or NUL"},
        InjectionCase{"PathWithNul", [](HttpRequest& r) { r.path = std::string("/a\0", 3); },
                      "Request path contains CR, LF or NUL"},
        InjectionCase{"HostWithLf", [](HttpRequest& r) { r.host = "example.test\nX-Injected: 1"; },
                      "Request host contains CR, LF or NUL"}),
    [](const auto& info) { return info.param.name; });

TEST(RequestWriterTest, RouteParameterWithLineBreakNeverReachesTheText) {
    HttpRequest r = request(HttpMethod::GET, "http://example.test/items/{id}");
    EXPECT_THROW(r.setRouteParam("id", "1 HTTP/1.1\r\nX-Injected: 1"), std::invalid_argument);
    EXPECT_EQ(HttpClientBase::buildHttpRequest(r).find("X-Injected"), std::string::npos);
}

TEST(HeaderHelpersTest, HasHeaderIgnoreCase) {
    const std::map<std::string, std::string> headers = {{"Content-Type", "a"}, {"X", "b"}};
    EXPECT_TRUE(HttpClientBase::hasHeaderIgnoreCase(headers, "content-type"));
    EXPECT_TRUE(HttpClientBase::hasHeaderIgnoreCase(headers, "x"));
    EXPECT_FALSE(HttpClientBase::hasHeaderIgnoreCase(headers, "content-typ"));
    EXPECT_FALSE(HttpClientBase::hasHeaderIgnoreCase(headers, "content-types"));
    EXPECT_FALSE(HttpClientBase::hasHeaderIgnoreCase(headers, ""));
}

TEST(HeaderHelpersTest, HasHeaderValueIgnoreCaseComparesWholeTrimmedValue) {
    struct Case {
        std::string value;
        bool matches;
    };
    const std::vector<Case> cases = {{"close", true},         {"CLOSE", true},          {" \tClose \r", true},
                                     {"close, upgrade", false}, {"keep-alive", false}, {"", false}};
    for (const Case& c : cases) {
        const std::map<std::string, std::string> headers = {{"CONNECTION", c.value}};
        EXPECT_EQ(HttpClientBase::hasHeaderValueIgnoreCase(headers, "Connection", "close"), c.matches) << c.value;
    }
    EXPECT_FALSE(HttpClientBase::hasHeaderValueIgnoreCase({{"X-Connection", "close"}}, "connection", "close"));
}

TEST(HeaderHelpersTest, TrimAndLower) {
    EXPECT_EQ(HttpClientBase::trimCopy(" \t\r\n\v\fa b\f\v\n\r\t "), "a b");
    EXPECT_EQ(HttpClientBase::trimCopy(" \t "), "");
    EXPECT_EQ(HttpClientBase::toLowerCopy("Content-TYPE 1\xC3\x89"), "content-type 1\xC3\x89");
}

TEST(IdleConnectionTest, Expiry) {
    using std::chrono::milliseconds;
    const auto now = std::chrono::steady_clock::now();
    const auto longAgo = now - std::chrono::hours(24 * 365);
    EXPECT_FALSE(HttpClientBase::isIdleConnectionExpired(longAgo, milliseconds::max()));
    EXPECT_TRUE(HttpClientBase::isIdleConnectionExpired(now, milliseconds(0)));
    EXPECT_TRUE(HttpClientBase::isIdleConnectionExpired(longAgo, milliseconds(1000)));
    EXPECT_FALSE(HttpClientBase::isIdleConnectionExpired(now, std::chrono::hours(1)));
    EXPECT_FALSE(HttpClientBase::isIdleConnectionExpired(longAgo, milliseconds(std::numeric_limits<std::int64_t>::max() - 1)));
}

}  // namespace
}  // namespace zorvik
