#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zorvik::detail {

enum class TaskShutdownMode {
    Drain = 0,    // stop accepting, run every queued task, then end
    Discard = 1,  // stop accepting, destroy queued tasks unrun
};

// Fixed worker threads over a bounded FIFO queue. submit never blocks: a task
// that does not fit is refused and the caller decides what that means. Tasks
// may submit to their own executor but must not shut it down (that would join
// the calling thread).
class BoundedTaskExecutor {
public:
    // Throws std::invalid_argument when either count is zero.
    BoundedTaskExecutor(std::size_t workers, std::size_t capacity);
    ~BoundedTaskExecutor();

    BoundedTaskExecutor(const BoundedTaskExecutor&) = delete;
    BoundedTaskExecutor& operator=(const BoundedTaskExecutor&) = delete;

    // False, with the task destroyed unrun, for an empty task, after shutdown,
    // or when `capacity` tasks are already waiting.
    bool submit(std::function<void()> task);
    std::size_t queuedTaskCount() const;
    // The first call wins and returns once every worker has ended; later calls
    // return at once.
    void shutdown(TaskShutdownMode mode);

private:
    void workerLoop();

    std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable condition_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> workers_;
    bool accepting_ = true;
    bool stopping_ = false;
    bool drain_ = false;
};

}  // namespace zorvik::detail
