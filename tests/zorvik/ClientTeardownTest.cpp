// No request is left waiting: not when the client is destroyed, not when its
// reactor thread stops, not when the resolver queue is full.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "zorvik/AsyncSessionConfig.hpp"
#include "zorvik/ZorvikInstance.hpp"

#include <condition_variable>
#include <future>
#include <dirent.h>
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
using ::testing::HasSubstr;
using ::testing::StartsWith;

Reply stall() {
    return Reply{"", {}, true};
}

TEST(ClientTeardown, DestroyingTheClientCompletesRequestsInFlight) {
    LoopbackServer server;
    server.setHandler([](const std::string&) { return stall(); });
    auto client = makeClient();
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

TEST(ClientTeardown, InstanceDroppedWhileAnAsyncRequestWaitsStillAnswersIt) {
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

class ClientReleasedOnItsOwnThread : public ::testing::TestWithParam<OwnThreadCase> {};

TEST_P(ClientReleasedOnItsOwnThread, FinishesItsTeardownElsewhere) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("done")});
    auto gone = std::make_shared<std::promise<void>>();
    auto goneFuture = gone->get_future();
    auto holder = std::make_shared<std::shared_ptr<LinuxAsyncEpollClient>>();
    {
        ZorvikConfig config;
        config.logger(std::make_shared<TeardownSignal>(gone));
        *holder = std::make_shared<LinuxAsyncEpollClient>(config);
    }
    if (GetParam().denyEveryAddress) {
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
    EXPECT_THAT(message, StartsWith(GetParam().statusPrefix));
    EXPECT_NE(thread, std::this_thread::get_id());
}

INSTANTIATE_TEST_SUITE_P(
    Threads, ClientReleasedOnItsOwnThread,
    ::testing::Values(OwnThreadCase{"ReactorThread", false, "OK"},
                      OwnThreadCase{"ResolverWorker", true,
                                    "Request failed: Endpoint policy denied every resolved address for host "}),
    [](const auto& info) { return std::string(info.param.name); });

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

TEST(ClientTeardown, FullResolverQueueAnswersAtOnceOnTheCallersThread) {
    auto gate = std::make_shared<PolicyGate>();
    auto client = makeClient();
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

// The epoll descriptors this process holds.
std::set<int> epollDescriptors() {
    std::set<int> result;
    DIR* directory = ::opendir("/proc/self/fd");
    while (const dirent* entry = ::readdir(directory)) {
        char target[256] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        if (::readlink(path.c_str(), target, sizeof(target) - 1) > 0 && std::string(target) == "anon_inode:[eventpoll]") {
            result.insert(std::atoi(entry->d_name));
        }
    }
    ::closedir(directory);
    return result;
}

// A client and the epoll descriptor it made.
std::pair<std::shared_ptr<LinuxAsyncEpollClient>, int> clientWithItsEpoll() {
    const auto before = epollDescriptors();
    auto client = makeClient();
    std::set<int> added;
    for (const int fd : epollDescriptors()) {
        if (!before.contains(fd)) {
            added.insert(fd);
        }
    }
    EXPECT_EQ(added.size(), 1u);
    return {client, added.empty() ? -1 : *added.begin()};
}

// Puts a descriptor that is no epoll instance in its place: the next wait fails.
void breakReactor(int epollFd) {
    const int stranger = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(::dup2(stranger, epollFd), 0);
    ::close(stranger);
}

TEST(ClientTeardown, StoppedReactorFailsQueuedAndLaterRequests) {
    LoopbackServer server;
    server.enqueue(stall());
    const auto [client, epollFd] = clientWithItsEpoll();
    ASSERT_GE(epollFd, 0);
    auto pending = client->executeAsync(makeRequest(HttpMethod::GET, server.url("/"), 60000));
    ASSERT_TRUE(server.waitForRequests(1));
    breakReactor(epollFd);

    const auto failed = pending.get();
    EXPECT_EQ(failed.statusCode, 0);
    EXPECT_THAT(failed.statusMessage, StartsWith("HTTP client reactor stopped: epoll_wait failed: "));
    const auto later = client->execute(makeRequest(HttpMethod::GET, server.url("/")));
    EXPECT_EQ(later.statusMessage, failed.statusMessage);
}

// A caller waiting on its reused connection's socket is woken when the client
// fails that connection, not left to its own (distant) deadline.
TEST(ClientTeardown, StoppedReactorWakesACallerWaitingOnItsConnection) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("first")});
    server.enqueue(stall());
    const auto [client, epollFd] = clientWithItsEpoll();
    ASSERT_GE(epollFd, 0);
    ASSERT_EQ(client->execute(makeRequest(HttpMethod::GET, server.url("/"))).statusCode, 200);
    std::promise<HttpResponse> answered;
    std::thread caller([&, client = client] {
        answered.set_value(client->execute(makeRequest(HttpMethod::GET, server.url("/"), 600000)));
    });
    ASSERT_TRUE(server.waitForRequests(2));
    breakReactor(epollFd);

    auto answer = answered.get_future();
    if (answer.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        caller.detach();
        FAIL() << "the waiting caller was not woken";
    }
    EXPECT_THAT(answer.get().statusMessage,
                StartsWith("HTTP client reactor stopped: epoll_wait failed: "));
    caller.join();
}

}  // namespace
}  // namespace zorvik::testing
