#include "cli/command_line.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "cli/command_table.hpp"

namespace quarlino::quil::cli {
namespace {

// Bare words that never take a value, whatever the command.
constexpr std::array<std::string_view, 7> fixedFlags{
    "help", "git", "yes", "follow", "password-stdin", "stdin", "clear-agent"};

constexpr std::string_view valueSeparators = "=:";

struct ScannedWords {
    ParsedCommand parsed;
    std::vector<std::string> positional;
};

std::invalid_argument requiresValue(const std::string& name) {
    return std::invalid_argument("--" + name + " requires a value");
}

std::invalid_argument providedTwice(const std::string& name) {
    return std::invalid_argument("--" + name + " can only be provided once");
}

std::invalid_argument notValidHere(const std::string& name) {
    return std::invalid_argument("--" + name + " is not valid for this command");
}

bool isOptionWord(std::string_view word) {
    return word.size() >= 3 && word.starts_with("--");
}

bool isFlagName(std::string_view name) {
    return globalFlags.contains(name) ||
           std::find(fixedFlags.begin(), fixedFlags.end(), name) != fixedFlags.end();
}

std::string optionName(std::string_view word) {
    const std::string_view body = word.substr(2);
    const std::string_view name = body.substr(0, body.find_first_of(valueSeparators));
    if (name == "pwdstdin") {
        return "password-stdin";
    }
    return std::string(name);
}

void addOption(ParsedCommand& parsed, const std::string& name, std::string_view value) {
    if (!parsed.options.emplace(name, std::string(value)).second) {
        throw providedTwice(name);
    }
}

void addFlag(ParsedCommand& parsed, const std::string& name) {
    if (!parsed.flags.insert(name).second) {
        throw providedTwice(name);
    }
}

ScannedWords scan(const std::vector<std::string_view>& arguments) {
    ScannedWords scanned;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string_view word = arguments[index];
        if (word == "-h") {
            addFlag(scanned.parsed, "help");
            continue;
        }
        if (!isOptionWord(word)) {
            scanned.positional.emplace_back(word);
            continue;
        }
        const std::string name = optionName(word);
        const auto separator = word.find_first_of(valueSeparators, 2);
        if (separator != std::string_view::npos) {
            const std::string_view value = word.substr(separator + 1);
            if (value.empty()) {
                throw requiresValue(name);
            }
            addOption(scanned.parsed, name, value);
            continue;
        }
        if (isFlagName(name)) {
            addFlag(scanned.parsed, name);
            continue;
        }
        const bool hasValueWord = index + 1 < arguments.size() && !arguments[index + 1].empty() &&
                                  !isOptionWord(arguments[index + 1]);
        if (!hasValueWord) {
            throw requiresValue(name);
        }
        addOption(scanned.parsed, name, arguments[++index]);
    }
    return scanned;
}

bool beginsSomeCommand(const std::vector<std::string>& topic) {
    return std::any_of(commandSpecs.begin(), commandSpecs.end(), [&](const CommandSpec& spec) {
        return spec.path.size() >= topic.size() &&
               std::equal(topic.begin(), topic.end(), spec.path.begin());
    });
}

ParsedCommand helpCommand(std::vector<std::string> topic) {
    if (!topic.empty() && topic.front() == "help") {
        topic.erase(topic.begin());
    } else if (const CommandSpec* spec = longestMatchingSpec(topic); spec != nullptr) {
        topic.resize(spec->path.size());
    }
    if (!topic.empty() && !beginsSomeCommand(topic)) {
        throw std::invalid_argument("unknown help topic: " + joinPath(topic));
    }
    ParsedCommand help;
    help.operands = std::move(topic);
    return help;
}

void validateOptions(const ParsedCommand& parsed, const CommandSpec& spec) {
    for (const auto& [name, value] : parsed.options) {
        if (!globalOptions.contains(name) && !spec.options.contains(name)) {
            throw notValidHere(name);
        }
    }
    for (const std::string& name : parsed.flags) {
        if (!globalFlags.contains(name) && !spec.flags.contains(name)) {
            throw notValidHere(name);
        }
    }
    for (const std::string_view name : spec.required) {
        if (!parsed.options.contains(std::string(name))) {
            throw std::invalid_argument("--" + std::string(name) + " is required");
        }
    }
    const bool anyOwnOption = std::any_of(spec.options.begin(), spec.options.end(), [&](std::string_view name) {
        return parsed.options.contains(std::string(name));
    });
    if (spec.requiresAnyOption && !anyOwnOption) {
        throw std::invalid_argument("at least one command option is required");
    }
}

OutputFormat parseOutputFormat(std::string_view value) {
    if (value == "json") {
        return OutputFormat::Json;
    }
    if (value == "table") {
        return OutputFormat::Table;
    }
    throw std::invalid_argument("--output must be table or json");
}

// from_chars accepts exactly an optional "-" and digits and reports overflow
// instead of throwing, so any oversized number ends in the same message.
std::chrono::seconds parseTimeout(std::string_view value) {
    long long seconds = 0;
    const char* const end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, seconds);
    if (error != std::errc{} || stop != end || seconds < 1 || seconds > 300) {
        throw std::invalid_argument("--timeout must be between 1 and 300 seconds");
    }
    return std::chrono::seconds(seconds);
}

ParsedCommand commandFor(ScannedWords scanned) {
    ParsedCommand parsed = std::move(scanned.parsed);
    const std::vector<std::string>& words = scanned.positional;
    if (words.empty()) {
        return ParsedCommand{};
    }
    const CommandSpec* spec = longestMatchingSpec(words);
    if (spec == nullptr) {
        throw std::invalid_argument("unknown command: " + joinPath(words));
    }
    if (words.size() - spec->path.size() != spec->operands.size()) {
        throw std::invalid_argument("incorrect number of operands for " + joinPath(spec->path));
    }
    parsed.id = spec->id;
    parsed.operands.assign(words.begin() + static_cast<std::ptrdiff_t>(spec->path.size()), words.end());
    validateOptions(parsed, *spec);
    if (const auto output = parsed.option("output")) {
        parsed.outputFormat = parseOutputFormat(*output);
    }
    if (const auto timeout = parsed.option("timeout")) {
        parsed.timeout = parseTimeout(*timeout);
    }
    return parsed;
}

}  // namespace

ParsedCommand CommandLine::parse(const std::vector<std::string_view>& arguments) {
    if (arguments.size() == 1 && arguments.front() == "--version") {
        ParsedCommand version;
        version.id = 1;
        return version;
    }
    ScannedWords scanned = scan(arguments);
    const bool wantsHelp = scanned.parsed.flags.contains("help") ||
                           (!scanned.positional.empty() && scanned.positional.front() == "help");
    if (wantsHelp) {
        return helpCommand(std::move(scanned.positional));
    }
    return commandFor(std::move(scanned));
}

}  // namespace quarlino::quil::cli
