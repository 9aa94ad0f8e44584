#pragma once

#include <memory>

#include "application/port/http_transport.hpp"
#include "application/port/quarlino_gateway.hpp"
#include "config/client_config.hpp"

namespace quarlino::quil::cli {

// The transport of the real program: the HTTP library behind the port.
std::unique_ptr<application::port::HttpTransport> makeHttpTransport(const config::ClientConfig& config);

// A gateway that owns a transport of its own: nothing is shared between two
// gateways, so each command owns its whole connection stack.
std::unique_ptr<application::port::QuarlinoGateway> makeQuarlinoGateway(const config::ClientConfig& config);

}  // namespace quarlino::quil::cli
