#include "zorvik/detail/ReactorRound.hpp"

#include "zorvik/detail/WakeupRound.hpp"

#include <utility>

namespace zorvik::detail {

void ReactorRound::open() {
    open_ = true;
    afterBlockingWait_ = false;
    steps_ = 0;
}

void ReactorRound::waitStarts(bool mayBlock) {
    afterBlockingWait_ = open_ && mayBlock;
    if (afterBlockingWait_) {
        wakesHeldOverWaits_.fetch_add(WakeupRound::pendingCount(), std::memory_order_relaxed);
    }
}

bool ReactorRound::mayStep() {
    if (!open_) {
        return true;
    }
    // The budget counts from the first step: the wait before it is no one's step.
    const auto now = Clock::now();
    if (steps_ == 0) {
        ends_ = now + budget_.load(std::memory_order_relaxed);
    } else if (now >= ends_) {
        if (std::exchange(afterBlockingWait_, false)) {
            stepsRefusedAfterWaits_.fetch_add(1, std::memory_order_relaxed);
        }
        return false;
    }
    afterBlockingWait_ = false;
    ++steps_;
    ++stepsSinceScan_;
    return true;
}

bool ReactorRound::close() {
    open_ = false;
    const auto now = Clock::now();
    if (now < nextScan_) {
        return false;
    }
    nextScan_ = now + budget_.load(std::memory_order_relaxed);
    if (stepsSinceScan_ > mostStepsBetweenScans_.load(std::memory_order_relaxed)) {
        mostStepsBetweenScans_.store(stepsSinceScan_, std::memory_order_relaxed);
    }
    stepsSinceScan_ = 0;
    return true;
}

ReactorRound::ConnectionPtr ReactorRound::takeQueued() {
    ConnectionPtr taken = std::move(queued_.front());
    queued_.pop_front();
    return taken;
}

}  // namespace zorvik::detail
