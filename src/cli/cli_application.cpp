#include "cli/cli_application.hpp"

#include <ostream>
#include <stdexcept>

#include "cli/command_line.hpp"

namespace quarlino::quil::cli {

int CliApplication::run(const ParsedCommand& command, std::istream& in, std::ostream& out, std::ostream& err) {
    switch (command.id) {
    case 0:
        out << CommandLine::usage(command.operands);
        return 0;
    case 1:
        // A plain line even with --output json: scripts read the version as text.
        out << "quil " << version << "\n";
        return 0;
    case 2:
        out << CommandLine::completion(command.operand(0));
        return 0;
    default:
        return runHandler(command, in, out, err);
    }
}

// No command group has a handler yet, and numbers past the table never will.
int CliApplication::runHandler(const ParsedCommand&, std::istream&, std::ostream&, std::ostream&) {
    throw std::logic_error("unsupported Quil command");
}

}  // namespace quarlino::quil::cli
