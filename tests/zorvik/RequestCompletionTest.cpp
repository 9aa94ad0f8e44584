#include "zorvik/detail/RequestCompletion.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zorvik::detail {
namespace {

HttpResponse responseWithStatus(int status) { return HttpResponse(status, "", {}, ""); }

TEST(RequestCompletion, DeliversOnlyTheFirstResponse) {
    std::vector<int> delivered;
    RequestCompletion completion;
    completion.callback = [&](HttpResponse response) { delivered.push_back(response.statusCode); };
    completion.complete(responseWithStatus(200));
    completion.complete(responseWithStatus(408));
    EXPECT_EQ(delivered, std::vector<int>{200});
}

TEST(RequestCompletion, WithoutCallbackIgnoresEveryResponse) {
    RequestCompletion completion;
    EXPECT_NO_THROW(completion.complete(responseWithStatus(200)));
    EXPECT_NO_THROW(completion.complete(responseWithStatus(0)));
}

TEST(RequestCompletion, CallbackExceptionReachesTheCallerAndSpendsTheCallback) {
    int calls = 0;
    RequestCompletion completion;
    completion.callback = [&](HttpResponse) {
        ++calls;
        throw std::runtime_error("callback failed");
    };
    EXPECT_THROW(completion.complete(responseWithStatus(200)), std::runtime_error);
    EXPECT_NO_THROW(completion.complete(responseWithStatus(200)));
    EXPECT_EQ(calls, 1);
}

TEST(RequestCompletion, RacingCompletersCallTheCallbackExactlyOnce) {
    constexpr int kRounds = 200;
    constexpr int kThreads = 8;
    for (int round = 0; round < kRounds; ++round) {
        std::atomic<int> calls{0};
        auto completion = std::make_shared<RequestCompletion>();
        completion->callback = [&](HttpResponse) { ++calls; };
        std::latch start(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                completion->complete(responseWithStatus(200 + t));
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        ASSERT_EQ(calls.load(), 1) << "round " << round;
    }
}

}  // namespace
}  // namespace zorvik::detail
