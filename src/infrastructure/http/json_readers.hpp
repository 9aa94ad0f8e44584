#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// The small readers every record mapping is built from. Text is read
// leniently (never fails); numbers, booleans and lists of text go through the
// JSON library's keyed read with a default, so they need a JSON object and a
// member of the right type, and fail with the library's own type errors.
namespace quarlino::quil::infrastructure::http {

// The member of that key, or nullptr when the value is not a JSON object or
// has no such member.
const nlohmann::json* findMember(const nlohmann::json& object, std::string_view key);

// The member when it is a JSON integer (signed or unsigned), else nullptr; a
// fractional number such as 12.0 is not one.
const nlohmann::json* integerMember(const nlohmann::json& object, std::string_view key);

// Missing, null or non-object gives ""; a string gives its text; any other
// value gives its compact JSON text (42 -> "42", true -> "true"). The text is
// charged to the answer's memory budget, as every text and list a record
// keeps is.
std::string stringValue(const nlohmann::json& object, std::string_view key);

// stringValue, with the empty text turned into an absent value.
std::optional<std::string> optionalString(const nlohmann::json& object, std::string_view key);

// The string elements of an array in order; anything else gives an empty list.
std::vector<std::string> parseStrings(const nlohmann::json& value);

// A member holding a list of text; the object must be a JSON object.
std::vector<std::string> stringList(const nlohmann::json& object, std::string_view key);

// Keyed reads with a default. The type of each decides the conversion: a
// boolean accepts only a JSON boolean, an int any number or a boolean, an
// unsigned 64-bit integer or a double any number but not a boolean. A null
// member is not missing: it fails like any other wrong type.
bool booleanValue(const nlohmann::json& object, std::string_view key, bool fallback = false);
int intValue(const nlohmann::json& object, std::string_view key, int fallback = 0);
std::uint64_t unsignedValue(const nlohmann::json& object, std::string_view key,
                            std::uint64_t fallback = 0);
double doubleValue(const nlohmann::json& object, std::string_view key, double fallback = 0.0);

// A member as a JSON value, or the fallback itself when missing, read in
// place rather than copied; the object must be a JSON object.
const nlohmann::json& jsonValue(const nlohmann::json& object, std::string_view key,
                                const nlohmann::json& fallback);

// jsonValue with an empty array as the default. Callers iterate the result as
// the JSON library does: an array gives its elements, an object its member
// values in key order, null nothing, and any other value itself once.
const nlohmann::json& arrayMember(const nlohmann::json& object, std::string_view key);

}  // namespace quarlino::quil::infrastructure::http
