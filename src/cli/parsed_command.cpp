#include "cli/parsed_command.hpp"

#include <stdexcept>

namespace quarlino::quil::cli {

std::string_view ParsedCommand::operand(std::size_t index) const {
    if (index >= operands.size()) {
        throw std::out_of_range("command operand index is out of range");
    }
    return operands[index];
}

std::optional<std::string_view> ParsedCommand::option(std::string_view name) const {
    const auto found = options.find(std::string(name));
    if (found == options.end()) {
        return std::nullopt;
    }
    return std::string_view(found->second);
}

bool ParsedCommand::hasFlag(std::string_view name) const {
    return flags.find(std::string(name)) != flags.end();
}

}  // namespace quarlino::quil::cli
