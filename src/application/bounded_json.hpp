#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quarlino::quil::application {

// Every JSON text quil reads (answers, error bodies, definition and
// configuration files) comes from outside, so its shape is bounded. Nesting
// much deeper would overflow the stack in the library's recursive
// serialisation. A tree of this many values takes at most some 480 MB beside
// its text (160 bytes a value in the costliest shape, an object of empty
// objects), while a list of a hundred thousand records of twenty fields is
// some 2.1 million values.
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
