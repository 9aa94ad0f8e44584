#include "zorvik/detail/ResponseFramer.hpp"

#include <algorithm>

namespace zorvik::detail {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";

bool hasNoBody(bool headRequest, int statusCode) {
    return headRequest || (statusCode >= 100 && statusCode <= 199) || statusCode == 204 || statusCode == 304;
}

bool complete(ResponseFrame& frame, std::uint64_t length, bool closeConnection) {
    frame = {length, closeConnection, false};
    return true;
}

bool malformed(ResponseFrame& frame, std::string_view buffer) {
    frame = {buffer.size(), true, true};
    return true;
}

}  // namespace

void ResponseFramer::reset() { *this = ResponseFramer{}; }

bool ResponseFramer::tryExtract(std::string_view buffer, bool headRequest, bool peerClosed,
                                ResponseFrame& frame) {
    frame = {};
    if (buffer.size() < seenSize_ || headRequest != headRequest_) {
        reset();
        headRequest_ = headRequest;
    }
    seenSize_ = buffer.size();
    if (!head_ && !findFinalHead(buffer)) {
        return false;
    }
    return frameBody(buffer, peerClosed, frame);
}

bool ResponseFramer::findFinalHead(std::string_view buffer) {
    while (true) {
        const std::size_t headEnd = buffer.find(kHeadEnd, searchFrom_);
        if (headEnd == std::string_view::npos) {
            searchFrom_ = buffer.size() < kHeadEnd.size()
                              ? headStart_
                              : std::max(headStart_, buffer.size() - (kHeadEnd.size() - 1));
            return false;
        }
        HeadInfo info = inspectHead(buffer.substr(headStart_, headEnd - headStart_));
        if (isInterimStatus(info.statusCode)) {
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
        return malformed(frame, buffer);
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
                return malformed(frame, buffer);
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
