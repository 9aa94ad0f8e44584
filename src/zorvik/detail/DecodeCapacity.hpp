#pragma once

#include <algorithm>
#include <cstddef>

namespace zorvik::detail {

// Output buffer sizes for whole-body decompression. The buffer starts near a
// typical expansion and doubles until the output fits or the limit is reached,
// so that a small body never costs the hundredfold limit in memory.

inline constexpr std::size_t kInitialDecodeExpansion = 4;
inline constexpr std::size_t kMinimumDecodeCapacity = 4096;

constexpr std::size_t initialDecodeCapacity(std::size_t inputSize, std::size_t limit) {
    return std::min(limit, std::max(inputSize * kInitialDecodeExpansion, kMinimumDecodeCapacity));
}

// The next size to try after `current` proved too small; `limit` once reached.
constexpr std::size_t nextDecodeCapacity(std::size_t current, std::size_t limit) {
    return current > limit / 2 ? limit : current * 2;
}

}  // namespace zorvik::detail
