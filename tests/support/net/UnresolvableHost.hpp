#pragma once

#include <string>

namespace testsupport::net {

// A host name that can never resolve, and whose lookup never leaves the
// machine: a 64-byte label cannot be written as a DNS query, so the resolver
// refuses it locally instead of asking the configured name server.
inline std::string unresolvableHost() {
    return std::string(64, 'x') + ".invalid";
}

}  // namespace testsupport::net
