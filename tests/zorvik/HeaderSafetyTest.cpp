#include "zorvik/detail/HeaderSafety.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "zorvik/HttpRequest.hpp"

namespace zorvik::detail {
namespace {

using namespace std::string_literals;

const std::string kSecret = "s3cr3t-token";

TEST(FindForbiddenByte, ReportsTheFirstCrLfOrNul) {
    EXPECT_EQ(findForbiddenByte("plain value\t with tab"), std::string_view::npos);
    EXPECT_EQ(findForbiddenByte("ab\rc\n"), 2U);
    EXPECT_EQ(findForbiddenByte("abc\n"), 3U);
    EXPECT_EQ(findForbiddenByte("a\0b"s), 1U);
    EXPECT_EQ(findForbiddenByte(""), std::string_view::npos);
}

struct SetterCase {
    const char* name;
    std::function<void(HttpRequest&)> call;
    std::string message;
};

class RefusedSetter : public testing::TestWithParam<SetterCase> {};

// Every way a caller can put text into the request head refuses CR, LF and NUL
// at once, names what it refused, never echoes the value, and changes nothing.
TEST_P(RefusedSetter, RefusesWithoutChangingTheRequest) {
    HttpRequest request(HttpMethod::GET, "http://h/items/{id}");
    const HttpRequest before = request;
    try {
        GetParam().call(request);
        ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_EQ(error.what(), GetParam().message);
        EXPECT_EQ(std::string(error.what()).find(kSecret), std::string::npos);
    }
    EXPECT_EQ(request.headers, before.headers);
    EXPECT_EQ(request.url, before.url);
    EXPECT_EQ(request.path, before.path);
    EXPECT_EQ(request.routeParams, before.routeParams);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedSetter,
    testing::Values(
        SetterCase{"NameWithCrLf", [](HttpRequest& r) { r.setHeader("X-A\r\nX-B", "v"); },
                   "Header name contains CR, LF or NUL"},
        SetterCase{"NameWithNul", [](HttpRequest& r) { r.setHeader("X\0A"s, "v"); },
                   "Header name contains CR, LF or NUL"},
        SetterCase{"ValueWithLf", [](HttpRequest& r) { r.setHeader("X-A", kSecret + "\nX-B: 1"); },
                   "Header value contains CR, LF or NUL"},
        SetterCase{"ValueWithNul", [](HttpRequest& r) { r.setHeader("X-A", kSecret + "\0"s); },
                   "Header value contains CR, LF or NUL"},
        SetterCase{"BearerToken", [](HttpRequest& r) { r.setBearerAuth(kSecret + "\r\nX-Evil: 1"); },
                   "Header value contains CR, LF or NUL"},
        SetterCase{"UserAgent", [](HttpRequest& r) { r.setUserAgent("ua\r"); },
                   "Header value contains CR, LF or NUL"},
        SetterCase{"MapWithOneBadEntry",
                   [](HttpRequest& r) { r.setHeaders({{"A-Good", "1"}, {"B-Bad", kSecret + "\r\n"}}); },
                   "Header value contains CR, LF or NUL"},
        SetterCase{"RouteParam", [](HttpRequest& r) { r.setRouteParam("id", "1 HTTP/1.1\r\nHost: evil"); },
                   "Route parameter value contains CR, LF or NUL"},
        SetterCase{"RawQueryValue", [](HttpRequest& r) { r.addQueryString("q", "a\r\nb", false); },
                   "Query string contains CR, LF or NUL"},
        SetterCase{"RawQueryKey", [](HttpRequest& r) { r.addQueryString("q\n", "a", false); },
                   "Query string contains CR, LF or NUL"}),
    [](const testing::TestParamInfo<SetterCase>& info) { return std::string(info.param.name); });

TEST(RefusedSetter, EncodedQueryTextIsEscapedInstead) {
    HttpRequest request(HttpMethod::GET, "http://h/");
    request.addQueryString("q", "a\r\nb\0"s, true);
    EXPECT_EQ(request.path, "/?q=a%0D%0Ab%00");
    EXPECT_NO_THROW(validateRequestForWire(request));
}

struct WireCase {
    const char* name;
    std::function<void(HttpRequest&)> tamper;
    std::string message;
};

class WireValidation : public testing::TestWithParam<WireCase> {};

// The fields are public, so the writer's last check must catch what the
// setters never saw.
TEST_P(WireValidation, RefusesTamperedFields) {
    HttpRequest request(HttpMethod::POST, "http://h/ok");
    request.setHeader("Accept", "*/*");
    GetParam().tamper(request);
    try {
        validateRequestForWire(request);
        ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_EQ(error.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WireValidation,
    testing::Values(
        WireCase{"HeaderName", [](HttpRequest& r) { r.headers["X\nY"] = "1"; }, "Header name contains CR, LF or NUL"},
        WireCase{"HeaderValue", [](HttpRequest& r) { r.headers["X"] = "1\r\nY: 2"; },
                 "Header value contains CR, LF or NUL"},
        WireCase{"Path", [](HttpRequest& r) { r.path = "/a\r\nX: 1"; }, "Request path contains CR, LF or NUL"},
        WireCase{"PathNul", [](HttpRequest& r) { r.path = "/a\0"s; }, "Request path contains CR, LF or NUL"},
        WireCase{"Host", [](HttpRequest& r) { r.host = "h\r\nX: 1"; }, "Request host contains CR, LF or NUL"}),
    [](const testing::TestParamInfo<WireCase>& info) { return std::string(info.param.name); });

TEST(WireValidation, AcceptsAnOrdinaryRequest) {
    HttpRequest request(HttpMethod::POST, "https://h:8443/api/{id}");
    request.setRouteParam("id", "7");
    request.setBearerAuth("token");
    request.setHeaders({{"Accept", "application/json"}, {"X-Empty", ""}});
    request.addQueryString("q", "a b", true);
    request.setBody("line one\r\nline two\0"s);  // the body is not part of the head
    EXPECT_NO_THROW(validateRequestForWire(request));
}

}  // namespace
}  // namespace zorvik::detail
