// Following redirects: how the next request is built, and live chains.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "support/net/UnresolvableHost.hpp"
#include "zorvik/detail/RedirectRequest.hpp"

#include <gtest/gtest.h>

namespace zorvik::testing {
namespace {

using detail::buildRedirectRequest;
using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::redirectResponse;
using testsupport::net::Reply;
using testsupport::net::requestBody;
using testsupport::net::requestHeader;
using testsupport::net::requestLine;

HttpResponse redirect(int status, const std::string& location) {
    return HttpResponse(status, "Redirect", {{"Location", location}}, "");
}

struct MethodCase {
    HttpMethod method;
    int status;
    HttpMethod expectedMethod;
    bool keepsBody;
};

class RedirectMethod : public ::testing::TestWithParam<MethodCase> {};

INSTANTIATE_TEST_SUITE_P(
    Statuses, RedirectMethod,
    ::testing::Values(MethodCase{HttpMethod::POST, 301, HttpMethod::GET, false},
                      MethodCase{HttpMethod::POST, 302, HttpMethod::GET, false},
                      MethodCase{HttpMethod::PUT, 303, HttpMethod::GET, false},
                      MethodCase{HttpMethod::HEAD, 302, HttpMethod::HEAD, false},
                      MethodCase{HttpMethod::POST, 307, HttpMethod::POST, true},
                      MethodCase{HttpMethod::PATCH, 308, HttpMethod::PATCH, true},
                      MethodCase{HttpMethod::GET, 307, HttpMethod::GET, false}));

TEST_P(RedirectMethod, MethodAndBodyFollowTheStatus) {
    HttpRequest previous(GetParam().method, "http://a.example/form");
    previous.setBody("payload");
    previous.setHeader("Content-Length", "7");
    const auto next = buildRedirectRequest(previous, redirect(GetParam().status, "/next"));
    EXPECT_EQ(next.method, GetParam().expectedMethod);
    EXPECT_EQ(next.body, GetParam().keepsBody ? "payload" : "");
    EXPECT_EQ(next.headers.count("Content-Length"), 0u);
}

struct LocationCase {
    const char* previousUrl;
    const char* location;
    const char* expectedUrl;
};

class RedirectLocation : public ::testing::TestWithParam<LocationCase> {};

INSTANTIATE_TEST_SUITE_P(
    Forms, RedirectLocation,
    ::testing::Values(LocationCase{"https://a.example:8443/x", "/next", "https://a.example:8443/next"},
                      LocationCase{"http://a.example/x", "next", "http://a.example/next"},
                      LocationCase{"https://a.example/x", "/n?q=1", "https://a.example/n?q=1"},
                      LocationCase{"http://a.example:80/x", "http://b.example:81/y", "http://b.example:81/y"},
                      LocationCase{"http://a.example/x", "https://b.example/y", "https://b.example/y"},
                      LocationCase{"http://a.example:8080/x", "HTTP://b.example/y",
                                   "http://a.example:8080/HTTP://b.example/y"}));

TEST_P(RedirectLocation, LocationBecomesTheNextUrl) {
    const HttpRequest previous(HttpMethod::GET, GetParam().previousUrl);
    EXPECT_EQ(buildRedirectRequest(previous, redirect(302, GetParam().location)).url, GetParam().expectedUrl);
}

TEST(RedirectHeaders, SameOriginKeepsCredentialsAndDropsConnectionHeaders) {
    HttpRequest previous(HttpMethod::GET, "http://a.example:8080/x");
    previous.setTimeout(1234);
    previous.setMaxRedirects(3);
    previous.setHeader("Authorization", "Bearer t");
    previous.setHeader("Cookie", "c=1");
    previous.setHeader("Host", "a.example");
    previous.setHeader("connection", "close");
    previous.setHeader("X-Trace", "7");
    const auto next = buildRedirectRequest(previous, redirect(302, "http://A.EXAMPLE:8080/y"));
    EXPECT_EQ(next.headers, (std::map<std::string, std::string>{
                                {"Authorization", "Bearer t"}, {"Cookie", "c=1"}, {"X-Trace", "7"}}));
    EXPECT_EQ(next.timeout, 1234);
    EXPECT_EQ(next.maxRedirects, 3);
}

TEST(RedirectHeaders, OtherSchemeHostOrPortDropsCredentials) {
    for (const char* location : {"https://a.example:8080/y", "http://b.example:8080/y", "http://a.example:8081/y"}) {
        HttpRequest previous(HttpMethod::GET, "http://a.example:8080/x");
        previous.setHeader("authorization", "Basic x");
        previous.setHeader("Proxy-Authorization", "Basic y");
        previous.setHeader("Cookie", "c=1");
        previous.setHeader("Accept", "text/plain");
        const auto next = buildRedirectRequest(previous, redirect(301, location));
        EXPECT_EQ(next.headers, (std::map<std::string, std::string>{{"Accept", "text/plain"}})) << location;
    }
}

// Live chains on both reactor back ends.
template <typename Param>
class LiveRedirectOn : public BothBackends<Param> {
protected:
    LoopbackServer server;

    void TearDown() override { EXPECT_EQ(server.unusedReplies(), 0u); }
};

using LiveRedirect = LiveRedirectOn<IoBackend>;
INSTANTIATE_TEST_SUITE_P(Backends, LiveRedirect, kReactorBackends, BackendCaseName());

TEST_P(LiveRedirect, PostAnswered302IsFollowedByGetWithoutBody) {
    server.enqueue(Reply{redirectResponse(302, "/done")});
    server.enqueue(Reply{okResponse("landed")});
    auto request = makeRequest(HttpMethod::POST, server.url("/form"));
    request.setBody("a=1");
    const auto response = client->execute(request);
    EXPECT_EQ(response.getBody(), "landed");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requestLine(requests[1]), "GET /done HTTP/1.1");
    EXPECT_EQ(requestHeader(requests[1], "Content-Length"), "");
    EXPECT_EQ(requestBody(requests[1]), "");
}

TEST_P(LiveRedirect, Post307KeepsMethodAndBody) {
    server.enqueue(Reply{redirectResponse(307, server.url("/again"))});
    server.enqueue(Reply{okResponse("kept")});
    auto request = makeRequest(HttpMethod::POST, server.url("/form"));
    request.setBody("a=1");
    EXPECT_EQ(client->execute(request).getBody(), "kept");
    EXPECT_EQ(requestLine(server.requests().at(1)), "POST /again HTTP/1.1");
    EXPECT_EQ(requestBody(server.requests().at(1)), "a=1");
}

TEST_P(LiveRedirect, ChainLongerThanTheLimitEndsWithTheLastRedirect) {
    for (int i = 0; i < 3; ++i) {
        server.enqueue(Reply{redirectResponse(302, "/hop" + std::to_string(i))});
    }
    auto request = makeRequest(HttpMethod::GET, server.url("/"));
    request.setMaxRedirects(2);
    const auto response = client->execute(request);
    EXPECT_EQ(response.statusCode, 302);
    EXPECT_EQ(response.getHeader("location"), "/hop2");
}

TEST_P(LiveRedirect, DisabledRedirectsReturnTheRedirect) {
    server.enqueue(Reply{redirectResponse(301, "/elsewhere")});
    auto request = makeRequest(HttpMethod::GET, server.url("/"));
    request.setFollowRedirects(false);
    EXPECT_EQ(client->execute(request).statusCode, 301);
}

TEST_P(LiveRedirect, CrossOriginHopDropsCredentials) {
    LoopbackServer other;
    server.enqueue(Reply{redirectResponse(302, other.url("/there"))});
    other.enqueue(Reply{okResponse("there")});
    auto request = makeRequest(HttpMethod::GET, server.url("/"));
    request.setHeader("Authorization", "Bearer secret");
    request.setHeader("X-Trace", "1");
    EXPECT_EQ(client->execute(request).getBody(), "there");
    const auto forwarded = other.requests().at(0);
    EXPECT_EQ(requestHeader(forwarded, "Authorization"), "");
    EXPECT_EQ(requestHeader(forwarded, "X-Trace"), "1");
}

TEST_P(LiveRedirect, AllHopsShareTheFirstDeadline) {
    // Each hop alone fits in the timeout; both together do not.
    server.enqueue(Reply{redirectResponse(302, "/second"), std::chrono::milliseconds(600)});
    server.enqueue(Reply{okResponse("late"), std::chrono::milliseconds(700)});
    const auto response = client->execute(makeRequest(HttpMethod::GET, server.url("/"), 1000));
    EXPECT_EQ(response.statusCode, 408);
    EXPECT_EQ(response.getBody(), "Request timed out after 1000 ms");
    EXPECT_TRUE(server.waitForRequests(2));
}

struct UnfollowableCase {
    const char* name;
    std::string location;
    const char* statusText;
};

using LiveRedirectFailure = LiveRedirectOn<std::tuple<IoBackend, UnfollowableCase>>;

TEST_P(LiveRedirectFailure, EndsTheRequestWithStatusZero) {
    server.enqueue(Reply{redirectResponse(302, testCase().location)});
    const auto response = client->execute(makeRequest(HttpMethod::GET, server.url("/")));
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage, testCase().statusText);
    EXPECT_EQ(response.getBody(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Targets, LiveRedirectFailure,
    ::testing::Combine(
        kReactorBackends,
        ::testing::Values(
            UnfollowableCase{"UnparsableUrl", "http://", "Failed to follow redirect: Invalid URL format: http://"},
            UnfollowableCase{"UnresolvableHost", "http://" + testsupport::net::unresolvableHost() + "/x",
                             "Failed to follow redirect: Failed to acquire connection for redirect"})),
    BackendCaseName());

}  // namespace
}  // namespace zorvik::testing
