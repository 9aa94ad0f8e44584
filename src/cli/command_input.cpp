#include <istream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "application/bounded_json.hpp"
#include "cli/command_helpers.hpp"
#include "cli/visible_text.hpp"
#include "infrastructure/config/file_text.hpp"
#include "platform/standard_input.hpp"

namespace quarlino::quil::cli {
namespace {

bool isConsent(std::string_view answer) {
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

}  // namespace

std::string readLine(std::istream& in, std::ostream& out, std::string_view prompt) {
    out << prompt << std::flush;
    std::optional<std::string> line = platform::readInputLine(in);
    if (!line) {
        throw std::runtime_error(std::string(platform::unreadableInputMessage));
    }
    return std::move(*line);
}

std::string readSecretFromStdin(std::istream& in) {
    std::string secret = platform::readRemainingInput(in);
    if (secret.ends_with('\n')) {
        secret.pop_back();
        if (secret.ends_with('\r')) {
            secret.pop_back();
        }
    }
    return secret;
}

bool confirmDestructive(const ParsedCommand& command, std::istream& in, std::ostream& out,
                        std::string_view prompt) {
    if (command.hasFlag("yes")) {
        return true;
    }
    if (command.outputFormat == OutputFormat::Json) {
        throw std::invalid_argument("--yes is required for destructive commands with --output json");
    }
    // The question names platform records: a name must not rewrite it.
    return isConsent(readLine(in, out, visibleText(prompt, LineBreaks::Show) + " [y/N] "));
}

std::string readFile(std::string_view path, std::istream& in) {
    if (path == "-") {
        return platform::readRemainingInput(in);
    }
    // A directory opens but fails on the first read; it is no file either.
    auto text = infrastructure::config::readFileText(std::string(path));
    if (!text) {
        throw std::runtime_error("cannot open file: " + std::string(path));
    }
    return std::move(*text);
}

nlohmann::json readJsonObjectDocument(std::string_view path, std::istream& in, std::string_view subject) {
    const std::string text = readFile(path, in);
    nlohmann::json document;
    try {
        document = application::parseBoundedJson(text);
    } catch (const nlohmann::json::exception& error) {
        // A syntax error or a number out of range (1e400): the file is invalid either way.
        throw std::invalid_argument("cannot parse " + std::string(subject) + ": " + error.what());
    }
    if (!document.is_object()) {
        throw std::invalid_argument(std::string(subject) + " must be a JSON object");
    }
    return document;
}

std::string readJsonObject(std::string_view path, std::istream& in) {
    return readJsonObjectDocument(path, in, "deployment target configuration").dump();
}

}  // namespace quarlino::quil::cli
