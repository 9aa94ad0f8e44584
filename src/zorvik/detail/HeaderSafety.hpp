#pragma once

#include <string>
#include <string_view>

namespace zorvik {
class HttpRequest;
}

namespace zorvik::detail {

// CR and LF would end a line of the request head early and let caller text
// start a header or request of its own; NUL is cut off or misread by servers.
// None of them may reach the wire in the request line or a header.

inline constexpr const char* kForbiddenHeaderName = "Header name contains CR, LF or NUL";
inline constexpr const char* kForbiddenHeaderValue = "Header value contains CR, LF or NUL";
inline constexpr const char* kForbiddenPath = "Request path contains CR, LF or NUL";
inline constexpr const char* kForbiddenHost = "Request host contains CR, LF or NUL";
inline constexpr const char* kForbiddenRouteParam = "Route parameter value contains CR, LF or NUL";
inline constexpr const char* kForbiddenQueryString = "Query string contains CR, LF or NUL";

constexpr bool isForbiddenWireByte(char byte) {
    return byte == '\r' || byte == '\n' || byte == '\0';
}

// Position of the first CR, LF or NUL in `text`, or std::string_view::npos.
std::string_view::size_type findForbiddenByte(std::string_view text);

// Throws std::invalid_argument(message) when `text` holds CR, LF or NUL. The
// message names what was refused and never repeats the text (it may be a token).
void requireWireSafe(std::string_view text, const char* message);

// Checks everything of `request` that the request writer puts into the request
// line and the headers (host, path, header names and values). Throws
// std::invalid_argument with one of the messages above; call it while the
// request text is built, before anything is written.
void validateRequestForWire(const HttpRequest& request);

}  // namespace zorvik::detail
