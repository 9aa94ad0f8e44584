#pragma once

#include <memory>
#include <stdexcept>

#include "cli/cli_application.hpp"

namespace quarlino::quil::cli {

// A transport for the commands that reach a server without the platform
// gateway (status, update check); a factory that makes none is a wiring bug
// reported as a local failure.
inline std::unique_ptr<application::port::HttpTransport> makeTransport(
    const CliApplication::TransportFactory& factory, const config::ClientConfig& config) {
    auto transport = factory(config);
    if (!transport) {
        throw std::runtime_error("HTTP transport factory returned no transport");
    }
    return transport;
}

}  // namespace quarlino::quil::cli
