#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "application/bounded_json.hpp"
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

// parseJson for a list: the root must be an array (std::runtime_error
// otherwise), whose elements go to `take` one by one as they are read.
void parseJsonElements(const application::port::HttpResponse& response, const application::JsonElementSink& take);

// A record operation's result: the mapper applied to the root, whatever its
// type, with the body kept byte for byte.
template <typename T>
model::ApiResponse<T> parseRecordResponse(application::port::HttpResponse response,
                                          T (*parse)(const nlohmann::json&)) {
    T value = parse(parseJson(response));
    return model::ApiResponse<T>{std::move(value), std::move(response.body)};
}

// A list operation's result: the root must be an array; each element is
// mapped in order and one element the mapper rejects fails the whole list,
// though invalid JSON after it still fails as such. The elements are mapped
// as they are read, so that the tree of a long list is never held whole.
template <typename T>
model::ApiResponse<std::vector<T>> parseArrayResponse(application::port::HttpResponse response,
                                                      T (*parse)(const nlohmann::json&)) {
    std::vector<T> items;
    std::exception_ptr rejection;
    parseJsonElements(response, [&](const nlohmann::json& element) -> std::size_t {
        if (rejection) {
            return 0;
        }
        try {
            items.push_back(parse(element));
        } catch (...) {
            rejection = std::current_exception();
        }
        return 3 * sizeof(T);  // the record, and room for the list to grow
    });
    if (rejection) {
        std::rethrow_exception(rejection);
    }
    return model::ApiResponse<std::vector<T>>{std::move(items), std::move(response.body)};
}

}  // namespace quarlino::quil::infrastructure::http
