#include "infrastructure/http/json_readers.hpp"

#include <utility>

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
    if (member->is_string()) {
        return member->get<std::string>();
    }
    return member->dump();
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
            strings.push_back(element.get<std::string>());
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

nlohmann::json jsonValue(const nlohmann::json& object, std::string_view key, nlohmann::json fallback) {
    return keyedValue<nlohmann::json>(object, key, std::move(fallback));
}

nlohmann::json arrayMember(const nlohmann::json& object, std::string_view key) {
    return jsonValue(object, key, nlohmann::json::array());
}

}  // namespace quarlino::quil::infrastructure::http
