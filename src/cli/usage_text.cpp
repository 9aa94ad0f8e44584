#include "cli/usage_text.hpp"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string_view>

#include "cli/command_line.hpp"

namespace quarlino::quil::cli {
namespace {

constexpr std::string_view usageHead = "Usage:\n  ";
constexpr std::string_view listingHead = "Usage:\n  quil";
constexpr std::string_view listingHeadTail = " <command> [options]\n\nCommands:\n";
constexpr std::string_view commandLinePrefix = "  ";
constexpr std::string_view groupLinePrefix = "  quil ";
constexpr std::string_view groupLineSuffix = " <command>\n";
constexpr std::string_view listingFooter = "\nRun 'quil <command> --help' for command-specific usage.\n";

// The last three descriptions sit one column further right than the first
// four; scripts and users may already compare against this exact text.
constexpr std::string_view globalOptionsBlock =
    "\nGlobal options:\n"
    "  --profile <name>       Select a local profile\n"
    "  --workspace <id|slug>  Override the active workspace\n"
    "  --output table|json    Select human or machine output\n"
    "  --timeout <seconds>    Set a request timeout between 1 and 300\n"
    "  --quiet                 Print identifiers only where supported\n"
    "  --no-color              Disable terminal colors\n"
    "  --help, -h              Show contextual help\n";

bool beginsWith(const CommandSpec& spec, const std::vector<std::string>& topic) {
    return spec.path.size() > topic.size() && std::equal(topic.begin(), topic.end(), spec.path.begin());
}

std::set<std::string_view> nextWords(const std::vector<std::string>& topic) {
    std::set<std::string_view> words;
    for (const CommandSpec& spec : commandSpecs) {
        if (beginsWith(spec, topic)) {
            words.insert(spec.path[topic.size()]);
        }
    }
    return words;
}

std::string listing(const std::vector<std::string>& topic) {
    std::string text(listingHead);
    if (!topic.empty()) {
        text += ' ';
        text += joinPath(topic);
    }
    text += listingHeadTail;
    for (const std::string_view word : nextWords(topic)) {
        std::vector<std::string> candidate = topic;
        candidate.emplace_back(word);
        if (const CommandSpec* spec = exactSpec(candidate); spec != nullptr) {
            text += commandLinePrefix;
            text += synopsis(*spec);
            text += '\n';
        } else {
            text += groupLinePrefix;
            text += joinPath(candidate);
            text += groupLineSuffix;
        }
    }
    text += globalOptionsBlock;
    text += listingFooter;
    return text;
}

std::set<std::string> completionWords() {
    std::set<std::string> words{"--help"};
    const auto addDashed = [&words](const std::set<std::string_view>& names) {
        for (const std::string_view name : names) {
            words.insert("--" + std::string(name));
        }
    };
    for (const CommandSpec& spec : commandSpecs) {
        words.insert(spec.path.begin(), spec.path.end());
        addDashed(spec.options);
        addDashed(spec.flags);
    }
    addDashed(globalOptions);
    addDashed(globalFlags);
    return words;
}

}  // namespace

std::string synopsis(const CommandSpec& spec) {
    std::string text = "quil " + joinPath(spec.path);
    for (const std::string_view operand : spec.operands) {
        text += " <" + std::string(operand) + ">";
    }
    for (const std::string_view option : spec.options) {
        const std::string shown = "--" + std::string(option) + " <value>";
        text += spec.required.contains(option) ? " " + shown : " [" + shown + "]";
    }
    for (const std::string_view flag : spec.flags) {
        text += " [--" + std::string(flag) + "]";
    }
    return text;
}

std::string CommandLine::usage(const std::vector<std::string>& topic) {
    const CommandSpec* spec = exactSpec(topic);
    if (spec == nullptr || spec->id == 0) {
        return listing(topic);
    }
    return std::string(usageHead) + synopsis(*spec) + "\n" + std::string(globalOptionsBlock);
}

std::string CommandLine::usage() {
    return usage({});
}

std::string CommandLine::completion(std::string_view shell) {
    const std::string words = joinPath(completionWords());
    if (shell == "bash") {
        return "_quil_complete() {\n"
               "  local current=\"${COMP_WORDS[COMP_CWORD]}\"\n"
               "  COMPREPLY=( $(compgen -W '" +
               words +
               "' -- \"$current\") )\n"
               "}\n"
               "complete -F _quil_complete quil\n";
    }
    if (shell == "zsh") {
        return "#compdef quil\n"
               "_quil() {\n"
               "  local -a candidates\n"
               "  candidates=(" +
               words +
               ")\n"
               "  compadd -- $candidates\n"
               "}\n"
               "compdef _quil quil\n";
    }
    if (shell == "fish") {
        return "complete -c quil -f -a '" + words + "'\n";
    }
    throw std::invalid_argument("completion shell must be bash, zsh, or fish");
}

}  // namespace quarlino::quil::cli
