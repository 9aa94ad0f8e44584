#pragma once

#include "zorvik/HttpClient.hpp"
#include "zorvik/IoBackend.hpp"

#include <chrono>
#include <memory>
#include <string>

struct ssl_st;
struct ssl_ctx_st;

// What the lateness benchmarks share: loopback listeners, TLS on the server
// side with the test certificate, and clients of either back end.
namespace bench {

using Clock = std::chrono::steady_clock;

enum class Transport { Plain, Tls, Session };

// Listens on an ephemeral loopback port; exits the program when it cannot.
int listenLoopback(int& port);
// Reads up to the end of a request head; `ssl` null for plain TCP. False
// when the peer went away first.
bool readHead(int fd, ssl_st* ssl);
// The server side of the test certificate, made once.
ssl_ctx_st* serverContext();
// A quiet client of the back end; TLS trusts the test authority.
std::shared_ptr<zorvik::HttpClient> makeClient(Transport transport, zorvik::IoBackend backend);

// The loads of how late a completed answer reaches its caller; `only`, when
// set, keeps the loads whose name holds it.
void runWakeLoads(const char* only);

}  // namespace bench
