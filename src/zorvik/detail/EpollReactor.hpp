#pragma once

#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/detail/ReactorBackend.hpp"

#include <memory>
#include <string>

namespace zorvik::detail {

// Readiness through epoll: every connection socket is armed one-shot, and an
// eventfd (level-triggered) wakes a blocked wait.
class EpollReactor final : public ReactorBackend {
public:
    // Throws std::runtime_error when epoll or the eventfd cannot be set up.
    explicit EpollReactor(std::shared_ptr<LoggerAdapter> logger);
    ~EpollReactor() override;
    EpollReactor(const EpollReactor&) = delete;
    EpollReactor& operator=(const EpollReactor&) = delete;

    bool registerConnection(const std::shared_ptr<ConnectionState>& connection) override;
    bool rearmConnection(const std::shared_ptr<ConnectionState>& connection, std::string& failure) override;
    void unregisterConnection(int fd) override;
    void wakeReactor() override;

    // A failed wait leaves "epoll_wait failed: ..." in `failure`.
    bool waitOnce(ReactorCore& core, std::string& failure) override;

private:
    bool arm(ConnectionState& connection, bool adding);
    void drainWakeup();

    std::shared_ptr<LoggerAdapter> logger_;
    int epollFd_ = -1;
    int wakeupFd_ = -1;
};

}  // namespace zorvik::detail
