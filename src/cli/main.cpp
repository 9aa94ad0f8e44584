#include <exception>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "cli/cli_application.hpp"
#include "cli/command_line.hpp"
#include "cli/error_report.hpp"

namespace cli = quarlino::quil::cli;

int main(int argc, char** argv) {
    std::vector<std::string_view> arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.emplace_back(argv[index]);
    }

    std::optional<cli::ParsedCommand> parsed;
    try {
        parsed = cli::CommandLine::parse(arguments);
    } catch (const std::invalid_argument& error) {
        return cli::reportParseError(std::cerr, cli::requestsJsonBeforeParsing(arguments), error);
    }

    const bool json = parsed->outputFormat == cli::OutputFormat::Json;
    try {
        cli::CliApplication application;
        return application.run(*parsed, std::cin, std::cout, std::cerr);
    } catch (const std::exception& error) {
        return cli::reportFailure(std::cerr, json, error);
    }
}
