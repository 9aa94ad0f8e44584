#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "application/json_memory_budget.hpp"

namespace quarlino::quil::application {

// Every JSON text quil reads (answers, error bodies, definition and
// configuration files) comes from outside, so its shape is bounded. Nesting
// much deeper would overflow the stack in the library's recursive
// serialisation.
inline constexpr std::size_t kMaxJsonDepth = 512;
// The library's lexer keeps two growing copies of the token it reads and
// names the whole of it in its error, so one long string or number costs
// several times its own size. No text of the platform's or of quil's own
// files comes near this.
inline constexpr std::size_t kMaxJsonTokenBytes = std::size_t{16} << 20;

// Parses one JSON document strictly, without comments, like
// nlohmann::json::parse, and throws what it throws. A text past any limit
// fails as invalid JSON: a nlohmann::json::parse_error whose message names the
// limit. The tree is charged to this thread's answer budget, if there is one,
// else to a budget of its own.
nlohmann::json parseBoundedJson(std::string_view text);

// parseBoundedJson, giving a discarded value instead of any exception of the
// JSON library.
nlohmann::json tryParseBoundedJson(std::string_view text);

// Takes the elements of one list of a text as the parser completes them.
class JsonListSink {
public:
    virtual ~JsonListSink() = default;
    // The list opens; a repeated member's list starts it over.
    virtual void restart() = 0;
    // Another value took the list's place.
    virtual void drop() = 0;
    // One element, complete; false stops the parse there. Must not throw.
    virtual bool take(const nlohmann::json& element) = 0;
};

// parseBoundedJson with one list handed to `sink` element by element, each
// dropped once taken, so that the list is never held as a tree; it stays in
// the result as an empty array. The list is the root array, or with
// `member` the array under that member of a root object. An object where the
// root array is expected ends the parse at once, as does a false from the
// sink; the result is then what was built so far. Elements reach the sink
// before the text is known to be valid.
nlohmann::json parseBoundedJsonList(std::string_view text, std::optional<std::string_view> member,
                                    JsonListSink& sink);

}  // namespace quarlino::quil::application
