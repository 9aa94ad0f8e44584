// Requests over real loopback sockets, on both reactor back ends: the bytes on the wire, keep-alive
// reuse and the response framings the client has to cut.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "support/net/SharedText.hpp"
#include "zorvik/CompressionHandler.hpp"
#include "zorvik/detail/ReactorCore.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <poll.h>
#include <string>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::Reply;
using testsupport::net::okResponse;

template <typename Param>
class ExchangeOn : public BothBackends<Param> {
protected:
    LoopbackServer server;

    HttpResponse get(const std::string& path) {
        return this->client->execute(makeRequest(HttpMethod::GET, server.url(path)));
    }

    void TearDown() override { EXPECT_EQ(server.unusedReplies(), 0u); }
};

using ClientExchange = ExchangeOn<IoBackend>;
INSTANTIATE_TEST_SUITE_P(Backends, ClientExchange, kReactorBackends, BackendCaseName());

TEST_P(ClientExchange, GetWritesExactlyTheRequestLineHostAndKeepAlive) {
    server.enqueue(Reply{okResponse("hi")});
    const auto response = get("/a?b=1");
    ASSERT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.statusMessage, "OK");
    EXPECT_EQ(response.getBody(), "hi");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0], "GET /a?b=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n\r\n");
}

TEST_P(ClientExchange, PostCarriesHeadersInByteOrderAndTheBodyLength) {
    server.enqueue(Reply{okResponse("")});
    auto request = makeRequest(HttpMethod::POST, server.url("/items"));
    request.setHeader("x-late", "2");
    request.setHeader("Accept", "application/json");
    request.setBody("abc");
    ASSERT_EQ(client->execute(request).statusCode, 200);
    EXPECT_EQ(server.requests().at(0),
              "POST /items HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\nAccept: application/json\r\n"
              "x-late: 2\r\nContent-Length: 3\r\n\r\nabc");
}

TEST_P(ClientExchange, RequestThatCannotBeWrittenLeavesThePooledConnectionFree) {
    server.enqueue(Reply{okResponse("one")});
    server.enqueue(Reply{okResponse("two")});
    EXPECT_EQ(get("/").getBody(), "one");
    auto tampered = makeRequest(HttpMethod::GET, server.url("/"));
    tampered.headers["x-split"] = "a\r\nb";
    EXPECT_EQ(client->execute(tampered).statusMessage, "Request failed: Header value contains CR, LF or NUL");
    EXPECT_EQ(get("/").getBody(), "two");
    EXPECT_EQ(server.acceptCount(), 1u);
}

TEST_P(ClientExchange, CallersHostHeaderReplacesTheBuiltInOne) {
    server.enqueue(Reply{okResponse("")});
    auto request = makeRequest(HttpMethod::GET, server.url("/"));
    request.setHeader("host", "api.example:8443");
    ASSERT_EQ(client->execute(request).statusCode, 200);
    const auto sent = server.requests().at(0);
    EXPECT_EQ(testsupport::net::countHeader(sent, "Host"), 1u) << sent;
    EXPECT_EQ(testsupport::net::requestHeader(sent, "Host"), "api.example:8443");
}

TEST_P(ClientExchange, ThreeSequentialRequestsShareOneConnection) {
    for (const char* body : {"one", "two", "three"}) {
        server.enqueue(Reply{okResponse(body)});
    }
    EXPECT_EQ(get("/1").getBody(), "one");
    EXPECT_EQ(get("/2").getBody(), "two");
    EXPECT_EQ(get("/3").getBody(), "three");
    EXPECT_EQ(server.acceptCount(), 1u);
}

TEST_P(ClientExchange, RequestAskingToCloseIsNotReused) {
    server.enqueue(Reply{okResponse("first")});
    server.enqueue(Reply{okResponse("second")});
    auto request = makeRequest(HttpMethod::GET, server.url("/"));
    request.setHeader("Connection", "close");
    ASSERT_EQ(client->execute(request).getBody(), "first");
    EXPECT_EQ(testsupport::net::countHeader(server.requests().at(0), "Connection"), 1u);
    EXPECT_EQ(get("/").getBody(), "second");
    EXPECT_EQ(server.acceptCount(), 2u);
}

// After the first exchange the connection must not carry the second: the
// response asked to close it, the server closed it, or bytes nobody asked
// for came after the response or while it was idle. Whether the reactor
// hears of such bytes first or the pool's liveness test finds them waiting,
// the next response comes over a new connection.
struct NotReusedCase {
    const char* name;
    std::string firstReply;
    std::function<void(LoopbackServer&)> afterFirst;
    std::size_t secondBodyBytes = 0;  // the second request a POST of this many bytes
};

void PrintTo(const NotReusedCase& c, std::ostream* out) { *out << c.name; }

using ClientNotReused = ExchangeOn<std::tuple<IoBackend, NotReusedCase>>;

const std::string kStale = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nstale";

// The server closes the idle connection after the pool has taken it, while
// the next request's text is built; the hook waits until the client's socket
// has heard of it, and fires once.
LoopbackServer* closingServer = nullptr;
void closeOnceTextIsBuilt(LoopbackServer& server) {
    closingServer = &server;
    detail::ReactorCore::afterReusedRequestBuilt = [](int fd) {
        detail::ReactorCore::afterReusedRequestBuilt = nullptr;
        closingServer->closeIdleConnections();
        pollfd closed{fd, POLLIN, 0};
        ::poll(&closed, 1, 10000);
    };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClientNotReused,
    ::testing::Combine(
        kReactorBackends,
        ::testing::Values(
            NotReusedCase{"ResponseAskingToClose", okResponse("first", {{"Connection", "Close"}}), {}},
            NotReusedCase{"IdleConnectionClosedByTheServer", okResponse("first"),
                          [](LoopbackServer& server) { server.closeIdleConnections(); }},
            NotReusedCase{"UnsolicitedBytesAfterAResponse", okResponse("first") + kStale, {}},
            NotReusedCase{"BytesArrivingOnAnIdleConnection", okResponse("first"),
                          [](LoopbackServer& server) { server.writeToIdleConnections(kStale); }},
            NotReusedCase{"IdleConnectionClosedWhileALargeRequestIsBuilt", okResponse("first"), closeOnceTextIsBuilt,
                          1 << 20})),
    BackendCaseName());

TEST_P(ClientNotReused, SecondResponseComesOverANewConnection) {
    server.enqueue(Reply{testCase().firstReply});
    server.enqueue(Reply{okResponse("second")});
    EXPECT_EQ(get("/").getBody(), "first");
    if (testCase().afterFirst) {
        testCase().afterFirst(server);
    }
    auto request = makeRequest(HttpMethod::POST, server.url("/"));
    request.setBody(std::string(testCase().secondBodyBytes, 'b'));
    const auto second = testCase().secondBodyBytes == 0 ? get("/") : client->execute(request);
    EXPECT_EQ(detail::ReactorCore::afterReusedRequestBuilt.exchange(nullptr), nullptr);
    EXPECT_EQ(second.statusCode, 200) << second.statusMessage;
    EXPECT_EQ(second.getBody(), "second");
    EXPECT_EQ(server.acceptCount(), 2u);
}

struct BodyCase {
    const char* name;
    testsupport::net::SharedText reply;
    HttpMethod method;
    int status;
    testsupport::net::SharedText body;
};

using ClientBodies = ExchangeOn<std::tuple<IoBackend, BodyCase>>;

std::string gzipReply(const std::string& text) {
    return testsupport::net::httpResponse(
        200, "OK", {{"Content-Encoding", "gzip"}},
        CompressionHandler::compress(text, CompressionHandler::CompressionType::Gzip));
}

const std::string kLongText(20000, 'z');

// Large enough to be read in large pieces with the socket's receive low-water
// mark raised; bytes that vary, so that a body shifted by a few is noticed.
// Built by the rows that use it, when they run.
const std::string& mebibyteText() {
    static const std::string text = [] {
        std::string text((1 << 20) + 7, '\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char>('a' + i * 7 % 23);
        }
        return text;
    }();
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Framings, ClientBodies,
    ::testing::Combine(kReactorBackends, ::testing::Values(
        BodyCase{"ContentLength", okResponse("hello"), HttpMethod::GET, 200, "hello"},
        BodyCase{"Chunked", testsupport::net::chunkedResponse("hello chunked world", 4), HttpMethod::GET, 200,
                 "hello chunked world"},
        BodyCase{"ChunkedLarge", testsupport::net::chunkedResponse(kLongText, 3000), HttpMethod::GET, 200, kLongText},
        BodyCase{"Gzip", gzipReply("compressed text"), HttpMethod::GET, 200, "compressed text"},
        BodyCase{"LargeBody", okResponse(kLongText), HttpMethod::GET, 200, kLongText},
        BodyCase{"MebibyteBody", [] { return okResponse(mebibyteText()); }, HttpMethod::GET, 200, mebibyteText},
        BodyCase{"ChunkedMebibyte", [] { return testsupport::net::chunkedResponse(mebibyteText(), 70000); },
                 HttpMethod::GET, 200, mebibyteText},
        BodyCase{"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", HttpMethod::DELETE, 204, ""},
        BodyCase{"HeadIgnoresLength", "HTTP/1.1 200 OK\r\nContent-Length: 42\r\n\r\n", HttpMethod::HEAD, 200, ""})),
    BackendCaseName());

TEST_P(ClientBodies, ResponseIsFramedAndDecoded) {
    const auto& bodyCase = testCase();
    server.enqueue(Reply{bodyCase.reply});
    const auto response = client->execute(makeRequest(bodyCase.method, server.url("/")));
    EXPECT_EQ(response.statusCode, bodyCase.status) << response.statusMessage;
    EXPECT_EQ(response.getBody(), bodyCase.body);
    // The connection stays usable for the next exchange.
    server.enqueue(Reply{okResponse("next")});
    EXPECT_EQ(get("/").getBody(), "next");
    EXPECT_EQ(server.acceptCount(), 1u);
}

TEST_P(ClientExchange, ResponseWithoutLengthEndsWhenTheServerCloses) {
    server.enqueue(Reply{"HTTP/1.1 200 OK\r\n\r\nuntil the end", std::chrono::milliseconds(0), false, true});
    const auto response = get("/");
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.getBody(), "until the end");
}

}  // namespace
}  // namespace zorvik::testing
