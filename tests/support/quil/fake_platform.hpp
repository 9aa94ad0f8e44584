#pragma once

#include <chrono>
#include <cstddef>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport::net {
class LoopbackServer;
class TlsLoopbackServer;
}  // namespace testsupport::net

namespace testsupport::quil {

using HeaderPairs = std::vector<std::pair<std::string, std::string>>;

// One request as the fake platform received it.
struct RecordedRequest {
    std::string method;
    std::string target;  // path and query, as sent
    HeaderPairs headers; // in the order sent
    std::string body;

    // Value of the first header of that name (ASCII case ignored).
    std::optional<std::string> header(const std::string& name) const;
    std::size_t headerCount(const std::string& name) const;
    // "GET /api/workspaces"
    std::string line() const;
};

// How a stub answers.
struct StubReply {
    int status = 200;
    std::string body;
    HeaderPairs headers;                 // besides Content-Length / Transfer-Encoding
    std::size_t chunkSize = 0;           // > 0: chunked transfer in pieces of this size
    bool gzip = false;                   // gzip the body and say so in Content-Encoding
    std::chrono::milliseconds delay{0};  // wait before answering
    bool stall = false;                  // never answer; hold the connection until the server stops
    bool closeAfter = false;             // close the connection after answering
    std::shared_future<void> release;    // when valid: answer once it is ready (or its promise is gone)
};

class FakePlatform;

// The fluent handle that expect() returns; every call changes the stub.
class Stub {
public:
    Stub& respond(int status, std::string body = {}, HeaderPairs headers = {});
    Stub& header(std::string name, std::string value);
    Stub& times(std::size_t count);  // answer this many requests (default 1)
    Stub& anyTimes();                // answer every matching request; never reported unused
    Stub& chunked(std::size_t chunkSize = 5);
    Stub& gzip();
    Stub& delay(std::chrono::milliseconds delay);
    Stub& stall();
    Stub& closeAfter();
    Stub& holdUntil(std::shared_future<void> release);

private:
    friend class FakePlatform;
    Stub(FakePlatform& platform, std::size_t index) : platform_(&platform), index_(index) {}
    template <typename Change>
    Stub& change(Change&& change);

    FakePlatform* platform_;
    std::size_t index_;
};

// A scripted stand-in for the platform's REST API: HTTP/1.1 (or HTTPS with
// the test CA) on 127.0.0.1 and an ephemeral port, keep-alive connections.
// Every request is recorded. A request is answered by the first stub of the
// same method and target that still has answers left; any other request is
// unexpected and gets a 500 reply whose JSON message names it. verify(), which the destructor calls unless
// it already ran, fails the running test for every unexpected request and
// every stub not used up, naming each.
class FakePlatform {
public:
    struct Options {
        bool tls = false;
    };

    FakePlatform();
    explicit FakePlatform(Options options);
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    int port() const;
    // "http://127.0.0.1:<port>" (or https) without a trailing "/".
    std::string url() const;
    // PEM bundle of the CA that signed the TLS certificate.
    static std::string caFile();

    Stub expect(std::string method, std::string target);

    std::vector<RecordedRequest> requests() const;
    // Once the clients have closed their connections: the bytes that came
    // after the last whole request on them (a prompt written into a socket).
    std::string strayBytes() const;
    // The requests that matched no stub, as "METHOD target".
    std::vector<std::string> unexpected() const;
    // Every reason for verify() to fail, one readable line each.
    std::vector<std::string> problems() const;
    // Fails the running test once per problem (gtest non-fatal failures).
    void verify();
    // Stops serving and joins every server thread; idempotent.
    void stop();
    // For use outside a test: stops, returns the problems and takes them off
    // the test's hands (the destructor then reports nothing).
    std::vector<std::string> finish();

private:
    friend class Stub;
    struct Entry {
        std::string method;
        std::string target;
        StubReply reply;
        std::size_t expected = 1;
        bool unlimited = false;
        std::size_t used = 0;
    };

    std::string answer(const std::string& rawRequest, StubReply& reply);

    mutable std::mutex mutex_;
    std::vector<Entry> stubs_;
    std::vector<RecordedRequest> requests_;
    std::vector<std::string> unexpected_;
    bool verified_ = false;
    std::unique_ptr<net::TlsLoopbackServer> tlsServer_;
    std::unique_ptr<net::LoopbackServer> plainServer_;
    net::LoopbackServer* server_ = nullptr;
    std::string scheme_;
};

// Parses the head and body of one raw HTTP/1.1 request.
RecordedRequest parseRequest(const std::string& raw);
// The full HTTP/1.1 response for a stub reply.
std::string renderReply(const StubReply& reply);

}  // namespace testsupport::quil
