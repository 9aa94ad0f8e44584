// No request is left waiting: not when the client is destroyed, not when its
// reactor thread stops, not when the resolver queue is full.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "zorvik/AsyncSessionConfig.hpp"
#include "zorvik/ThreadFactory.hpp"
#include "zorvik/ZorvikInstance.hpp"

#include <condition_variable>
#include <future>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <unistd.h>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;
using ::testing::AnyOf;
using ::testing::Eq;
using ::testing::HasSubstr;
using ::testing::StartsWith;

Reply stall() {
    return Reply{"", {}, true};
}

class ClientTeardown : public BothBackends<> {};
INSTANTIATE_TEST_SUITE_P(Backends, ClientTeardown, kReactorBackends, BackendCaseName());

TEST_P(ClientTeardown, DestroyingTheClientCompletesRequestsInFlight) {
    LoopbackServer server;
    server.setHandler([](const std::string&) { return stall(); });
    std::vector<std::future<HttpResponse>> pending;
    for (int i = 0; i < 3; ++i) {
        pending.push_back(client->executeAsync(makeRequest(HttpMethod::GET, server.url("/"), 60000)));
    }
    ASSERT_TRUE(server.waitForRequests(3));
    client.reset();
    for (auto& future : pending) {
        const auto response = future.get();
        EXPECT_EQ(response.statusCode, 0);
        EXPECT_EQ(response.statusMessage, "HTTP client is shutting down");
    }
}

// A socket closed while the reactor still watches it for its answer must
// reach the peer all the same. The server never answers; it ends a
// connection only when it reads end of stream, so a close that never reached
// it would leave its descriptor (and thread) behind.
TEST_P(ClientTeardown, ClosedConnectionsReachThePeerAndLeaveNoDescriptorBehind) {
    LoopbackServer server;
    server.setHandler([](const std::string&) { return Reply{"", std::chrono::milliseconds(100)}; });
    const std::size_t perRound = 100;
    client->configureAsyncSession(sessionLimits(perRound));
    const auto before = openDescriptors().size();
    for (int round = 0; round < 3; ++round) {
        std::vector<std::future<HttpResponse>> pending;
        for (std::size_t i = 0; i < perRound; ++i) {
            pending.push_back(client->executeAsync(makeRequest(HttpMethod::GET, server.url("/"), 50)));
        }
        for (auto& future : pending) {
            ASSERT_EQ(future.get().statusCode, 408);
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (openDescriptors().size() > before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_LE(openDescriptors().size(), before);
}

TEST(InstanceTeardown, InstanceDroppedWhileAnAsyncRequestWaitsStillAnswersIt) {
    LoopbackServer server;
    server.enqueue(stall());
    auto instance = std::make_unique<ZorvikInstance>(quietConfig());
    auto future = instance->get(server.url("/")).flyAsync();
    ASSERT_TRUE(server.waitForRequests(1));
    // The instance is the last owner: the client stops on this thread, not on one of its own.
    instance.reset();
    EXPECT_EQ(future.get().statusMessage, "HTTP client is shutting down");
}

// Signals when the last owner lets it go: the client's teardown has finished.
class TeardownSignal : public RecordingLogger {
public:
    explicit TeardownSignal(std::shared_ptr<std::promise<void>> gone) : gone_(std::move(gone)) {}
    ~TeardownSignal() override { gone_->set_value(); }

private:
    std::shared_ptr<std::promise<void>> gone_;
};

struct OwnThreadCase {
    const char* name;
    bool denyEveryAddress;  // answered on a resolver worker instead of the reactor thread
    const char* statusPrefix;
};

using ClientReleasedOnItsOwnThread = BothBackends<std::tuple<IoBackend, OwnThreadCase>>;

TEST_P(ClientReleasedOnItsOwnThread, FinishesItsTeardownElsewhere) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("done")});
    auto gone = std::make_shared<std::promise<void>>();
    auto goneFuture = gone->get_future();
    client.reset();
    auto holder = std::make_shared<std::shared_ptr<HttpClient>>();
    {
        ZorvikConfig config;
        config.logger(std::make_shared<TeardownSignal>(gone));
        *holder = makeClient(backend(), config);
    }
    if (testCase().denyEveryAddress) {
        AsyncSessionConfig limits;
        limits.maxConnections = 4;
        limits.maxResponseBytes = 1 << 20;
        limits.idleConnectionTtl = std::chrono::milliseconds::max();
        limits.endpointPolicy = [](std::string_view, std::string_view) { return false; };
        (*holder)->configureAsyncSession(limits);
    }

    std::promise<void> submitted;
    auto submittedFuture = submitted.get_future().share();
    std::promise<std::pair<std::string, std::thread::id>> answered;
    (*holder)->submit(makeRequest(HttpMethod::GET, server.url("/")),
                      [holder, submittedFuture, &answered](HttpResponse response) {
                          submittedFuture.wait();
                          answered.set_value({response.statusMessage, std::this_thread::get_id()});
                          holder->reset();  // the client's last reference
                      });
    submitted.set_value();

    const auto [message, thread] = answered.get_future().get();
    goneFuture.get();
    EXPECT_THAT(message, StartsWith(testCase().statusPrefix));
    EXPECT_NE(thread, std::this_thread::get_id());
}

INSTANTIATE_TEST_SUITE_P(
    Threads, ClientReleasedOnItsOwnThread,
    ::testing::Combine(kReactorBackends,
                       ::testing::Values(OwnThreadCase{"ReactorThread", false, "OK"},
                                         OwnThreadCase{"ResolverWorker", true,
                                                       "Request failed: Endpoint policy denied every resolved address "
                                                       "for host "})),
    BackendCaseName());

// Holds every resolver worker inside the endpoint policy until released.
class PolicyGate {
public:
    bool pass() {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        return false;
    }
    void awaitFirstCaller() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_ > 0; });
    }
    void open() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int waiting_ = 0;
    bool open_ = false;
};

TEST_P(ClientTeardown, FullResolverQueueAnswersAtOnceOnTheCallersThread) {
    auto gate = std::make_shared<PolicyGate>();
    AsyncSessionConfig limits;
    limits.maxConnections = 4;
    limits.maxResponseBytes = 1 << 20;
    limits.idleConnectionTtl = std::chrono::milliseconds::max();
    limits.endpointPolicy = [gate](std::string_view, std::string_view) { return gate->pass(); };
    client->configureAsyncSession(limits);

    std::mutex mutex;
    std::vector<std::string> messages;
    std::size_t onCaller = 0;
    const auto caller = std::this_thread::get_id();
    const int total = 300;
    for (int i = 0; i < total; ++i) {
        client->submit(makeRequest(HttpMethod::GET, "http://127.0.0.1:9/"), [&](HttpResponse response) {
            const std::lock_guard lock(mutex);
            messages.push_back(response.statusMessage);
            onCaller += std::this_thread::get_id() == caller ? 1 : 0;
        });
        if (i == 0) {
            gate->awaitFirstCaller();
        }
    }
    {
        const std::lock_guard lock(mutex);
        // One task in the policy, at most one more taken by the other worker, 256 queued.
        EXPECT_GE(onCaller, static_cast<std::size_t>(total - 258));
        EXPECT_EQ(messages.size(), onCaller);
        for (const auto& message : messages) {
            EXPECT_EQ(message, "DNS resolver queue is full or shutting down");
        }
    }
    gate->open();
    client.reset();
    EXPECT_EQ(messages.size(), static_cast<std::size_t>(total));
}

// Where a stopped reactor's wait fails, on each back end.
struct StoppedReactorCase {
    const char* name;
    IoBackend backend;
    const char* waitDescriptor;  // what the reactor waits on, as /proc names it
    const char* statusPrefix;
    const char* armingFailure;  // an arming the broken reactor refuses
};

void PrintTo(const StoppedReactorCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

// A client asks its thread factory for one thread, the reactor's: this one tells when it has ended.
class ReactorThread : public ThreadFactory {
public:
    std::thread createThread(std::function<void()> function) override {
        return std::thread([this, function = std::move(function)] {
            function();
            ended_.set_value();
        });
    }
    std::uint64_t getMaxThreads() const override { return 1; }
    void awaitEnd() { ended_.get_future().wait(); }

private:
    std::promise<void> ended_;
};

class StoppedReactor : public ::testing::TestWithParam<StoppedReactorCase> {
protected:
    // The client and the descriptor its reactor waits on; the test is skipped
    // where the kernel refuses io_uring.
    void SetUp() override {
        const auto before = waitDescriptors();
        auto config = quietConfig();
        config->threadFactory(reactorThread);
        client = makeClient(GetParam().backend, *config);
        if (!client) {
            GTEST_SKIP() << "io_uring refused by this kernel: " << uringRefusal();
        }
        for (const int fd : waitDescriptors()) {
            if (!before.contains(fd)) {
                added.insert(fd);
            }
        }
        ASSERT_EQ(added.size(), 1u);
    }

    // Puts a descriptor that is neither an epoll instance nor a ring in its place: the next wait fails.
    void breakReactor() {
        const int stranger = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ASSERT_GE(::dup2(stranger, *added.begin()), 0);
        ::close(stranger);
    }

    std::set<int> waitDescriptors() const {
        std::set<int> result;
        for (const auto& [fd, target] : openDescriptors()) {
            if (target == GetParam().waitDescriptor) {
                result.insert(fd);
            }
        }
        return result;
    }

    std::shared_ptr<ReactorThread> reactorThread = std::make_shared<ReactorThread>();
    std::shared_ptr<HttpClient> client;
    std::set<int> added;
};

INSTANTIATE_TEST_SUITE_P(
    Backends, StoppedReactor,
    ::testing::Values(StoppedReactorCase{"Epoll", IoBackend::Epoll, "anon_inode:[eventpoll]",
                                         "HTTP client reactor stopped: epoll_wait failed: ",
                                         "epoll_ctl failed: Invalid argument"},
                      StoppedReactorCase{"IoUring", IoBackend::IoUring, "anon_inode:[io_uring]",
                                         "HTTP client reactor stopped: io_uring wait failed: ",
                                         "io_uring submit failed: Operation not supported"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(StoppedReactor, FailsQueuedAndLaterRequests) {
    LoopbackServer server;
    server.enqueue(stall());
    auto pending = client->executeAsync(makeRequest(HttpMethod::GET, server.url("/"), 60000));
    ASSERT_TRUE(server.waitForRequests(1));
    breakReactor();

    // The reactor arms the connection for its answer once the request is
    // sent, maybe after the break: then that arming fails the request first.
    const auto failed = pending.get();
    EXPECT_EQ(failed.statusCode, 0);
    EXPECT_THAT(failed.statusMessage, AnyOf(StartsWith(GetParam().statusPrefix), Eq(GetParam().armingFailure)));
    // Either way the reactor stops, and every request after that fails with its reason.
    reactorThread->awaitEnd();
    const auto later = client->execute(makeRequest(HttpMethod::GET, server.url("/")));
    EXPECT_EQ(later.statusCode, 0);
    EXPECT_THAT(later.statusMessage, StartsWith(GetParam().statusPrefix));
}

// A caller waiting on its reused connection's socket is woken when the client
// fails that connection, not left to its own (distant) deadline.
TEST_P(StoppedReactor, WakesACallerWaitingOnItsConnection) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("first")});
    server.enqueue(stall());
    ASSERT_EQ(client->execute(makeRequest(HttpMethod::GET, server.url("/"))).statusCode, 200);
    std::promise<HttpResponse> answered;
    std::thread caller([&, client = client] {
        answered.set_value(client->execute(makeRequest(HttpMethod::GET, server.url("/"), 600000)));
    });
    ASSERT_TRUE(server.waitForRequests(2));
    breakReactor();

    auto answer = answered.get_future();
    if (answer.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        caller.detach();
        FAIL() << "the waiting caller was not woken";
    }
    EXPECT_THAT(answer.get().statusMessage, StartsWith(GetParam().statusPrefix));
    caller.join();
}

}  // namespace
}  // namespace zorvik::testing
