#include "support/net/LoopbackServer.hpp"

#include "support/net/HttpReplies.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport::net {
namespace {

int openListener(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("loopback server: socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, 128) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("loopback server: bind or listen failed");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Length of the first complete request in the buffer (head plus
// Content-Length body), or 0 while it is incomplete.
std::size_t completeRequestLength(const std::string& buffer) {
    const auto headEnd = buffer.find("\r\n\r\n");
    if (headEnd == std::string::npos) {
        return 0;
    }
    const auto head = buffer.substr(0, headEnd + 4);
    const auto lengthText = requestHeader(head, "Content-Length");
    const std::size_t bodyLength = lengthText.empty() ? 0 : std::strtoull(lengthText.c_str(), nullptr, 10);
    const std::size_t total = headEnd + 4 + bodyLength;
    return buffer.size() >= total ? total : 0;
}

}  // namespace

LoopbackServer::LoopbackServer(StreamFactory streamFactory) : streamFactory_(std::move(streamFactory)) {
    if (!streamFactory_) {
        streamFactory_ = [](int fd) { return std::make_unique<PlainStream>(fd); };
    }
    listenFd_ = openListener(port_);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    stop();
}

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::enqueue(Reply reply) {
    const std::lock_guard lock(mutex_);
    script_.push_back(std::move(reply));
}

void LoopbackServer::setHandler(Handler handler) {
    const std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

std::size_t LoopbackServer::acceptCount() const {
    const std::lock_guard lock(mutex_);
    return accepts_;
}

std::vector<std::string> LoopbackServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t LoopbackServer::unusedReplies() const {
    const std::lock_guard lock(mutex_);
    return script_.size();
}

std::size_t LoopbackServer::unexpectedRequests() const {
    const std::lock_guard lock(mutex_);
    return unexpected_;
}

bool LoopbackServer::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

std::string LoopbackServer::strayBytes(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] {
        return std::all_of(connections_.begin(), connections_.end(), [](const auto& c) { return c.finished; });
    });
    std::string bytes;
    for (const auto& connection : connections_) {
        bytes += connection.unanswered;
    }
    return bytes;
}

void LoopbackServer::closeIdleConnections() {
    std::unique_lock lock(mutex_);
    for (auto& connection : connections_) {
        if (connection.idle && !connection.finished) {
            ::shutdown(connection.fd, SHUT_RDWR);
            changed_.wait(lock, [&] { return connection.finished; });
        }
    }
}

void LoopbackServer::writeToIdleConnections(const std::string& bytes) {
    const std::lock_guard lock(mutex_);
    for (const auto& connection : connections_) {
        if (connection.idle && !connection.finished) {
            [[maybe_unused]] const auto written = ::send(connection.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }
    }
}

void LoopbackServer::stop() {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        stopping_ = true;
        for (auto& connection : connections_) {
            if (!connection.finished) {
                ::shutdown(connection.fd, SHUT_RDWR);
            }
        }
    }
    changed_.notify_all();
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof(one));
    acceptThread_.join();
    // No new connection appears once the accept thread has ended.
    for (auto& connection : connections_) {
        connection.thread.join();
    }
    ::close(listenFd_);
    ::close(wakeFd_);
}

void LoopbackServer::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[0].revents == 0) {
            continue;
        }
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        // Replies leave at once, as a production server sends them: a reply
        // written behind unacknowledged bytes (TLS session tickets) would
        // otherwise wait for the client's delayed acknowledgement.
        const int noDelay = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            // stop() has already shut down the connections it knew; this one
            // would be served by nobody and joined forever.
            ::close(fd);
            return;
        }
        ++accepts_;
        auto& connection = connections_.emplace_back();
        connection.fd = fd;
        connection.thread = std::thread([this, fd, &connection] {
            auto stream = streamFactory_(fd);
            {
                const std::lock_guard streamLock(mutex_);
                connection.stream = std::move(stream);
            }
            serve(connection);
        });
    }
}

void LoopbackServer::serve(Connection& connection) {
    std::string buffer;
    char chunk[16384];
    bool open = false;
    {
        const std::lock_guard lock(mutex_);
        open = connection.stream != nullptr && !stopping_;
    }
    while (open) {
        const ssize_t n = connection.stream->read(chunk, sizeof(chunk));
        if (n <= 0) {
            break;
        }
        setIdle(connection, false);
        buffer.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t length = completeRequestLength(buffer); open && length > 0;
             length = completeRequestLength(buffer)) {
            const auto request = buffer.substr(0, length);
            buffer.erase(0, length);
            open = answer(connection, request, buffer.empty());
        }
    }
    const std::lock_guard lock(mutex_);
    if (connection.stream) {
        connection.stream.reset();
    } else {
        ::close(connection.fd);
    }
    connection.finished = true;
    connection.unanswered = std::move(buffer);
    changed_.notify_all();
}

bool LoopbackServer::answer(Connection& connection, const std::string& request, bool lastBuffered) {
    {
        const std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    changed_.notify_all();
    const Reply reply = nextReply(request);
    if (!pause(reply.delay, reply.stall)) {
        return false;
    }
    // Idle from before the client can have seen the reply, so that a test
    // that closes idle connections right after its response finds this one.
    if (lastBuffered && !reply.closeAfter) {
        setIdle(connection, true);
    }
    return connection.stream->writeAll(reply.bytes) && !reply.closeAfter;
}

Reply LoopbackServer::nextReply(const std::string& request) {
    Handler handler;
    {
        const std::lock_guard lock(mutex_);
        if (!script_.empty()) {
            Reply reply = std::move(script_.front());
            script_.pop_front();
            return reply;
        }
        handler = handler_;
        if (!handler) {
            ++unexpected_;
        }
    }
    if (handler) {
        return handler(request);
    }
    return Reply{httpResponse(500, "Unexpected Request", {}, "no reply scripted")};
}

bool LoopbackServer::pause(std::chrono::milliseconds delay, bool forever) {
    std::unique_lock lock(mutex_);
    if (forever) {
        changed_.wait(lock, [&] { return stopping_; });
        return false;
    }
    return !changed_.wait_for(lock, delay, [&] { return stopping_; });
}

void LoopbackServer::setIdle(Connection& connection, bool idle) {
    const std::lock_guard lock(mutex_);
    connection.idle = idle;
}

}  // namespace testsupport::net
