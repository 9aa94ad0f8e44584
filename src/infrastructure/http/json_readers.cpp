#include "infrastructure/http/json_readers.hpp"

#include <utility>

#include "application/json_memory_budget.hpp"
#include "infrastructure/http/json_element_walk.hpp"

namespace quarlino::quil::infrastructure::http {

namespace {

// `value` with a default of exactly the field's type: the JSON library picks
// its conversion (and what it refuses) from that type.
template <typename T>
T keyedValue(const nlohmann::json& object, std::string_view key, T fallback) {
    return object.value(std::string(key), fallback);
}

}  // namespace

const nlohmann::json* findMember(const nlohmann::json& object, std::string_view key) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto member = object.find(std::string(key));
    return member == object.end() ? nullptr : &*member;
}

const nlohmann::json* integerMember(const nlohmann::json& object, std::string_view key) {
    const nlohmann::json* member = findMember(object, key);
    return member != nullptr && member->is_number_integer() ? member : nullptr;
}

std::string stringValue(const nlohmann::json& object, std::string_view key) {
    const nlohmann::json* member = findMember(object, key);
    if (member == nullptr || member->is_null()) {
        return {};
    }
    std::string text = member->is_string() ? member->get<std::string>() : member->dump();
    application::chargeKeptText(text);
    return text;
}

std::optional<std::string> optionalString(const nlohmann::json& object, std::string_view key) {
    std::string text = stringValue(object, key);
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

std::vector<std::string> parseStrings(const nlohmann::json& value) {
    std::vector<std::string> strings;
    if (!value.is_array()) {
        return strings;
    }
    for (const auto& element : value) {
        if (element.is_string()) {
            std::string text = element.get<std::string>();
            application::chargeKeptText(text);
            appendKept(strings, std::move(text));
        }
    }
    return strings;
}

std::vector<std::string> stringList(const nlohmann::json& object, std::string_view key) {
    return parseStrings(arrayMember(object, key));
}

bool booleanValue(const nlohmann::json& object, std::string_view key, bool fallback) {
    return keyedValue<bool>(object, key, fallback);
}

int intValue(const nlohmann::json& object, std::string_view key, int fallback) {
    return keyedValue<int>(object, key, fallback);
}

std::uint64_t unsignedValue(const nlohmann::json& object, std::string_view key,
                            std::uint64_t fallback) {
    return keyedValue<std::uint64_t>(object, key, fallback);
}

double doubleValue(const nlohmann::json& object, std::string_view key, double fallback) {
    return keyedValue<double>(object, key, fallback);
}

const nlohmann::json& jsonValue(const nlohmann::json& object, std::string_view key,
                                const nlohmann::json& fallback) {
    if (!object.is_object()) {
        (void)keyedValue<nlohmann::json>(object, key, nullptr);  // throws the library's error for a keyed read of it
    }
    const nlohmann::json* member = findMember(object, key);
    return member != nullptr ? *member : fallback;
}

const nlohmann::json& arrayMember(const nlohmann::json& object, std::string_view key) {
    static const nlohmann::json noElements = nlohmann::json::array();
    return jsonValue(object, key, noElements);
}

}  // namespace quarlino::quil::infrastructure::http
