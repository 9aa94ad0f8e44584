#pragma once

#include <iosfwd>
#include <optional>
#include <string_view>

#include "application/port/quarlino_gateway.hpp"
#include "cli/parsed_command.hpp"

namespace quarlino::quil::cli {

// The access-control commands (access, role and grant) over a gateway the
// caller owns. `activeWorkspaceId` stands in for --resource of access
// capabilities. Returns the exit code: 4 for a denied access decision, which
// is printed first, else 0; failures leave as exceptions.
int runAccessCommand(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err,
                     application::port::QuarlinoGateway& gateway, std::optional<std::string_view> activeWorkspaceId);

}  // namespace quarlino::quil::cli
