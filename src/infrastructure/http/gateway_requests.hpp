#pragma once

#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "application/bounded_json.hpp"
#include "application/port/http_transport.hpp"
#include "infrastructure/http/json_element_walk.hpp"
#include "infrastructure/http/json_readers.hpp"
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

// std::runtime_error "Quarlino returned invalid JSON: <what>".
[[noreturn]] void throwInvalidJson(const nlohmann::json::exception& error);

// Runs `read` (a parse and its mapping) within one memory budget for the
// whole answer; what the budget refuses reads as invalid JSON, whether the
// tree or the records went past it.
template <typename Read>
auto withAnswerBudget(Read&& read) -> decltype(read()) {
    application::AnswerMemoryBudget budget;
    try {
        return read();
    } catch (const nlohmann::json::parse_error& error) {
        throwInvalidJson(error);  // the parse's own errors were turned already
    }
}

// Maps the elements of a list as the parser hands them over; the first one
// the mapper rejects ends the parse, and its error is the answer's.
template <typename T>
class RecordListSink final : public application::JsonListSink {
public:
    explicit RecordListSink(T (*parse)(const nlohmann::json&)) : parse_(parse) {}

    void restart() override {
        items_.clear();
        streamed_ = true;
    }
    void drop() override {
        items_.clear();
        streamed_ = false;
    }
    bool take(const nlohmann::json& element) override {
        try {
            appendKept(items_, parse_(element));
            return true;
        } catch (...) {
            rejection_ = std::current_exception();
            return false;
        }
    }

    // Whether the list was read through this sink rather than into the tree.
    bool streamed() const { return streamed_; }
    // The records, or the mapper's error.
    std::vector<T> records() && {
        if (rejection_) {
            std::rethrow_exception(rejection_);
        }
        return std::move(items_);
    }

private:
    T (*parse_)(const nlohmann::json&);
    std::vector<T> items_;
    std::exception_ptr rejection_;
    bool streamed_ = false;
};

// parseJson with the list under `member` of a root object, or without it the
// root array, handed to `sink` as it is read.
nlohmann::json parseJsonList(const application::port::HttpResponse& response,
                             std::optional<std::string_view> member, application::JsonListSink& sink);

// A record operation's result: the mapper applied to the root, whatever its
// type, with the body kept byte for byte.
template <typename T>
model::ApiResponse<T> parseRecordResponse(application::port::HttpResponse response,
                                          T (*parse)(const nlohmann::json&)) {
    return withAnswerBudget([&] {
        T value = parse(parseJson(response));
        return model::ApiResponse<T>{std::move(value), std::move(response.body)};
    });
}

// A list operation's result: the root must be an array (std::runtime_error
// otherwise); each element is mapped in order as it is read, so that the
// tree of a long list is never held whole, and the first element the mapper
// rejects fails the whole list at once.
template <typename T>
model::ApiResponse<std::vector<T>> parseArrayResponse(application::port::HttpResponse response,
                                                      T (*parse)(const nlohmann::json&)) {
    return withAnswerBudget([&] {
        RecordListSink<T> sink(parse);
        if (!parseJsonList(response, std::nullopt, sink).is_array()) {
            throw std::runtime_error("Quarlino API returned an object where an array was expected");
        }
        return model::ApiResponse<std::vector<T>>{std::move(sink).records(), std::move(response.body)};
    });
}

// The records of the list under `member` of a root object, walked as
// mapElements walks them; a list read as it arrives, anything else from the
// tree.
template <typename T>
model::ApiResponse<std::vector<T>> parseMemberListResponse(application::port::HttpResponse response,
                                                           std::string_view member,
                                                           T (*parse)(const nlohmann::json&)) {
    return withAnswerBudget([&] {
        RecordListSink<T> sink(parse);
        const nlohmann::json root = parseJsonList(response, member, sink);
        std::vector<T> items =
            sink.streamed() ? std::move(sink).records() : mapElements(arrayMember(root, member), parse);
        return model::ApiResponse<std::vector<T>>{std::move(items), std::move(response.body)};
    });
}

}  // namespace quarlino::quil::infrastructure::http
