#pragma once

#include <string>

namespace testsupport::net {

// A certificate and its private key, as PEM files.
struct CertificateFiles {
    std::string certificate;
    std::string privateKey;
};

// A throw-away certificate authority and server certificates signed by it,
// generated when constructed and written to a fresh temporary directory that
// the destructor removes. Keys are P-256 so that generation stays cheap.
class TestCertificates {
public:
    // A leaf issued by an intermediate authority, and copies of the
    // authorities (same name and key) certified by a root nobody trusts.
    struct Chain {
        CertificateFiles leaf;  // names "localhost" and 127.0.0.1
        std::string intermediate;
        std::string root;
        std::string both;  // the intermediate, then the root
        std::string crossRootDirectory;
        std::string crossIntermediateDirectory;
    };

    TestCertificates();
    ~TestCertificates();

    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    // One set per process, for tests that only need to read the files.
    static const TestCertificates& shared();

    const std::string& directory() const { return directory_; }
    // PEM file holding the CA certificate (the bundle a client should trust).
    const std::string& caFile() const { return caFile_; }
    // A hashed certificate directory (OpenSSL's subject-hash names) holding the CA.
    const std::string& caDirectory() const { return caDirectory_; }
    // A hashed directory holding an expired copy of the CA: same name and key.
    const std::string& expiredCaDirectory() const { return expiredCaDirectory_; }
    // Valid now, names "localhost" and 127.0.0.1.
    const CertificateFiles& localhost() const { return localhost_; }
    // Valid now, names only "other.example".
    const CertificateFiles& otherName() const { return otherName_; }
    // Names "localhost" and 127.0.0.1, but expired yesterday.
    const CertificateFiles& expired() const { return expired_; }
    const Chain& chain() const { return chain_; }

private:
    std::string directory_;
    std::string caFile_;
    std::string caDirectory_;
    std::string expiredCaDirectory_;
    CertificateFiles localhost_;
    CertificateFiles otherName_;
    CertificateFiles expired_;
    Chain chain_;
};

}  // namespace testsupport::net
