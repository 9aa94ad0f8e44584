// Feeds a response to the framer in pieces cut where the fuzzer chooses, and
// parses and decodes every frame. The response is either the fuzzer's bytes
// or one built here around a payload the library compresses (gzip, zlib, raw
// deflate), optionally chunked with extensions and trailers and optionally
// corrupted. Aborts when the resumable framer disagrees with a fresh scan,
// when a frame runs past the buffer, when heads past the framer's limits are
// not refused, when parsing and framing disagree about whether a response
// within those limits is well formed, when decoding passes its limit, or
// when an intact built response does not give its payload back.
#include <fuzzer/FuzzedDataProvider.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzChecks.hpp"
#include "zorvik/CompressionHandler.hpp"
#include "zorvik/HttpClientBase.hpp"
#include "zorvik/detail/ResponseFramer.hpp"
#include "zorvik/detail/ResponseHead.hpp"

namespace {

using fuzzcheck::require;
using zorvik::CompressionHandler;
using zorvik::HttpClientBase;
using zorvik::HttpMethod;
using zorvik::detail::ResponseFrame;
using Type = CompressionHandler::CompressionType;

constexpr std::size_t kMaxPieces = 16;

struct Result {
    bool complete = false;
    ResponseFrame frame;

    bool operator==(const Result& other) const {
        return complete == other.complete && frame.length == other.frame.length &&
               frame.closeConnection == other.frame.closeConnection && frame.malformed == other.frame.malformed;
    }
};

// A response built here, with the payload its body must decode to when intact.
struct Built {
    std::string text;
    std::string payload;
    bool intact = true;
};

Result frameFresh(const std::string& buffer, bool headRequest, bool peerClosed) {
    Result result;
    result.complete = HttpClientBase::tryExtractResponseFrame(buffer, headRequest ? HttpMethod::HEAD : HttpMethod::GET,
                                                              peerClosed, result.frame);
    return result;
}

// Whether the heads at the start of `buffer`, up to the final one, break a
// limit of the framer: too many bytes in one head (or in one still without
// its end), too many lines after a status line, or too many interim heads.
// The parser has no such limits, so it is not asked about such a buffer.
bool pastHeadLimits(std::string_view buffer) {
    using namespace zorvik::detail;
    std::size_t interimHeads = 0;
    for (std::size_t start = 0;;) {
        const std::size_t end = buffer.find("\r\n\r\n", start);
        if (end == std::string_view::npos) {
            return buffer.size() - start >= kMaxResponseHeadBytes + 4;
        }
        const std::string_view head = buffer.substr(start, end - start);
        if (head.size() > kMaxResponseHeadBytes ||
            static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n')) > kMaxResponseHeadFields) {
            return true;
        }
        if (!isInterimStatus(parseStatusLine(splitStatusLine(head).first).code)) {
            return false;
        }
        if (++interimHeads > kMaxInterimResponses) {
            return true;
        }
        start = end + 4;
    }
}

// Parses the frame and decodes its body under `decodeLimit`; returns the
// decoded body when the frame is well formed.
std::optional<std::string> checkParse(const std::string& buffer, const Result& result, std::size_t decodeLimit) {
    require(result.frame.length <= buffer.size());
    if (pastHeadLimits(buffer)) {
        require(result.frame.malformed && result.frame.length == buffer.size() && result.frame.closeConnection);
        return std::nullopt;
    }
    const std::string text = buffer.substr(0, result.frame.length);
    try {
        zorvik::HttpResponse response = HttpClientBase::parseHttpResponse(text);
        require(!result.frame.malformed);
        require(response.body.size() <= text.size());
        response.limitDecodedBody(decodeLimit);
        const std::string& decoded = response.getBody();
        // Past the limit, or not decodable, the body stays as received.
        require(decoded.size() <= decodeLimit || decoded == response.body);
        return decoded;
    } catch (const std::exception&) {
        require(result.frame.malformed);
    }
    return std::nullopt;
}

// The library writes gzip and raw deflate; zlib wraps raw deflate in a
// 2-byte header and the Adler-32 of the payload. An empty payload is sent
// as an empty body, as the library compresses it.
std::string compressAs(const std::string& payload, int kind) {
    if (payload.empty()) {
        return {};
    }
    switch (kind) {
        case 1:
            return CompressionHandler::compressGzip(payload);
        case 2: {
            const std::uint32_t check = libdeflate_adler32(1, payload.data(), payload.size());
            std::string zlib = "\x78\x9c" + CompressionHandler::compressDeflate(payload);
            for (int shift = 24; shift >= 0; shift -= 8) {
                zlib += static_cast<char>((check >> shift) & 0xff);
            }
            return zlib;
        }
        case 3:
            return CompressionHandler::compressDeflate(payload);
        default:
            return payload;
    }
}

std::string token(FuzzedDataProvider& in, std::size_t maxLength) {
    std::string text = in.ConsumeRandomLengthString(maxLength);
    for (char& c : text) {
        c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
    }
    return text.empty() ? std::string("x") : text;
}

std::string hex(std::size_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

Built buildResponse(FuzzedDataProvider& in) {
    Built built;
    const int kind = in.ConsumeIntegralInRange(0, 3);
    const bool chunked = in.ConsumeBool();
    built.payload = in.ConsumeRandomLengthString(4096);
    std::string body = compressAs(built.payload, kind);
    const std::size_t flips = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    for (std::size_t i = 0; i < flips && !body.empty(); ++i) {
        const std::size_t at = in.ConsumeIntegralInRange<std::size_t>(0, body.size() - 1);
        const auto mask = in.ConsumeIntegralInRange<std::uint8_t>(1, 255);
        body[at] = static_cast<char>(body[at] ^ mask);
        built.intact = false;
    }

    std::string& text = built.text;
    text = "HTTP/1.1 200 OK\r\n";
    static const char* const kEncodings[] = {"identity", "gzip", "deflate", "deflate"};
    text += std::string("Content-Encoding: ") + kEncodings[kind] + "\r\n";
    if (!chunked) {
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        return built;
    }
    text += "Transfer-Encoding: chunked\r\n\r\n";
    std::size_t at = 0;
    while (at < body.size()) {
        const std::size_t length =
            std::min(body.size() - at, in.ConsumeIntegralInRange<std::size_t>(1, 1024));
        text += hex(length);
        if (in.ConsumeBool()) {
            text += ";" + token(in, 8);
            if (in.ConsumeBool()) {
                text += in.ConsumeBool() ? "=" + token(in, 8) : "=\"" + token(in, 8) + "\"";
            }
        }
        text += "\r\n" + body.substr(at, length) + "\r\n";
        at += length;
    }
    text += "0\r\n";
    const std::size_t trailers = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    for (std::size_t i = 0; i < trailers; ++i) {
        text += "X-" + token(in, 8) + ": " + token(in, 16) + "\r\n";
    }
    text += "\r\n";
    return built;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const bool build = in.ConsumeBool();
    const bool headRequest = !build && in.ConsumeBool();
    const bool peerClosed = in.ConsumeBool();
    const std::size_t decodeLimit = in.ConsumeIntegralInRange<std::size_t>(0, 16384);
    std::vector<std::size_t> cuts(in.ConsumeIntegralInRange<std::size_t>(0, kMaxPieces - 1));
    for (std::size_t& cut : cuts) {
        cut = in.ConsumeIntegral<std::uint16_t>();
    }
    std::optional<Built> built;
    std::string input;
    if (build) {
        built = buildResponse(in);
        input = built->text;
    } else {
        input = in.ConsumeRemainingBytesAsString();
    }

    const Result whole = frameFresh(input, headRequest, peerClosed);
    require(whole.complete || !pastHeadLimits(input));
    if (whole.complete) {
        checkParse(input, whole, decodeLimit);
    }

    for (std::size_t& cut : cuts) {
        cut %= input.size() + 1;
    }
    cuts.push_back(input.size());
    std::sort(cuts.begin(), cuts.end());

    // The framer sees the buffer grow piece by piece, as from a socket.
    zorvik::detail::ResponseFramer framer;
    std::string buffer;
    for (const std::size_t cut : cuts) {
        if (cut == buffer.size() && cut != input.size()) {
            continue;
        }
        buffer.append(input, buffer.size(), cut - buffer.size());
        const bool closedNow = peerClosed && buffer.size() == input.size();
        Result stepped;
        stepped.complete = framer.tryExtract(buffer, headRequest, closedNow, stepped.frame);
        require(stepped == frameFresh(buffer, headRequest, closedNow));
        require(stepped.complete || !pastHeadLimits(buffer));
        if (stepped.complete) {
            const auto decoded = checkParse(buffer, stepped, decodeLimit);
            if (built && built->intact && buffer.size() == input.size()) {
                require(decoded.has_value() && !stepped.frame.malformed && stepped.frame.length == input.size());
                require(built->payload.size() > decodeLimit || *decoded == built->payload);
            }
            break;
        }
        // A built response is complete only once all of it has arrived.
        require(!built || !built->intact || buffer.size() < input.size());
    }
    // Parsing must cope with any text, framed or not.
    try {
        HttpClientBase::parseHttpResponse(input);
    } catch (const std::exception&) {
    }
    return 0;
}
