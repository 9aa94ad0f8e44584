#pragma once

#include <memory>
#include <string>

#include "zorvik/SSLContext.hpp"

struct ssl_ctx_st;

namespace zorvik {

// A client TLS configuration over OpenSSL. Strict by default: TLS 1.2 or newer,
// a fixed strong cipher list, peer verification including the host name, and
// trust in the system store plus the first CA bundle file found.
class OpenSSLContext : public SSLContext {
public:
    static constexpr const char* kDefaultCipherList = "HIGH:!aNULL:!eNULL:!EXPORT:!DES:!MD5:!PSK:!RC4";

    OpenSSLContext();
    ~OpenSSLContext() override;
    OpenSSLContext(const OpenSSLContext&) = delete;
    OpenSSLContext& operator=(const OpenSSLContext&) = delete;

    // A new context with the system trust store loaded once more.
    static std::shared_ptr<OpenSSLContext> createDefault();

    SSLProvider getProvider() const override { return SSLProvider::OpenSSL; }
    std::string getProviderName() const override { return "OPENSSL"; }
    bool isConfigured() const override { return ctx_ != nullptr; }
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
    // Loads the system trust store into this context once; later calls add
    // nothing, since the same certificates are already trusted.
    OpenSSLContext& loadSystemCertificates();

    bool getVerifyPeer() const { return verifyPeer_; }
    bool getVerifyHost() const { return verifyHost_; }
    const std::string& getCertificateFile() const { return certificateFile_; }
    const std::string& getPrivateKeyFile() const { return privateKeyFile_; }
    const std::string& getCABundleFile() const { return caBundleFile_; }
    const std::string& getCipherList() const { return cipherList_; }

private:
    void initializeDefaults();

    ssl_ctx_st* ctx_ = nullptr;
    bool verifyPeer_ = true;
    bool verifyHost_ = true;
    bool systemCertificatesLoaded_ = false;
    std::string certificateFile_;
    std::string privateKeyFile_;
    std::string caBundleFile_;
    std::string cipherList_;
};

}  // namespace zorvik
