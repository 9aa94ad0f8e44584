#include "zorvik/ThreadFactory.hpp"

#include <utility>

namespace zorvik {

std::thread ZorvikThreadFactory::createThread(std::function<void()> function) {
    return std::thread(std::move(function));
}

}  // namespace zorvik
