#include "zorvik/detail/HeaderSafety.hpp"

#include <algorithm>
#include <stdexcept>

#include "zorvik/HttpRequest.hpp"

namespace zorvik::detail {

std::string_view::size_type findForbiddenByte(std::string_view text) {
    const auto found = std::find_if(text.begin(), text.end(), isForbiddenWireByte);
    return found == text.end() ? std::string_view::npos
                               : static_cast<std::string_view::size_type>(found - text.begin());
}

void requireWireSafe(std::string_view text, const char* message) {
    if (findForbiddenByte(text) != std::string_view::npos) {
        throw std::invalid_argument(message);
    }
}

void validateRequestForWire(const HttpRequest& request) {
    requireWireSafe(request.host, kForbiddenHost);
    requireWireSafe(request.path, kForbiddenPath);
    for (const auto& [name, value] : request.headers) {
        requireWireSafe(name, kForbiddenHeaderName);
        requireWireSafe(value, kForbiddenHeaderValue);
    }
}

}  // namespace zorvik::detail
