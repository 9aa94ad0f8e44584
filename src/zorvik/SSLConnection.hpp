#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvik {

enum class SSLConnectionState : std::int32_t {
    Initial = 0,
    Handshaking = 1,
    Connected = 2,
    Closed = 3,  // final: closed locally or by the peer's close notification
    Error = 4,   // final: see getLastError
};

// The TLS state of one non-blocking socket, driven by one reactor thread at a time.
class SSLConnection {
public:
    virtual ~SSLConnection() = default;

    // One handshake step; true when the handshake finished in this call. False
    // with state Handshaking means: wait for the socket and call again.
    virtual bool performHandshake(int fd, const std::string& host) = 0;
    // Byte count when positive; 0 when TLS wants to read or write again later;
    // -1 on error, on a closed connection, and whenever the state is not Connected.
    virtual int read(void* buffer, std::size_t length) = 0;
    virtual int write(const void* buffer, std::size_t length) = 0;
    virtual void close() = 0;
    virtual SSLConnectionState getState() const = 0;
    virtual std::string getLastError() const = 0;
    virtual bool wantRead() const = 0;
    virtual bool wantWrite() const = 0;
    // Bytes taken from the socket that read has not returned yet (TLS reads
    // ahead): a connection with any is not idle, whatever its socket says.
    virtual bool hasBufferedInput() const { return false; }
};

}  // namespace zorvik
