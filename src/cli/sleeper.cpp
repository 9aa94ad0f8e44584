#include "cli/sleeper.hpp"

#include <cerrno>
#include <ctime>

namespace quarlino::quil::cli {

void sleepMilliseconds(std::chrono::milliseconds duration) noexcept {
    const auto milliseconds = duration.count();
    if (milliseconds < 1) {
        return;
    }
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
    remaining.tv_nsec = static_cast<long>((milliseconds % 1000) * 1'000'000);
    timespec request = remaining;
    while (nanosleep(&request, &remaining) != 0 && errno == EINTR) {
        request = remaining;
    }
}

}  // namespace quarlino::quil::cli
