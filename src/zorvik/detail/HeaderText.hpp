#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zorvik::detail {

// Removes leading and trailing bytes for which C isspace holds.
std::string trimCopy(std::string_view text);

// Lowercases every ASCII letter.
std::string toLowerCopy(std::string text);

bool hasHeaderIgnoreCase(const std::map<std::string, std::string>& headers, std::string_view name);

// Whole-value comparison: the trimmed value must equal `value` ignoring case,
// so "Close" matches "close" but "close, upgrade" does not.
bool hasHeaderValueIgnoreCase(const std::map<std::string, std::string>& headers,
                              std::string_view name, std::string_view value);

}  // namespace zorvik::detail
