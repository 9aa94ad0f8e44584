#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zorvik::detail {

struct StatusLine {
    int code = 0;
    std::string reason;
};

// Matches "HTTP/1.0" or "HTTP/1.1", white space, three digits and an optional
// reason; anything else gives code 0 and an empty reason. Written by hand, not
// as a regular expression, so that a hostile multi-megabyte status line costs
// one linear pass and no recursion.
StatusLine parseStatusLine(std::string_view line);

// Header lines up to the first empty line; a trailing CR is dropped, lines
// without ':' are skipped, values are trimmed and a later name wins. With
// `lowercaseNames` the names are trimmed and lowercased, else kept as sent.
std::map<std::string, std::string> parseHeaders(std::string_view lines, bool lowercaseNames);

// A decimal length made of digits only that fits in 64 bits; no sign, no
// white space, no junk.
std::optional<std::uint64_t> parseDecimalLength(std::string_view text);

// A 1xx status other than 101 announces that the real answer follows.
bool isInterimStatus(int statusCode);

// What framing needs to know of one response head (the bytes before its
// blank line).
struct HeadInfo {
    int statusCode = 0;
    bool closeConnection = false;
    bool chunked = false;
    std::optional<std::uint64_t> contentLength;
    // Set when the head cannot be framed safely (an unusable Content-Length);
    // the text says why.
    const char* error = nullptr;
};

HeadInfo inspectHead(std::string_view head);

// The first line of a head (without its line feed) and the lines after it.
std::pair<std::string_view, std::string_view> splitStatusLine(std::string_view head);

}  // namespace zorvik::detail
