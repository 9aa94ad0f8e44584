#include "zorvik/detail/ResponseParser.hpp"

#include <cstring>
#include <span>
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

// Bodies at least this large are taken out of a buffer the caller gives up
// instead of copied; below it a copy is cheap.
constexpr std::size_t kTakeBodyFrom = 16 * 1024;
// Slack a taken body may keep beyond twice its size. What the head and the
// chunk framing took is given back, so that a body never holds much more
// memory than the bytes a session counts for it.
constexpr std::size_t kBodySlack = 64 * 1024;
// Room a read buffer keeps for the next response once one is taken whole.
constexpr std::size_t kKeptReadRoom = 64 * 1024;

// The body `body` (a view into `buffer`) moved, or de-chunked, to the front
// of `buffer`, which then becomes the body: no second copy of a large body
// is ever held. A body far smaller than that storage (large framing around
// a small body) is copied out of it instead.
std::string takeBody(std::string& buffer, std::string_view body, bool chunked) {
    const auto offset = static_cast<std::size_t>(body.data() - buffer.data());
    std::size_t length = body.size();
    if (chunked) {
        ChunkScanner scanner(offset);
        length = 0;
        if (scanner.scanInPlace(std::span(buffer.data(), offset + body.size()), length) ==
            ChunkScanner::Status::Malformed) {
            throw std::runtime_error(scanner.error());
        }
    } else {
        std::memmove(buffer.data(), buffer.data() + offset, length);
    }
    if (buffer.capacity() - length > length + kBodySlack) {
        return buffer.substr(0, length);
    }
    buffer.resize(length);
    return std::move(buffer);
}

// With `owned`, the storage `text` views, a large body is taken out of it.
HttpResponse parseResponse(std::string_view text, std::string* owned) {
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
    auto headers = parseHeaders(lines, false);
    std::string content;
    if (owned != nullptr && body.size() >= kTakeBodyFrom) {
        content = takeBody(*owned, body, info.chunked);
    } else {
        content = info.chunked ? dechunk(body) : std::string(body);
    }
    return HttpResponse(status.code, std::move(status.reason), std::move(headers), std::move(content));
}

}  // namespace

HttpResponse parseHttpResponse(std::string_view text) { return parseResponse(text, nullptr); }

HttpResponse takeHttpResponse(std::string& buffer) {
    auto response = parseResponse(buffer, &buffer);
    if (buffer.capacity() > kKeptReadRoom) {
        // An idle connection does not hold on to what one large head or
        // framing made it read.
        std::string().swap(buffer);
    } else {
        buffer.clear();
    }
    return response;
}

}  // namespace zorvik::detail
