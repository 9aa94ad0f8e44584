#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quarlino::quil::application {

// Every JSON text quil reads (answers, error bodies, definition and
// configuration files) comes from outside, so its shape is bounded. Nesting
// much deeper would overflow the stack in the library's recursive
// serialisation.
inline constexpr std::size_t kMaxJsonDepth = 512;
// What the tree of one text may take in memory, each value charged what it
// really holds (a tiny value in a tree costs some thirty times its text), and
// a list mapped element by element charged what its records keep. With a
// body at its size limit beside it, quil stays under 2 GiB; an ordinary list
// up to that limit maps within it.
inline constexpr std::size_t kMaxJsonBytes = std::size_t{1} << 30;
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

// Takes one element of a list and returns the bytes it keeps of it beside
// the element's strings.
using JsonElementSink = std::function<std::size_t(const nlohmann::json& element)>;

// parseBoundedJson for a list: each element of a root array goes to `take`
// as soon as it is complete and is dropped, so that the whole list is never
// held as a tree; the result is then an empty array. Any other root is
// returned whole. Elements reach `take` before the text is known to be valid.
nlohmann::json parseBoundedJsonElements(std::string_view text, const JsonElementSink& take);

}  // namespace quarlino::quil::application
