#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "zorvik/detail/ChunkedBody.hpp"
#include "zorvik/detail/ResponseHead.hpp"

namespace zorvik::detail {

struct ResponseFrame {
    // Bytes from the start of the buffer that make up the first response.
    std::uint64_t length = 0;
    // The connection must not be reused after this response.
    bool closeConnection = false;
    // The response cannot be framed safely (bad length or chunk framing, a
    // head past its limits): the frame then spans the whole buffer and closes
    // the connection, and `error` says why.
    bool malformed = false;
    const char* error = nullptr;
};

// Limits on the heads of one response, so that a server cannot make a client
// hold an endless head or wait through endless interim answers.
inline constexpr std::size_t kMaxResponseHeadBytes = 256 * 1024;  // status line and fields
inline constexpr std::size_t kMaxResponseHeadFields = 500;
inline constexpr std::size_t kMaxInterimResponses = 10;

// Decides whether a connection's read buffer begins with one complete
// response, remembering its progress between calls so that a response read
// in many small pieces is scanned once. Interim 1xx heads (other than 101)
// are not answers: they become part of the frame of the response after them.
//
// Between calls the buffer may only grow; after taking a frame's bytes out
// of it, call reset(). A buffer that shrank, or a change of the request
// method, starts over by itself.
class ResponseFramer {
public:
    bool tryExtract(std::string_view buffer, bool headRequest, bool peerClosed, ResponseFrame& frame);
    void reset();
    // Bytes of the first response still to come once its head announced
    // its length (0 before that, or when the length is not announced).
    std::uint64_t announcedRemaining(std::size_t buffered) const;

private:
    // False while the final head is incomplete; `error` is set when a head
    // breaks one of the limits.
    bool findFinalHead(std::string_view buffer, const char*& error);
    bool frameBody(std::string_view buffer, bool peerClosed, ResponseFrame& frame);

    bool headRequest_ = false;
    std::size_t seenSize_ = 0;
    std::size_t headStart_ = 0;
    std::size_t searchFrom_ = 0;
    std::size_t bodyStart_ = 0;
    std::size_t interimHeads_ = 0;
    std::optional<HeadInfo> head_;
    std::optional<ChunkScanner> chunks_;
};

}  // namespace zorvik::detail
