#pragma once

#include <iosfwd>
#include <string_view>

#include "cli/parsed_command.hpp"

namespace quarlino::quil::cli {

// Runs one parsed command and returns the process exit code; failures leave as
// exceptions for the entry point to report. Help, version and completion are
// answered here; every other command goes to the handler of its group.
class CliApplication {
public:
    static constexpr std::string_view version = "0.1.0";

    CliApplication() = default;
    CliApplication(const CliApplication&) = delete;
    CliApplication& operator=(const CliApplication&) = delete;

    int run(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);

private:
    int runHandler(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err);
};

}  // namespace quarlino::quil::cli
