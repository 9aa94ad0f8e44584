#pragma once

#include <cstddef>
#include <string>

#include "zorvik/SSLConnection.hpp"

struct ssl_st;
struct ssl_ctx_st;

namespace zorvik {

// The TLS client state of one non-blocking socket over OpenSSL. When asked to
// verify the host, the handshake also checks the peer certificate's names
// against the host name or IP address it connects to.
class OpenSSLConnection : public SSLConnection {
public:
    explicit OpenSSLConnection(ssl_ctx_st* context, bool verifyHost = true);
    ~OpenSSLConnection() override;
    OpenSSLConnection(const OpenSSLConnection&) = delete;
    OpenSSLConnection& operator=(const OpenSSLConnection&) = delete;

    bool performHandshake(int fd, const std::string& host) override;
    int read(void* buffer, std::size_t length) override;
    int write(const void* buffer, std::size_t length) override;
    void close() override;
    SSLConnectionState getState() const override { return state_; }
    std::string getLastError() const override { return lastError_; }
    bool wantRead() const override { return state_ == SSLConnectionState::Handshaking; }
    bool wantWrite() const override { return state_ == SSLConnectionState::Handshaking; }
    bool hasBufferedInput() const override;

private:
    bool attach(int fd, const std::string& host);
    bool requirePeerName(const std::string& host);
    void fail(std::string message);
    void updateStateFromSSLError(int result);
    void sendCloseNotifyIfConnected();

    ssl_st* ssl_ = nullptr;
    SSLConnectionState state_ = SSLConnectionState::Initial;
    std::string lastError_;
    bool verifyHost_;
};

}  // namespace zorvik
