#include "zorvik/detail/BoundedTaskExecutor.hpp"

#include <stdexcept>
#include <utility>

namespace zorvik::detail {

BoundedTaskExecutor::BoundedTaskExecutor(std::size_t workers, std::size_t capacity) : capacity_(capacity) {
    if (workers == 0 || capacity == 0) {
        throw std::invalid_argument("BoundedTaskExecutor requires non-zero workers and capacity");
    }
    workers_.reserve(workers);
    try {
        for (std::size_t i = 0; i < workers; ++i) {
            workers_.emplace_back([this] { workerLoop(); });
        }
    } catch (...) {
        // The destructor will not run: end the threads already started ourselves.
        shutdown(TaskShutdownMode::Discard);
        throw;
    }
}

BoundedTaskExecutor::~BoundedTaskExecutor() { shutdown(TaskShutdownMode::Discard); }

bool BoundedTaskExecutor::submit(std::function<void()> task) {
    if (!task) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!accepting_ || tasks_.size() >= capacity_) {
            return false;
        }
        tasks_.push_back(std::move(task));
    }
    condition_.notify_one();
    return true;
}

std::size_t BoundedTaskExecutor::queuedTaskCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tasks_.size();
}

void BoundedTaskExecutor::shutdown(TaskShutdownMode mode) {
    std::deque<std::function<void()>> discarded;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            return;
        }
        drain_ = mode == TaskShutdownMode::Drain;
        accepting_ = false;
        stopping_ = true;
        if (!drain_) {
            discarded.swap(tasks_);
        }
    }
    // Destroyed outside the lock: a task's captured state may run arbitrary code
    // when released (a completion handing its callback back, for one).
    discarded.clear();
    condition_.notify_all();
    for (std::thread& worker : workers_) {
        if (worker.joinable()) {
            worker.join();
        }
    }
    workers_.clear();
}

void BoundedTaskExecutor::workerLoop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            condition_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_ && (!drain_ || tasks_.empty())) {
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        try {
            task();
        } catch (...) {
            // A failing task must not take its worker down; the task reports its
            // own failures through whatever it captured.
        }
    }
}

}  // namespace zorvik::detail
