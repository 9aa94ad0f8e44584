#pragma once

#include "zorvik/LoggerAdapter.hpp"
#include "zorvik/detail/ReactorBackend.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

struct io_uring;

namespace zorvik::detail {

// Readiness through an io_uring ring: every wait for a descriptor is one
// one-shot poll whose completion finds its connection again through a heap
// record and the connection's poll generation, so that a completion of an
// older poll is never acted on. An eventfd, itself polled, wakes a blocked
// wait.
class UringReactor final : public ReactorBackend {
public:
    static constexpr std::size_t kDefaultRingSize = 256;
    static constexpr std::size_t kDefaultBufferSize = 8192;

    // Throws std::runtime_error when the kernel refuses the ring or lacks what
    // the reactor needs, or when the wake-up descriptor cannot be set up.
    UringReactor(std::shared_ptr<LoggerAdapter> logger, std::size_t ringSize);
    ~UringReactor() override;
    UringReactor(const UringReactor&) = delete;
    UringReactor& operator=(const UringReactor&) = delete;

    bool registerConnection(const std::shared_ptr<ConnectionState>& connection) override;
    bool rearmConnection(const std::shared_ptr<ConnectionState>& connection, std::string& failure) override;
    // Shuts the socket down, so that its polls complete and the peer sees the
    // close at once, and cancels them: a poll in flight keeps the file open
    // inside the ring after the descriptor itself is closed.
    void unregisterConnection(int fd) override;
    void wakeReactor() override;
    std::size_t readChunkSize() const override;
    // A failed wait leaves "io_uring wait failed: ..." in `failure`.
    bool waitOnce(ReactorCore& core, std::string& failure) override;

    // Never below the default: a smaller value still reads 8192 bytes at a time.
    void setBufferSize(std::size_t size) { bufferSize_.store(size, std::memory_order_relaxed); }
    // Read only when the ring is set up, which the constructor does.
    void setRingSize(std::size_t size) { ringSize_ = size; }

    // Polls in flight, for tests.
    std::size_t pendingPollCount();

private:
    enum class PollKind : std::uint32_t { Wakeup = 0, Connection = 1 };

    struct PollOperation {
        PollKind kind = PollKind::Wakeup;
        std::weak_ptr<ConnectionState> connection;  // empty for the wake-up poll
        std::uint64_t generation = 0;               // the connection's pollGeneration when scheduled
        int fd = -1;                                // the polled descriptor, to cancel it by
    };

    void initializeReactor();
    void releaseRing();
    // 0 once the poll is in flight, else a negative error number; a poll
    // that is not in flight leaves no record.
    int submitPoll(int fd, unsigned pollMask, std::unique_ptr<PollOperation> operation);
    bool scheduleWakeupPoll();
    bool scheduleConnectionPoll(const std::shared_ptr<ConnectionState>& connection, std::string& failure);
    void processCompletion(ReactorCore& core, void* userData, int result);
    void drainWakeup();

    std::shared_ptr<LoggerAdapter> logger_;
    std::unique_ptr<io_uring> ring_;
    std::mutex ringMutex_;  // the submission side of the ring, pendingPolls_ and ringActive_
    std::unordered_map<void*, std::unique_ptr<PollOperation>> pendingPolls_;
    int wakeupFd_ = -1;
    bool ringActive_ = false;
    std::size_t ringSize_;
    std::atomic<std::size_t> bufferSize_{kDefaultBufferSize};
};

}  // namespace zorvik::detail
