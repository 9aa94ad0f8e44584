// One processing step of a ready connection on the reactor thread: connect
// and handshake, write queued request text, read, and cut the responses.
#include "zorvik/HttpClientBase.hpp"
#include "zorvik/detail/ReactorCore.hpp"
#include "zorvik/detail/ResponseParser.hpp"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <sys/socket.h>
#include <utility>

namespace zorvik::detail {
namespace {

constexpr const char* kBodyLimit = "Response exceeds configured body limit";
constexpr const char* kClosedEarly = "Connection closed before complete HTTP response";

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

// Framing of the oldest awaited response already failed (a head past its
// limits, a broken length or chunk).
bool firstResponseMalformed(ConnectionState& connection) {
    ResponseFrame frame;
    const bool headRequest = connection.pendingRequests.front()->request.method == HttpMethod::HEAD;
    return connection.framer.tryExtract(connection.readBuffer, headRequest, false, frame) && frame.malformed;
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

void ReactorCore::processConnection(const ConnectionPtr& connection, bool fromReadiness) {
    if (expireTimedOutRequests(connection)) {
        return;
    }
    std::string error;
    bool peerClosed = false;
    bool unsolicited = false;
    bool hasData = false;
    {
        const std::lock_guard lock(connection->mutex);
        if (connection->closedLocked()) {
            return;
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
            // bytes nobody asked for. It cannot carry another request.
            unsolicited = fromReadiness && wasEstablished && connection->pendingRequests.empty() &&
                          !connection->unsentLocked();
            if (unsolicited) {
                // Not handed out again in the moment before it is closed.
                connection->keepAlive = false;
            } else {
                error = writePending(*connection);
                if (error.empty()) {
                    error = readAvailable(*connection, peerClosed);
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

std::string ReactorCore::readAvailable(ConnectionState& connection, bool& peerClosed) {
    // The reactor thread and callers driving their own requests read here.
    thread_local std::vector<char> chunk;
    chunk.resize(backend_.readChunkSize());
    // A server that sends without pause never lets the reads would-block, and
    // deadlines are enforced only between steps.
    const Clock::time_point deadline = connection.earliestDeadlineLocked();
    std::string error;
    while (!connection.pendingRequests.empty() && Clock::now() < deadline) {
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
        if (count > limits_.maxResponseBytes || connection.readBuffer.size() > limits_.maxResponseBytes - count) {
            return kBodyLimit;
        }
        connection.readBuffer.append(chunk.data(), count);
        connection.bytesReceived += count;
        connection.lastActivity = Clock::now();
        if (firstResponseMalformed(connection)) {
            // Nothing more can make it whole; a server sending without pause
            // must not fill memory in the meantime.
            break;
        }
        // A short read has emptied the socket: asking again would only
        // hear "would block". TLS may hold decrypted bytes back, so it reads
        // until the layer says so.
        if (!connection.useTls && count < chunk.size()) {
            break;
        }
    }
    return error;
}

void ReactorCore::processAvailableResponses(const ConnectionPtr& connection, bool peerClosed) {
    std::vector<std::pair<std::shared_ptr<RequestContext>, HttpResponse>> finished;
    std::vector<std::shared_ptr<RequestContext>> failed;
    std::string error;
    bool mustClose = false;
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
                // Parsed in place: a response is never copied whole on the reactor thread.
                const auto text = std::string_view(connection->readBuffer).substr(0, length);
                finished.emplace_back(context, parseHttpResponse(text));
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
    }
    // Closed before anyone hears of the response, so that a caller's next
    // request finds the connection's place in the pool free.
    if (mustClose) {
        closeConnection(connection);
    }
    for (auto& [context, response] : finished) {
        handleCompletedRequest(context, std::move(response));
    }
    for (const auto& context : failed) {
        fail(context->completion, error);
    }
}

}  // namespace zorvik::detail
