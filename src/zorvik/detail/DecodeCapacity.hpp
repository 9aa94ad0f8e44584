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

enum class DecodeOutcome { Done, NeedsMoreSpace, Corrupt };

// Runs `decode(buffer, capacity, written)` on a buffer of growing capacity
// until it is Done, leaving `output` cut to the bytes written. False when the
// data is Corrupt or still NeedsMoreSpace at `limit`. Every attempt decodes
// from the start: the decoders keep no state between calls.
template <typename Output, typename Decode>
bool decodeGrowing(std::size_t inputSize, std::size_t limit, Output& output, Decode&& decode) {
    std::size_t capacity = initialDecodeCapacity(inputSize, limit);
    for (;;) {
        output.resize(capacity);
        std::size_t written = 0;
        const DecodeOutcome outcome = decode(output.data(), capacity, written);
        if (outcome == DecodeOutcome::Done) {
            output.resize(written);
            return true;
        }
        if (outcome == DecodeOutcome::Corrupt || capacity >= limit) {
            return false;
        }
        capacity = nextDecodeCapacity(capacity, limit);
    }
}

}  // namespace zorvik::detail
