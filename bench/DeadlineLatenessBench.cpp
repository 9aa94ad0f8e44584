// How late a request's 408 comes while the same client reads large bodies at
// full speed on other connections: the deadline scan must not wait for every
// busy connection's step. A load names its transport, back end and number of
// bodies; the request whose server never answers has a 200 ms deadline. Each
// load runs BENCH_ROUNDS times (default 5) and prints how long after its
// deadline the 408 arrived: best, median and worst. Then the wake loads
// (WakeLatenessLoads.cpp): how long a completed answer waits for its caller.
// BENCH_ONLY picks loads whose name holds its text.
#include "LatenessSupport.hpp"
#include "zorvik/AsyncSession.hpp"
#include "zorvik/HttpClient.hpp"

#include <openssl/ssl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::Clock;
using bench::listenLoopback;
using bench::readHead;
using bench::Transport;
using zorvik::IoBackend;

constexpr int kDeadlineMs = 200;
constexpr std::uint64_t kBody = std::uint64_t{1} << 30;
constexpr std::size_t kPiece = std::size_t{8} << 20;

struct Load {
    const char* name;
    Transport transport;
    IoBackend backend;
    int bodies;
};

// Accepts `count` connections and answers each with a body far larger than
// what the client can read before the deadline, sent until `stop`.
class BodySenders {
public:
    BodySenders(int count, SSL_CTX* tls) : tls_(tls) {
        listenFd_ = listenLoopback(port_);
        file_ = ::memfd_create("body", MFD_CLOEXEC);
        const std::string piece(kPiece, 'x');
        if (::write(file_, piece.data(), kPiece) != static_cast<ssize_t>(kPiece)) {
            std::exit(1);
        }
        for (int i = 0; i < count; ++i) {
            threads_.emplace_back([this] { serveOne(); });
        }
    }
    ~BodySenders() {
        stop_.store(true);
        ::shutdown(listenFd_, SHUT_RDWR);
        for (auto& thread : threads_) {
            thread.join();
        }
        ::close(listenFd_);
        ::close(file_);
    }

    std::string url() const {
        return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/body";
    }
    void stop() { stop_.store(true); }
    void waitStreaming(int count) {
        while (streaming_.load() < count) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

private:
    void serveOne() {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        SSL* ssl = nullptr;
        if (tls_) {
            ssl = SSL_new(tls_);
            SSL_set_fd(ssl, fd);
            if (SSL_accept(ssl) != 1) {
                SSL_free(ssl);
                ::close(fd);
                return;
            }
        }
        readHead(fd, ssl);
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBody) + "\r\n\r\n";
        const bool started = ssl ? SSL_write(ssl, head.data(), static_cast<int>(head.size())) > 0
                                 : ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) > 0;
        streaming_.fetch_add(1);
        const std::string chunk(std::size_t{1} << 16, 'x');
        std::uint64_t sent = 0;
        while (started && !stop_.load() && sent < kBody) {
            long n = 0;
            if (ssl) {
                n = SSL_write(ssl, chunk.data(), static_cast<int>(chunk.size()));
            } else {
                off_t offset = 0;
                n = ::sendfile(fd, file_, &offset, kPiece);
            }
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::uint64_t>(n);
        }
        if (ssl) {
            SSL_free(ssl);
        }
        ::close(fd);
    }

    SSL_CTX* tls_;
    int listenFd_ = -1;
    int port_ = 0;
    int file_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> streaming_{0};
    std::vector<std::thread> threads_;
};

// Milliseconds past its deadline at which the silent request's 408 arrived.
double latenessThroughClient(const Load& load, BodySenders& senders, const std::string& silent) {
    const auto client = bench::makeClient(load.transport, load.backend);
    std::vector<std::future<zorvik::HttpResponse>> bodies;
    for (int i = 0; i < load.bodies; ++i) {
        bodies.push_back(client->executeAsync(zorvik::HttpRequest(zorvik::HttpMethod::GET, senders.url())));
    }
    senders.waitStreaming(load.bodies);
    zorvik::HttpRequest request(zorvik::HttpMethod::GET, silent);
    request.setTimeout(kDeadlineMs);
    const auto start = Clock::now();
    const auto response = client->execute(request);
    const auto elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    senders.stop();
    if (response.statusCode != 408) {
        std::fprintf(stderr, "expected a 408, got %d %s\n", response.statusCode, response.statusMessage.c_str());
        std::exit(1);
    }
    return elapsed - kDeadlineMs;
}

// The same through a session whose buffered-byte limit is the response limit.
double latenessThroughSession(const Load& load, BodySenders& senders, const std::string& silent) {
    const auto count = static_cast<std::uint64_t>(load.bodies + 1);
    const zorvik::AsyncSessionConfig config{
        load.backend, count, count, count, count, count, 2 * kBody, 2 * kBody, std::chrono::minutes(1), {}};
    zorvik::AsyncSession session(bench::makeClient(load.transport, load.backend), config, load.backend);
    for (int i = 0; i < load.bodies; ++i) {
        session.submit(zorvik::HttpRequest(zorvik::HttpMethod::GET, senders.url()));
    }
    senders.waitStreaming(load.bodies);
    zorvik::HttpRequest request(zorvik::HttpMethod::GET, silent);
    request.setTimeout(kDeadlineMs);
    const auto start = Clock::now();
    const auto submitted = session.submit(request);
    std::vector<zorvik::HttpCompletion> completions(1);
    for (;;) {
        const auto waited = session.wait(completions, std::chrono::seconds(30));
        if (waited.status != zorvik::WaitStatus::Ready) {
            std::fprintf(stderr, "no completion came\n");
            std::exit(1);
        }
        if (completions[0].id == submitted.id) {
            break;
        }
    }
    const auto elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    senders.stop();
    const auto* response = std::get_if<zorvik::HttpResponse>(&completions[0].result);
    if (response == nullptr || response->statusCode != 408) {
        std::fprintf(stderr, "expected a 408 completion\n");
        std::exit(1);
    }
    session.shutdown(zorvik::ShutdownMode::Abort, std::chrono::milliseconds(0));
    return elapsed - kDeadlineMs;
}

double lateness(const Load& load) {
    // Accepts the connection in its backlog and never answers.
    int silentPort = 0;
    const int silentFd = listenLoopback(silentPort);
    const std::string silent = "http://127.0.0.1:" + std::to_string(silentPort) + "/slow";
    double late = 0;
    {
        BodySenders senders(load.bodies, load.transport == Transport::Tls ? bench::serverContext() : nullptr);
        late = load.transport == Transport::Session ? latenessThroughSession(load, senders, silent)
                                                    : latenessThroughClient(load, senders, silent);
    }
    ::close(silentFd);
    return late;
}

}  // namespace

int main() {
    std::signal(SIGPIPE, SIG_IGN);
    const char* roundsText = std::getenv("BENCH_ROUNDS");
    const int rounds = roundsText ? std::max(1, std::atoi(roundsText)) : 5;
    const char* only = std::getenv("BENCH_ONLY");
    const Load loads[] = {
        {"plain epoll, 1 body", Transport::Plain, IoBackend::Epoll, 1},
        {"plain epoll, 16 bodies", Transport::Plain, IoBackend::Epoll, 16},
        {"plain epoll, 64 bodies", Transport::Plain, IoBackend::Epoll, 64},
        {"plain io_uring, 32 bodies", Transport::Plain, IoBackend::IoUring, 32},
        {"plain io_uring, 64 bodies", Transport::Plain, IoBackend::IoUring, 64},
        {"TLS epoll, 16 bodies", Transport::Tls, IoBackend::Epoll, 16},
        {"TLS io_uring, 16 bodies", Transport::Tls, IoBackend::IoUring, 16},
        {"session epoll, 64 bodies", Transport::Session, IoBackend::Epoll, 64},
        {"session io_uring, 64 bodies", Transport::Session, IoBackend::IoUring, 64},
    };
    std::printf("408 lateness past a %d ms deadline beside full-speed bodies, %d rounds\n", kDeadlineMs, rounds);
    for (const auto& load : loads) {
        if (only != nullptr && std::string(load.name).find(only) == std::string::npos) {
            continue;
        }
        std::vector<double> late;
        try {
            for (int round = 0; round < rounds; ++round) {
                late.push_back(lateness(load));
            }
        } catch (const std::exception& error) {
            std::printf("%-30s skipped: %s\n", load.name, error.what());
            continue;
        }
        std::sort(late.begin(), late.end());
        std::printf("%-30s late by ms: best %6.1f  median %6.1f  worst %6.1f\n", load.name, late.front(),
                    late[late.size() / 2], late.back());
        std::fflush(stdout);
    }
    bench::runWakeLoads(only);
    return 0;
}
