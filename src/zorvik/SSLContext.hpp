#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "zorvik/SSLConnection.hpp"

namespace zorvik {

enum class SSLProvider : std::uint32_t {
    OpenSSL = 0,
};

// A client TLS configuration shared by all connections of a client. Set it up
// before requests start; afterwards it is only read. Setters throw
// std::runtime_error when the TLS library refuses a value, and return the
// context so that calls chain.
class SSLContext {
public:
    virtual ~SSLContext() = default;

    virtual SSLProvider getProvider() const = 0;
    virtual std::string getProviderName() const = 0;
    virtual bool isConfigured() const = 0;
    // A new connection object for one socket; throws when not configured.
    virtual std::unique_ptr<SSLConnection> createConnection() const = 0;
    virtual SSLContext& setCertificateFile(const std::string& path) = 0;
    virtual SSLContext& setPrivateKeyFile(const std::string& path) = 0;
    virtual SSLContext& setCABundleFile(const std::string& path) = 0;
    virtual SSLContext& setVerifyPeer(bool verify) = 0;
    virtual SSLContext& setVerifyHost(bool verify) = 0;
    virtual SSLContext& setCipherList(const std::string& ciphers) = 0;
};

}  // namespace zorvik
