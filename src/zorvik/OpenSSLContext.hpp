#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "zorvik/SSLContext.hpp"

struct ssl_ctx_st;

namespace zorvik {

// A client TLS configuration over OpenSSL. Strict by default: TLS 1.2 or newer,
// a fixed strong cipher list, peer verification including the host name, and
// trust in the system store plus the first CA bundle file found.
//
// The OpenSSL context is built when first needed: by the first connection, or
// by a setter whose value OpenSSL must check. A program that makes a default
// context and then speaks plain HTTP pays nothing for TLS.
class OpenSSLContext : public SSLContext {
public:
    static constexpr const char* kDefaultCipherList = "HIGH:!aNULL:!eNULL:!EXPORT:!DES:!MD5:!PSK:!RC4";

    OpenSSLContext();
    ~OpenSSLContext() override;
    OpenSSLContext(const OpenSSLContext&) = delete;
    OpenSSLContext& operator=(const OpenSSLContext&) = delete;

    // A new context; its system trust store comes with it.
    static std::shared_ptr<OpenSSLContext> createDefault();

    SSLProvider getProvider() const override { return SSLProvider::OpenSSL; }
    std::string getProviderName() const override { return "OPENSSL"; }
    // Builds the OpenSSL context when it does not exist yet; false when that fails.
    bool isConfigured() const override;
    std::unique_ptr<SSLConnection> createConnection() const override;

    OpenSSLContext& setCertificateFile(const std::string& path) override;
    OpenSSLContext& setPrivateKeyFile(const std::string& path) override;
    OpenSSLContext& setCABundleFile(const std::string& path) override;
    OpenSSLContext& setVerifyPeer(bool verify) override;
    // With peer verification on, also require the certificate to name the host.
    OpenSSLContext& setVerifyHost(bool verify) override;
    OpenSSLContext& setCipherList(const std::string& ciphers) override;
    // OpenSSL protocol version numbers (0x0303 is TLS 1.2).
    OpenSSLContext& setMinTLSVersion(int version);
    OpenSSLContext& setMaxTLSVersion(int version);
    // The system trust store is part of every context from its building on;
    // this only builds the context, so later calls add nothing.
    OpenSSLContext& loadSystemCertificates();

    bool getVerifyPeer() const { return verifyPeer_; }
    bool getVerifyHost() const { return verifyHost_; }
    const std::string& getCertificateFile() const { return certificateFile_; }
    const std::string& getPrivateKeyFile() const { return privateKeyFile_; }
    const std::string& getCABundleFile() const { return caBundleFile_; }
    const std::string& getCipherList() const { return cipherList_; }

private:
    // The OpenSSL context, built with the defaults on the first call; a failed
    // build throws and leaves the next call to try again.
    ssl_ctx_st* context() const;
    void initializeDefaults() const;

    mutable std::once_flag built_;
    mutable ssl_ctx_st* ctx_ = nullptr;
    bool verifyPeer_ = true;
    bool verifyHost_ = true;
    std::string certificateFile_;
    std::string privateKeyFile_;
    std::string caBundleFile_;
    std::string cipherList_;
};

}  // namespace zorvik
