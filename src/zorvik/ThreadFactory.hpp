#pragma once

#include <cstdint>
#include <functional>
#include <thread>

namespace zorvik {

// Maker of the library's long-lived threads (reactor threads).
class ThreadFactory {
public:
    virtual ~ThreadFactory() = default;
    // Returns a started thread running `function`.
    virtual std::thread createThread(std::function<void()> function) = 0;
    virtual std::uint64_t getMaxThreads() const = 0;
};

// Starts a plain std::thread on every call. The maximum is advisory: nothing in
// the library refuses a thread because of it.
class ZorvikThreadFactory : public ThreadFactory {
public:
    explicit ZorvikThreadFactory(std::uint64_t maxThreads) : maxThreads_(maxThreads) {}

    std::thread createThread(std::function<void()> function) override;
    std::uint64_t getMaxThreads() const override { return maxThreads_; }

private:
    std::uint64_t maxThreads_;
};

}  // namespace zorvik
