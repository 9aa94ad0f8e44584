// Feeds arbitrary bytes to the response framer, whole and in pieces, and
// parses every frame. Aborts when the resumable framer disagrees with a fresh
// scan, when a frame runs past the buffer, or when parsing and framing
// disagree about whether the response is well formed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "zorvik/HttpClientBase.hpp"
#include "zorvik/detail/ResponseFramer.hpp"

namespace {

using zorvik::HttpClientBase;
using zorvik::HttpMethod;
using zorvik::detail::ResponseFrame;

struct Result {
    bool complete = false;
    ResponseFrame frame;

    bool operator==(const Result& other) const {
        return complete == other.complete && frame.length == other.frame.length &&
               frame.closeConnection == other.frame.closeConnection && frame.malformed == other.frame.malformed;
    }
};

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

Result frameFresh(const std::string& buffer, bool headRequest, bool peerClosed) {
    Result result;
    result.complete = HttpClientBase::tryExtractResponseFrame(buffer, headRequest ? HttpMethod::HEAD : HttpMethod::GET,
                                                              peerClosed, result.frame);
    return result;
}

void checkParse(const std::string& buffer, const Result& result) {
    require(result.frame.length <= buffer.size());
    const std::string text = buffer.substr(0, result.frame.length);
    try {
        const zorvik::HttpResponse response = HttpClientBase::parseHttpResponse(text);
        require(!result.frame.malformed);
        require(response.body.size() <= text.size());
    } catch (const std::exception&) {
        require(result.frame.malformed);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t control = data[0];
    const bool headRequest = (control & 1) != 0;
    const bool peerClosed = (control & 2) != 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    const Result whole = frameFresh(input, headRequest, peerClosed);
    if (whole.complete) {
        checkParse(input, whole);
    }

    // Pieces of 1 to 8 bytes, the piece sizes drawn from the control byte.
    zorvik::detail::ResponseFramer framer;
    std::string buffer;
    std::uint32_t state = control | 0x100u;
    while (buffer.size() < input.size()) {
        state = state * 1103515245u + 12345u;
        buffer.append(input, buffer.size(), 1 + (state >> 16) % 8);
        const bool closedNow = peerClosed && buffer.size() == input.size();
        Result stepped;
        stepped.complete = framer.tryExtract(buffer, headRequest, closedNow, stepped.frame);
        require(stepped == frameFresh(buffer, headRequest, closedNow));
        if (stepped.complete) {
            checkParse(buffer, stepped);
            break;
        }
    }
    // Parsing must cope with any text, framed or not.
    try {
        HttpClientBase::parseHttpResponse(input);
    } catch (const std::exception&) {
    }
    return 0;
}
