#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <ctime>

#include <unistd.h>

#include "cli/sleeper.hpp"

namespace quarlino::quil::cli {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

volatile std::sig_atomic_t interruptions = 0;

void countInterruption(int) { interruptions = interruptions + 1; }

// Interrupts the calling thread (and only it, whatever other threads run)
// with SIGALRM every few milliseconds; the handler is installed without
// SA_RESTART so that nanosleep sees EINTR.
class RepeatedInterruption {
public:
    RepeatedInterruption() {
        struct sigaction action {};
        action.sa_handler = countInterruption;
        sigemptyset(&action.sa_mask);
        sigaction(SIGALRM, &action, &previous_);
        sigevent event{};
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = SIGALRM;
        event._sigev_un._tid = gettid();
        timer_create(CLOCK_MONOTONIC, &event, &timer_);
        const itimerspec every5ms{{0, 5'000'000}, {0, 5'000'000}};
        timer_settime(timer_, 0, &every5ms, nullptr);
    }
    ~RepeatedInterruption() {
        timer_delete(timer_);
        sigaction(SIGALRM, &previous_, nullptr);
    }
    RepeatedInterruption(const RepeatedInterruption&) = delete;
    RepeatedInterruption& operator=(const RepeatedInterruption&) = delete;

private:
    struct sigaction previous_ {};
    timer_t timer_{};
};

// A sleep never ends early, so the lower bound holds on any machine; without
// resuming after EINTR the sleep would end at the first interruption.
TEST(Sleeper, AnInterruptedSleepGoesOnForTheTimeThatWasLeft) {
    interruptions = 0;
    const auto started = steady_clock::now();
    {
        const RepeatedInterruption alarms;
        sleepMilliseconds(milliseconds(120));
    }
    EXPECT_GE(steady_clock::now() - started, milliseconds(120));
    EXPECT_GT(interruptions, 0);
}

}  // namespace
}  // namespace quarlino::quil::cli
