#include "zorvik/detail/EpollReactor.hpp"

#include "zorvik/detail/ReactorCore.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zorvik::detail {
namespace {

constexpr int kMaxEvents = 64;
constexpr int kWaitMilliseconds = 100;

std::string systemText() {
    return std::strerror(errno);
}

}  // namespace

EpollReactor::EpollReactor(std::shared_ptr<LoggerAdapter> logger) : logger_(std::move(logger)) {
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (epollFd_ < 0) {
        throw std::runtime_error("Failed to create epoll reactor: " + systemText());
    }
    wakeupFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeupFd_ < 0) {
        const auto text = systemText();
        ::close(epollFd_);
        epollFd_ = -1;
        throw std::runtime_error("Failed to create epoll wake-up descriptor: " + text);
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = wakeupFd_;
    if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeupFd_, &event) != 0) {
        const auto text = systemText();
        ::close(wakeupFd_);
        ::close(epollFd_);
        wakeupFd_ = epollFd_ = -1;
        throw std::runtime_error("Failed to register epoll wake-up descriptor: " + text);
    }
}

EpollReactor::~EpollReactor() {
    ::close(wakeupFd_);
    ::close(epollFd_);
}

bool EpollReactor::registerConnection(const std::shared_ptr<ConnectionState>& connection) {
    const std::lock_guard lock(connection->mutex);
    return arm(*connection, true);
}

bool EpollReactor::rearmConnection(const std::shared_ptr<ConnectionState>& connection, std::string& failure) {
    // Armed under the connection's lock: while it is held the socket cannot
    // be closed, so its number cannot meanwhile belong to a new connection.
    const std::lock_guard lock(connection->mutex);
    if (connection->closedLocked()) {
        return false;
    }
    if (!connection->confirmArmingLocked()) {
        return true;
    }
    if (!arm(*connection, false)) {
        failure = "epoll_ctl failed: " + systemText();
        return false;
    }
    return true;
}

bool EpollReactor::arm(ConnectionState& connection, bool adding) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
    if (connection.wantsWritableLocked()) {
        event.events |= EPOLLOUT;
    }
    event.data.fd = connection.fd;
    if (!adding && ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, connection.fd, &event) == 0) {
        return true;
    }
    if (!adding && errno != ENOENT) {
        return false;
    }
    return ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, connection.fd, &event) == 0;
}

void EpollReactor::unregisterConnection(int fd) {
    if (epollFd_ >= 0 && fd >= 0) {
        ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
    }
}

void EpollReactor::wakeReactor() {
    const std::uint64_t one = 1;
    if (::write(wakeupFd_, &one, sizeof(one)) < 0 && errno != EAGAIN) {
        logger_->warn("Failed to wake epoll reactor: " + systemText());
    }
}

void EpollReactor::drainWakeup() {
    std::uint64_t value = 0;
    while (::read(wakeupFd_, &value, sizeof(value)) > 0) {
    }
}

bool EpollReactor::waitOnce(ReactorCore& core, std::string& failure) {
    epoll_event events[kMaxEvents];
    const int count =
        ::epoll_wait(epollFd_, events, kMaxEvents, core.waitStarts() ? kWaitMilliseconds : 0);
    if (count < 0) {
        if (errno == EINTR) {
            return true;
        }
        failure = "epoll_wait failed: " + systemText();
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (events[i].data.fd == wakeupFd_) {
            drainWakeup();
        } else if (const auto connection = core.findConnection(events[i].data.fd)) {
            core.processReady(connection);
        }
    }
    return true;
}

}  // namespace zorvik::detail
