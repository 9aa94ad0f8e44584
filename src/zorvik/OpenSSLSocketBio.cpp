#include "zorvik/OpenSSLSocketBio.hpp"

#include <openssl/bio.h>

#include <cerrno>
#include <cstdint>
#include <sys/socket.h>

namespace zorvik::detail {
namespace {

int descriptorOf(BIO* bio) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int socketWrite(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(descriptorOf(bio), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (n >= 0) {
        return static_cast<int>(n);
    }
    if (wouldBlock(errno)) {
        BIO_set_retry_write(bio);
    }
    return -1;
}

int socketRead(BIO* bio, char* data, int length) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(descriptorOf(bio), data, static_cast<std::size_t>(length), 0);
    if (n > 0) {
        return static_cast<int>(n);
    }
    if (n == 0) {
        // OpenSSL asks BIO_eof to tell a peer's hang-up from a failure.
        BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
        return 0;
    }
    if (wouldBlock(errno)) {
        BIO_set_retry_read(bio);
    }
    return -1;
}

long socketControl(BIO* bio, int command, long, void* pointer) {
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0 ? 1 : 0;
    case BIO_C_GET_FD:
        if (pointer != nullptr) {
            *static_cast<int*>(pointer) = descriptorOf(bio);
        }
        return descriptorOf(bio);
    default:
        return 0;
    }
}

int socketCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

// Made once and kept for the life of the process, as OpenSSL's own methods are.
const BIO_METHOD* socketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR,
                                        "zorvik socket");
        if (made != nullptr) {
            BIO_meth_set_write(made, socketWrite);
            BIO_meth_set_read(made, socketRead);
            BIO_meth_set_ctrl(made, socketControl);
            BIO_meth_set_create(made, socketCreate);
        }
        return made;
    }();
    return method;
}

}  // namespace

bio_st* newSocketBio(int fd) {
    const BIO_METHOD* method = socketMethod();
    if (method == nullptr || fd < 0) {
        return nullptr;
    }
    BIO* bio = BIO_new(method);
    if (bio != nullptr) {
        BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    }
    return bio;
}

}  // namespace zorvik::detail
