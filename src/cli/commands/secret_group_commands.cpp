#include <stdexcept>

#include "cli/cli_application.hpp"

namespace quarlino::quil::cli {

// Not built yet: reported as an internal error until the handler lands.
int CliApplication::runSecretGroup(const ParsedCommand&, std::istream&, std::ostream&, std::ostream&) {
    throw std::logic_error(unsupportedCommandMessage);
}

}  // namespace quarlino::quil::cli
