#pragma once

#include "support/net/ServerStream.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport::net {

// What the server does with one request.
struct Reply {
    std::string bytes;                    // written as they are (may be a partial response)
    std::chrono::milliseconds delay{0};   // wait before writing
    bool stall = false;                   // never answer; hold the connection until stop()
    bool closeAfter = false;              // close the connection after writing
};

// An HTTP/1.1 test server on 127.0.0.1 with an ephemeral port. Each request
// takes the next scripted reply; with none left the handler answers, and
// without a handler the request counts as unexpected and gets a 500. Every
// connection runs on its own thread; stop() (or the destructor) joins all.
class LoopbackServer {
public:
    using Handler = std::function<Reply(const std::string& request)>;

    explicit LoopbackServer(StreamFactory streamFactory = {});
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by the path.
    std::string url(const std::string& path = "/") const;

    void enqueue(Reply reply);
    void setHandler(Handler handler);

    std::size_t acceptCount() const;
    std::vector<std::string> requests() const;  // raw bytes, in order of arrival
    std::size_t unusedReplies() const;
    std::size_t unexpectedRequests() const;
    // Waits (bounded by the given time) until at least count requests arrived.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // Waits (bounded) until the clients have closed every connection, then
    // returns what arrived on them after their last complete request.
    std::string strayBytes(std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

    // Closes every connection that waits for its next request (or writes the
    // reply to its last one); returns once their sockets are closed.
    void closeIdleConnections();
    // Writes bytes nobody asked for on every plain connection that waits for
    // its next request.
    void writeToIdleConnections(const std::string& bytes);
    void stop();

private:
    struct Connection {
        int fd = -1;  // owned by the stream once it exists
        std::unique_ptr<ServerStream> stream;
        bool idle = true;
        bool finished = false;
        std::string unanswered;  // what was left of no complete request when it finished
        std::thread thread;
    };

    void acceptLoop();
    void serve(Connection& connection);
    bool answer(Connection& connection, const std::string& request, bool lastBuffered);
    Reply nextReply(const std::string& request);
    bool pause(std::chrono::milliseconds delay, bool forever);
    void setIdle(Connection& connection, bool idle);

    StreamFactory streamFactory_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    int port_ = 0;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::deque<Reply> script_;
    Handler handler_;
    std::size_t accepts_ = 0;
    std::size_t unexpected_ = 0;
    std::vector<std::string> requests_;
    std::list<Connection> connections_;
};

}  // namespace testsupport::net
