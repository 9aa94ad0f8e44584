// What only the io_uring client has: its refusal where the kernel gives no
// ring, its connection limit and read size, and polls matched to their
// connection by generation. Each test says which outcome this kernel gave.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "zorvik/detail/ReactorCore.hpp"
#include "zorvik/detail/UringReactor.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <future>
#include <iostream>
#include <optional>
#include <thread>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;
using testsupport::net::requestLine;
using ::testing::StartsWith;

HttpResponse get(HttpClient& client, const std::string& url) {
    return client.execute(makeRequest(HttpMethod::GET, url));
}

TEST(UringClient, FactoryBuildsItWhereTheKernelAllowsAndEpollWorksEitherWay) {
    LoopbackServer server;
    server.setHandler([](const std::string&) { return Reply{okResponse("answered")}; });
    IoBackend chosen = IoBackend::Auto;
    try {
        const auto client = HttpClient::create(*quietConfig(), IoBackend::IoUring, chosen);
        std::cout << "io_uring: available on this kernel\n";
        EXPECT_NE(dynamic_cast<LinuxUringHttpClient*>(client.get()), nullptr);
        EXPECT_EQ(get(*client, server.url()).getBody(), "answered");
    } catch (const std::runtime_error& error) {
        std::cout << "io_uring: refused by this kernel: " << error.what() << "\n";
        EXPECT_THAT(error.what(), StartsWith("Failed to create io_uring reactor: "));
    }
    EXPECT_EQ(chosen, IoBackend::IoUring);
    EXPECT_EQ(get(*HttpClient::create(*quietConfig(), IoBackend::Epoll, chosen), server.url()).getBody(), "answered");
}

// Makes a system call fail with `error` for this thread and the threads it starts.
void refuseSystemCall(unsigned number, unsigned error) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, number, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | error),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::cerr << "cannot install the seccomp filter\n";
        std::_Exit(2);
    }
}

// As a kernel without io_uring, or a seccomp policy that forbids it, would.
void refuseRingSetup() {
    refuseSystemCall(__NR_io_uring_setup, ENOSYS);
}

[[noreturn]] void askForUringThenEpoll(const std::string& url) {
    refuseRingSetup();
    IoBackend chosen = IoBackend::Auto;
    try {
        HttpClient::create(*quietConfig(), IoBackend::IoUring, chosen);
        std::cerr << "the ring was set up\n";
        std::_Exit(1);
    } catch (const std::runtime_error& error) {
        std::cerr << error.what() << "\n";
    }
    const auto response = get(*HttpClient::create(*quietConfig(), IoBackend::Epoll, chosen), url);
    std::cerr << "epoll answered " << response.statusCode << "\n";
    std::_Exit(response.statusCode == 200 ? 0 : 1);
}

TEST(UringClientDeathTest, RefusedRingFailsItsConstructionAndLeavesEpollWorking) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    LoopbackServer server;
    server.setHandler([](const std::string&) { return Reply{okResponse("answered")}; });
    EXPECT_EXIT(askForUringThenEpoll(server.url()), ::testing::ExitedWithCode(0),
                "Failed to create io_uring reactor: Function not implemented");
}

std::shared_ptr<LinuxUringHttpClient> uringClient() {
    return uringRefusal().empty() ? std::make_shared<LinuxUringHttpClient>(*quietConfig()) : nullptr;
}

struct LimitCase {
    const char* name;
    std::optional<std::size_t> set;  // none keeps the default
    std::size_t limit;
};

class UringConnectionLimit : public ::testing::TestWithParam<LimitCase> {};

INSTANTIATE_TEST_SUITE_P(Limits, UringConnectionLimit,
                         ::testing::Values(LimitCase{"Default", std::nullopt, 100}, LimitCase{"Set", 3, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(UringConnectionLimit, BusyConnectionsAtTheLimitRefuseAnotherOrigin) {
    auto client = uringClient();
    if (!client) {
        GTEST_SKIP() << "io_uring refused by this kernel: " << uringRefusal();
    }
    if (GetParam().set) {
        client->setMaxConcurrentConnections(*GetParam().set);
    }
    LoopbackServer busy;
    busy.setHandler([](const std::string&) { return Reply{"", {}, true}; });
    std::vector<std::future<HttpResponse>> pending;
    for (std::size_t i = 0; i < GetParam().limit; ++i) {
        pending.push_back(client->executeAsync(makeRequest(HttpMethod::GET, busy.url(), 60000)));
    }
    ASSERT_TRUE(busy.waitForRequests(GetParam().limit));

    LoopbackServer other;
    const auto refused = get(*client, other.url());
    EXPECT_EQ(refused.statusCode, 0);
    EXPECT_EQ(refused.statusMessage, "Failed to acquire connection");
    EXPECT_EQ(other.acceptCount(), 0u);
    client.reset();
    for (auto& future : pending) {
        EXPECT_EQ(future.get().statusMessage, "HTTP client is shutting down");
    }
}

TEST(UringClient, ConnectionsThatCloseFreeTheirPlaceAtTheDefaultLimitBeforeTheirCallerHears) {
    auto client = uringClient();
    if (!client) {
        GTEST_SKIP() << "io_uring refused by this kernel: " << uringRefusal();
    }
    LoopbackServer server;
    server.setHandler([](const std::string&) {
        return Reply{okResponse("closing", {{"Connection", "close"}}), std::chrono::milliseconds(20)};
    });
    // As many chains as the limit allows connections; each caller asks again
    // the moment it hears its answer.
    const std::size_t chains = LinuxUringHttpClient::kDefaultMaxConcurrentConnections;
    std::mutex mutex;
    std::vector<std::string> failures;
    std::size_t finished = 0;
    std::promise<void> allFinished;
    const auto record = [&](const HttpResponse& response, bool last) {
        const std::lock_guard lock(mutex);
        if (response.statusCode != 200) {
            failures.push_back(response.statusMessage);
        }
        if (last && ++finished == chains) {
            allFinished.set_value();
        }
    };
    const auto request = makeRequest(HttpMethod::GET, server.url(), kPatientMs);
    for (std::size_t i = 0; i < chains; ++i) {
        client->submit(request, [&](HttpResponse first) {
            record(first, false);
            client->submit(request, [&](HttpResponse second) { record(second, true); });
        });
    }
    ASSERT_EQ(allFinished.get_future().wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(failures, std::vector<std::string>{});
    EXPECT_EQ(server.acceptCount(), 2 * chains);
}

// A request queued on an idle pooled connection is armed by the thread that
// queues it. Should the ring refuse that submission (as it may when the
// kernel runs short of memory), the request fails at once, not at its
// deadline; the client goes on working.
TEST(UringClient, RefusedArmingFailsTheRequestAtOnce) {
    auto client = uringClient();
    if (!client) {
        GTEST_SKIP() << "io_uring refused by this kernel: " << uringRefusal();
    }
    LoopbackServer server;
    // Answered by request line: the refused request's text is written before
    // its connection closes, but the server may read it after the next
    // request has arrived on a new connection.
    server.setHandler([](const std::string& request) { return Reply{okResponse(requestLine(request))}; });
    // Heard only at the end of the reactor's round, once the reactor is done
    // with the connection: the step that read this answer could otherwise
    // arm the next request itself, leaving the refusing thread nothing to submit.
    ASSERT_EQ(HttpClient::flyAsync(client, makeRequest(HttpMethod::GET, server.url("/warm"))).get().getBody(),
              "GET /warm HTTP/1.1");

    std::optional<HttpResponse> answer;
    std::thread([&] {
        refuseSystemCall(__NR_io_uring_enter, EAGAIN);
        answer = client->executeAsync(makeRequest(HttpMethod::GET, server.url("/refused"))).get();
    }).join();

    const HttpResponse& refused = *answer;
    EXPECT_EQ(refused.statusCode, 0);
    EXPECT_EQ(refused.statusMessage, "io_uring submit failed: Resource temporarily unavailable");
    EXPECT_EQ(get(*client, server.url("/after")).getBody(), "GET /after HTTP/1.1");
}

TEST(UringClient, RingAndWakeUpDescriptorAreCloseOnExec) {
    const auto before = openDescriptors();
    const auto client = uringClient();
    if (!client) {
        GTEST_SKIP() << "io_uring refused by this kernel: " << uringRefusal();
    }
    std::vector<std::string> added;
    for (const auto& [fd, target] : openDescriptors()) {
        if (!before.contains(fd)) {
            added.push_back(target);
            EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << target;
        }
    }
    EXPECT_THAT(added, ::testing::UnorderedElementsAre("anon_inode:[io_uring]", "anon_inode:[eventfd]"));
}

// The reactor alone, over one end of a socket pair, driven by hand.
class UringPolls : public ::testing::Test {
protected:
    std::shared_ptr<RecordingLogger> logger = std::make_shared<RecordingLogger>();
    std::unique_ptr<detail::UringReactor> reactor;
    std::unique_ptr<detail::ReactorCore> core;
    std::shared_ptr<detail::ConnectionState> connection = std::make_shared<detail::ConnectionState>();
    int peer = -1;

    void SetUp() override {
        if (!uringRefusal().empty()) {
            GTEST_SKIP() << "io_uring refused by this kernel: " << uringRefusal();
        }
        reactor = std::make_unique<detail::UringReactor>(logger, detail::UringReactor::kDefaultRingSize);
        core = std::make_unique<detail::ReactorCore>(*reactor, nullptr, logger);
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair), 0);
        connection->fd = pair[0];
        connection->phase = detail::ConnectionPhase::Active;
        peer = pair[1];
    }

    void TearDown() override {
        core.reset();
        reactor.reset();
        if (connection->fd >= 0) {
            ::close(connection->fd);
        }
        if (peer >= 0) {
            ::close(peer);
        }
    }

    bool isOpen() {
        const std::lock_guard lock(connection->mutex);
        return connection->fd >= 0;
    }

    bool rearm() {
        std::string failure;
        return reactor->rearmConnection(connection, failure);
    }

    void waitOnce() {
        std::string failure;
        ASSERT_TRUE(reactor->waitOnce(*core, failure)) << failure;
    }
};

TEST_F(UringPolls, OnlyTheLatestPollOfAConnectionIsActedOn) {
    auto answered = std::make_shared<std::optional<HttpResponse>>();
    auto completion = std::make_shared<detail::RequestCompletion>();
    completion->callback = [answered](HttpResponse response) { *answered = std::move(response); };
    {
        const std::lock_guard lock(connection->mutex);
        connection->pendingRequests.push_back(std::make_shared<detail::RequestContext>(detail::RequestContext{
            makeRequest(HttpMethod::GET, "http://127.0.0.1/"), completion, "", 0, 10000,
            detail::Clock::now() + std::chrono::seconds(10)}));
    }
    // Not yet connected, the first poll asks for writability too and completes at once.
    ASSERT_TRUE(reactor->registerConnection(connection));
    {
        const std::lock_guard lock(connection->mutex);
        connection->tcpConnected = true;
    }
    // The second asks only for readability, and the peer is silent.
    ASSERT_TRUE(rearm());
    waitOnce();
    // Acted on, the older completion would have had the connection watched again.
    EXPECT_EQ(reactor->pendingPollCount(), 2u) << "the first poll's completion was taken";

    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    ASSERT_EQ(::write(peer, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
    for (int i = 0; i < 20 && !answered->has_value(); ++i) {
        waitOnce();
    }
    ASSERT_TRUE(answered->has_value()) << "the latest poll's completion was acted on";
    EXPECT_EQ((*answered)->getBody(), "ok");
    EXPECT_EQ(reactor->pendingPollCount(), 1u) << "only the wake-up poll is left";
}

// A watch decided before the connection was handled, and asked for once it
// has gone quiet, is dropped: it would take the next bytes in the socket
// (the answer a caller is reading itself, or stray bytes the reuse test
// sees) for an unsolicited answer and close a healthy connection.
TEST_F(UringPolls, AWatchAskedForTooLateIsDropped) {
    {
        const std::lock_guard lock(connection->mutex);
        connection->tcpConnected = true;
        connection->phase = detail::ConnectionPhase::Idle;
        connection->armed = true;
    }
    EXPECT_TRUE(rearm());
    EXPECT_EQ(reactor->pendingPollCount(), 1u);
    ASSERT_EQ(::write(peer, "x", 1), 1);
    waitOnce();
    EXPECT_TRUE(isOpen());
}

// The reactor may hear of readiness the caller driving the connection has
// already used up: with nothing in the socket, the connection stays pooled;
// with bytes nobody asked for, it closes.
TEST_F(UringPolls, AQuietConnectionIsClosedOnlyForBytesNobodyAskedFor) {
    {
        const std::lock_guard lock(connection->mutex);
        connection->tcpConnected = true;
        connection->phase = detail::ConnectionPhase::Idle;
    }
    core->processReady(connection);
    EXPECT_TRUE(isOpen());
    ASSERT_EQ(::write(peer, "x", 1), 1);
    core->processReady(connection);
    EXPECT_FALSE(isOpen());
}

TEST_F(UringPolls, ReadsTakeTheBufferSizeButNeverLessThanTheDefault) {
    const std::pair<std::size_t, std::size_t> cases[] = {{0, 8192}, {4096, 8192}, {65536, 65536}};
    for (const auto& [set, read] : cases) {
        reactor->setBufferSize(set);
        EXPECT_EQ(reactor->readChunkSize(), read) << set;
    }
}

}  // namespace
}  // namespace zorvik::testing
