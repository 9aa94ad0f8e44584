#pragma once

#include <cstdint>

namespace zorvik {

// Event-loop back end asked of HttpClient::create and reported back by it.
enum class IoBackend : std::uint32_t {
    Auto = 0,
    Epoll = 1,
    IoUring = 2,
};

}  // namespace zorvik
