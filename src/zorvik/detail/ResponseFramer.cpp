#include "zorvik/detail/ResponseFramer.hpp"

#include <algorithm>

namespace zorvik::detail {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";

constexpr const char* kHeadTooLarge = "Response head exceeds 262144 bytes";
constexpr const char* kTooManyFields = "Response head has more than 500 fields";
constexpr const char* kTooManyInterim = "More than 10 interim responses";
static_assert(kMaxResponseHeadBytes == 262144 && kMaxResponseHeadFields == 500 && kMaxInterimResponses == 10,
              "the texts name the limits");

bool hasNoBody(bool headRequest, int statusCode) {
    return headRequest || (statusCode >= 100 && statusCode <= 199) || statusCode == 204 || statusCode == 304;
}

bool complete(ResponseFrame& frame, std::uint64_t length, bool closeConnection) {
    frame = {length, closeConnection, false};
    return true;
}

bool malformed(ResponseFrame& frame, std::string_view buffer, const char* error) {
    frame = {buffer.size(), true, true, error};
    return true;
}

// Lines after the status line; a line without ':' counts, as it costs the same.
std::size_t fieldLines(std::string_view head) {
    return static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n'));
}

}  // namespace

void ResponseFramer::reset() { *this = ResponseFramer{}; }

std::uint64_t ResponseFramer::announcedRemaining(std::size_t buffered) const {
    if (!head_ || head_->error != nullptr || head_->chunked || !head_->contentLength ||
        hasNoBody(headRequest_, head_->statusCode) || buffered < bodyStart_) {
        return 0;
    }
    const std::uint64_t arrived = buffered - bodyStart_;
    return arrived < *head_->contentLength ? *head_->contentLength - arrived : 0;
}

bool ResponseFramer::tryExtract(std::string_view buffer, bool headRequest, bool peerClosed,
                                ResponseFrame& frame) {
    frame = {};
    if (buffer.size() < seenSize_ || headRequest != headRequest_) {
        reset();
        headRequest_ = headRequest;
    }
    seenSize_ = buffer.size();
    if (!head_) {
        const char* error = nullptr;
        if (!findFinalHead(buffer, error)) {
            return error != nullptr && malformed(frame, buffer, error);
        }
    }
    return frameBody(buffer, peerClosed, frame);
}

bool ResponseFramer::findFinalHead(std::string_view buffer, const char*& error) {
    while (true) {
        const std::size_t headEnd = buffer.find(kHeadEnd, searchFrom_);
        if (headEnd == std::string_view::npos) {
            if (buffer.size() - headStart_ >= kMaxResponseHeadBytes + kHeadEnd.size()) {
                error = kHeadTooLarge;
            }
            searchFrom_ = buffer.size() < kHeadEnd.size()
                              ? headStart_
                              : std::max(headStart_, buffer.size() - (kHeadEnd.size() - 1));
            return false;
        }
        const std::string_view headText = buffer.substr(headStart_, headEnd - headStart_);
        if (headText.size() > kMaxResponseHeadBytes) {
            error = kHeadTooLarge;
            return false;
        }
        if (fieldLines(headText) > kMaxResponseHeadFields) {
            error = kTooManyFields;
            return false;
        }
        HeadInfo info = inspectHead(headText);
        if (isInterimStatus(info.statusCode)) {
            if (++interimHeads_ > kMaxInterimResponses) {
                error = kTooManyInterim;
                return false;
            }
            headStart_ = searchFrom_ = headEnd + kHeadEnd.size();
            continue;
        }
        head_ = info;
        bodyStart_ = headEnd + kHeadEnd.size();
        return true;
    }
}

bool ResponseFramer::frameBody(std::string_view buffer, bool peerClosed, ResponseFrame& frame) {
    const HeadInfo& head = *head_;
    if (head.error != nullptr) {
        return malformed(frame, buffer, head.error);
    }
    if (hasNoBody(headRequest_, head.statusCode)) {
        return complete(frame, bodyStart_, head.closeConnection);
    }
    if (head.chunked) {
        if (!chunks_) {
            chunks_.emplace(bodyStart_);
        }
        switch (chunks_->scan(buffer)) {
            case ChunkScanner::Status::Complete:
                return complete(frame, chunks_->end(), head.closeConnection);
            case ChunkScanner::Status::Malformed:
                return malformed(frame, buffer, chunks_->error());
            case ChunkScanner::Status::Incomplete:
                return false;
        }
    }
    if (head.contentLength) {
        // Compared as "what has arrived" so that a length near 2^64 cannot wrap.
        if (buffer.size() - bodyStart_ < *head.contentLength) {
            return false;
        }
        return complete(frame, bodyStart_ + *head.contentLength, head.closeConnection);
    }
    if (!peerClosed) {
        return false;
    }
    return complete(frame, buffer.size(), true);
}

}  // namespace zorvik::detail
