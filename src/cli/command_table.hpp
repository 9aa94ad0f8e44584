#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quarlino::quil::cli {

// One command of the grammar. Every string views a literal, so records can be
// copied freely and live for the whole run.
struct CommandSpec {
    std::uint8_t id = 0;
    std::vector<std::string_view> path{};
    std::vector<std::string_view> operands{};
    std::set<std::string_view> options{};
    std::set<std::string_view> required{};
    std::set<std::string_view> flags{};
    bool requiresAnyOption = false;
};

inline constexpr std::size_t commandCount = 106;

// Record i has id i; the dispatcher relies on that.
extern const std::array<CommandSpec, commandCount> commandSpecs;
extern const std::set<std::string_view> globalOptions;
extern const std::set<std::string_view> globalFlags;

// The record whose path is the longest prefix of the words (first in table
// order among equals), or null.
const CommandSpec* longestMatchingSpec(const std::vector<std::string>& words);

// The record whose path equals the words exactly, or null.
const CommandSpec* exactSpec(const std::vector<std::string>& words);

template <typename Words>
std::string joinPath(const Words& words) {
    std::string joined;
    bool first = true;
    for (const auto& word : words) {
        if (!first) {
            joined += ' ';
        }
        joined += word;
        first = false;
    }
    return joined;
}

}  // namespace quarlino::quil::cli
