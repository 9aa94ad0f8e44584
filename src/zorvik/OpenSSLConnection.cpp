#include "zorvik/OpenSSLConnection.hpp"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <algorithm>
#include <climits>
#include <stdexcept>

#include "zorvik/OpenSSLSocketBio.hpp"

namespace zorvik {
namespace {

constexpr std::size_t kMaxErrorText = 255;

int clampLength(std::size_t length) {
    return static_cast<int>(std::min<std::size_t>(length, INT_MAX));
}

bool isIpAddress(const std::string& host) {
    unsigned char address[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), address) == 1 || ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

std::string firstQueuedError() {
    char text[kMaxErrorText + 1] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    return text;
}

}  // namespace

OpenSSLConnection::OpenSSLConnection(ssl_ctx_st* context, bool verifyHost)
    : ssl_(context == nullptr ? nullptr : SSL_new(context)), verifyHost_(verifyHost) {
    if (ssl_ == nullptr) {
        ERR_clear_error();
        throw std::runtime_error("Failed to create SSL connection");
    }
    // A record's header and body in one receive rather than two.
    SSL_set_read_ahead(ssl_, 1);
}

OpenSSLConnection::~OpenSSLConnection() {
    if (ssl_ != nullptr) {
        sendCloseNotifyIfConnected();
        SSL_free(ssl_);
    }
}

bool OpenSSLConnection::performHandshake(int fd, const std::string& host) {
    if (state_ == SSLConnectionState::Connected || state_ == SSLConnectionState::Closed ||
        state_ == SSLConnectionState::Error) {
        return false;
    }
    // The socket and the names are set once; later calls only continue the handshake.
    if (state_ == SSLConnectionState::Initial && !attach(fd, host)) {
        return false;
    }
    state_ = SSLConnectionState::Handshaking;
    ERR_clear_error();
    const int result = SSL_connect(ssl_);
    if (result == 1) {
        state_ = SSLConnectionState::Connected;
        // From here on a peer that hangs up without close_notify ends the stream
        // like a TCP close (bodies read to the close). During the handshake the
        // same event stays an error.
        SSL_set_options(ssl_, SSL_OP_IGNORE_UNEXPECTED_EOF);
        return true;
    }
    updateStateFromSSLError(result);
    return false;
}

bool OpenSSLConnection::attach(int fd, const std::string& host) {
    BIO* bio = detail::newSocketBio(fd);
    if (bio == nullptr) {
        fail("Failed to set socket for SSL");
        return false;
    }
    SSL_set_bio(ssl_, bio, bio);
    if (host.empty()) {
        return true;
    }
    SSL_set_tlsext_host_name(ssl_, host.c_str());
    return !verifyHost_ || requirePeerName(host);
}

// The chain check alone accepts any certificate the trust store vouches for;
// this ties it to the host the caller meant to reach.
bool OpenSSLConnection::requirePeerName(const std::string& host) {
    X509_VERIFY_PARAM* parameters = SSL_get0_param(ssl_);
    bool set = false;
    if (isIpAddress(host)) {
        set = X509_VERIFY_PARAM_set1_ip_asc(parameters, host.c_str()) == 1;
    } else {
        SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        set = SSL_set1_host(ssl_, host.c_str()) == 1;
    }
    if (!set) {
        ERR_clear_error();
        fail("Failed to set host name for certificate verification");
    }
    return set;
}

bool OpenSSLConnection::hasBufferedInput() const {
    return SSL_has_pending(ssl_) == 1;
}

int OpenSSLConnection::read(void* buffer, std::size_t length) {
    if (state_ != SSLConnectionState::Connected) {
        return -1;
    }
    ERR_clear_error();
    const int n = SSL_read(ssl_, buffer, clampLength(length));
    if (n > 0) {
        return n;
    }
    updateStateFromSSLError(n);
    return state_ == SSLConnectionState::Connected ? 0 : -1;
}

int OpenSSLConnection::write(const void* buffer, std::size_t length) {
    if (state_ != SSLConnectionState::Connected) {
        return -1;
    }
    ERR_clear_error();
    const int n = SSL_write(ssl_, buffer, clampLength(length));
    if (n > 0) {
        return n;
    }
    updateStateFromSSLError(n);
    return state_ == SSLConnectionState::Connected ? 0 : -1;
}

void OpenSSLConnection::close() {
    if (ssl_ != nullptr) {
        sendCloseNotifyIfConnected();
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    state_ = SSLConnectionState::Closed;
}

void OpenSSLConnection::fail(std::string message) {
    lastError_ = std::move(message);
    state_ = SSLConnectionState::Error;
}

void OpenSSLConnection::updateStateFromSSLError(int result) {
    const int error = SSL_get_error(ssl_, result);
    switch (error) {
    case SSL_ERROR_NONE:
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
        return;
    case SSL_ERROR_SSL:
        fail(firstQueuedError());
        return;
    case SSL_ERROR_SYSCALL:
        ERR_clear_error();
        fail("SSL system call error");
        return;
    case SSL_ERROR_ZERO_RETURN:
        lastError_ = "SSL connection closed";
        state_ = SSLConnectionState::Closed;
        return;
    default:
        ERR_clear_error();
        fail("Unknown SSL error: " + std::to_string(error));
        return;
    }
}

// Best effort and non-blocking: the socket may already be gone.
void OpenSSLConnection::sendCloseNotifyIfConnected() {
    if (state_ == SSLConnectionState::Connected) {
        SSL_shutdown(ssl_);
        ERR_clear_error();
    }
}

}  // namespace zorvik
