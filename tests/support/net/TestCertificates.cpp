#include "support/net/TestCertificates.hpp"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace testsupport::net {
namespace {

constexpr long kOneDay = 24L * 60L * 60L;

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using CertificatePtr = std::unique_ptr<X509, CertificateDeleter>;

[[noreturn]] void fail(const std::string& what) {
    char detail[256] = {};
    ERR_error_string_n(ERR_get_error(), detail, sizeof detail);
    throw std::runtime_error("test certificate generation failed: " + what + ": " + detail);
}

KeyPtr generateKey() {
    KeyPtr key{EVP_EC_gen("P-256")};
    if (!key) {
        fail("EC key");
    }
    return key;
}

struct Validity {
    long notBeforeOffset;  // seconds from now
    long notAfterOffset;
};

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) {
        fail(std::string("extension ") + OBJ_nid2sn(nid));
    }
    const int added = X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
    if (added != 1) {
        fail("add extension");
    }
}

CertificatePtr startCertificate(const std::string& commonName, EVP_PKEY* key, long serial,
                                Validity validity) {
    CertificatePtr certificate{X509_new()};
    if (!certificate || X509_set_version(certificate.get(), 2) != 1 ||
        ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial) != 1 ||
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), validity.notBeforeOffset) == nullptr ||
        X509_gmtime_adj(X509_getm_notAfter(certificate.get()), validity.notAfterOffset) == nullptr ||
        X509_set_pubkey(certificate.get(), key) != 1) {
        fail("certificate fields");
    }
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    const auto* cn = reinterpret_cast<const unsigned char*>(commonName.c_str());
    if (X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, cn, -1, -1, 0) != 1) {
        fail("subject name");
    }
    return certificate;
}

void sign(X509* certificate, EVP_PKEY* issuerKey) {
    if (X509_sign(certificate, issuerKey, EVP_sha256()) == 0) {
        fail("signature");
    }
}

void writeCertificate(const std::string& path, X509* certificate) {
    std::unique_ptr<std::FILE, FileCloser> file{std::fopen(path.c_str(), "w")};
    if (!file || PEM_write_X509(file.get(), certificate) != 1) {
        throw std::runtime_error("cannot write test certificate " + path);
    }
}

void writeKey(const std::string& path, EVP_PKEY* key) {
    std::unique_ptr<std::FILE, FileCloser> file{std::fopen(path.c_str(), "w")};
    if (!file ||
        PEM_write_PrivateKey(file.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        throw std::runtime_error("cannot write test key " + path);
    }
}

std::string makeTemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorvik-certs-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory for test certificates");
    }
    return std::string(buffer.data());
}

std::string writeHashed(const std::string& directory, X509* certificate) {
    std::filesystem::create_directories(directory);
    char name[16];
    std::snprintf(name, sizeof name, "%08lx.0", X509_subject_name_hash(certificate));
    writeCertificate(directory + "/" + name, certificate);
    return directory;
}

class Authority {
public:
    // A root, or with `issuer` an intermediate authority it certifies; the
    // certificate is written to `file`.
    Authority(const std::string& file, std::string name, const Authority* issuer = nullptr)
        : key_(generateKey()), name_(std::move(name)), file_(file) {
        certificate_ = (issuer != nullptr ? *issuer : *this).certify(name_, key_.get(), 1, {-kOneDay, 30 * kOneDay});
        writeCertificate(file_, certificate_.get());
    }

    // Writes the authority, or a copy of it (same name and key) valid for
    // another period, to a directory under its subject hash, as a hashed
    // certificate directory holds it. Returns the directory.
    std::string writeHashed(const std::string& directory, long serial, Validity validity) const {
        return net::writeHashed(directory, certify(name_, key_.get(), serial, validity).get());
    }

    // Writes a copy of this authority (same name and key) certified by
    // `other` to a hashed directory. Returns the directory.
    std::string writeCrossSigned(const std::string& directory, const Authority& other) const {
        return net::writeHashed(directory, other.certify(name_, key_.get(), 6, {-kOneDay, 30 * kOneDay}).get());
    }

    const std::string& file() const { return file_; }

    CertificateFiles issue(const std::string& directory, const std::string& stem,
                           const std::string& commonName, const char* subjectAltNames, long serial,
                           Validity validity) const {
        const KeyPtr key = generateKey();
        const CertificatePtr certificate = startCertificate(commonName, key.get(), serial, validity);
        X509* leaf = certificate.get();
        if (X509_set_issuer_name(leaf, X509_get_subject_name(certificate_.get())) != 1) {
            fail("leaf issuer");
        }
        addExtension(leaf, certificate_.get(), NID_basic_constraints, "critical,CA:FALSE");
        addExtension(leaf, certificate_.get(), NID_key_usage, "critical,digitalSignature");
        addExtension(leaf, certificate_.get(), NID_ext_key_usage, "serverAuth,clientAuth");
        addExtension(leaf, certificate_.get(), NID_subject_alt_name, subjectAltNames);
        addExtension(leaf, certificate_.get(), NID_authority_key_identifier, "keyid:always");
        sign(leaf, key_.get());

        CertificateFiles files{directory + "/" + stem + ".pem", directory + "/" + stem + "-key.pem"};
        writeCertificate(files.certificate, leaf);
        writeKey(files.privateKey, key.get());
        return files;
    }

private:
    // A CA certificate for `name` and `key`, issued by this authority; its
    // own certificate when `key` is its key and none exists yet.
    CertificatePtr certify(const std::string& name, EVP_PKEY* key, long serial, Validity validity) const {
        CertificatePtr certificate = startCertificate(name, key, serial, validity);
        X509* made = certificate.get();
        X509* issuer = certificate_ ? certificate_.get() : made;
        if (X509_set_issuer_name(made, X509_get_subject_name(issuer)) != 1) {
            fail("CA issuer");
        }
        addExtension(made, issuer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(made, issuer, NID_key_usage, "critical,keyCertSign,cRLSign");
        addExtension(made, issuer, NID_subject_key_identifier, "hash");
        if (key != key_.get()) {
            addExtension(made, issuer, NID_authority_key_identifier, "keyid:always");
        }
        sign(made, key_.get());
        return certificate;
    }

    KeyPtr key_;
    std::string name_;
    CertificatePtr certificate_;
    std::string file_;
};

// A chain through an intermediate, and copies of its authorities certified
// by roots nobody trusts.
TestCertificates::Chain makeChain(const std::string& directory) {
    const Authority root(directory + "/chain-root.pem", "Zorvik Chain Root");
    const Authority intermediate(directory + "/chain-intermediate.pem", "Zorvik Chain Intermediate", &root);
    const Authority stranger(directory + "/stranger.pem", "Zorvik Stranger");
    TestCertificates::Chain chain;
    chain.leaf = intermediate.issue(directory, "chain-leaf", "localhost", "DNS:localhost,IP:127.0.0.1", 2,
                                    {-kOneDay, 30 * kOneDay});
    chain.intermediate = intermediate.file();
    chain.root = root.file();
    chain.both = directory + "/chain-both.pem";
    std::filesystem::copy_file(chain.intermediate, chain.both);
    std::ofstream(chain.both, std::ios::app) << std::ifstream(chain.root).rdbuf();
    chain.crossRootDirectory = root.writeCrossSigned(directory + "/cross-root", stranger);
    chain.crossIntermediateDirectory = intermediate.writeCrossSigned(directory + "/cross-intermediate", stranger);
    return chain;
}

}  // namespace

TestCertificates::TestCertificates() : directory_(makeTemporaryDirectory()) {
    try {
        const Authority authority(directory_ + "/ca.pem", "Zorvik Test CA");
        caFile_ = authority.file();
        const Validity current{-kOneDay, 30 * kOneDay};
        localhost_ = authority.issue(directory_, "localhost", "localhost",
                                     "DNS:localhost,IP:127.0.0.1", 2, current);
        otherName_ = authority.issue(directory_, "other", "other.example", "DNS:other.example", 3,
                                     current);
        expired_ = authority.issue(directory_, "expired", "localhost",
                                   "DNS:localhost,IP:127.0.0.1", 4, {-3 * kOneDay, -kOneDay});
        caDirectory_ = authority.writeHashed(directory_ + "/hashed", 1, current);
        expiredCaDirectory_ = authority.writeHashed(directory_ + "/hashed-expired", 5, {-3 * kOneDay, -kOneDay});
        chain_ = makeChain(directory_);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
        throw;
    }
}

TestCertificates::~TestCertificates() {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

const TestCertificates& TestCertificates::shared() {
    static const TestCertificates certificates;
    return certificates;
}

}  // namespace testsupport::net
