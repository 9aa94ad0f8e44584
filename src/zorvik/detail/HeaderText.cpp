#include "zorvik/detail/HeaderText.hpp"

#include <algorithm>

#include "zorvik/detail/AsciiText.hpp"

namespace zorvik::detail {

HeaderMap::const_iterator findHeaderIgnoreCase(const HeaderMap& headers, std::string_view name) {
    return std::find_if(headers.begin(), headers.end(),
                        [name](const auto& entry) { return equalsIgnoreCase(entry.first, name); });
}

bool hasHeaderIgnoreCase(const HeaderMap& headers, std::string_view name) {
    return findHeaderIgnoreCase(headers, name) != headers.end();
}

bool hasHeaderValueIgnoreCase(const HeaderMap& headers,
                              std::string_view name, std::string_view value) {
    return std::any_of(headers.begin(), headers.end(), [name, value](const auto& entry) {
        return equalsIgnoreCase(entry.first, name) && equalsIgnoreCase(trimView(entry.second), value);
    });
}

}  // namespace zorvik::detail
