// How long a completed answer waits for its caller: milliseconds from the
// server's last byte until the caller's future (or the session's wait)
// returns it. The 12 MiB answer is more than one read step, so its last
// piece is read by a step the reactor queued; the 1-byte answer comes 30 ms
// after its request, beside a 12 MiB one on the same client. Each load runs
// BENCH_WAKES times (default 20) on one client and prints the median, the
// worst, and how many were over 50 ms.
#include "LatenessSupport.hpp"
#include "zorvik/AsyncSession.hpp"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace bench {
namespace {

using zorvik::IoBackend;

constexpr std::size_t kLargeBody = std::size_t{12} << 20;
constexpr auto kSmallDelay = std::chrono::milliseconds(30);
constexpr double kLateMs = 50;

struct WakeLoad {
    const char* name;
    Transport transport;
    IoBackend backend;
    bool besideLarge;  // measures the 1-byte answer beside the 12 MiB one
};

// Answers every request of every connection with `bodyBytes` bytes,
// `delay` after the request, and notes when the last byte went out.
class AnswerServer {
public:
    AnswerServer(SSL_CTX* tls, std::size_t bodyBytes, std::chrono::milliseconds delay)
        : tls_(tls),
          delay_(delay),
          answer_("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bodyBytes) + "\r\n\r\n" +
                  std::string(bodyBytes, 'w')) {
        listenFd_ = listenLoopback(port_);
        acceptor_ = std::thread([this] { acceptAll(); });
    }
    ~AnswerServer() {
        ::shutdown(listenFd_, SHUT_RDWR);
        acceptor_.join();
        for (const int fd : fds_) {
            ::shutdown(fd, SHUT_RDWR);
        }
        for (auto& connection : connections_) {
            connection.join();
        }
        for (const int fd : fds_) {
            ::close(fd);
        }
        ::close(listenFd_);
    }
    AnswerServer(const AnswerServer&) = delete;
    AnswerServer& operator=(const AnswerServer&) = delete;

    std::string url() const {
        return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/answer";
    }
    void expectAnswer() { lastByte_.store(0); }
    // When the expected answer's last byte was sent; waits for the note.
    Clock::time_point lastByte() const {
        Clock::rep noted = 0;
        while ((noted = lastByte_.load()) == 0) {
            std::this_thread::yield();
        }
        return Clock::time_point(Clock::duration(noted));
    }

private:
    void acceptAll() {
        for (;;) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                return;
            }
            // The last piece of an answer goes out at once, not after the
            // client's acknowledgement of the one before: its lateness is the
            // client's alone.
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
            fds_.push_back(fd);
            connections_.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd) {
        SSL* ssl = nullptr;
        if (tls_) {
            ssl = SSL_new(tls_);
            SSL_set_fd(ssl, fd);
        }
        if (ssl == nullptr || SSL_accept(ssl) == 1) {
            while (readHead(fd, ssl) && sendAnswer(fd, ssl)) {
                lastByte_.store(Clock::now().time_since_epoch().count());
            }
        }
        SSL_free(ssl);
    }

    bool sendAnswer(int fd, SSL* ssl) const {
        std::this_thread::sleep_for(delay_);
        for (std::size_t sent = 0; sent < answer_.size();) {
            const std::size_t left = answer_.size() - sent;
            const long n = ssl ? SSL_write(ssl, answer_.data() + sent, static_cast<int>(left))
                               : ::send(fd, answer_.data() + sent, left, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    SSL_CTX* tls_;
    std::chrono::milliseconds delay_;
    std::string answer_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<Clock::rep> lastByte_{0};
    std::thread acceptor_;
    std::vector<int> fds_;  // the acceptor's until it is joined
    std::vector<std::thread> connections_;
};

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void expectBody(const zorvik::HttpResponse& response, std::size_t bytes) {
    if (response.statusCode != 200 || response.body.size() != bytes) {
        std::fprintf(stderr, "unexpected answer: %d %s\n", response.statusCode, response.statusMessage.c_str());
        std::exit(1);
    }
}

// The measured answer's lateness, through futures of one client.
double throughClient(const std::shared_ptr<zorvik::HttpClient>& client, AnswerServer& large, AnswerServer* small) {
    AnswerServer& measured = small ? *small : large;
    large.expectAnswer();
    measured.expectAnswer();
    auto largeAnswer = zorvik::HttpClient::flyAsync(client, zorvik::HttpRequest(zorvik::HttpMethod::GET, large.url()));
    std::future<zorvik::HttpResponse> smallAnswer;
    if (small) {
        smallAnswer = zorvik::HttpClient::flyAsync(client, zorvik::HttpRequest(zorvik::HttpMethod::GET, small->url()));
    }
    auto& waited = small ? smallAnswer : largeAnswer;
    waited.wait();
    const double late = millisecondsBetween(measured.lastByte(), Clock::now());
    if (small) {
        expectBody(smallAnswer.get(), 1);
    }
    expectBody(largeAnswer.get(), kLargeBody);
    return late;
}

// The same through a session's wait.
double throughSession(zorvik::AsyncSession& session, AnswerServer& large, AnswerServer* small) {
    AnswerServer& measured = small ? *small : large;
    large.expectAnswer();
    measured.expectAnswer();
    const auto largeId = session.submit(zorvik::HttpRequest(zorvik::HttpMethod::GET, large.url())).id;
    const auto measuredId = small ? session.submit(zorvik::HttpRequest(zorvik::HttpMethod::GET, small->url())).id
                                  : largeId;
    double late = -1;
    for (int left = small ? 2 : 1; left > 0;) {
        std::vector<zorvik::HttpCompletion> completions(2);
        const auto waited = session.wait(completions, std::chrono::seconds(30));
        const auto now = Clock::now();
        if (waited.status != zorvik::WaitStatus::Ready) {
            std::fprintf(stderr, "no completion came\n");
            std::exit(1);
        }
        for (std::size_t i = 0; i < waited.count; ++i) {
            const auto* response = std::get_if<zorvik::HttpResponse>(&completions[i].result);
            if (response == nullptr) {
                std::fprintf(stderr, "a request failed\n");
                std::exit(1);
            }
            expectBody(*response, completions[i].id == largeId ? kLargeBody : 1);
            if (completions[i].id == measuredId) {
                late = millisecondsBetween(measured.lastByte(), now);
            }
            --left;
        }
    }
    return late;
}

std::vector<double> wakeLateness(const WakeLoad& load, int repetitions) {
    SSL_CTX* tls = load.transport == Transport::Tls ? serverContext() : nullptr;
    AnswerServer large(tls, kLargeBody, std::chrono::milliseconds(0));
    std::unique_ptr<AnswerServer> small;
    if (load.besideLarge) {
        small = std::make_unique<AnswerServer>(tls, 1, kSmallDelay);
    }
    auto client = makeClient(load.transport, load.backend);
    std::unique_ptr<zorvik::AsyncSession> session;
    if (load.transport == Transport::Session) {
        const zorvik::AsyncSessionConfig config{
            load.backend, 4, 4, 4, 4, 4, 2 * kLargeBody, 4 * kLargeBody, std::chrono::minutes(1), {}};
        session = std::make_unique<zorvik::AsyncSession>(client, config, load.backend);
    }
    std::vector<double> late;
    // The first exchange opens the connections (and shakes hands) unmeasured.
    for (int i = 0; i <= repetitions; ++i) {
        const double one =
            session ? throughSession(*session, large, small.get()) : throughClient(client, large, small.get());
        if (i > 0) {
            late.push_back(one);
        }
    }
    return late;
}

}  // namespace

void runWakeLoads(const char* only) {
    const char* wakesText = std::getenv("BENCH_WAKES");
    const int repetitions = wakesText ? std::max(1, std::atoi(wakesText)) : 20;
    const WakeLoad loads[] = {
        {"wake plain epoll, 12 MiB", Transport::Plain, IoBackend::Epoll, false},
        {"wake plain epoll, 1 B beside 12 MiB", Transport::Plain, IoBackend::Epoll, true},
        {"wake plain io_uring, 12 MiB", Transport::Plain, IoBackend::IoUring, false},
        {"wake plain io_uring, 1 B beside 12 MiB", Transport::Plain, IoBackend::IoUring, true},
        {"wake TLS epoll, 12 MiB", Transport::Tls, IoBackend::Epoll, false},
        {"wake TLS epoll, 1 B beside 12 MiB", Transport::Tls, IoBackend::Epoll, true},
        {"wake TLS io_uring, 12 MiB", Transport::Tls, IoBackend::IoUring, false},
        {"wake TLS io_uring, 1 B beside 12 MiB", Transport::Tls, IoBackend::IoUring, true},
        {"wake session epoll, 12 MiB", Transport::Session, IoBackend::Epoll, false},
        {"wake session epoll, 1 B beside 12 MiB", Transport::Session, IoBackend::Epoll, true},
        {"wake session io_uring, 12 MiB", Transport::Session, IoBackend::IoUring, false},
        {"wake session io_uring, 1 B beside 12 MiB", Transport::Session, IoBackend::IoUring, true},
    };
    std::printf("answer's lateness from its last byte to its caller, %d repetitions\n", repetitions);
    for (const auto& load : loads) {
        if (only != nullptr && std::string(load.name).find(only) == std::string::npos) {
            continue;
        }
        std::vector<double> late;
        try {
            late = wakeLateness(load, repetitions);
        } catch (const std::exception& error) {
            std::printf("%-42s skipped: %s\n", load.name, error.what());
            continue;
        }
        std::sort(late.begin(), late.end());
        const auto over = std::count_if(late.begin(), late.end(), [](double ms) { return ms > kLateMs; });
        std::printf("%-42s late by ms: median %6.2f  worst %6.2f  over %.0f ms: %2ld of %zu\n", load.name,
                    late[late.size() / 2], late.back(), kLateMs, static_cast<long>(over), late.size());
        std::fflush(stdout);
    }
}

}  // namespace bench
