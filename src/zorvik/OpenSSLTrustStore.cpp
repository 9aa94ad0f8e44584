#include "zorvik/OpenSSLTrustStore.hpp"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zorvik::detail {
namespace {

using FileIdentity = std::pair<dev_t, ino_t>;

std::optional<FileIdentity> identify(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

// As OpenSSL loads a CA file: every certificate and CRL of a PEM file; a file
// that holds none has not loaded. The empty password keeps an encrypted key
// in the file from prompting on the terminal.
bool loadCertificateFile(X509_STORE* store, const std::string& path) {
    BIO* in = BIO_new_file(path.c_str(), "r");
    if (in == nullptr) {
        return false;
    }
    STACK_OF(X509_INFO)* entries = PEM_X509_INFO_read_bio(in, nullptr, nullptr, const_cast<char*>(""));
    BIO_free(in);
    if (entries == nullptr) {
        return false;
    }
    int count = 0;
    for (int i = 0; i < sk_X509_INFO_num(entries); ++i) {
        const X509_INFO* entry = sk_X509_INFO_value(entries, i);
        count += entry->x509 != nullptr && X509_STORE_add_cert(store, entry->x509) == 1;
        count += entry->crl != nullptr && X509_STORE_add_crl(store, entry->crl) == 1;
    }
    sk_X509_INFO_pop_free(entries, X509_INFO_free);
    return count > 0;
}

struct StoreContextFree {
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
using StoreContextPtr = std::unique_ptr<X509_STORE_CTX, StoreContextFree>;

// A context over `store` that decides like `context`: same time, purpose and
// flags.
StoreContextPtr contextLike(X509_STORE_CTX* context, X509_STORE* store, X509* certificate,
                            STACK_OF(X509) * untrusted) {
    StoreContextPtr made(X509_STORE_CTX_new());
    if (!made || X509_STORE_CTX_init(made.get(), store, certificate, untrusted) != 1 ||
        X509_VERIFY_PARAM_set1(X509_STORE_CTX_get0_param(made.get()), X509_STORE_CTX_get0_param(context)) != 1) {
        return nullptr;
    }
    return made;
}

// The files of the trust, in their order: the default certificate file, then
// the bundles up to the first that loads. Each is parsed only when a chain
// needs an issuer that nothing parsed so far gives, and at most once per
// context. The hashed directory and the store are looked up through a store
// of their own, so that what they give never mixes with the certificates of
// the files: loaded up front, a file's certificate hides every certificate of
// its name in the directory.
class DeferredFiles {
public:
    // The progress once every file that belongs to the trust has been parsed.
    static constexpr std::size_t kComplete = std::numeric_limits<std::size_t>::max();

    DeferredFiles(std::string defaultFile, std::span<const char* const> bundles, X509_STORE* lookups)
        : defaultFile_(std::move(defaultFile)), bundles_(bundles.begin(), bundles.end()), lookups_(lookups) {}
    ~DeferredFiles() { X509_STORE_free(lookups_); }
    DeferredFiles(const DeferredFiles&) = delete;
    DeferredFiles& operator=(const DeferredFiles&) = delete;

    // The issuer the directory and the store give, as a store whose files
    // hold no certificate of that name would choose it.
    int lookUpIssuer(X509** issuer, X509_STORE_CTX* context, X509* certificate) const {
        const StoreContextPtr lookup = contextLike(context, lookups_, nullptr, nullptr);
        return lookup ? X509_STORE_CTX_get1_issuer(issuer, lookup.get(), certificate) : -1;
    }
    STACK_OF(X509) * lookUpCertificates(X509_STORE_CTX* context, const X509_NAME* name) const {
        const StoreContextPtr lookup = contextLike(context, lookups_, nullptr, nullptr);
        return lookup ? X509_STORE_CTX_get1_certs(lookup.get(), name) : nullptr;
    }

    // How many files have been taken so far, or kComplete.
    std::size_t progress() const { return progress_.load(std::memory_order_acquire); }

    // Parses the next file, unless another thread has done so since it saw `seen`.
    void loadAfter(std::size_t seen, X509_STORE* store) {
        const std::lock_guard lock(mutex_);
        if (seen == kComplete || progress_.load(std::memory_order_relaxed) != seen) {
            return;
        }
        ERR_set_mark();
        progress_.store(loadNext(seen, store), std::memory_order_release);
        ERR_pop_to_mark();
    }

    void loadAll(X509_STORE* store) {
        for (std::size_t seen = progress(); seen != kComplete; seen = progress()) {
            loadAfter(seen, store);
        }
    }

private:
    // Parses the file of step `step` (0 the default file, then the bundles)
    // and returns the step after it.
    std::size_t loadNext(std::size_t step, X509_STORE* store) {
        if (step == 0) {
            defaultIdentity_ = identify(defaultFile_);
            defaultLoaded_ = loadCertificateFile(store, defaultFile_);
        } else {
            // The system bundle usually is the default file itself: the same
            // bytes load the same way, so they are not parsed twice.
            const std::string& bundle = bundles_[step - 1];
            const auto identity = identify(bundle);
            const bool same = identity && identity == defaultIdentity_;
            if (same ? defaultLoaded_ : loadCertificateFile(store, bundle)) {
                return kComplete;
            }
        }
        return step < bundles_.size() ? step + 1 : kComplete;
    }

    std::string defaultFile_;
    std::vector<std::string> bundles_;
    X509_STORE* lookups_;
    std::mutex mutex_;
    std::atomic<std::size_t> progress_{0};
    std::optional<FileIdentity> defaultIdentity_;
    bool defaultLoaded_ = false;
};

void freeDeferredFiles(void*, void* files, CRYPTO_EX_DATA*, int, long, void*) {
    delete static_cast<DeferredFiles*>(files);
}

int deferredFilesIndex() {
    static const int index = X509_STORE_get_ex_new_index(0, nullptr, nullptr, nullptr, freeDeferredFiles);
    return index;
}

DeferredFiles* deferredFiles(X509_STORE_CTX* context) {
    return static_cast<DeferredFiles*>(X509_STORE_get_ex_data(X509_STORE_CTX_get0_store(context), deferredFilesIndex()));
}

bool isCurrent(X509_STORE_CTX* context, X509* certificate) {
    return X509_cmp_timeframe(X509_STORE_CTX_get0_param(context), X509_get0_notBefore(certificate),
                              X509_get0_notAfter(certificate)) == 0;
}

// The certificates already in the store (added to the context, or parsed
// from the files so far) come first, then the directory and the store
// lookups; while neither gives a current issuer, the next file is parsed and
// the search runs again, until the files are used up. Then the store's
// answer stands where it has the name, as it would loaded up front.
int getIssuer(X509** issuer, X509_STORE_CTX* context, X509* certificate) {
    DeferredFiles* files = deferredFiles(context);
    X509* looked = nullptr;
    int lookedFound = 0;
    bool lookedUp = false;
    while (true) {
        const std::size_t progress = files->progress();
        int found = X509_STORE_CTX_get1_issuer(issuer, context, certificate);
        if (found == 1 && isCurrent(context, *issuer)) {
            X509_free(looked);
            return found;
        }
        if (!lookedUp) {
            lookedUp = true;
            lookedFound = files->lookUpIssuer(&looked, context, certificate);
        }
        const bool lookedCurrent = lookedFound == 1 && isCurrent(context, looked);
        if (lookedCurrent || (progress == DeferredFiles::kComplete && found != 1)) {
            if (found == 1) {
                X509_free(*issuer);
            }
            *issuer = looked;
            return lookedFound;
        }
        if (progress == DeferredFiles::kComplete) {
            X509_free(looked);
            return found;
        }
        if (found == 1) {
            X509_free(*issuer);
            *issuer = nullptr;
        }
        files->loadAfter(progress, X509_STORE_CTX_get0_store(context));
    }
}

// Asked for every trusted certificate of a name (partial chains, DANE): only
// the whole store answers that, the files before the directory.
STACK_OF(X509) * lookupCertificates(X509_STORE_CTX* context, const X509_NAME* name) {
    DeferredFiles* files = deferredFiles(context);
    files->loadAll(X509_STORE_CTX_get0_store(context));
    STACK_OF(X509)* certificates = X509_STORE_CTX_get1_certs(context, name);
    return certificates != nullptr ? certificates : files->lookUpCertificates(context, name);
}

// Verifies again in a new context over the same certificates and settings;
// its outcome, chain, error and matched peer name become those of `context`,
// where the connection takes them from.
int verifyAgain(X509_STORE_CTX* context) {
    const StoreContextPtr again = contextLike(context, X509_STORE_CTX_get0_store(context),
                                              X509_STORE_CTX_get0_cert(context), X509_STORE_CTX_get0_untrusted(context));
    if (!again) {
        return -1;
    }
    const int sslIndex = SSL_get_ex_data_X509_STORE_CTX_idx();
    X509_STORE_CTX_set_ex_data(again.get(), sslIndex, X509_STORE_CTX_get_ex_data(context, sslIndex));
    X509_STORE_CTX_set_verify_cb(again.get(), X509_STORE_CTX_get_verify_cb(context));
    const int verified = X509_verify_cert(again.get());
    X509_STORE_CTX_set0_verified_chain(context, X509_STORE_CTX_get1_chain(again.get()));
    X509_STORE_CTX_set_error(context, X509_STORE_CTX_get_error(again.get()));
    X509_STORE_CTX_set_error_depth(context, X509_STORE_CTX_get_error_depth(again.get()));
    X509_STORE_CTX_set_current_cert(context, X509_STORE_CTX_get_current_cert(again.get()));
    X509_VERIFY_PARAM_move_peername(X509_STORE_CTX_get0_param(context), X509_STORE_CTX_get0_param(again.get()));
    return verified;
}

// A chain that found an issuer in the directory may have been led astray by
// it where the files, loaded up front, hide that name (a copy certified by
// someone nobody trusts, say). So a chain refused while files were still
// unparsed is verified once more with all of them, which now decide as up
// front.
int verifyChain(X509_STORE_CTX* context, void*) {
    DeferredFiles* files = deferredFiles(context);
    const bool complete = files == nullptr || files->progress() == DeferredFiles::kComplete;
    const int verified = X509_verify_cert(context);
    if (verified > 0 || complete) {
        return verified;
    }
    files->loadAll(X509_STORE_CTX_get0_store(context));
    return verifyAgain(context);
}

std::string defaultCertificateFile() {
    const char* file = ::secure_getenv(X509_get_default_cert_file_env());
    return file != nullptr ? file : X509_get_default_cert_file();
}

}  // namespace

bool installSystemTrust(SSL_CTX* context, std::span<const char* const> bundleFiles) {
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    X509_STORE* lookups = X509_STORE_new();
    auto files = std::make_unique<DeferredFiles>(defaultCertificateFile(), bundleFiles, lookups);
    if (lookups != nullptr && X509_STORE_set_ex_data(store, deferredFilesIndex(), files.get()) == 1) {
        files.release();
        X509_STORE_set_get_issuer(store, getIssuer);
        X509_STORE_set_lookup_certs(store, lookupCertificates);
        SSL_CTX_set_cert_verify_callback(context, verifyChain, nullptr);
    } else {
        // Up front, into the context's own store: the files first, then the
        // directory only for names they do not hold.
        files->loadAll(store);
        lookups = store;
    }
    X509_LOOKUP* directory = X509_STORE_add_lookup(lookups, X509_LOOKUP_hash_dir());
    X509_LOOKUP* uriStore = X509_STORE_add_lookup(lookups, X509_LOOKUP_store());
    if (directory != nullptr) {
        X509_LOOKUP_add_dir(directory, nullptr, X509_FILETYPE_DEFAULT);
    }
    if (uriStore != nullptr) {
        X509_LOOKUP_add_store(uriStore, nullptr);
    }
    ERR_clear_error();
    return directory != nullptr && uriStore != nullptr;
}

}  // namespace zorvik::detail
