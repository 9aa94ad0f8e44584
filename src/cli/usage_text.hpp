#pragma once

#include <string>

#include "cli/command_table.hpp"

namespace quarlino::quil::cli {

// The one-line usage of a command, without a trailing newline; global options
// are left to the block that follows every help text.
std::string synopsis(const CommandSpec& spec);

}  // namespace quarlino::quil::cli
