#pragma once

#include <chrono>

namespace quarlino::quil::cli {

// Blocks the calling thread for the duration; below 1 ms it returns at once.
// A sleep interrupted by a signal goes on for the time that was left. Never
// throws: waiting between polls must not fail a command.
void sleepMilliseconds(std::chrono::milliseconds duration) noexcept;

}  // namespace quarlino::quil::cli
