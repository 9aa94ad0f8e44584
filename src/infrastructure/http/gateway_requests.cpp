#include "infrastructure/http/gateway_requests.hpp"

#include <stdexcept>

#include "application/bounded_json.hpp"
#include "application/percent_encoding.hpp"

namespace quarlino::quil::infrastructure::http {

namespace {

constexpr std::string_view kEmptyIdentifierMessage = "Quarlino resource identifier cannot be empty";

}  // namespace

std::string encode(std::string_view value) { return application::percentEncode(value); }

std::string segment(std::string_view value) {
    if (value.empty()) {
        throw std::invalid_argument(std::string(kEmptyIdentifierMessage));
    }
    if (value == "." || value == "..") {
        throw std::invalid_argument("Quarlino resource identifier cannot be \"" + std::string(value) + "\"");
    }
    return encode(value);
}

std::string resourcePath(std::string_view collection, std::string_view identifier) {
    return std::string(collection) + "/" + segment(identifier);
}

std::string withQuery(std::string path, const QueryParameters& parameters) {
    char separator = '?';
    for (const auto& [name, value] : parameters) {
        path.push_back(separator);
        path.append(name);
        path.push_back('=');
        path.append(encode(value));
        separator = '&';
    }
    return path;
}

std::string jsonBody(const nlohmann::json& value) { return value.dump(); }

nlohmann::json textOrNull(std::string_view text) {
    if (text.empty()) {
        return nullptr;
    }
    return std::string(text);
}

std::string errorMessage(const application::port::HttpResponse& response) {
    const auto document = application::tryParseBoundedJson(response.body);
    if (document.is_object()) {
        for (const char* key : {"message", "error", "detail"}) {
            const auto member = document.find(key);
            if (member != document.end() && member->is_string()) {
                return member->get<std::string>();
            }
        }
        const auto errors = document.find("errors");
        if (errors != document.end() && errors->is_array() && !errors->empty() && errors->front().is_string()) {
            return errors->front().get<std::string>();
        }
    }
    return "Quarlino API returned HTTP " + std::to_string(response.status);
}

void throwInvalidJson(const nlohmann::json::exception& error) {
    throw std::runtime_error(std::string("Quarlino returned invalid JSON: ") + error.what());
}

namespace {

// The parsed body, or with a sink its list handed to it; an empty body is an
// empty object.
nlohmann::json parseBody(std::string_view body, std::optional<std::string_view> member,
                         application::JsonListSink* sink) {
    if (body.empty()) {
        return nlohmann::json::object();
    }
    try {
        return sink == nullptr ? application::parseBoundedJson(body)
                               : application::parseBoundedJsonList(body, member, *sink);
    } catch (const nlohmann::json::exception& error) {
        // Parse errors and number overflows alike: the body is not usable JSON.
        throwInvalidJson(error);
    }
}

}  // namespace

nlohmann::json parseJson(const application::port::HttpResponse& response) {
    return parseBody(response.body, std::nullopt, nullptr);
}

nlohmann::json parseJsonList(const application::port::HttpResponse& response,
                             std::optional<std::string_view> member, application::JsonListSink& sink) {
    return parseBody(response.body, member, &sink);
}

}  // namespace quarlino::quil::infrastructure::http
