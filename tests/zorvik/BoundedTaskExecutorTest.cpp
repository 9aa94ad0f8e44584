#include "zorvik/detail/BoundedTaskExecutor.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zorvik::detail {
namespace {

// Holds the executor's only worker inside a task until released, so that the
// queue can be filled deterministically.
class BlockedWorker {
public:
    explicit BlockedWorker(BoundedTaskExecutor& executor) {
        std::shared_future<void> gate = gate_.get_future().share();
        EXPECT_TRUE(executor.submit([this, gate] {
            started_.set_value();
            gate.wait();
            finished_ = true;
        }));
        started_.get_future().wait();
    }
    ~BlockedWorker() { release(); }

    void release() {
        if (!released_) {
            released_ = true;
            gate_.set_value();
        }
    }
    bool finished() const { return finished_; }

private:
    std::promise<void> gate_;
    std::promise<void> started_;
    std::atomic<bool> finished_{false};
    bool released_ = false;
};

// Submits no-op tasks until the executor refuses one; with ample capacity the
// refusal can only come from a shutdown that has begun.
void awaitShutdownStarted(BoundedTaskExecutor& executor) {
    while (executor.submit([] {})) {
        std::this_thread::yield();
    }
}

TEST(BoundedTaskExecutor, ZeroWorkersOrCapacityIsRefused) {
    for (const auto& [workers, capacity] : {std::pair<std::size_t, std::size_t>{0, 1}, {1, 0}, {0, 0}}) {
        try {
            BoundedTaskExecutor executor(workers, capacity);
            ADD_FAILURE() << "accepted " << workers << " workers and capacity " << capacity;
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), "BoundedTaskExecutor requires non-zero workers and capacity");
        }
    }
}

TEST(BoundedTaskExecutor, RefusesTasksBeyondTheWaitingCapacity) {
    BoundedTaskExecutor executor(1, 2);
    BlockedWorker blocked(executor);
    std::atomic<int> ran{0};
    EXPECT_TRUE(executor.submit([&] { ++ran; }));
    EXPECT_TRUE(executor.submit([&] { ++ran; }));
    EXPECT_FALSE(executor.submit([&] { ++ran; }));
    EXPECT_EQ(executor.queuedTaskCount(), 2U);
    blocked.release();
    executor.shutdown(TaskShutdownMode::Drain);
    EXPECT_EQ(ran.load(), 2);
}

TEST(BoundedTaskExecutor, RefusesAnEmptyTaskEvenWhenIdle) {
    BoundedTaskExecutor executor(1, 4);
    EXPECT_FALSE(executor.submit(std::function<void()>()));
    EXPECT_EQ(executor.queuedTaskCount(), 0U);
}

TEST(BoundedTaskExecutor, SingleWorkerRunsTasksInSubmissionOrder) {
    BoundedTaskExecutor executor(1, 64);
    std::vector<int> order;
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(executor.submit([&order, i] { order.push_back(i); }));
    }
    executor.shutdown(TaskShutdownMode::Drain);
    ASSERT_EQ(order.size(), 50U);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
}

TEST(BoundedTaskExecutor, DrainRunsEveryQueuedTaskAndRefusesNewOnes) {
    BoundedTaskExecutor executor(1, 1 << 20);
    BlockedWorker blocked(executor);
    std::atomic<int> ran{0};
    std::promise<bool> submitDuringDrain;
    ASSERT_TRUE(executor.submit([&] { ++ran; }));
    ASSERT_TRUE(executor.submit([&] { submitDuringDrain.set_value(executor.submit([] {})); }));
    ASSERT_TRUE(executor.submit([&] { ++ran; }));

    std::thread stopper([&] { executor.shutdown(TaskShutdownMode::Drain); });
    awaitShutdownStarted(executor);
    blocked.release();
    stopper.join();

    EXPECT_TRUE(blocked.finished());
    EXPECT_EQ(ran.load(), 2);
    EXPECT_FALSE(submitDuringDrain.get_future().get());
    EXPECT_EQ(executor.queuedTaskCount(), 0U);
}

TEST(BoundedTaskExecutor, DiscardDestroysQueuedTasksUnrunAndLetsTheRunningOneFinish) {
    BoundedTaskExecutor executor(1, 1 << 20);
    BlockedWorker blocked(executor);
    std::atomic<int> ran{0};
    const auto captured = std::make_shared<int>(0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(executor.submit([&ran, captured] { ++ran; }));
    }
    EXPECT_EQ(captured.use_count(), 4);

    std::thread stopper([&] { executor.shutdown(TaskShutdownMode::Discard); });
    awaitShutdownStarted(executor);
    blocked.release();
    stopper.join();

    EXPECT_TRUE(blocked.finished());
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(captured.use_count(), 1);
    EXPECT_FALSE(executor.submit([] {}));
}

TEST(BoundedTaskExecutor, DestructorDiscardsWhatIsStillQueued) {
    std::atomic<int> ran{0};
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    {
        BoundedTaskExecutor executor(1, 8);
        std::promise<void> started;
        ASSERT_TRUE(executor.submit([&] {
            started.set_value();
            released.wait();
        }));
        started.get_future().wait();
        // Only the destruction of the queued task lets the blocked worker go.
        std::shared_ptr<void> releaseOnDestruction(nullptr, [&](void*) { release.set_value(); });
        ASSERT_TRUE(executor.submit([&ran, releaseOnDestruction] { ++ran; }));
        releaseOnDestruction.reset();
    }
    EXPECT_EQ(ran.load(), 0);
}

TEST(BoundedTaskExecutor, LaterShutdownsChangeNothing) {
    BoundedTaskExecutor executor(2, 8);
    std::atomic<int> ran{0};
    ASSERT_TRUE(executor.submit([&] { ++ran; }));
    executor.shutdown(TaskShutdownMode::Drain);
    executor.shutdown(TaskShutdownMode::Discard);
    executor.shutdown(TaskShutdownMode::Drain);
    EXPECT_EQ(ran.load(), 1);
    EXPECT_FALSE(executor.submit([&] { ++ran; }));
}

TEST(BoundedTaskExecutor, ThrowingTasksLeaveTheWorkerAlive) {
    BoundedTaskExecutor executor(1, 8);
    std::promise<void> reached;
    ASSERT_TRUE(executor.submit([] { throw std::runtime_error("task failed"); }));
    ASSERT_TRUE(executor.submit([] { throw 42; }));
    ASSERT_TRUE(executor.submit([&] { reached.set_value(); }));
    reached.get_future().wait();
    executor.shutdown(TaskShutdownMode::Drain);
}

TEST(BoundedTaskExecutor, TaskMaySubmitToItsOwnExecutor) {
    BoundedTaskExecutor executor(2, 8);
    std::promise<int> inner;
    ASSERT_TRUE(executor.submit([&] { EXPECT_TRUE(executor.submit([&] { inner.set_value(7); })); }));
    EXPECT_EQ(inner.get_future().get(), 7);
}

}  // namespace
}  // namespace zorvik::detail
