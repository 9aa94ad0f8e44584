#include <stdexcept>

#include "cli/cli_application.hpp"
#include "cli/commands/access_module.hpp"

namespace quarlino::quil::cli::access {

int runRoleCommand(const OrganizationCommand&) { throw std::logic_error(unsupportedCommandMessage); }

}  // namespace quarlino::quil::cli::access
