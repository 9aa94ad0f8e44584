#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace zorvik::detail {

// ASCII-only case folding: header names, schemes and encodings are ASCII, and
// locale-dependent folding would make lookups differ between machines.

constexpr char toLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string toLowerAsciiCopy(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), toLowerAscii);
    return lowered;
}

inline bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return toLowerAscii(x) == toLowerAscii(y); });
}

inline bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace zorvik::detail
