#include "support/net/TlsLoopbackServer.hpp"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <csignal>
#include <mutex>
#include <pthread.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport::net {

struct TlsLoopbackServer::State {
    SSL_CTX* context = nullptr;
    TlsServerOptions options;
    mutable std::mutex mutex;
    std::size_t completed = 0;
    std::size_t failed = 0;
    std::vector<std::string> serverNames;

    ~State() { SSL_CTX_free(context); }
};

namespace {

// A socket write after the peer went away must fail, not kill the test process.
// The signal is thread-directed, so blocking it here is enough.
void blockSigpipeOnThisThread() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

class TlsStream : public ServerStream {
public:
    TlsStream(SSL* ssl, int fd, bool sendCloseNotify) : ssl_(ssl), fd_(fd), sendCloseNotify_(sendCloseNotify) {}
    ~TlsStream() override {
        if (sendCloseNotify_) {
            SSL_shutdown(ssl_);
            BIO_flush(SSL_get_wbio(ssl_));
        }
        SSL_free(ssl_);
        ::close(fd_);
    }
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    ssize_t read(char* buffer, std::size_t length) override {
        const int n = SSL_read(ssl_, buffer, static_cast<int>(length));
        if (n > 0) {
            return n;
        }
        return SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
    }

    bool writeAll(std::string_view bytes) override {
        while (!bytes.empty()) {
            const int n = SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()));
            if (n <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return BIO_flush(SSL_get_wbio(ssl_)) == 1;
    }

private:
    SSL* ssl_;
    int fd_;
    bool sendCloseNotify_;
};

// Reads straight from the socket; writes gather in a buffer that each flight
// of the handshake, and each reply, flushes: the records of one reply leave
// in one send, as they do from a real server.
bool useBufferedWrites(SSL* ssl, int fd) {
    BIO* socket = BIO_new_socket(fd, BIO_NOCLOSE);
    BIO* buffered = BIO_new(BIO_f_buffer());
    if (socket == nullptr || buffered == nullptr || BIO_set_write_buffer_size(buffered, 128 * 1024) != 1 ||
        BIO_up_ref(socket) != 1) {
        BIO_free(socket);
        BIO_free(buffered);
        return false;
    }
    BIO_push(buffered, socket);
    SSL_set_bio(ssl, socket, buffered);  // each side owns one reference of the socket's BIO
    return true;
}

// Holds the connection without a byte of handshake until the server shuts it down.
void stall(int fd) {
    char byte;
    while (::recv(fd, &byte, 1, 0) > 0) {
    }
}

std::unique_ptr<ServerStream> acceptTls(TlsLoopbackServer::State& state, int fd) {
    blockSigpipeOnThisThread();
    if (state.options.stallHandshake) {
        stall(fd);
        return nullptr;
    }
    SSL* ssl = SSL_new(state.context);
    if (ssl == nullptr || !useBufferedWrites(ssl, fd) || SSL_accept(ssl) != 1) {
        ERR_clear_error();
        SSL_free(ssl);
        const std::lock_guard lock(state.mutex);
        ++state.failed;
        return nullptr;
    }
    const char* name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
    {
        const std::lock_guard lock(state.mutex);
        ++state.completed;
        state.serverNames.emplace_back(name == nullptr ? "" : name);
    }
    return std::make_unique<TlsStream>(ssl, fd, state.options.sendCloseNotify);
}

SSL_CTX* makeServerContext(const TlsServerOptions& options) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr) {
        throw std::runtime_error("TLS loopback server: cannot create a context");
    }
    bool ready = SSL_CTX_use_certificate_file(context, options.certificate.certificate.c_str(), SSL_FILETYPE_PEM) ==
                     1 &&
                 SSL_CTX_use_PrivateKey_file(context, options.certificate.privateKey.c_str(), SSL_FILETYPE_PEM) == 1;
    if (ready && options.maxProtocolVersion != 0) {
        ready = SSL_CTX_set_max_proto_version(context, options.maxProtocolVersion) == 1;
        if (ready && options.maxProtocolVersion < TLS1_2_VERSION) {
            SSL_CTX_set_security_level(context, 0);
            ready = SSL_CTX_set_min_proto_version(context, 0) == 1 &&
                    SSL_CTX_set_cipher_list(context, "DEFAULT:@SECLEVEL=0") == 1;
        }
    }
    if (ready && options.recordSize != 0) {
        ready = SSL_CTX_set_max_send_fragment(context, static_cast<long>(options.recordSize)) == 1;
    }
    if (!ready) {
        SSL_CTX_free(context);
        throw std::runtime_error("TLS loopback server: cannot load the certificate or set the version");
    }
    return context;
}

}  // namespace

TlsLoopbackServer::TlsLoopbackServer(TlsServerOptions options) : state_(std::make_shared<State>()) {
    state_->context = makeServerContext(options);
    state_->options = std::move(options);
    server_ = std::make_unique<LoopbackServer>(
        [state = state_](int fd) { return acceptTls(*state, fd); });
}

// The HTTP server goes first: it joins the connection threads that use the state.
TlsLoopbackServer::~TlsLoopbackServer() {
    server_.reset();
}

std::string TlsLoopbackServer::url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port()) + path;
}

std::size_t TlsLoopbackServer::completedHandshakes() const {
    const std::lock_guard lock(state_->mutex);
    return state_->completed;
}

std::size_t TlsLoopbackServer::failedHandshakes() const {
    const std::lock_guard lock(state_->mutex);
    return state_->failed;
}

std::vector<std::string> TlsLoopbackServer::serverNames() const {
    const std::lock_guard lock(state_->mutex);
    return state_->serverNames;
}

}  // namespace testsupport::net
