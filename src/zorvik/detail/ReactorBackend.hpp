#pragma once

#include "zorvik/detail/ReactorTypes.hpp"

#include <cstddef>
#include <memory>
#include <string>

namespace zorvik::detail {

class ReactorCore;

// Where readiness comes from: the part of a reactor client that differs
// between event back ends. The shared reactor core drives connections and
// calls these hooks; every arming is one-shot.
class ReactorBackend {
public:
    virtual ~ReactorBackend() = default;

    // Starts watching a new connection; false closes it before use.
    virtual bool registerConnection(const std::shared_ptr<ConnectionState>& connection) = 0;
    // Watches again after a processing step or after request text was queued.
    // False for a closed or failing connection, or when the arming failed:
    // then `failure` says why, and the core fails the connection. Called from
    // any thread; the arming must take effect for a wait already in progress,
    // since the core does not wake the reactor after it.
    virtual bool rearmConnection(const std::shared_ptr<ConnectionState>& connection, std::string& failure) = 0;
    // Called before the socket is closed.
    virtual void unregisterConnection(int fd) = 0;
    // Makes a blocked wait return (teardown).
    virtual void wakeReactor() = 0;
    // Most bytes taken by one read.
    virtual std::size_t readChunkSize() const { return 8192; }
    // On the reactor thread: waits up to about 100 ms when the core's
    // waitStarts, asked right before, says it may block (else not at all) and
    // hands every ready connection to the core's processReady. False when
    // waiting failed for good; `failure` then says why.
    virtual bool waitOnce(ReactorCore& core, std::string& failure) = 0;
};

}  // namespace zorvik::detail
