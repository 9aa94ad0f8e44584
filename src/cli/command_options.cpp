#include <algorithm>
#include <stdexcept>
#include <string>

#include "cli/command_helpers.hpp"

namespace quarlino::quil::cli {

void requireAuthentication(const config::ClientConfig& config) {
    if (!config.accessToken()) {
        throw std::invalid_argument("not authenticated; run 'quil auth login'");
    }
}

std::string_view requiredOption(const ParsedCommand& command, std::string_view name) {
    const auto value = command.option(name);
    if (!value) {
        throw std::logic_error("validated command is missing --" + std::string(name));
    }
    return *value;
}

std::string upperAscii(std::string_view value) {
    std::string upper(value);
    for (char& byte : upper) {
        if (byte >= 'a' && byte <= 'z') {
            byte = static_cast<char>(byte - 'a' + 'A');
        }
    }
    return upper;
}

std::string normalizeEnumOption(std::string_view value, std::initializer_list<std::string_view> allowed,
                                std::string_view name) {
    std::string canonical = upperAscii(value);
    std::replace(canonical.begin(), canonical.end(), '-', '_');
    for (const std::string_view candidate : allowed) {
        if (canonical == candidate) {
            return canonical;
        }
    }
    throw std::invalid_argument("--" + std::string(name) + " has an invalid value: " + std::string(value));
}

}  // namespace quarlino::quil::cli
