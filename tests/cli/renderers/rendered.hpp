#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/output_formatter.hpp"

namespace quarlino::quil::cli {

using Render = std::function<void(OutputFormatter&, std::string_view rawBody)>;

// What one renderer call prints in the given mode.
inline std::string rendered(const Render& render, bool json, bool quiet, std::string_view rawBody = "{\"raw\":1}") {
    ParsedCommand command;
    command.outputFormat = json ? OutputFormat::Json : OutputFormat::Table;
    if (quiet) {
        command.flags.insert("quiet");
    }
    std::ostringstream out;
    OutputFormatter formatter(command, out);
    render(formatter, rawBody);
    return out.str();
}

}  // namespace quarlino::quil::cli
