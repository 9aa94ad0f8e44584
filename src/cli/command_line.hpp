#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/parsed_command.hpp"

namespace quarlino::quil::cli {

// The command-line grammar: parsing and the texts generated from the command
// table. Stateless; every operation is a pure function of its arguments.
class CommandLine {
public:
    // Throws std::invalid_argument with a message meant for the user.
    static ParsedCommand parse(const std::vector<std::string_view>& arguments);

    // The help text of a topic the parser produced (a command or a group).
    static std::string usage(const std::vector<std::string>& topic);
    static std::string usage();

    // Throws std::invalid_argument for any shell but "bash", "zsh" and "fish".
    static std::string completion(std::string_view shell);
};

}  // namespace quarlino::quil::cli
