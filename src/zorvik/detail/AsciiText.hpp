#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace zorvik::detail {

// ASCII-only text helpers: header names, schemes and encodings are ASCII, and
// locale-dependent folding or trimming would make lookups differ between
// machines.

constexpr char toLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

constexpr bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Space, tab, line feed, vertical tab, form feed and carriage return: the
// white space of the C locale.
constexpr bool isAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Lowercases every ASCII letter; other bytes stay as they are.
inline std::string toLowerCopy(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), toLowerAscii);
    return text;
}

// Without leading and trailing white space.
inline std::string_view trimView(std::string_view text) {
    while (!text.empty() && isAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

inline std::string trimCopy(std::string_view text) { return std::string(trimView(text)); }

inline bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return toLowerAscii(x) == toLowerAscii(y); });
}

inline bool containsIgnoreCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char x, char y) {
               return toLowerAscii(x) == toLowerAscii(y);
           }) != text.end();
}

inline bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace zorvik::detail
