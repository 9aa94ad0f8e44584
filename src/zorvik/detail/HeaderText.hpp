#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zorvik::detail {

// Header lookups that ignore ASCII case in names; names only match at equal
// length. The text helpers they build on are in detail/AsciiText.hpp.

using HeaderMap = std::map<std::string, std::string>;

// The first header in map order whose name matches, or headers.end().
HeaderMap::const_iterator findHeaderIgnoreCase(const HeaderMap& headers, std::string_view name);

bool hasHeaderIgnoreCase(const HeaderMap& headers, std::string_view name);

// Whole-value comparison: the trimmed value must equal `value` ignoring case,
// so "Close" matches "close" but "close, upgrade" does not.
bool hasHeaderValueIgnoreCase(const HeaderMap& headers,
                              std::string_view name, std::string_view value);

}  // namespace zorvik::detail
