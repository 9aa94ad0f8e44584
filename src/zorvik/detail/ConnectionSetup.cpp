// Completion of a non-blocking connect and the TLS handshake, on the reactor
// thread with the connection's mutex held.
#include "zorvik/detail/ReactorCore.hpp"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/socket.h>

namespace zorvik::detail {
namespace {

void checkConnectResult(int fd) {
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        throw std::runtime_error(std::string("getsockopt failed: ") + std::strerror(errno));
    }
    if (error != 0) {
        throw std::runtime_error(std::string("Connection failed: ") + std::strerror(error));
    }
}

}  // namespace

void ReactorCore::ensureConnectionEstablished(ConnectionState& connection) {
    if (connection.phase != ConnectionPhase::Connecting) {
        return;
    }
    if (!connection.tcpConnected) {
        checkConnectResult(connection.fd);
        connection.tcpConnected = true;
    }
    if (connection.useTls && !connection.handshakeComplete) {
        initializeSSLConnection(connection);
        performSSLHandshake(connection, connection.earliestDeadlineLocked());
        if (!connection.handshakeComplete) {
            return;
        }
    }
    connection.phase = ConnectionPhase::Active;
}

void ReactorCore::initializeSSLConnection(ConnectionState& connection) const {
    if (!sslContext_) {
        throw std::runtime_error("No SSL context configured");
    }
    if (connection.ssl) {
        return;
    }
    connection.ssl = sslContext_->createConnection();
    if (!connection.ssl) {
        throw std::runtime_error("Failed to create SSL connection from configured context");
    }
}

void ReactorCore::performSSLHandshake(ConnectionState& connection, Clock::time_point deadline) {
    if (!connection.ssl) {
        throw std::runtime_error("SSL connection not initialized");
    }
    if (Clock::now() >= deadline) {
        throw std::runtime_error("SSL handshake timeout");
    }
    if (connection.ssl->performHandshake(connection.fd, connection.host)) {
        connection.handshakeComplete = true;
        return;
    }
    // A peer that closes during the handshake ends it as surely as an error does.
    const auto state = connection.ssl->getState();
    if (state == SSLConnectionState::Error || state == SSLConnectionState::Closed) {
        throw std::runtime_error("SSL handshake failed: " + connection.ssl->getLastError());
    }
}

}  // namespace zorvik::detail
