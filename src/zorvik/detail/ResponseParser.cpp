#include "zorvik/detail/ResponseParser.hpp"

#include <stdexcept>
#include <string>
#include <utility>

#include "zorvik/detail/ChunkedBody.hpp"
#include "zorvik/detail/ResponseHead.hpp"

namespace zorvik::detail {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";

HttpResponse failure(const std::string& message) { return HttpResponse(0, message, {}, {}); }

// Offset of the head of the answer: past every interim head that has more
// text after it.
std::size_t skipInterimHeads(std::string_view text) {
    std::size_t start = 0;
    while (true) {
        const std::size_t headEnd = text.find(kHeadEnd, start);
        const std::size_t next = headEnd + kHeadEnd.size();
        if (headEnd == std::string_view::npos || next >= text.size()) {
            return start;
        }
        const auto statusLine = splitStatusLine(text.substr(start, headEnd - start)).first;
        if (!isInterimStatus(parseStatusLine(statusLine).code)) {
            return start;
        }
        start = next;
    }
}

std::string dechunk(std::string_view body) {
    std::string decoded;
    ChunkScanner scanner;
    if (scanner.scan(body, &decoded) == ChunkScanner::Status::Malformed) {
        throw std::runtime_error(scanner.error());
    }
    // An unfinished body keeps the chunks that did arrive.
    return decoded;
}

}  // namespace

HttpResponse parseHttpResponse(std::string_view text) {
    if (text.empty()) {
        return failure("Empty response");
    }
    text.remove_prefix(skipInterimHeads(text));
    const std::size_t headEnd = text.find(kHeadEnd);
    if (headEnd == std::string_view::npos) {
        return failure("Invalid response format");
    }
    const std::string_view head = text.substr(0, headEnd);
    const std::string_view body = text.substr(headEnd + kHeadEnd.size());

    // Framing decided how many bytes this text holds; the same reading of the
    // head decides how the body is taken, so the two can never disagree.
    const HeadInfo info = inspectHead(head);
    if (info.error != nullptr) {
        throw std::runtime_error(info.error);
    }
    const auto [statusLineText, lines] = splitStatusLine(head);
    StatusLine status = parseStatusLine(statusLineText);
    return HttpResponse(status.code, std::move(status.reason), parseHeaders(lines, false),
                        info.chunked ? dechunk(body) : std::string(body));
}

}  // namespace zorvik::detail
