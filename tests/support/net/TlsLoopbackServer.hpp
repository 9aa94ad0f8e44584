#pragma once

#include "support/net/LoopbackServer.hpp"
#include "support/net/TestCertificates.hpp"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace testsupport::net {

struct TlsServerOptions {
    CertificateFiles certificate = TestCertificates::shared().localhost();
    // Send close_notify before closing a connection; false closes the socket bare.
    bool sendCloseNotify = true;
    // Accept TCP connections but never answer the handshake.
    bool stallHandshake = false;
    // Highest protocol version offered (an OpenSSL version number); 0 keeps the default.
    // Lower than TLS 1.2 also drops the security level so that such a peer can exist.
    int maxProtocolVersion = 0;
    // The most plaintext one record carries (at least 512); 0 keeps the default.
    std::size_t recordSize = 0;
};

// The scripted loopback HTTP server behind a TLS server handshake. It records
// the server name each client indicated and counts handshakes, so tests can
// see SNI and connection reuse.
class TlsLoopbackServer {
public:
    explicit TlsLoopbackServer(TlsServerOptions options = {});
    ~TlsLoopbackServer();
    TlsLoopbackServer(const TlsLoopbackServer&) = delete;
    TlsLoopbackServer& operator=(const TlsLoopbackServer&) = delete;

    // The HTTP side: scripted replies, recorded requests, stop().
    LoopbackServer& http() { return *server_; }
    const LoopbackServer& http() const { return *server_; }

    int port() const { return server_->port(); }
    // "https://127.0.0.1:<port>" followed by the path.
    std::string url(const std::string& path = "/") const;

    std::size_t completedHandshakes() const;
    std::size_t failedHandshakes() const;
    // Server name indicated by each completed handshake, "" where none was sent.
    std::vector<std::string> serverNames() const;

    struct State;

private:
    std::shared_ptr<State> state_;
    std::unique_ptr<LoopbackServer> server_;
};

}  // namespace testsupport::net
