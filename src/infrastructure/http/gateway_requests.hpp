#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "application/port/http_transport.hpp"
#include "infrastructure/http/json_element_walk.hpp"
#include "model/api_response.hpp"

// The rules every gateway operation shares: how identifiers and query values
// are encoded, how bodies are written, and how a response becomes an error
// text, a JSON value, a record or a list.
namespace quarlino::quil::infrastructure::http {

// Paths and query strings ----------------------------------------------------

// Percent-encodes every byte except ASCII letters, digits and "-._~", with
// upper-case hexadecimal digits, whatever the locale.
std::string encode(std::string_view value);

// One encoded path segment. An empty identifier, "." or ".." is refused with
// std::invalid_argument: the first would collapse the path, the others would
// let a server that normalises paths retarget the request.
std::string segment(std::string_view value);

// The collection path followed by "/" and the identifier as one segment.
std::string resourcePath(std::string_view collection, std::string_view identifier);

// Name and raw value of one query parameter, in the order they are written.
using QueryParameters = std::vector<std::pair<std::string_view, std::string_view>>;

// Appends "?name=value&..." with each value encoded (an empty value gives
// "name="); no parameters leave the path unchanged.
std::string withQuery(std::string path, const QueryParameters& parameters);

// Request bodies ---------------------------------------------------------------

// Compact JSON with object members in byte order of their keys and UTF-8
// written unescaped; text that is not valid UTF-8 throws the JSON library's
// type_error 316, so nothing is sent.
std::string jsonBody(const nlohmann::json& value);

// A JSON string, or null for the empty text.
nlohmann::json textOrNull(std::string_view text);

// The value, or null when absent (a present empty text stays "").
template <typename T>
nlohmann::json valueOrNull(const std::optional<T>& value) {
    if (!value) {
        return nullptr;
    }
    if constexpr (std::is_same_v<T, std::string_view>) {
        return std::string(*value);
    } else {
        return *value;
    }
}

// Responses --------------------------------------------------------------------

// The platform's own text from a failed response ("message", "error",
// "detail", or the first of "errors"), else "Quarlino API returned HTTP <n>".
std::string errorMessage(const application::port::HttpResponse& response);

// The parsed body; an empty body is an empty object. Invalid JSON throws
// std::runtime_error "Quarlino returned invalid JSON: <parser message>".
nlohmann::json parseJson(const application::port::HttpResponse& response);

// parseJson, insisting on an array root (std::runtime_error otherwise).
nlohmann::json parseJsonArray(const application::port::HttpResponse& response);

// A record operation's result: the mapper applied to the root, whatever its
// type, with the body kept byte for byte.
template <typename T>
model::ApiResponse<T> parseRecordResponse(const application::port::HttpResponse& response,
                                          T (*parse)(const nlohmann::json&)) {
    return model::ApiResponse<T>{parse(parseJson(response)), response.body};
}

// A list operation's result: the root must be an array; each element is
// mapped in order and one element the mapper rejects fails the whole list.
template <typename T>
model::ApiResponse<std::vector<T>> parseArrayResponse(const application::port::HttpResponse& response,
                                                      T (*parse)(const nlohmann::json&)) {
    return model::ApiResponse<std::vector<T>>{mapArrayElements(parseJsonArray(response), parse), response.body};
}

}  // namespace quarlino::quil::infrastructure::http
