#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quarlino::quil::application {

// Every JSON text quil reads (answers, error bodies, definition and
// configuration files) comes from outside, so its shape is bounded. Nesting
// much deeper would overflow the stack in the library's recursive
// serialisation. A tree of this many values takes at most some 400 MB beside
// its strings (160 bytes a value in the costliest shape, an object of empty
// objects), so that even with a body at its size limit beside it quil stays
// under a gigabyte, while a list of a hundred thousand records of twenty
// fields is some 2.1 million values.
inline constexpr std::size_t kMaxJsonDepth = 512;
inline constexpr std::size_t kMaxJsonValues = 2'500'000;
// The library's lexer keeps two growing copies of the token it reads and
// names the whole of it in its error, so one long string or number costs
// several times its own size. No text of the platform's or of quil's own
// files comes near this.
inline constexpr std::size_t kMaxJsonTokenBytes = std::size_t{16} << 20;

// Parses one JSON document strictly, without comments, like
// nlohmann::json::parse, and throws what it throws. A text past any limit
// fails as invalid JSON: a nlohmann::json::parse_error whose message names the
// limit.
nlohmann::json parseBoundedJson(std::string_view text);

// parseBoundedJson, giving a discarded value instead of any exception of the
// JSON library.
nlohmann::json tryParseBoundedJson(std::string_view text);

}  // namespace quarlino::quil::application
