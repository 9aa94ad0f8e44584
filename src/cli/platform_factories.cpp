#include "cli/platform_factories.hpp"

#include "infrastructure/http/http_quarlino_gateway.hpp"
#include "infrastructure/http/zorvik_http_transport.hpp"

namespace quarlino::quil::cli {

std::unique_ptr<application::port::HttpTransport> makeHttpTransport(const config::ClientConfig& config) {
    return std::make_unique<infrastructure::http::ZorvikHttpTransport>(config);
}

std::unique_ptr<application::port::QuarlinoGateway> makeQuarlinoGateway(const config::ClientConfig& config) {
    return std::make_unique<infrastructure::http::HttpQuarlinoGateway>(makeHttpTransport(config));
}

}  // namespace quarlino::quil::cli
