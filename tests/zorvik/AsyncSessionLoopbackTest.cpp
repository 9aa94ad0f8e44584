// Sessions over the real reactor clients, on both back ends, against loopback servers: limits as
// the server sees them, cancellation, queue time-outs, byte limits and the
// ways a session ends with requests still under way.
#include "AsyncSessionTestSupport.hpp"
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "zorvik/ZorvikInstance.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <future>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtime's count of bytes allocated and not yet freed.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;
using testsupport::net::requestLine;

using namespace std::chrono_literals;

// Holds the server's answers until opened; opens itself when destroyed, so
// declare it after the server it holds up.
class Gate {
public:
    ~Gate() { open(); }
    void open() {
        std::call_once(opened_, [this] { promise_.set_value(); });
    }
    // Each waiter keeps a copy, which stays valid after the gate is gone.
    std::shared_future<void> opened() const { return future_; }

private:
    std::promise<void> promise_;
    std::shared_future<void> future_ = promise_.get_future().share();
    std::once_flag opened_;
};

// Requests to paths starting with "/held" wait for the gate; others are answered at once.
void answerAfterGate(LoopbackServer& server, const Gate& gate) {
    server.setHandler([opened = gate.opened()](const std::string& request) {
        if (requestLine(request).find(" /held") != std::string::npos) {
            opened.wait();
        }
        return Reply{okResponse("ok")};
    });
}

template <typename Param>
class SessionOverLoopbackOn : public BothBackends<Param> {
protected:
    ZorvikInstance instance{quietConfig()};
    LoopbackServer server;
    Gate gate;

    // Every session asks for the test's back end, and must say it got it.
    std::unique_ptr<AsyncSession> open(const std::function<void(AsyncSessionConfig&)>& change = {}) {
        auto config = roomyConfig();
        config.backend = this->backend();
        if (change) {
            change(config);
        }
        auto session = instance.openAsyncSession(config);
        EXPECT_EQ(session->activeBackend(), this->backend());
        EXPECT_EQ(session->stats().backend, this->backend());
        return session;
    }

    RequestId submit(AsyncSession& session, const std::string& path, int timeoutMs = 10000) {
        const auto result = session.submit(sessionRequest(server.url(path), timeoutMs));
        EXPECT_EQ(result.status, SubmitStatus::Accepted) << result.message;
        return result.id;
    }
};

using SessionOverLoopback = SessionOverLoopbackOn<IoBackend>;
INSTANTIATE_TEST_SUITE_P(Backends, SessionOverLoopback, kReactorBackends, BackendCaseName());

const auto kOneConnection = [](AsyncSessionConfig& c) { c.maxConnections = c.maxConnectionsPerOrigin = 1; };

// Requests in progress at once, as the servers see them.
struct Concurrency {
    std::atomic<int> now{0};
    std::atomic<int> peak{0};

    void enter() {
        const int current = ++now;
        for (int seen = peak.load(); current > seen && !peak.compare_exchange_weak(seen, current);) {
        }
    }
};

void answerSlowly(LoopbackServer& server, Concurrency& origin, Concurrency& total) {
    server.setHandler([&origin, &total](const std::string&) {
        origin.enter();
        total.enter();
        std::this_thread::sleep_for(100ms);
        --origin.now;
        --total.now;
        return Reply{okResponse("ok")};
    });
}

TEST_P(SessionOverLoopback, ConnectionLimitsHoldAtTheServers) {
    LoopbackServer other;
    Concurrency first;
    Concurrency second;
    Concurrency total;
    answerSlowly(server, first, total);
    answerSlowly(other, second, total);
    auto session = open([](auto& c) {
        c.maxConnections = 3;
        c.maxConnectionsPerOrigin = 2;
    });
    for (int i = 0; i < 6; ++i) {
        submit(*session, "/a");
        ASSERT_EQ(session->submit(sessionRequest(other.url("/b"))).status, SubmitStatus::Accepted);
    }

    const auto all = completionsOf(*session, 12);

    EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](const auto& c) { return statusOf(c) == 200; }));
    EXPECT_EQ(first.peak, 2);
    EXPECT_EQ(second.peak, 2);
    EXPECT_EQ(total.peak, 3);
}

TEST_P(SessionOverLoopback, CancelEndsQueuedAndInFlightRequestsOnce) {
    answerAfterGate(server, gate);
    auto session = open(kOneConnection);
    const auto inFlight = submit(*session, "/held");
    ASSERT_TRUE(server.waitForRequests(1));
    const auto queued = submit(*session, "/queued");

    EXPECT_TRUE(session->cancel(queued));
    EXPECT_FALSE(session->cancel(queued));
    EXPECT_TRUE(session->cancel(inFlight));
    gate.open();
    // Starts only once the cancelled request's answer has freed the connection slot.
    const auto later = submit(*session, "/later");

    const auto all = completionsOf(*session, 3);
    EXPECT_EQ(all[0].id, queued);
    EXPECT_EQ(all[1].id, inFlight);
    expectError(all[0], HttpErrorCode::Cancelled, "Request cancelled");
    expectError(all[1], HttpErrorCode::Cancelled, "Request cancelled");
    EXPECT_EQ(all[2].id, later);
    EXPECT_EQ(statusOf(all[2]), 200);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requestLine(requests[1]), "GET /later HTTP/1.1");
}

TEST_P(SessionOverLoopback, RequestWhoseTimeRunsOutInTheQueueNeverReachesTheServer) {
    answerAfterGate(server, gate);
    auto session = open(kOneConnection);
    const auto first = submit(*session, "/held");
    ASSERT_TRUE(server.waitForRequests(1));
    const auto late = submit(*session, "/late", 50);
    std::this_thread::sleep_for(100ms);
    gate.open();

    const auto all = completionsOf(*session, 2);

    EXPECT_EQ(all[0].id, first);
    EXPECT_EQ(statusOf(all[0]), 200);
    EXPECT_EQ(all[1].id, late);
    expectError(all[1], HttpErrorCode::Timeout, "Request timeout expired in the session queue");
    EXPECT_GE(all[1].queueWaitMicros, 50ms);
    EXPECT_EQ(server.requests().size(), 1U);
}

TEST_P(SessionOverLoopback, ResponseOverTheRequestLimitIsTooLarge) {
    server.setHandler([](const std::string& request) {
        return Reply{okResponse(std::string(requestLine(request).find("/big") != std::string::npos ? 200 : 20, 'x'))};
    });
    auto session = open([](auto& c) { c.maxResponseBytes = 100; });
    const auto small = submit(*session, "/small");
    const auto big = submit(*session, "/big");

    auto all = completionsOf(*session, 2);
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.id < b.id; });

    EXPECT_EQ(all[0].id, small);
    EXPECT_EQ(all[0].responseBytes, 20U);
    EXPECT_EQ(all[1].id, big);
    // The client's own limit, over the bytes it reads, is met first.
    expectError(all[1], HttpErrorCode::ResponseTooLarge, "Response exceeds configured body limit");
    EXPECT_EQ(session->stats().bufferedResponseBytes, 0U);
}

TEST_P(SessionOverLoopback, EndpointPolicyReachesTheClient) {
    auto session = open([](auto& c) {
        c.endpointPolicy = [](std::string_view, std::string_view address) { return address != "127.0.0.1"; };
    });
    submit(*session, "/denied");

    const auto denied = nextCompletion(*session);

    expectError(denied, HttpErrorCode::EndpointPolicyDenied,
                "Request failed: Endpoint policy denied every resolved address for host 127.0.0.1");
    EXPECT_EQ(server.acceptCount(), 0U);
}

TEST_P(SessionOverLoopback, UncollectedBodiesFillTheSessionBuffer) {
    server.setHandler([](const std::string&) { return Reply{okResponse(std::string(800, 'x'))}; });
    auto session = open([](auto& c) {
        c.maxResponseBytes = 1000;
        c.maxBufferedResponseBytes = 1500;
    });
    submit(*session, "/one");
    submit(*session, "/two");
    ASSERT_TRUE(eventually([&] { return session->stats().queuedCompletions == 2; }));
    EXPECT_EQ(session->stats().bufferedResponseBytes, 800U);

    const auto all = completionsOf(*session, 2);

    EXPECT_EQ(statusOf(all[0]), 200);
    EXPECT_EQ(all[0].responseBytes, 800U);
    expectError(all[1], HttpErrorCode::ResponseTooLarge, "Session buffered response byte limit is exhausted");
    EXPECT_EQ(all[1].responseBytes, 0U);
    EXPECT_EQ(session->stats().bufferedResponseBytes, 0U);
}

// What the process holds, in KiB: its resident memory or, under a sanitizer
// (whose quarantine keeps freed memory resident), the bytes still allocated.
std::size_t heldKib() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes() / 1024;
#else
    std::size_t pages = 0;
    std::size_t resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) / 1024;
#endif
}

TEST_P(SessionOverLoopback, UncollectedBodiesHoldNoMoreThanTheirOwnBytes) {
    // One-byte bodies, each behind a chunk size line with 900 KiB of
    // extension: kept with their bodies, the framings would take 900 KiB
    // each, 175 MiB for 200 of them. A sanitizer counts the bytes allocated
    // exactly, so there 16 bodies (14 MiB) show it, at a twelfth of the work.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr std::uint64_t kBodies = 16;
    constexpr std::size_t kHeldLimitMib = 4;
#else
    constexpr std::uint64_t kBodies = 200;
    constexpr std::size_t kHeldLimitMib = 64;
#endif
    const std::string reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;" +
                              std::string(900 * 1024, 'e') + "\r\nx\r\n0\r\n\r\n";
    server.setHandler([reply](const std::string&) { return Reply{reply}; });
    auto session = open([](auto& c) {
        c.maxInFlightRequests = c.completionQueueCapacity = c.maxOutstandingPerOrigin = kBodies;
        c.maxConnections = c.maxConnectionsPerOrigin = 4;
        c.maxResponseBytes = 1 << 20;
        c.maxBufferedResponseBytes = 2 << 20;
    });
    const std::size_t before = heldKib();
    for (std::uint64_t i = 0; i < kBodies; ++i) {
        submit(*session, "/framed", kPatientMs);
    }
    ASSERT_TRUE(eventually([&] { return session->stats().queuedCompletions == kBodies; }, kPatience));

    EXPECT_EQ(session->stats().bufferedResponseBytes, kBodies);
    const std::size_t after = heldKib();
    EXPECT_LT((after - std::min(before, after)) / 1024, kHeldLimitMib);
    const auto first = nextCompletion(*session);
    ASSERT_EQ(statusOf(first), 200);
    EXPECT_EQ(std::get<HttpResponse>(first.result).getBody(), "x");
}

TEST_P(SessionOverLoopback, DrainWaitsForRequestsInFlight) {
    answerAfterGate(server, gate);
    auto session = open();
    submit(*session, "/held/1");
    submit(*session, "/held/2");
    ASSERT_TRUE(server.waitForRequests(2));

    std::thread drain([&] { session->shutdown(ShutdownMode::Drain, 10s); });
    std::this_thread::sleep_for(50ms);
    gate.open();
    drain.join();

    const auto all = completionsOf(*session, 2);
    EXPECT_EQ(statusOf(all[0]), 200);
    EXPECT_EQ(statusOf(all[1]), 200);
    std::vector<HttpCompletion> out(1);
    EXPECT_EQ(session->wait(out, 10s).status, WaitStatus::Closed);
    EXPECT_EQ(server.requests().size(), 2U);
}

struct EndingCase {
    const char* name;
    ShutdownMode mode;
};

using SessionEndingEarly = SessionOverLoopbackOn<std::tuple<IoBackend, EndingCase>>;

TEST_P(SessionEndingEarly, AbortsEveryPendingRequestOnce) {
    server.setHandler([](const std::string&) { return Reply{"", 0ms, true}; });
    auto session = open([](auto& c) { c.maxConnections = c.maxConnectionsPerOrigin = 2; });
    std::vector<RequestId> ids;
    for (int i = 0; i < 3; ++i) {
        ids.push_back(submit(*session, "/stalled"));
    }
    ASSERT_TRUE(server.waitForRequests(2));

    session->shutdown(testCase().mode, 50ms);

    const auto all = completionsOf(*session, 3);
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].id, ids[i]);
        expectError(all[i], HttpErrorCode::SessionAborted, "Asynchronous session aborted");
    }
    std::vector<HttpCompletion> out(1);
    EXPECT_EQ(session->wait(out, 10s).status, WaitStatus::Closed);
    EXPECT_FALSE(session->cancel(ids[0]));
    const auto stats = session->stats();
    EXPECT_EQ(stats.cancelled, 3U);
    EXPECT_EQ(stats.inFlight, 0U);
    EXPECT_EQ(stats.outstanding, 0U);
}

INSTANTIATE_TEST_SUITE_P(DrainRunningOutAndAbort, SessionEndingEarly,
                         ::testing::Combine(kReactorBackends, ::testing::Values(EndingCase{"Drain", ShutdownMode::Drain},
                                                                                EndingCase{"Abort", ShutdownMode::Abort})),
                         BackendCaseName());

TEST_P(SessionOverLoopback, DestructionWithRequestsUnderWayStopsEverything) {
    answerAfterGate(server, gate);
    auto session = open([](auto& c) { c.maxConnections = c.maxConnectionsPerOrigin = 2; });
    for (int i = 0; i < 4; ++i) {
        submit(*session, "/held");
    }
    ASSERT_TRUE(server.waitForRequests(2));

    session.reset();
    gate.open();

    EXPECT_EQ(server.requests().size(), 2U);
}

}  // namespace
}  // namespace zorvik::testing
