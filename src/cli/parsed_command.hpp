#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quarlino::quil::cli {

enum class OutputFormat : std::uint8_t { Table = 0, Json = 1 };

// One validated command line. Handlers may rely on every required option of
// the command being present and on its operand count.
struct ParsedCommand {
    std::uint8_t id = 0;
    std::vector<std::string> operands{};
    std::map<std::string, std::string> options{};
    std::set<std::string> flags{};
    OutputFormat outputFormat = OutputFormat::Table;
    std::optional<std::chrono::seconds> timeout{};

    std::string_view operand(std::size_t index) const;
    std::optional<std::string_view> option(std::string_view name) const;
    bool hasFlag(std::string_view name) const;
};

}  // namespace quarlino::quil::cli
