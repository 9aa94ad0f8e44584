#include "zorvik/detail/ChunkedBody.hpp"

#include <algorithm>
#include <cstring>

namespace zorvik::detail {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Where a search for a terminator of `length` bytes resumes once `size` bytes
// have been searched: its first byte may be among the last length - 1 bytes.
std::size_t resumePoint(std::size_t start, std::size_t size, std::size_t length) {
    return size < length ? start : std::max(start, size - (length - 1));
}

}  // namespace

std::optional<std::uint64_t> parseChunkSize(std::string_view sizeLine) {
    sizeLine = sizeLine.substr(0, sizeLine.find(';'));
    while (!sizeLine.empty() && isBlank(sizeLine.front())) {
        sizeLine.remove_prefix(1);
    }
    while (!sizeLine.empty() && isBlank(sizeLine.back())) {
        sizeLine.remove_suffix(1);
    }
    if (sizeLine.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : sizeLine) {
        const int digit = hexValue(c);
        if (digit < 0 || value >> 60 != 0) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return value;
}

ChunkScanner::ChunkScanner(std::size_t bodyStart) : pos_(bodyStart), searchFrom_(bodyStart) {}

ChunkScanner::Status ChunkScanner::scan(std::string_view buffer, std::string* decoded) {
    return run(buffer, {decoded});
}

ChunkScanner::Status ChunkScanner::scanInPlace(std::span<char> buffer, std::size_t& written) {
    return run(std::string_view(buffer.data(), buffer.size()), {nullptr, buffer.data(), &written});
}

ChunkScanner::Status ChunkScanner::run(std::string_view buffer, Output output) {
    if (pos_ > buffer.size()) {
        return Status::Incomplete;
    }
    while (true) {
        Status status = Status::Incomplete;
        switch (stage_) {
            case Stage::SizeLine:
                status = scanSizeLine(buffer);
                break;
            case Stage::Data:
                status = scanData(buffer, output);
                break;
            case Stage::Trailers:
                status = scanTrailers(buffer);
                break;
            case Stage::Done:
                return Status::Complete;
            case Stage::Failed:
                return Status::Malformed;
        }
        // A finished element moves the stage on and reports Complete only
        // at the very end; anything else stops this call.
        if (status != Status::Complete || stage_ == Stage::Done) {
            return status;
        }
    }
}

ChunkScanner::Status ChunkScanner::scanSizeLine(std::string_view buffer) {
    const std::size_t lineEnd = buffer.find(kCrLf, searchFrom_);
    if (lineEnd == std::string_view::npos) {
        searchFrom_ = resumePoint(pos_, buffer.size(), kCrLf.size());
        return Status::Incomplete;
    }
    const auto size = parseChunkSize(buffer.substr(pos_, lineEnd - pos_));
    if (!size) {
        return fail("Invalid chunk size");
    }
    chunkSize_ = *size;
    pos_ = searchFrom_ = lineEnd + kCrLf.size();
    stage_ = chunkSize_ == 0 ? Stage::Trailers : Stage::Data;
    return Status::Complete;
}

ChunkScanner::Status ChunkScanner::scanData(std::string_view buffer, Output output) {
    // Compared as "what is left" so that a size near 2^64 cannot wrap around.
    const std::size_t available = buffer.size() - pos_;
    if (available < kCrLf.size() || available - kCrLf.size() < chunkSize_) {
        return Status::Incomplete;
    }
    const auto size = static_cast<std::size_t>(chunkSize_);
    if (buffer.substr(pos_ + size, kCrLf.size()) != kCrLf) {
        return fail("Chunk data is not followed by CRLF");
    }
    if (output.decoded != nullptr) {
        output.decoded->append(buffer.substr(pos_, size));
    } else if (output.inPlace != nullptr) {
        // Size lines come before every chunk's data, so the data only ever
        // moves down, over text already scanned.
        std::memmove(output.inPlace + *output.written, buffer.data() + pos_, size);
        *output.written += size;
    }
    pos_ = searchFrom_ = pos_ + size + kCrLf.size();
    stage_ = Stage::SizeLine;
    return Status::Complete;
}

ChunkScanner::Status ChunkScanner::scanTrailers(std::string_view buffer) {
    if (buffer.size() - pos_ < kCrLf.size()) {
        return Status::Incomplete;
    }
    if (buffer.substr(pos_, kCrLf.size()) == kCrLf) {
        pos_ += kCrLf.size();
        stage_ = Stage::Done;
        return Status::Complete;
    }
    const std::size_t trailersEnd = buffer.find(kBlankLine, searchFrom_);
    if (trailersEnd == std::string_view::npos) {
        searchFrom_ = resumePoint(pos_, buffer.size(), kBlankLine.size());
        return Status::Incomplete;
    }
    pos_ = trailersEnd + kBlankLine.size();
    stage_ = Stage::Done;
    return Status::Complete;
}

ChunkScanner::Status ChunkScanner::fail(const char* error) {
    error_ = error;
    stage_ = Stage::Failed;
    return Status::Malformed;
}

}  // namespace zorvik::detail
