#pragma once

#include "zorvik/detail/ReactorTypes.hpp"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>

namespace zorvik::detail {

// How the reactor thread shares its time between busy connections and the
// deadline scan. A round steps connections until its budget is spent (its
// first step always runs); connections still due a step then wait in one
// queue, oldest first, and the next round steps them before anything new.
// The scan, and the wakes put off to a round's end, so come about once per
// budget however many connections have bytes waiting. A wait that may block
// starts a round of its own: the steps before it must not hold their wakes
// or the scan behind it, and the steps after it get a whole budget. Reactor
// thread only, but for the budgets and the counts, which tests may narrow and
// read.
class ReactorRound {
public:
    using ConnectionPtr = std::shared_ptr<ConnectionState>;

    // Also the deadline scan's interval: the scan takes every connection's lock.
    static constexpr Clock::duration kBudget = std::chrono::milliseconds(5);
    // The most one step reads of a connection before the others and the
    // deadlines get their turn: a sender that keeps the socket full would
    // otherwise hold the reactor, or the connection's lock, for a whole body.
    static constexpr std::size_t kStepReadBudget = std::size_t{4} << 20;

    // Outside a round (a back end driven by hand) every step may run.
    void open();
    // Whether a step may start now; the steps of a round are counted.
    bool mayStep();
    // Closes the round; true when the deadline scan is due, which is then
    // taken as done.
    bool close();
    // Whether the round has stepped a connection yet.
    bool hasStepped() const { return steps_ > 0; }
    // The back end's wait starts; `mayBlock` when nothing is queued.
    void waitStarts(bool mayBlock);

    // Connections due a step without waiting for readiness: TLS may hold
    // their bytes where no poll sees them, or the round had no time left.
    void queue(ConnectionPtr connection) { queued_.push_back(std::move(connection)); }
    bool hasQueued() const { return !queued_.empty(); }
    std::size_t queuedCount() const { return queued_.size(); }
    ConnectionPtr takeQueued();

    std::size_t stepReadBudget() const { return stepReadBudget_.load(std::memory_order_relaxed); }

    // Test seams: narrower budgets reach the cases they exist for without
    // gigabytes of traffic, and the count shows what a round let through.
    void setBudget(Clock::duration budget) { budget_.store(budget, std::memory_order_relaxed); }
    void setStepReadBudget(std::size_t bytes) { stepReadBudget_.store(bytes, std::memory_order_relaxed); }
    std::size_t mostStepsBetweenScans() const { return mostStepsBetweenScans_.load(std::memory_order_relaxed); }
    // Wakes still put off when a wait that may block started, and steps
    // refused right after such a wait: both stay at zero while such a wait
    // starts only a round.
    std::size_t wakesHeldOverWaits() const { return wakesHeldOverWaits_.load(std::memory_order_relaxed); }
    std::size_t stepsRefusedAfterWaits() const { return stepsRefusedAfterWaits_.load(std::memory_order_relaxed); }

private:
    std::deque<ConnectionPtr> queued_;
    bool open_ = false;
    bool afterBlockingWait_ = false;
    std::size_t steps_ = 0;
    std::size_t stepsSinceScan_ = 0;
    Clock::time_point ends_{};
    Clock::time_point nextScan_{};
    std::atomic<Clock::duration> budget_{kBudget};
    std::atomic<std::size_t> stepReadBudget_{kStepReadBudget};
    std::atomic<std::size_t> mostStepsBetweenScans_{0};
    std::atomic<std::size_t> wakesHeldOverWaits_{0};
    std::atomic<std::size_t> stepsRefusedAfterWaits_{0};
};

}  // namespace zorvik::detail
