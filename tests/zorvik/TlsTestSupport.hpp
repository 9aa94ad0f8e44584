#pragma once

#include "support/net/TestCertificates.hpp"
#include "support/net/TlsLoopbackServer.hpp"

#include <cstdlib>
#include <optional>
#include <string>

namespace zorvik::testing {

// Sets or clears environment variables for one test and restores them after.
class ScopedVariable {
public:
    ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            saved_ = old;
        }
        apply(value);
    }
    ~ScopedVariable() { apply(saved_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void apply(const std::optional<std::string>& value) const {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

    const char* name_;
    std::optional<std::string> saved_;
};

// The environment of the test machine points OpenSSL at a trust store; tests of
// "no CA" and of trust-store discovery must not see it.
class ScopedTrustStore {
public:
    ScopedTrustStore(std::optional<std::string> certFile = std::nullopt, std::optional<std::string> certDir = std::nullopt)
        : file_("SSL_CERT_FILE", std::move(certFile)), directory_("SSL_CERT_DIR", std::move(certDir)) {}

private:
    ScopedVariable file_;
    ScopedVariable directory_;
};

inline const testsupport::net::TestCertificates& certificates() {
    return testsupport::net::TestCertificates::shared();
}

// Server options that present the given certificate, the rest as defaulted.
inline testsupport::net::TlsServerOptions serving(const testsupport::net::CertificateFiles& certificate) {
    testsupport::net::TlsServerOptions options;
    options.certificate = certificate;
    return options;
}

}  // namespace zorvik::testing
