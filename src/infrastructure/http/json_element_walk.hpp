#pragma once

#include <vector>

#include <nlohmann/json.hpp>

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

}  // namespace quarlino::quil::infrastructure::http
