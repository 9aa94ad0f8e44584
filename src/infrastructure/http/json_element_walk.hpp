#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "application/json_memory_budget.hpp"

// The two ways a mapper turns a JSON value into a list of records.
namespace quarlino::quil::infrastructure::http {

// push_back, charging the answer's budget for the room the list takes. A
// growing list holds its old and new blocks at once, so the new block is
// charged before it is made and the old one released after.
template <typename T>
void appendKept(std::vector<T>& items, T&& item) {
    if (items.size() == items.capacity()) {
        const std::size_t grown = std::max<std::size_t>(1, 2 * items.capacity());
        application::chargeKeptBytes(grown * sizeof(T));
        const std::size_t old = items.capacity() * sizeof(T);
        items.reserve(grown);
        application::releaseKeptBytes(old);
    }
    items.push_back(std::move(item));
}

// Maps each element the JSON library yields when iterating `value`: an
// array's elements in order, an object's member values in key order, nothing
// for null, and any other value itself once (which the mapper then judges).
template <typename T>
std::vector<T> mapElements(const nlohmann::json& value, T (*parse)(const nlohmann::json&)) {
    std::vector<T> items;
    for (const auto& element : value) {
        appendKept(items, parse(element));
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
    application::chargeKeptBytes(value.size() * sizeof(T));
    items.reserve(value.size());
    for (const auto& element : value) {
        items.push_back(parse(element));
    }
    return items;
}

}  // namespace quarlino::quil::infrastructure::http
