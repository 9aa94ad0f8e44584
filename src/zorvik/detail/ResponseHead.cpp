#include "zorvik/detail/ResponseHead.hpp"

#include <limits>

#include "zorvik/detail/AsciiText.hpp"

namespace zorvik::detail {

namespace {

constexpr const char* kInvalidContentLength = "Invalid Content-Length header";
constexpr const char* kConflictingContentLength = "Conflicting Content-Length headers";

std::size_t skipSpaces(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isAsciiSpace(text[pos])) {
        ++pos;
    }
    return pos;
}

// Calls visit(name, value) for every header line, by the rules of parseHeaders.
template <typename Visitor>
void forEachHeaderLine(std::string_view lines, Visitor&& visit) {
    while (!lines.empty()) {
        const std::size_t feed = lines.find('\n');
        std::string_view line = lines.substr(0, feed);
        lines = feed == std::string_view::npos ? std::string_view{} : lines.substr(feed + 1);
        if (line.empty()) {
            return;
        }
        if (line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        visit(line.substr(0, colon), trimView(line.substr(colon + 1)));
    }
}

}  // namespace

StatusLine parseStatusLine(std::string_view line) {
    const std::string_view prefix = "HTTP/1.";
    if (line.size() < prefix.size() + 1 || line.substr(0, prefix.size()) != prefix ||
        (line[prefix.size()] != '0' && line[prefix.size()] != '1')) {
        return {};
    }
    const std::size_t codeStart = skipSpaces(line, prefix.size() + 1);
    if (codeStart == prefix.size() + 1 || line.size() < codeStart + 3 || !isAsciiDigit(line[codeStart]) ||
        !isAsciiDigit(line[codeStart + 1]) || !isAsciiDigit(line[codeStart + 2])) {
        return {};
    }
    std::string_view rest = line.substr(codeStart + 3);
    if (!rest.empty() && rest.back() == '\r') {
        rest.remove_suffix(1);
    }
    rest.remove_prefix(skipSpaces(rest, 0));
    if (rest.find_first_of("\r\n") != std::string_view::npos) {
        return {};
    }
    const int code = (line[codeStart] - '0') * 100 + (line[codeStart + 1] - '0') * 10 + (line[codeStart + 2] - '0');
    return {code, trimCopy(rest)};
}

std::map<std::string, std::string> parseHeaders(std::string_view lines, bool lowercaseNames) {
    std::map<std::string, std::string> headers;
    forEachHeaderLine(lines, [&headers, lowercaseNames](std::string_view name, std::string_view value) {
        std::string key = lowercaseNames ? toLowerCopy(trimCopy(name)) : std::string(name);
        headers.insert_or_assign(std::move(key), std::string(value));
    });
    return headers;
}

std::optional<std::uint64_t> parseDecimalLength(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!isAsciiDigit(c)) {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (kMax - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

bool isInterimStatus(int statusCode) { return statusCode >= 100 && statusCode <= 199 && statusCode != 101; }

std::pair<std::string_view, std::string_view> splitStatusLine(std::string_view head) {
    const std::size_t feed = head.find('\n');
    if (feed == std::string_view::npos) {
        return {head, {}};
    }
    return {head.substr(0, feed), head.substr(feed + 1)};
}

HeadInfo inspectHead(std::string_view head) {
    const auto [statusLine, lines] = splitStatusLine(head);
    HeadInfo info;
    info.statusCode = parseStatusLine(statusLine).code;

    // Views into the head: reading it allocates nothing.
    std::string_view connection;
    std::string_view transferEncoding;
    std::optional<std::string_view> contentLength;
    bool conflictingLengths = false;
    forEachHeaderLine(lines, [&](std::string_view rawName, std::string_view value) {
        const std::string_view name = trimView(rawName);
        if (equalsIgnoreCase(name, "connection")) {
            connection = value;
        } else if (equalsIgnoreCase(name, "transfer-encoding")) {
            transferEncoding = value;
        } else if (equalsIgnoreCase(name, "content-length")) {
            conflictingLengths = conflictingLengths || (contentLength && *contentLength != value);
            contentLength = value;
        }
    });

    info.closeConnection = equalsIgnoreCase(connection, "close");
    info.chunked = containsIgnoreCase(transferEncoding, "chunked");
    if (info.chunked || !contentLength) {
        return info;
    }
    if (conflictingLengths) {
        info.error = kConflictingContentLength;
        return info;
    }
    info.contentLength = parseDecimalLength(*contentLength);
    if (!info.contentLength) {
        info.error = kInvalidContentLength;
    }
    return info;
}

}  // namespace zorvik::detail
