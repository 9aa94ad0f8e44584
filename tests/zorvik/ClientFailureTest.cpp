// How exchanges fail, on both reactor back ends: deadlines, refused and unresolvable endpoints, peers
// that close early, the response limit, the endpoint policy and the pool limit.
#include "ClientTestSupport.hpp"
#include "support/net/ClosedPort.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "support/net/OneConnectionServer.hpp"
#include "support/net/UnresolvableHost.hpp"
#include "zorvik/AsyncSessionConfig.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <future>
#include <thread>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;
using ::testing::AnyOf;
using ::testing::StartsWith;

class ClientFailure : public BothBackends<> {
protected:
    LoopbackServer server;

    HttpResponse get(const std::string& url, int timeoutMs = 10000) {
        return client->execute(makeRequest(HttpMethod::GET, url, timeoutMs));
    }
};

INSTANTIATE_TEST_SUITE_P(Backends, ClientFailure, kReactorBackends, BackendCaseName());

constexpr std::uint64_t kLargeBody = std::uint64_t{1} << 30;

// Answers "warm", then a body far larger than one read step, sent from a file
// until all is out or `stop` is set: the senders copy no byte and the client
// every byte, so the client finds the socket full.
void sendFullSpeedBody(int fd, const std::atomic<bool>& stop, std::promise<void>& streaming) {
    constexpr std::size_t kPiece = std::size_t{8} << 20;
    const timeval patience{10, 0};  // for a request that never comes
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof(patience));
    const int file = ::memfd_create("body", MFD_CLOEXEC);
    const std::string piece(kPiece, 'x');
    if (::write(file, piece.data(), kPiece) != static_cast<ssize_t>(kPiece)) {
        ::close(file);
        return;
    }
    testsupport::net::readRequestHead(fd);
    testsupport::net::sendAll(fd, okResponse("warm"));
    testsupport::net::readRequestHead(fd);
    testsupport::net::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kLargeBody) + "\r\n\r\n");
    streaming.set_value();
    // Two senders, so that the socket stays full while one of them waits for
    // a processor; every byte of the body is the same.
    std::atomic<std::uint64_t> claimed{0};
    const auto sendPieces = [&] {
        while (!stop.load() && claimed.fetch_add(kPiece) < kLargeBody) {
            off_t offset = 0;
            while (offset < static_cast<off_t>(kPiece) && ::sendfile(fd, file, &offset, kPiece - offset) > 0) {
            }
        }
    };
    std::thread other(sendPieces);
    sendPieces();
    other.join();
    ::close(file);
}

// What else the client is busy with while a request waits for a server that never answers.
enum class Beside { Nothing, BodyReadByTheReactor, BodyReadByItsCaller, BodiesReadByTheReactor };

struct DeadlineCase {
    const char* name;
    Beside beside;
};

class ClientDeadline : public BothBackends<std::tuple<IoBackend, DeadlineCase>> {};

INSTANTIATE_TEST_SUITE_P(Cases, ClientDeadline,
                         ::testing::Combine(kReactorBackends,
                                            ::testing::Values(DeadlineCase{"Alone", Beside::Nothing},
                                                              DeadlineCase{"BesideFullSpeedBody",
                                                                           Beside::BodyReadByTheReactor},
                                                              DeadlineCase{"BesideFullSpeedBodyOfACaller",
                                                                           Beside::BodyReadByItsCaller},
                                                              DeadlineCase{"BesideManyFullSpeedBodies",
                                                                           Beside::BodiesReadByTheReactor})),
                         BackendCaseName());

TEST_P(ClientDeadline, ServerThatNeverAnswersTimesOutWith408) {
    const Beside beside = testCase().beside;
    const std::size_t bodies = beside == Beside::Nothing ? 0 : beside == Beside::BodiesReadByTheReactor ? 4 : 1;
    if (bodies > 1) {
        // A round without time: a deadline scan after every step, however
        // many connections have bytes waiting. Small steps keep every body
        // due a step without waiting for readiness, as at full speed.
        coreOf(*client).setRoundBudget(std::chrono::nanoseconds(0));
        coreOf(*client).setStepReadBudget(64 * 1024);
    }
    std::atomic<bool> stop{false};
    std::deque<std::promise<void>> streaming(bodies);
    std::deque<testsupport::net::OneConnectionServer> senders;
    for (auto& started : streaming) {
        senders.emplace_back([&stop, &started](int fd) { sendFullSpeedBody(fd, stop, started); });
        ASSERT_EQ(client->execute(makeRequest(HttpMethod::GET, senders.back().url())).getBody(), "warm");
    }
    std::vector<std::future<HttpResponse>> large;
    for (const auto& sender : senders) {
        const auto request = makeRequest(HttpMethod::GET, sender.url(), 60000);
        // A synchronous request on the pooled connection reads its answer on its own thread.
        large.push_back(beside == Beside::BodyReadByItsCaller
                            ? std::async(std::launch::async, [this, request] { return client->execute(request); })
                            : client->executeAsync(request));
    }
    for (auto& started : streaming) {
        ASSERT_EQ(started.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    }
    LoopbackServer silent;
    silent.enqueue(Reply{"", {}, true});
    const auto response = client->execute(makeRequest(HttpMethod::GET, silent.url("/slow"), 200));
    EXPECT_EQ(response.statusCode, 408);
    EXPECT_EQ(response.statusMessage, "Request Timeout");
    EXPECT_EQ(response.getBody(), "Request timed out after 200 ms");
    EXPECT_TRUE(response.headers.empty());
    for (const auto& body : large) {
        // Had the reactor (or its deadline scan) waited for the large body,
        // the timeout would have come only once the body was whole.
        EXPECT_EQ(body.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    }
    if (bodies > 1) {
        EXPECT_EQ(coreOf(*client).mostStepsBetweenScans(), 1u);
        // The senders' last pieces are read at full speed.
        coreOf(*client).setRoundBudget(detail::ReactorRound::kBudget);
        coreOf(*client).setStepReadBudget(detail::ReactorRound::kStepReadBudget);
    }
    stop.store(true);
    for (const auto& body : large) {
        body.wait();
    }
}

TEST_P(ClientFailure, ZeroTimeoutIsDueAtOnce) {
    server.setHandler([](const std::string&) { return Reply{"", {}, true}; });
    const auto response = get(server.url("/"), 0);
    EXPECT_EQ(response.statusCode, 408);
    EXPECT_EQ(response.getBody(), "Request timed out after 0 ms");
}

TEST_P(ClientFailure, TimedOutConnectionIsNotReused) {
    server.enqueue(Reply{"", {}, true});
    server.enqueue(Reply{okResponse("after")});
    EXPECT_EQ(get(server.url("/"), 100).statusCode, 408);
    EXPECT_EQ(get(server.url("/")).getBody(), "after");
    EXPECT_EQ(server.acceptCount(), 2u);
}

TEST_P(ClientFailure, RefusedConnectionIsStatusZero) {
    const testsupport::net::ClosedPort closed;
    const auto response = get("http://127.0.0.1:" + std::to_string(closed.number()) + "/");
    EXPECT_EQ(response.statusCode, 0);
    // Whether connect fails at once or later is the kernel's choice.
    EXPECT_THAT(response.statusMessage,
                AnyOf("Failed to acquire connection", "Connection failed: Connection refused"));
    EXPECT_TRUE(response.body.empty());
}

TEST_P(ClientFailure, UnresolvableHostIsStatusZero) {
    const auto response = get("http://" + testsupport::net::unresolvableHost() + "/");
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage, "Failed to acquire connection");
}

TEST_P(ClientFailure, PeerClosingMidBodyFailsTheRequest) {
    server.enqueue(Reply{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial", {}, false, true});
    const auto response = get(server.url("/"));
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage, "Connection closed before complete HTTP response");
}

TEST_P(ClientFailure, UnusableChunkFramingIsAParseFailure) {
    server.enqueue(Reply{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n", {}, false, true});
    const auto response = get(server.url("/"));
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_THAT(response.statusMessage, StartsWith("Failed to parse HTTP response: "));
}

TEST_P(ClientFailure, ResponseLimitCountsEveryBufferedByte) {
    const std::string reply = okResponse("0123456789");
    auto limits = sessionLimits(4);
    limits.maxResponseBytes = reply.size();
    client->configureAsyncSession(limits);
    server.enqueue(Reply{reply});
    EXPECT_EQ(get(server.url("/")).getBody(), "0123456789");

    auto tighter = makeClient(backend());
    limits.maxResponseBytes = reply.size() - 1;
    tighter->configureAsyncSession(limits);
    server.enqueue(Reply{reply});
    const auto refused = tighter->execute(makeRequest(HttpMethod::GET, server.url("/")));
    EXPECT_EQ(refused.statusCode, 0);
    EXPECT_EQ(refused.statusMessage, "Response exceeds configured body limit");
}

TEST_P(ClientFailure, EndpointPolicySeesTheNumericAddressAndMayDenyAll) {
    std::vector<std::string> asked;
    auto limits = sessionLimits(4);
    limits.endpointPolicy = [&asked](std::string_view host, std::string_view address) {
        asked.push_back(std::string(host) + " " + std::string(address));
        return false;
    };
    client->configureAsyncSession(limits);
    const auto response = get(server.url("/"));
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage,
              "Request failed: Endpoint policy denied every resolved address for host 127.0.0.1");
    EXPECT_EQ(asked, std::vector<std::string>{"127.0.0.1 127.0.0.1"});
    EXPECT_EQ(server.acceptCount(), 0u);
}

TEST_P(ClientFailure, EndpointPolicyThatThrowsDenies) {
    auto limits = sessionLimits(4);
    limits.endpointPolicy = [](std::string_view, std::string_view) -> bool { throw std::runtime_error("no"); };
    client->configureAsyncSession(limits);
    EXPECT_THAT(get(server.url("/")).statusMessage, StartsWith("Request failed: Endpoint policy denied"));
}

TEST_P(ClientFailure, ZeroIdleLifetimeNeverReuses) {
    auto limits = sessionLimits(4);
    limits.idleConnectionTtl = std::chrono::milliseconds(0);
    client->configureAsyncSession(limits);
    server.enqueue(Reply{okResponse("1")});
    server.enqueue(Reply{okResponse("2")});
    EXPECT_EQ(get(server.url("/")).getBody(), "1");
    EXPECT_EQ(get(server.url("/")).getBody(), "2");
    EXPECT_EQ(server.acceptCount(), 2u);
}

TEST_P(ClientFailure, ConnectionClosedByTheResponseFreesItsPlaceBeforeTheCallerHears) {
    client->configureAsyncSession(sessionLimits(1));
    for (int i = 0; i < 5; ++i) {
        server.enqueue(Reply{okResponse("closing", {{"Connection", "close"}})});
    }
    for (int i = 0; i < 5; ++i) {
        const auto response = get(server.url("/"));
        ASSERT_EQ(response.statusCode, 200) << "request " << i << ": " << response.statusMessage;
    }
    EXPECT_EQ(server.acceptCount(), 5u);
}

TEST_P(ClientFailure, IdleConnectionIsEvictedAtTheLimit) {
    LoopbackServer other;
    client->configureAsyncSession(sessionLimits(1));
    server.enqueue(Reply{okResponse("first")});
    other.enqueue(Reply{okResponse("other")});
    server.enqueue(Reply{okResponse("again")});
    EXPECT_EQ(get(server.url("/")).getBody(), "first");
    EXPECT_EQ(get(other.url("/")).getBody(), "other");
    EXPECT_EQ(get(server.url("/")).getBody(), "again");
    EXPECT_EQ(server.acceptCount(), 2u);
}

TEST_P(ClientFailure, BusyConnectionAtTheLimitRefusesAnotherOrigin) {
    LoopbackServer other;
    client->configureAsyncSession(sessionLimits(1));
    server.enqueue(Reply{"", {}, true});
    auto pending = client->executeAsync(makeRequest(HttpMethod::GET, server.url("/")));
    ASSERT_TRUE(server.waitForRequests(1));
    const auto refused = get(other.url("/"));
    EXPECT_EQ(refused.statusCode, 0);
    EXPECT_EQ(refused.statusMessage, "Failed to acquire connection");
    client.reset();
    EXPECT_EQ(pending.get().statusMessage, "HTTP client is shutting down");
}

}  // namespace
}  // namespace zorvik::testing
