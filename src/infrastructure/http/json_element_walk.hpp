#pragma once

#include <vector>

#include <nlohmann/json.hpp>

// The two ways a mapper turns a JSON value into a list of records.
namespace quarlino::quil::infrastructure::http {

// Maps each element the JSON library yields when iterating `value`: an
// array's elements in order, an object's member values in key order, nothing
// for null, and any other value itself once (which the mapper then judges).
template <typename T>
std::vector<T> mapElements(const nlohmann::json& value, T (*parse)(const nlohmann::json&)) {
    std::vector<T> items;
    for (const auto& element : value) {
        items.push_back(parse(element));
    }
    return items;
}

// Maps the elements of an array in order; any other value gives none.
template <typename T>
std::vector<T> mapArrayElements(const nlohmann::json& value, T (*parse)(const nlohmann::json&)) {
    std::vector<T> items;
    if (!value.is_array()) {
        return items;
    }
    items.reserve(value.size());
    for (const auto& element : value) {
        items.push_back(parse(element));
    }
    return items;
}

}  // namespace quarlino::quil::infrastructure::http
