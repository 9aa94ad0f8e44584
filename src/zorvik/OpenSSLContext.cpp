#include "zorvik/OpenSSLContext.hpp"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <array>
#include <iostream>
#include <stdexcept>

#include "zorvik/OpenSSLConnection.hpp"
#include "zorvik/OpenSSLTrustStore.hpp"

namespace zorvik {
namespace {

constexpr int kMinimumProtocolVersion = 0x0303;  // TLS 1.2

constexpr std::array<const char*, 4> kCABundlePaths = {
    "/etc/ssl/certs/ca-certificates.crt",
    "/etc/pki/tls/certs/ca-bundle.crt",
    "/etc/ssl/ca-bundle.pem",
    "/etc/pki/ca-trust/extracted/pem/tls-ca-bundle.pem",
};

std::string takeErrorText() {
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    return text;
}

// A failed load leaves entries in this thread's error queue; they must not be
// reported later as the cause of some unrelated failure.
[[noreturn]] void throwAfterClearing(const std::string& message) {
    ERR_clear_error();
    throw std::runtime_error(message);
}

SSL_CTX* makeClientContext() {
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS | OPENSSL_INIT_ADD_ALL_CIPHERS |
                         OPENSSL_INIT_ADD_ALL_DIGESTS,
                     nullptr);
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) {
        throw std::runtime_error("Failed to create SSL context: " + takeErrorText());
    }
    // The reactor retries a blocked write from wherever its buffer now lives,
    // possibly with more bytes queued behind it.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    return context;
}

}  // namespace

OpenSSLContext::OpenSSLContext() : cipherList_(kDefaultCipherList) {}

OpenSSLContext::~OpenSSLContext() {
    SSL_CTX_free(ctx_);
}

std::shared_ptr<OpenSSLContext> OpenSSLContext::createDefault() {
    return std::make_shared<OpenSSLContext>();
}

SSL_CTX* OpenSSLContext::context() const {
    std::call_once(built_, [this] {
        ctx_ = makeClientContext();
        try {
            initializeDefaults();
        } catch (...) {
            SSL_CTX_free(ctx_);
            ctx_ = nullptr;
            throw;
        }
    });
    return ctx_;
}

void OpenSSLContext::initializeDefaults() const {
    if (SSL_CTX_set_cipher_list(ctx_, kDefaultCipherList) != 1 ||
        SSL_CTX_set_min_proto_version(ctx_, kMinimumProtocolVersion) != 1) {
        throwAfterClearing("Failed to create SSL context: " + takeErrorText());
    }
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
    if (!detail::installSystemTrust(ctx_, kCABundlePaths)) {
        std::cerr << "Warning: Failed to load system default certificate paths" << std::endl;
    }
}

bool OpenSSLContext::isConfigured() const {
    try {
        return context() != nullptr;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<SSLConnection> OpenSSLContext::createConnection() const {
    return std::make_unique<OpenSSLConnection>(context(), verifyHost_);
}

OpenSSLContext& OpenSSLContext::setCertificateFile(const std::string& path) {
    certificateFile_ = path;
    if (SSL_CTX_use_certificate_chain_file(context(), path.c_str()) != 1) {
        throwAfterClearing("Failed to load certificate file: " + path);
    }
    return *this;
}

OpenSSLContext& OpenSSLContext::setPrivateKeyFile(const std::string& path) {
    privateKeyFile_ = path;
    if (SSL_CTX_use_PrivateKey_file(context(), path.c_str(), SSL_FILETYPE_PEM) != 1) {
        throwAfterClearing("Failed to load private key file: " + path);
    }
    if (SSL_CTX_check_private_key(context()) != 1) {
        throwAfterClearing("Private key does not match certificate");
    }
    return *this;
}

OpenSSLContext& OpenSSLContext::setCABundleFile(const std::string& path) {
    caBundleFile_ = path;
    if (SSL_CTX_load_verify_locations(context(), path.c_str(), nullptr) != 1) {
        throwAfterClearing("Failed to load CA bundle file: " + path);
    }
    return *this;
}

OpenSSLContext& OpenSSLContext::setVerifyPeer(bool verify) {
    verifyPeer_ = verify;
    SSL_CTX_set_verify(context(), verify ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
    return *this;
}

OpenSSLContext& OpenSSLContext::setVerifyHost(bool verify) {
    verifyHost_ = verify;
    return *this;
}

OpenSSLContext& OpenSSLContext::setCipherList(const std::string& ciphers) {
    cipherList_ = ciphers;
    if (SSL_CTX_set_cipher_list(context(), ciphers.c_str()) != 1) {
        throwAfterClearing("Failed to set cipher list: " + ciphers);
    }
    return *this;
}

OpenSSLContext& OpenSSLContext::setMinTLSVersion(int version) {
    if (SSL_CTX_set_min_proto_version(context(), version) != 1) {
        throwAfterClearing("Failed to set minimum TLS version: " + std::to_string(version));
    }
    return *this;
}

OpenSSLContext& OpenSSLContext::setMaxTLSVersion(int version) {
    if (SSL_CTX_set_max_proto_version(context(), version) != 1) {
        throwAfterClearing("Failed to set maximum TLS version: " + std::to_string(version));
    }
    return *this;
}

OpenSSLContext& OpenSSLContext::loadSystemCertificates() {
    context();
    return *this;
}

}  // namespace zorvik
