#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quarlino::quil::application {

// Every JSON text quil reads (answers, error bodies, definition and
// configuration files) comes from outside, so its shape is bounded: nesting
// past this depth would make the library's recursive serialisation overflow
// the stack, and more values than this would hold most of a gigabyte as a tree
// (up to about 160 bytes a value) beside the body. A list of a hundred
// thousand records of twenty fields is some 2.1 million values.
inline constexpr std::size_t kMaxJsonDepth = 512;
inline constexpr std::size_t kMaxJsonValues = 3'000'000;

// Parses one JSON document strictly, without comments, like
// nlohmann::json::parse, and throws what it throws. A text past either limit
// fails as invalid JSON: a nlohmann::json::parse_error whose message names the
// limit.
nlohmann::json parseBoundedJson(std::string_view text);

// parseBoundedJson, giving a discarded value instead of any exception of the
// JSON library.
nlohmann::json tryParseBoundedJson(std::string_view text);

}  // namespace quarlino::quil::application
