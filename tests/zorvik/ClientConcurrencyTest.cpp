// Many requests at once, on both reactor back ends: each response reaches its own caller, exactly once.
#include "ClientTestSupport.hpp"
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace zorvik::testing {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;
using testsupport::net::requestLine;

// Answers every request with its own path, after a pause that keeps many in flight.
void echoPaths(LoopbackServer& server, std::chrono::milliseconds pause) {
    server.setHandler([pause](const std::string& request) {
        const auto line = requestLine(request);
        const auto path = line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
        return Reply{okResponse(path), pause};
    });
}

class ClientConcurrency : public BothBackends<> {};
INSTANTIATE_TEST_SUITE_P(Backends, ClientConcurrency, kReactorBackends, BackendCaseName());

TEST_P(ClientConcurrency, ConcurrentAsyncRequestsEachGetTheirOwnResponse) {
    LoopbackServer server;
    echoPaths(server, std::chrono::milliseconds(20));
    std::vector<std::future<HttpResponse>> futures;
    for (int i = 0; i < 64; ++i) {
        futures.push_back(
            HttpClient::flyAsync(client, makeRequest(HttpMethod::GET, server.url("/r" + std::to_string(i)), kPatientMs)));
    }
    for (int i = 0; i < 64; ++i) {
        const auto response = futures[static_cast<std::size_t>(i)].get();
        EXPECT_EQ(response.statusCode, 200) << response.statusMessage;
        EXPECT_EQ(response.getBody(), "/r" + std::to_string(i));
    }
    EXPECT_LE(server.acceptCount(), 64u);
    EXPECT_GT(server.acceptCount(), 1u);
}

TEST_P(ClientConcurrency, ThreadsSharingOneClientReuseItsPool) {
    LoopbackServer server;
    echoPaths(server, std::chrono::milliseconds(0));
    std::mutex failuresMutex;
    std::vector<std::string> failures;  // "path: status text", so a failure says what went wrong
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                const auto path = "/t" + std::to_string(t) + "/" + std::to_string(i);
                const auto response = HttpClient::fly(client, makeRequest(HttpMethod::GET, server.url(path)));
                if (response.statusCode != 200 || response.getBody() != path) {
                    const std::lock_guard lock(failuresMutex);
                    failures.push_back(path + ": " + std::to_string(response.statusCode) + " " +
                                       response.statusMessage);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_THAT(failures, ::testing::IsEmpty());
    // Connections come back to the pool: far fewer than one per request.
    EXPECT_LE(server.acceptCount(), 8u * 2);
}

TEST_P(ClientConcurrency, CallbacksRunExactlyOncePerRequest) {
    LoopbackServer server;
    echoPaths(server, std::chrono::milliseconds(0));
    std::atomic<int> calls{0};
    std::promise<void> allDone;
    const int total = 100;
    for (int i = 0; i < total; ++i) {
        client->submit(makeRequest(HttpMethod::GET, server.url("/")), [&](HttpResponse) {
            if (++calls == total) {
                allDone.set_value();
            }
        });
    }
    allDone.get_future().wait();
    client.reset();
    EXPECT_EQ(calls.load(), total);
}

}  // namespace
}  // namespace zorvik::testing
