// One processing step of a ready connection on the reactor thread: connect
// and handshake, write queued request text, read, and cut the responses.
#include "zorvik/HttpClientBase.hpp"
#include "zorvik/detail/ReactorCore.hpp"
#include "zorvik/detail/ResponseParser.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <sys/socket.h>
#include <utility>

namespace zorvik::detail {
namespace {

constexpr const char* kBodyLimit = "Response exceeds configured body limit";
constexpr const char* kClosedEarly = "Connection closed before complete HTTP response";
// The most one read asks for, when that much is known to be on its way.
constexpr std::size_t kLargeRead = 256 * 1024;
// While more than this of a body is still to come, readiness waits for
// this much of it: a fast sender then wakes the reader once per piece of
// this size instead of once per segment.
constexpr std::uint64_t kLowWaterFrom = 64 * 1024;
constexpr int kLowWater = 262144;

bool wouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

// Bytes written (> 0), 0 when the socket would block, or -1 with `error` set.
long writeSome(ConnectionState& connection, const char* data, std::size_t length, std::string& error) {
    if (connection.useTls) {
        const int n = connection.ssl ? connection.ssl->write(data, length) : -1;
        if (n < 0) {
            error = "SSL write error: " + (connection.ssl ? connection.ssl->getLastError() : std::string());
        }
        return n;
    }
    for (;;) {
        const ssize_t n = ::send(connection.fd, data, length, MSG_NOSIGNAL);
        if (n >= 0) {
            return n;
        }
        if (errno == EINTR) {
            continue;
        }
        if (wouldBlock()) {
            return 0;
        }
        error = std::string("Write error: ") + std::strerror(errno);
        return -1;
    }
}

enum class ReadOutcome { Data, WouldBlock, PeerClosed, Failed };

ReadOutcome readSome(ConnectionState& connection, char* buffer, std::size_t size, long& count, std::string& error) {
    if (connection.useTls) {
        count = connection.ssl ? connection.ssl->read(buffer, size) : -1;
        if (count > 0) {
            return ReadOutcome::Data;
        }
        // The TLS layer reports the peer's close notification as a closed state.
        if (connection.ssl && connection.ssl->getState() == SSLConnectionState::Closed) {
            return ReadOutcome::PeerClosed;
        }
        if (count == 0) {
            return ReadOutcome::WouldBlock;
        }
        error = "SSL read error: " + (connection.ssl ? connection.ssl->getLastError() : std::string());
        return ReadOutcome::Failed;
    }
    for (;;) {
        const ssize_t n = ::recv(connection.fd, buffer, size, 0);
        count = n;
        if (n > 0) {
            return ReadOutcome::Data;
        }
        if (n == 0) {
            return ReadOutcome::PeerClosed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (wouldBlock()) {
            return ReadOutcome::WouldBlock;
        }
        error = std::string("Read error: ") + std::strerror(errno);
        return ReadOutcome::Failed;
    }
}

enum class FirstResponse { Incomplete, Complete, Malformed };

// What the bytes read so far make of the oldest awaited response.
FirstResponse firstResponse(ConnectionState& connection) {
    ResponseFrame frame;
    const bool headRequest = connection.pendingRequests.front()->request.method == HttpMethod::HEAD;
    if (!connection.framer.tryExtract(connection.readBuffer, headRequest, false, frame)) {
        return FirstResponse::Incomplete;
    }
    return frame.malformed ? FirstResponse::Malformed : FirstResponse::Complete;
}

// Lets readiness wait for a good share of a large body of announced length
// rather than for its first byte. Plain TCP only: TLS reads ahead of what it
// hands out, so its socket may never hold the share that is still due. The
// end of the stream and errors still wake at once, as does memory pressure.
void tuneReceiveLowWater(ConnectionState& connection) {
    const std::uint64_t remaining = connection.framer.announcedRemaining(connection.readBuffer.size());
    const int wanted = !connection.useTls && remaining > kLowWaterFrom
                           ? static_cast<int>(std::min<std::uint64_t>(remaining, kLowWater))
                           : 1;
    if (wanted != connection.receiveLowWater &&
        ::setsockopt(connection.fd, SOL_SOCKET, SO_RCVLOWAT, &wanted, sizeof(wanted)) == 0) {
        connection.receiveLowWater = wanted;
    }
}

void updateConnectionPhase(ConnectionState& connection) {
    if (connection.fd < 0) {
        connection.phase = ConnectionPhase::Closed;
        return;
    }
    if (connection.phase == ConnectionPhase::Connecting || connection.phase == ConnectionPhase::Failing ||
        connection.phase == ConnectionPhase::Closed) {
        return;
    }
    const bool quiet = connection.writeOffset >= connection.writeBuffer.size() && connection.pendingRequests.empty();
    connection.phase = quiet && connection.keepAlive ? ConnectionPhase::Idle : ConnectionPhase::Active;
}

}  // namespace

bool ReactorCore::processConnection(const ConnectionPtr& connection, bool fromReadiness) {
    if (expireTimedOutRequests(connection)) {
        return false;
    }
    std::string error;
    bool peerClosed = false;
    bool unsolicited = false;
    bool hasData = false;
    bool budgetSpent = false;
    {
        const std::lock_guard lock(connection->mutex);
        if (connection->closedLocked()) {
            return false;
        }
        const bool wasEstablished = connection->phase != ConnectionPhase::Connecting;
        try {
            ensureConnectionEstablished(*connection);
        } catch (const std::exception& failure) {
            error = failure.what();
        }
        if (error.empty() && connection->phase != ConnectionPhase::Connecting) {
            // An established connection with nothing to send or receive is
            // armed only for reading: this event is end of stream, an error or
            // bytes nobody asked for. It cannot carry another request. A
            // socket with nothing in it had its answer read by the caller
            // that drove it, before this event was handled: it stays pooled.
            const bool quiet = fromReadiness && wasEstablished && connection->pendingRequests.empty() &&
                               !connection->unsentLocked();
            if (quiet && connection->nothingToReadLocked()) {
                return false;
            }
            unsolicited = quiet;
            if (unsolicited) {
                // Not handed out again in the moment before it is closed.
                connection->keepAlive = false;
            } else {
                error = writePending(*connection);
                if (error.empty()) {
                    error = readAvailable(*connection, peerClosed, budgetSpent);
                }
            }
        }
        updateConnectionPhase(*connection);
        hasData = !connection->readBuffer.empty();
    }
    if (!error.empty()) {
        handleError(connection, error);
    } else if (unsolicited) {
        closeConnection(connection);
    } else if (peerClosed || hasData) {
        processAvailableResponses(connection, peerClosed);
    }
    return budgetSpent && error.empty();
}

std::string ReactorCore::writePending(ConnectionState& connection) {
    std::string error;
    while (connection.writeOffset < connection.writeBuffer.size()) {
        const long n = writeSome(connection, connection.writeBuffer.data() + connection.writeOffset,
                                 connection.writeBuffer.size() - connection.writeOffset, error);
        if (n < 0) {
            return error;
        }
        if (n == 0) {
            break;
        }
        connection.writeOffset += static_cast<std::size_t>(n);
        connection.lastActivity = Clock::now();
    }
    if (connection.writeOffset >= connection.writeBuffer.size()) {
        connection.writeBuffer.clear();
        connection.writeOffset = 0;
    }
    return error;
}

std::string ReactorCore::readAvailable(ConnectionState& connection, bool& peerClosed, bool& budgetSpent) {
    // The reactor thread and callers driving their own requests read here.
    thread_local std::vector<char> chunk;
    // A server that sends without pause never lets the reads would-block, and
    // deadlines are enforced only between steps.
    const Clock::time_point deadline = connection.earliestDeadlineLocked();
    std::string error;
    std::size_t readThisStep = 0;
    while (!connection.pendingRequests.empty() && Clock::now() < deadline) {
        std::string& buffer = connection.readBuffer;
        // Once a head announces its length, the rest of the response is
        // read in large pieces into room made for it once, instead of a
        // buffer that doubles (and is copied) as it fills. Room is only
        // address space until bytes arrive, and never past the limit.
        const std::uint64_t announced = connection.framer.announcedRemaining(buffer.size());
        if (announced > limits_.maxResponseBytes - std::min<std::uint64_t>(buffer.size(), limits_.maxResponseBytes)) {
            return kBodyLimit;
        }
        if (announced < buffer.max_size() - buffer.size() && buffer.capacity() < buffer.size() + announced) {
            try {
                buffer.reserve(buffer.size() + static_cast<std::size_t>(announced));
            } catch (const std::bad_alloc&) {
                // Address space the system will not promise: the buffer
                // grows as the bytes come instead.
            }
        }
        chunk.resize(std::clamp<std::size_t>(static_cast<std::size_t>(announced), backend_.readChunkSize(),
                                             std::max(backend_.readChunkSize(), kLargeRead)));
        long n = 0;
        const auto outcome = readSome(connection, chunk.data(), chunk.size(), n, error);
        if (outcome == ReadOutcome::Failed) {
            return error;
        }
        if (outcome == ReadOutcome::PeerClosed) {
            peerClosed = true;
            break;
        }
        if (outcome == ReadOutcome::WouldBlock) {
            break;
        }
        const auto count = static_cast<std::size_t>(n);
        if (count > limits_.maxResponseBytes || buffer.size() > limits_.maxResponseBytes - count) {
            return kBodyLimit;
        }
        buffer.append(chunk.data(), count);
        connection.bytesReceived += count;
        connection.lastActivity = Clock::now();
        // A malformed response cannot be made whole, and a server sending
        // without pause must not fill memory in the meantime; once the last
        // awaited response is whole, there is nothing left to read for.
        const FirstResponse first = firstResponse(connection);
        if (first == FirstResponse::Malformed ||
            (first == FirstResponse::Complete && connection.pendingRequests.size() == 1)) {
            break;
        }
        // A short read has emptied the socket: asking again would only
        // hear "would block". TLS may hold decrypted bytes back, so it reads
        // until the layer says so.
        if (!connection.useTls && count < chunk.size()) {
            break;
        }
        readThisStep += count;
        if (readThisStep >= round_.stepReadBudget()) {
            budgetSpent = true;
            break;
        }
    }
    tuneReceiveLowWater(connection);
    return error;
}

void ReactorCore::processAvailableResponses(const ConnectionPtr& connection, bool peerClosed) {
    std::vector<std::pair<std::shared_ptr<RequestContext>, HttpResponse>> finished;
    std::vector<std::shared_ptr<RequestContext>> failed;
    std::string error;
    bool mustClose = false;
    int idleFd = -1;
    {
        const std::lock_guard lock(connection->mutex);
        while (!connection->pendingRequests.empty()) {
            const auto& oldest = connection->pendingRequests.front();
            ResponseFrame frame;
            if (!connection->framer.tryExtract(connection->readBuffer, oldest->request.method == HttpMethod::HEAD,
                                               peerClosed, frame)) {
                if (peerClosed) {
                    error = kClosedEarly;
                    failed = takeAllForFailure(*connection);
                }
                break;
            }
            const auto length = static_cast<std::size_t>(frame.length);
            connection->framer.reset();
            auto context = oldest;
            connection->pendingRequests.pop_front();
            if (frame.closeConnection ||
                HttpClientBase::hasHeaderValueIgnoreCase(context->request.headers, "connection", "close")) {
                connection->keepAlive = false;
                connection->closeAfterResponse = true;
            }
            try {
                if (frame.error != nullptr) {
                    throw std::runtime_error(frame.error);
                }
                // Parsed in place, never copied whole: a buffer holding just
                // this response gives up a large body to it.
                auto& buffer = connection->readBuffer;
                finished.emplace_back(context, length == buffer.size()
                                                   ? takeHttpResponse(buffer)
                                                   : parseHttpResponse(std::string_view(buffer).substr(0, length)));
                finished.back().second.limitDecodedBody(limits_.maxResponseBytes);
            } catch (const std::exception& failure) {
                error = std::string("Failed to parse HTTP response: ") + failure.what();
                failed = takeAllForFailure(*connection);
                failed.insert(failed.begin(), context);
                break;
            }
            connection->readBuffer.erase(0, length);
        }
        // Bytes beyond the last awaited response are never framed as the
        // answer to a later request.
        const bool strayBytes = connection->pendingRequests.empty() && !connection->readBuffer.empty();
        // A server that answered before taking the whole request may never
        // read the rest; the connection, armed to write it and no longer
        // reading, would be woken by every later byte from the server.
        const bool unsentRequest = connection->writeOffset < connection->writeBuffer.size();
        if (error.empty()) {
            updateConnectionPhase(*connection);
        }
        mustClose = !error.empty() || (connection->pendingRequests.empty() &&
                                       (peerClosed || connection->closeAfterResponse || strayBytes || unsentRequest));
        if (mustClose && error.empty()) {
            connection->keepAlive = false;
        }
        if (!mustClose && connection->phase == ConnectionPhase::Idle) {
            idleFd = connection->fd;
        }
    }
    // Closed, or listed as idle, before anyone hears of the response, so that
    // a caller's next request finds the connection's place in the pool free,
    // or the connection itself.
    if (mustClose) {
        closeConnection(connection);
    } else if (idleFd >= 0) {
        table_.markIdle(connection, idleFd);
    }
    for (auto& [context, response] : finished) {
        handleCompletedRequest(context, std::move(response));
    }
    for (const auto& context : failed) {
        fail(context->completion, error);
    }
}

}  // namespace zorvik::detail
