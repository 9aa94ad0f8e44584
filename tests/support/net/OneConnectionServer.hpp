#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace testsupport::net {

// Accepts one connection on an ephemeral loopback port and hands its socket
// to the script; the thread is joined on destruction.
class OneConnectionServer {
public:
    explicit OneConnectionServer(std::function<void(int fd)> script) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        // A fixed small receive buffer (inherited by the accepted socket) stops
        // the kernel from growing it to hold a large body the script never reads.
        const int receiveBuffer = 65536;
        ::setsockopt(listenFd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        ::listen(listenFd_, 1);
        thread_ = std::thread([this, script = std::move(script)] {
            const int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd >= 0) {
                script(fd);
                ::close(fd);
            }
        });
    }
    ~OneConnectionServer() {
        ::shutdown(listenFd_, SHUT_RDWR);
        thread_.join();
        ::close(listenFd_);
    }
    OneConnectionServer(const OneConnectionServer&) = delete;
    OneConnectionServer& operator=(const OneConnectionServer&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/upload"; }

private:
    int listenFd_ = -1;
    int port_ = 0;
    std::thread thread_;
};

inline void readRequestHead(int fd) {
    std::string head;
    char byte = 0;
    while (head.find("\r\n\r\n") == std::string::npos && ::recv(fd, &byte, 1, 0) == 1) {
        head += byte;
    }
}

inline void sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

}  // namespace testsupport::net
