#include "LatenessSupport.hpp"

#include "SilentLogger.hpp"
#include "support/net/TestCertificates.hpp"
#include "zorvik/OpenSSLContext.hpp"
#include "zorvik/ZorvikConfig.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>

namespace bench {

int listenLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, 128) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool readHead(int fd, SSL* ssl) {
    std::string head;
    char byte = 0;
    while (head.find("\r\n\r\n") == std::string::npos) {
        if ((ssl ? SSL_read(ssl, &byte, 1) : ::recv(fd, &byte, 1, 0)) != 1) {
            return false;
        }
        head += byte;
    }
    return true;
}

SSL_CTX* serverContext() {
    static SSL_CTX* context = [] {
        const auto& files = testsupport::net::TestCertificates::shared().localhost();
        SSL_CTX* made = SSL_CTX_new(TLS_server_method());
        if (SSL_CTX_use_certificate_chain_file(made, files.certificate.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(made, files.privateKey.c_str(), SSL_FILETYPE_PEM) != 1) {
            std::fprintf(stderr, "cannot load the test certificate\n");
            std::exit(1);
        }
        return made;
    }();
    return context;
}

std::shared_ptr<zorvik::HttpClient> makeClient(Transport transport, zorvik::IoBackend backend) {
    zorvik::ZorvikConfig config;
    config.logger(std::make_shared<SilentLogger>());
    if (transport == Transport::Tls) {
        auto tls = zorvik::OpenSSLContext::createDefault();
        tls->setCABundleFile(testsupport::net::TestCertificates::shared().caFile());
        config.ssl(tls);
    }
    zorvik::IoBackend chosen = zorvik::IoBackend::Auto;
    return zorvik::HttpClient::create(config, backend, chosen);
}

}  // namespace bench
