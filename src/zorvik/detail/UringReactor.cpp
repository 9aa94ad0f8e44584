#include "zorvik/detail/UringReactor.hpp"

#include "zorvik/detail/ReactorCore.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <liburing.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zorvik::detail {
namespace {

constexpr long kWaitNanoseconds = 100'000'000;
// Completions taken after one wait before the deadlines are swept again.
constexpr int kMaxBatch = 256;

std::string errorText(int error) {
    return std::strerror(error);
}

// A free submission entry, flushing a full queue once; null when none is free.
io_uring_sqe* takeSubmissionEntry(io_uring& ring) {
    if (io_uring_sqe* entry = io_uring_get_sqe(&ring)) {
        return entry;
    }
    if (io_uring_submit(&ring) < 0) {
        return nullptr;
    }
    return io_uring_get_sqe(&ring);
}

int submitAll(io_uring& ring) {
    int result = 0;
    do {
        result = io_uring_submit(&ring);
    } while (result == -EINTR);
    return result;
}

}  // namespace

UringReactor::UringReactor(std::shared_ptr<LoggerAdapter> logger, std::size_t ringSize)
    : logger_(std::move(logger)), ring_(std::make_unique<io_uring>()), ringSize_(ringSize) {
    initializeReactor();
}

UringReactor::~UringReactor() {
    releaseRing();
    if (wakeupFd_ >= 0) {
        ::close(wakeupFd_);
        wakeupFd_ = -1;
    }
}

void UringReactor::initializeReactor() {
    // The ring's own descriptor is close-on-exec as the kernel makes it.
    const int result = io_uring_queue_init(static_cast<unsigned>(ringSize_), ring_.get(), 0);
    if (result < 0) {
        throw std::runtime_error("Failed to create io_uring reactor: " + errorText(-result));
    }
    ringActive_ = true;
    // Without it the timed wait would take a submission entry of its own,
    // outside the ring's lock.
    if ((ring_->features & IORING_FEAT_EXT_ARG) == 0) {
        releaseRing();
        throw std::runtime_error("Failed to create io_uring reactor: kernel lacks timed completion waits");
    }
    wakeupFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeupFd_ < 0) {
        const auto text = errorText(errno);
        releaseRing();
        throw std::runtime_error("Failed to create io_uring wake-up descriptor: " + text);
    }
    if (!scheduleWakeupPoll()) {
        ::close(wakeupFd_);
        wakeupFd_ = -1;
        releaseRing();
        throw std::runtime_error("Failed to schedule io_uring wake-up poll");
    }
}

void UringReactor::releaseRing() {
    const std::lock_guard lock(ringMutex_);
    if (!ringActive_) {
        return;
    }
    io_uring_queue_exit(ring_.get());
    pendingPolls_.clear();
    ringActive_ = false;
}

int UringReactor::submitPoll(int fd, unsigned pollMask, std::unique_ptr<PollOperation> operation) {
    const std::lock_guard lock(ringMutex_);
    if (!ringActive_ || fd < 0) {
        return -EBADF;
    }
    io_uring_sqe* entry = takeSubmissionEntry(*ring_);
    if (entry == nullptr) {
        return -EBUSY;
    }
    void* key = operation.get();
    pendingPolls_.emplace(key, std::move(operation));
    io_uring_prep_poll_add(entry, fd, pollMask);
    io_uring_sqe_set_data(entry, key);
    const int result = submitAll(*ring_);
    // The kernel takes entries in order: this one, the last, is in flight
    // once none is left.
    if (result >= 0 && io_uring_sq_ready(ring_.get()) == 0) {
        return 0;
    }
    // The kernel has not read the entry: whichever later submission takes
    // it finds a no-op that nobody waits for.
    io_uring_prep_nop(entry);
    io_uring_sqe_set_data(entry, nullptr);
    pendingPolls_.erase(key);
    return result < 0 ? result : -EAGAIN;
}

bool UringReactor::scheduleWakeupPoll() {
    auto operation = std::make_unique<PollOperation>();
    return submitPoll(wakeupFd_, POLLIN, std::move(operation)) == 0;
}

bool UringReactor::scheduleConnectionPoll(const std::shared_ptr<ConnectionState>& connection, std::string& failure) {
    auto operation = std::make_unique<PollOperation>();
    operation->kind = PollKind::Connection;
    operation->connection = connection;
    unsigned mask = POLLIN;
    {
        const std::lock_guard lock(connection->mutex);
        if (connection->closedLocked()) {
            return false;
        }
        if (!connection->confirmArmingLocked()) {
            return true;
        }
        operation->generation = ++connection->pollGeneration;
        operation->fd = connection->fd;
        if (connection->wantsWritableLocked()) {
            mask |= POLLOUT;
        }
    }
    // The ring's lock is never taken under a connection's. Should the socket
    // close meanwhile, the poll's completion finds it closed and is dropped.
    const int fd = operation->fd;
    const int result = submitPoll(fd, mask, std::move(operation));
    if (result < 0) {
        failure = "io_uring submit failed: " + errorText(-result);
        return false;
    }
    return true;
}

bool UringReactor::registerConnection(const std::shared_ptr<ConnectionState>& connection) {
    std::string failure;
    return scheduleConnectionPoll(connection, failure);
}

bool UringReactor::rearmConnection(const std::shared_ptr<ConnectionState>& connection, std::string& failure) {
    return scheduleConnectionPoll(connection, failure);
}

void UringReactor::unregisterConnection(int fd) {
    if (fd < 0) {
        return;
    }
    ::shutdown(fd, SHUT_RDWR);
    const std::lock_guard lock(ringMutex_);
    if (!ringActive_) {
        return;
    }
    bool cancelled = false;
    for (const auto& [key, operation] : pendingPolls_) {
        if (operation->kind != PollKind::Connection || operation->fd != fd) {
            continue;
        }
        io_uring_sqe* entry = takeSubmissionEntry(*ring_);
        if (entry == nullptr) {
            break;  // the shutdown still completes them
        }
        io_uring_prep_poll_remove(entry, reinterpret_cast<std::uintptr_t>(key));
        // The removal's own completion matches no record and is ignored.
        io_uring_sqe_set_data(entry, nullptr);
        cancelled = true;
    }
    if (cancelled) {
        submitAll(*ring_);
    }
}

void UringReactor::wakeReactor() {
    const std::uint64_t one = 1;
    if (wakeupFd_ >= 0 && ::write(wakeupFd_, &one, sizeof(one)) < 0 && errno != EAGAIN) {
        logger_->warn("Failed to wake io_uring reactor: " + errorText(errno));
    }
}

void UringReactor::drainWakeup() {
    std::uint64_t value = 0;
    while (::read(wakeupFd_, &value, sizeof(value)) > 0) {
    }
}

std::size_t UringReactor::readChunkSize() const {
    return std::max(bufferSize_.load(std::memory_order_relaxed), kDefaultBufferSize);
}

std::size_t UringReactor::pendingPollCount() {
    const std::lock_guard lock(ringMutex_);
    return pendingPolls_.size();
}

bool UringReactor::waitOnce(ReactorCore& core, std::string& failure) {
    __kernel_timespec timeout{};
    timeout.tv_nsec = core.waitStarts() ? kWaitNanoseconds : 0;
    io_uring_cqe* completion = nullptr;
    const int result = io_uring_wait_cqe_timeout(ring_.get(), &completion, &timeout);
    if (result == -ETIME || result == -EINTR) {
        return true;
    }
    if (result < 0) {
        failure = "io_uring wait failed: " + errorText(-result);
        return false;
    }
    for (int taken = 0; taken < kMaxBatch && completion != nullptr; ++taken) {
        void* const userData = io_uring_cqe_get_data(completion);
        const int pollResult = completion->res;
        io_uring_cqe_seen(ring_.get(), completion);
        processCompletion(core, userData, pollResult);
        completion = nullptr;
        if (io_uring_peek_cqe(ring_.get(), &completion) != 0) {
            break;
        }
    }
    return true;
}

void UringReactor::processCompletion(ReactorCore& core, void* userData, int result) {
    std::unique_ptr<PollOperation> operation;
    {
        const std::lock_guard lock(ringMutex_);
        const auto found = pendingPolls_.find(userData);
        if (found == pendingPolls_.end()) {
            return;
        }
        operation = std::move(found->second);
        pendingPolls_.erase(found);
    }
    if (operation->kind == PollKind::Wakeup) {
        drainWakeup();
        scheduleWakeupPoll();
        return;
    }
    const auto connection = operation->connection.lock();
    if (!connection) {
        return;
    }
    {
        const std::lock_guard lock(connection->mutex);
        if (connection->fd < 0 || connection->pollGeneration != operation->generation) {
            return;  // stale: a newer poll is in flight, or the socket is gone
        }
    }
    if (result >= 0) {
        core.processReady(connection);
    } else if (result != -ECANCELED) {
        core.failConnection(connection, "io_uring poll failed: " + errorText(-result));
    }
}

}  // namespace zorvik::detail
