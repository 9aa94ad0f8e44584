#include "infrastructure/http/zorvik_http_transport.hpp"

#include "support/net/ClosedPort.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "support/net/TestCertificates.hpp"
#include "support/net/TlsLoopbackServer.hpp"
#include "support/quil/scoped_environment.hpp"
#include "zorvik/CompressionHandler.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

namespace quarlino::quil::infrastructure::http {
namespace {

using application::port::HttpMethod;
using application::port::HttpRequest;
using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;
using testsupport::net::TestCertificates;
using testsupport::net::TlsLoopbackServer;
using testsupport::quil::ScopedEnvironment;
using ::testing::IsEmpty;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

config::ClientConfig plainConfig(const std::string& serverUrl, std::optional<std::string> token = std::nullopt,
                                 std::optional<std::string> workspace = std::nullopt) {
    return config::ClientConfig(serverUrl, std::move(token), std::chrono::seconds(30), true, std::move(workspace));
}

std::string serverRoot(const LoopbackServer& server) {
    return server.url("");
}

HttpRequest request(HttpMethod method, std::string path, std::map<std::string, std::string> headers = {},
                    std::string body = {}) {
    return HttpRequest{method, std::move(path), std::move(headers), std::move(body)};
}

struct TimeoutCase {
    std::int64_t seconds;
    int milliseconds;
};

class ZorvikTimeoutMilliseconds : public ::testing::TestWithParam<TimeoutCase> {};

TEST_P(ZorvikTimeoutMilliseconds, AreTheSecondsTimesAThousand) {
    EXPECT_EQ(zorvikTimeoutMilliseconds(std::chrono::seconds(GetParam().seconds)), GetParam().milliseconds);
}

INSTANTIATE_TEST_SUITE_P(Timeouts, ZorvikTimeoutMilliseconds,
                         ::testing::Values(TimeoutCase{1, 1000}, TimeoutCase{30, 30000}, TimeoutCase{300, 300000},
                                           TimeoutCase{2147483, 2147483000}));

TEST(ZorvikTimeoutRange, BeyondTheLibrarysIntegerIsRefused) {
    for (const std::int64_t seconds : {std::int64_t{2147484}, std::int64_t{9223372036854775}}) {
        EXPECT_THAT([seconds] { zorvikTimeoutMilliseconds(std::chrono::seconds(seconds)); },
                    ThrowsMessage<std::invalid_argument>(StrEq("request timeout exceeds the Zorvik supported range")))
            << seconds << " s";
    }
}

TEST(ZorvikHttpTransportWire, SendsTheIdentityHeadersAndThePortRequestExactly) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("{}")});
    ZorvikHttpTransport transport(plainConfig(serverRoot(server), "tok-123", "ws-9"));

    transport.send(request(HttpMethod::POST, "/api/workspaces?page=2",
                           {{"Accept", "application/json"},
                            {"Content-Type", "application/json"},
                            {"User-Agent", "curious/1.0"}},
                           R"({"name":"a"})"));

    ASSERT_EQ(server.requests().size(), 1U);
    EXPECT_EQ(server.requests()[0],
              "POST /api/workspaces?page=2 HTTP/1.1\r\n"
              "Host: 127.0.0.1\r\n"
              "Connection: keep-alive\r\n"
              "Accept: application/json\r\n"
              "Authorization: Bearer tok-123\r\n"
              "Content-Type: application/json\r\n"
              "User-Agent: Quil/0.1.0\r\n"
              "quarlino-token: tok-123\r\n"
              "quarlino-workspace-id: ws-9\r\n"
              "Content-Length: 12\r\n"
              "\r\n"
              R"({"name":"a"})");
}

TEST(ZorvikHttpTransportWire, WithoutTokenOrWorkspaceSendsOnlyTheUserAgentAndNoBody) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("")});
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));

    transport.send(request(HttpMethod::DELETE, "/"));

    ASSERT_EQ(server.requests().size(), 1U);
    EXPECT_EQ(server.requests()[0],
              "DELETE / HTTP/1.1\r\n"
              "Host: 127.0.0.1\r\n"
              "Connection: keep-alive\r\n"
              "User-Agent: Quil/0.1.0\r\n"
              "\r\n");
}

TEST(ZorvikHttpTransportWire, PortHeaderDifferingOnlyInCaseIsSentBesideTheDefault) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("")});
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));

    transport.send(request(HttpMethod::GET, "/x", {{"user-agent", "mine"}}));

    ASSERT_EQ(server.requests().size(), 1U);
    EXPECT_EQ(testsupport::net::countHeader(server.requests()[0], "User-Agent"), 2U);
    EXPECT_THAT(server.requests()[0], ::testing::HasSubstr("user-agent: mine\r\n"));
}

TEST(ZorvikHttpTransportWire, EachMethodUsesItsVerb) {
    LoopbackServer server;
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));
    const std::pair<HttpMethod, const char*> methods[] = {
        {HttpMethod::GET, "GET"}, {HttpMethod::POST, "POST"},     {HttpMethod::PUT, "PUT"},
        {HttpMethod::PATCH, "PATCH"}, {HttpMethod::DELETE, "DELETE"},
    };
    for (const auto& [method, name] : methods) {
        server.enqueue(Reply{okResponse("")});
        transport.send(request(method, "/m"));
    }

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), std::size(methods));
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(testsupport::net::requestLine(requests[i]), std::string(methods[i].second) + " /m HTTP/1.1");
    }
}

class ZorvikHttpTransportRefusedPath : public ::testing::TestWithParam<const char*> {};

TEST_P(ZorvikHttpTransportRefusedPath, IsRefusedBeforeAnyConnection) {
    LoopbackServer server;
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));

    EXPECT_THAT([&] { transport.send(request(HttpMethod::GET, GetParam())); },
                ThrowsMessage<std::invalid_argument>(StrEq("HTTP request path must be server relative")));
    EXPECT_EQ(server.acceptCount(), 0U);
}

INSTANTIATE_TEST_SUITE_P(Paths, ZorvikHttpTransportRefusedPath,
                         ::testing::Values("", "api", "api/x", "//host/x", "/a://b", "https://elsewhere/api"));

TEST(ZorvikHttpTransportMethod, UnknownMethodIsRefusedAfterThePathCheck) {
    LoopbackServer server;
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));
    const auto unknown = static_cast<HttpMethod>(5);

    EXPECT_THAT([&] { transport.send(request(unknown, "/api/x")); },
                ThrowsMessage<std::invalid_argument>(StrEq("unsupported HTTP method")));
    EXPECT_THAT([&] { transport.send(request(unknown, "api")); },
                ThrowsMessage<std::invalid_argument>(StrEq("HTTP request path must be server relative")));
    EXPECT_EQ(server.acceptCount(), 0U);
}

TEST(ZorvikHttpTransportMethod, StaysUsableAfterARefusal) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("fine")});
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));

    EXPECT_THROW(transport.send(request(HttpMethod::GET, "")), std::invalid_argument);

    EXPECT_EQ(transport.send(request(HttpMethod::GET, "/")).body, "fine");
}

TEST(ZorvikHttpTransportResponse, RefusedConnectionIsStatusZeroWithNothingElse) {
    const testsupport::net::ClosedPort closed;
    ZorvikHttpTransport transport(plainConfig("http://127.0.0.1:" + std::to_string(closed.number()), "secret-token"));

    const auto response = transport.send(request(HttpMethod::GET, "/api/x"));

    EXPECT_EQ(response.status, 0);
    EXPECT_THAT(response.headers, IsEmpty());
    EXPECT_THAT(response.body, IsEmpty());
}

TEST(ZorvikHttpTransportResponse, ErrorStatusHeadersAndBodyComeBackAsReceived) {
    LoopbackServer server;
    server.enqueue(Reply{testsupport::net::httpResponse(404, "Not Found", {{"X-Trace", "abc"}}, "missing")});
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));

    const auto response = transport.send(request(HttpMethod::GET, "/api/x"));

    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.body, "missing");
    EXPECT_EQ(response.headers.at("X-Trace"), "abc");
    EXPECT_EQ(response.headers.at("Content-Length"), "7");
}

TEST(ZorvikHttpTransportResponse, RedirectIsReturnedNotFollowed) {
    LoopbackServer server;
    server.enqueue(Reply{testsupport::net::redirectResponse(302, serverRoot(server) + "/elsewhere")});
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));

    const auto response = transport.send(request(HttpMethod::GET, "/api/x"));

    EXPECT_EQ(response.status, 302);
    EXPECT_EQ(server.requests().size(), 1U);
}

TEST(ZorvikHttpTransportResponse, GzipBodyIsDecoded) {
    LoopbackServer server;
    const std::string json = R"({"items":[1,2,3]})";
    server.enqueue(
        Reply{okResponse(zorvik::CompressionHandler::compressGzip(json), {{"Content-Encoding", "gzip"}})});
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));

    EXPECT_EQ(transport.send(request(HttpMethod::GET, "/api/x")).body, json);
}

TEST(ZorvikHttpTransportResponse, BodyThatCannotBeDecodedComesBackAsReceived) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("not gzip at all", {{"Content-Encoding", "gzip"}})});
    ZorvikHttpTransport transport(plainConfig(serverRoot(server)));

    EXPECT_EQ(transport.send(request(HttpMethod::GET, "/api/x")).body, "not gzip at all");
}

TEST(ZorvikHttpTransportResponse, SlowAnswerPastTheTimeoutIs408) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("late"), {}, true});
    ZorvikHttpTransport transport(
        config::ClientConfig(serverRoot(server), std::nullopt, std::chrono::seconds(1), true, std::nullopt));

    const auto response = transport.send(request(HttpMethod::GET, "/api/x"));

    EXPECT_EQ(response.status, 408);
    EXPECT_EQ(response.body, "Request timed out after 1000 ms");
}

// The program's real TLS path: the default context, trusting the test CA
// through the environment as a system store would.
TEST(ZorvikHttpTransportTls, VerifiesTheServerThroughTheDefaultTrustStore) {
    const auto& certificates = TestCertificates::shared();
    const ScopedEnvironment certFile("SSL_CERT_FILE", certificates.caFile());
    const ScopedEnvironment certDir("SSL_CERT_DIR", certificates.directory());
    TlsLoopbackServer server;
    server.http().enqueue(Reply{okResponse("secure")});
    ZorvikHttpTransport transport(
        config::ClientConfig(server.url(""), "tok", std::chrono::seconds(30), false, std::nullopt));

    const auto response = transport.send(request(HttpMethod::GET, "/api/x"));

    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "secure");
    EXPECT_EQ(server.completedHandshakes(), 1U);
}

TEST(ZorvikHttpTransportTls, UntrustedServerIsStatusZero) {
    const ScopedEnvironment certFile("SSL_CERT_FILE", std::nullopt);
    const ScopedEnvironment certDir("SSL_CERT_DIR", std::nullopt);
    TlsLoopbackServer server;
    ZorvikHttpTransport transport(
        config::ClientConfig(server.url(""), "tok", std::chrono::seconds(30), false, std::nullopt));

    const auto response = transport.send(request(HttpMethod::GET, "/api/x"));

    EXPECT_EQ(response.status, 0);
    EXPECT_EQ(server.http().requests().size(), 0U);
}

}  // namespace
}  // namespace quarlino::quil::infrastructure::http
