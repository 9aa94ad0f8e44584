#pragma once

#include "zorvik/AsyncSessionConfig.hpp"

#include <string>

namespace zorvik::detail {

// Resolves the host (blocking, without a time limit) and starts a
// non-blocking connect to the first address that the policy allows and that
// does not fail at once. Returns the socket (connect done or under way) or
// -1. Throws std::runtime_error when the policy denied every address.
int openNonBlockingSocket(const std::string& host, int port, const EndpointPolicy& policy);

// Nothing waits in the socket: no bytes, no end of stream, no error.
bool socketIsQuiet(int fd);

}  // namespace zorvik::detail
