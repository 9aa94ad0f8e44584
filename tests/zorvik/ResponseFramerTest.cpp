// Framing cases, each fed whole and one byte at a time. Complete frames are
// parsed as well, so that framing and parsing are checked to agree.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/net/SharedText.hpp"
#include "zorvik/HttpClientBase.hpp"
#include "zorvik/detail/ResponseFramer.hpp"

namespace zorvik {
namespace {

using detail::ResponseFrame;
using detail::ResponseFramer;

enum class Outcome { Incomplete, Complete, Malformed };

struct FramingCase {
    std::string name;
    std::string input;
    Outcome outcome = Outcome::Incomplete;
    std::size_t length = 0;  // Complete only
    bool close = false;      // Complete only
    int status = 0;          // Complete only: status of the parsed frame
    std::string body;        // Complete only: body of the parsed frame
    bool headRequest = false;
    bool peerClosed = false;

    FramingCase& head() {
        headRequest = true;
        return *this;
    }
    FramingCase& closed() {
        peerClosed = true;
        return *this;
    }
};

FramingCase unframed(std::string name, std::string input, Outcome outcome) {
    FramingCase c;
    c.name = std::move(name);
    c.input = std::move(input);
    c.outcome = outcome;
    return c;
}

// The first `frame` bytes of `input` are one response with that status and body.
FramingCase complete(std::string name, const std::string& frame, const std::string& rest, int status,
                     std::string body, bool close = false) {
    FramingCase c = unframed(std::move(name), frame + rest, Outcome::Complete);
    c.length = frame.size();
    c.close = close;
    c.status = status;
    c.body = std::move(body);
    return c;
}

FramingCase incomplete(std::string name, std::string input) {
    return unframed(std::move(name), std::move(input), Outcome::Incomplete);
}

FramingCase malformed(std::string name, std::string input) {
    return unframed(std::move(name), std::move(input), Outcome::Malformed);
}

const std::string kOk5 = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
const std::string kNext = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
const std::string kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
const std::string kNoContent = "HTTP/1.1 204 No Content\r\n\r\n";
const std::string kEarlyHints = "HTTP/1.1 103 Early Hints\r\nLink: </a.css>; rel=preload\r\n\r\n";
const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

std::string withLength(const std::string& value) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + value + "\r\n\r\nhello";
}

std::string withChunk(const std::string& sizeLine) { return kChunked + sizeLine + "\r\nhello\r\n0\r\n\r\n"; }

std::string withHeader(const std::string& lines) { return "HTTP/1.1 200 OK\r\n" + lines + "\r\n"; }

std::vector<FramingCase> framingCases() {
    return {
        // Length-delimited bodies.
        complete("LengthComplete", kOk5 + "hello", "", 200, "hello"),
        incomplete("LengthPartialBody", kOk5 + "hel"),
        incomplete("LengthPartialBodyAtClose", kOk5 + "hel").closed(),
        complete("LengthFollowedByNext", kOk5 + "hello", kNext, 200, "hello"),
        complete("LengthZero", kNext, "", 200, ""),
        incomplete("HeadNotComplete", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n"),
        incomplete("TooShort", "HTT").closed(),
        incomplete("BareLineFeeds", "HTTP/1.1 200 OK\nContent-Length: 0\n\n"),
        complete("DuplicateEqualLengths", withHeader("Content-Length: 5\r\ncontent-length: 5\r\n") + "hello", "", 200,
                 "hello"),
        incomplete("HugeButValidLength", withLength("18446744073709551615")),
        complete("LengthWithSurroundingBlanks", withHeader("Content-Length:  5 \r\n") + "hello", "", 200, "hello"),

        // Responses without a body.
        complete("NoContentThenNext", kNoContent, kNext, 204, ""),
        complete("NotModifiedWithLength", "HTTP/1.1 304 Not Modified\r\nContent-Length: 5\r\n\r\n", "", 304, ""),
        complete("HeadRequestIgnoresLength", kOk5, "", 200, "").head(),
        complete("HeadRequestIgnoresChunked", kChunked, "", 200, "").head(),
        complete("SwitchingProtocols", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n", "raw", 101, ""),

        // Interim responses are not the answer.
        complete("ContinueThenAnswer", kContinue + kOk5 + "hello", "", 200, "hello"),
        complete("EarlyHintsThenAnswer", kEarlyHints + kOk5 + "hello", kNext, 200, "hello"),
        complete("SeveralInterimsThenNoContent", kContinue + kEarlyHints + kNoContent, kNext, 204, ""),
        incomplete("InterimAlone", kEarlyHints),
        incomplete("InterimAloneAtClose", kEarlyHints).closed(),
        complete("InterimForHeadRequest", kEarlyHints + kOk5, "", 200, "").head(),

        // Connection close.
        complete("CloseAnyCase", withHeader("Connection: ClOsE\r\nContent-Length: 0\r\n"), "", 200, "", true),
        complete("CloseAmongTokensIsNotClose", withHeader("Connection: close, upgrade\r\nContent-Length: 0\r\n"), "",
                 200, ""),
        complete("LaterConnectionLineWins", withHeader("Connection: close\r\nconnection: keep-alive\r\n"), "", 200, "")
            .head(),

        // Read to close.
        incomplete("UntilCloseStillOpen", "HTTP/1.1 200 OK\r\n\r\nabc"),
        complete("UntilCloseClosed", "HTTP/1.1 200 OK\r\n\r\nabc", "", 200, "abc", true).closed(),
        complete("UnknownVersionReadsToClose", "HTTP/2 200 OK\r\n\r\nabc", "", 0, "abc", true).closed(),
        complete("OtherTransferEncodingReadsToClose", withHeader("Transfer-Encoding: gzip\r\n") + "zz", "", 200, "zz",
                 true)
            .closed(),

        // Chunked bodies.
        complete("ChunkWithExtension", kChunked + "5;name=value\r\nhello\r\n0\r\n\r\n", "", 200, "hello"),
        complete("ChunkedFollowedByNext", kChunked + "5\r\nhello\r\n0\r\n\r\n", kNext, 200, "hello"),
        complete("ChunkedWithTrailer", kChunked + "5\r\nhello\r\n0\r\nX-Trailer: 1\r\n\r\n", kNext, 200, "hello"),
        incomplete("ChunkedTrailerUnfinished", kChunked + "5\r\nhello\r\n0\r\nX-Trailer: 1\r\n").closed(),
        complete("ChunkedSeveralChunksUpperHex", kChunked + "A\r\n0123456789\r\n3\r\nabc\r\n0\r\n\r\n", "", 200,
                 "0123456789abc"),
        complete("ChunkedLeadingZeros", withChunk("00000000000000000005"), "", 200, "hello"),
        complete("ChunkedBlanksAroundSize", withChunk(" 5 ;x"), "", 200, "hello"),
        complete("ChunkedInTokenList", withHeader("Transfer-Encoding: gzip, Chunked\r\n") + "0\r\n\r\n", "", 200, ""),
        complete("ChunkedWinsOverLength", withHeader("Content-Length: 99\r\nTransfer-Encoding: chunked\r\n") + "0\r\n\r\n",
                 "", 200, ""),
        complete("ChunkedWinsOverBadLength", withHeader("Content-Length: -1\r\nTransfer-Encoding: chunked\r\n") + "0\r\n\r\n",
                 "", 200, ""),
        incomplete("ChunkedWithoutLastChunk", kChunked + "5\r\nhello\r\n").closed(),
        incomplete("ChunkedMissingFinalCrLf", kChunked + "5\r\nhello\r\n0\r\n"),
        incomplete("ChunkedHugeButValidSize", withChunk("ffffffffffffffff")),

        // Hostile lengths: never misframed, never read out of bounds.
        malformed("NegativeLength", withLength("-5")),
        malformed("SignedLength", withLength("+5")),
        malformed("LengthWithJunk", withLength("5abc")),
        malformed("LengthNotANumber", withLength("abc")),
        malformed("LengthEmpty", withLength("")),
        malformed("LengthList", withLength("5, 5")),
        malformed("LengthHexadecimal", withLength("0x5")),
        malformed("LengthOverflows", withLength("18446744073709551616")),
        malformed("LengthFarTooLong", withLength("99999999999999999999999999999999")),
        malformed("ConflictingLengths", withHeader("Content-Length: 5\r\nContent-Length: 3\r\n") + "hello"),
        malformed("BadLengthOnHeadRequest", withLength("-1")).head(),

        // Hostile chunk sizes and chunk framing.
        malformed("NegativeChunkSize", withChunk("-5")),
        malformed("SignedChunkSize", withChunk("+5")),
        malformed("ChunkSizeWithPrefix", withChunk("0x5")),
        malformed("ChunkSizeWithJunk", withChunk("5g")),
        malformed("ChunkSizeEmpty", withChunk("")),
        malformed("ChunkSizeInnerBlank", withChunk("5 5")),
        malformed("ChunkSizeOverflows", withChunk("10000000000000000")),
        malformed("ChunkDataWithoutCrLf", kChunked + "5\r\nhelloXY0\r\n\r\n"),
        malformed("ChunkDataLongerThanSize", kChunked + "3\r\nhello\r\n0\r\n\r\n"),
    };
}

void PrintTo(const FramingCase& c, std::ostream* out) { *out << c.name; }

struct Result {
    bool complete = false;
    ResponseFrame frame;
};

void expectOutcome(const FramingCase& c, const Result& result, std::size_t bufferSize) {
    switch (c.outcome) {
        case Outcome::Incomplete:
            EXPECT_FALSE(result.complete);
            EXPECT_EQ(result.frame.length, 0u);
            EXPECT_FALSE(result.frame.closeConnection);
            break;
        case Outcome::Complete:
            ASSERT_TRUE(result.complete);
            EXPECT_FALSE(result.frame.malformed);
            EXPECT_EQ(result.frame.length, c.length);
            EXPECT_EQ(result.frame.closeConnection, c.close);
            break;
        case Outcome::Malformed:
            ASSERT_TRUE(result.complete);
            EXPECT_TRUE(result.frame.malformed);
            EXPECT_EQ(result.frame.length, bufferSize);
            EXPECT_TRUE(result.frame.closeConnection);
            break;
    }
}

Result frameStateless(const std::string& buffer, bool headRequest, bool peerClosed) {
    Result result;
    result.complete = HttpClientBase::tryExtractResponseFrame(
        buffer, headRequest ? HttpMethod::HEAD : HttpMethod::GET, peerClosed, result.frame);
    return result;
}

bool sameResult(const Result& a, const Result& b) {
    return a.complete == b.complete && a.frame.length == b.frame.length &&
           a.frame.closeConnection == b.frame.closeConnection && a.frame.malformed == b.frame.malformed;
}

class ResponseFramingTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(ResponseFramingTest, Whole) {
    const FramingCase& c = GetParam();
    expectOutcome(c, frameStateless(c.input, c.headRequest, c.peerClosed), c.input.size());
}

// The stateful framer resumes between calls; at every prefix it must agree
// with a fresh scan, and a frame may only complete once all its bytes are in.
TEST_P(ResponseFramingTest, ByteByByte) {
    const FramingCase& c = GetParam();
    ResponseFramer framer;
    std::string buffer;
    Result last;
    for (std::size_t size = 1; size <= c.input.size(); ++size) {
        buffer.push_back(c.input[size - 1]);
        const bool peerClosed = c.peerClosed && size == c.input.size();
        last = Result{};
        last.complete = framer.tryExtract(buffer, c.headRequest, peerClosed, last.frame);
        ASSERT_TRUE(sameResult(last, frameStateless(buffer, c.headRequest, peerClosed))) << "at byte " << size;
        if (last.complete && !last.frame.malformed && !peerClosed) {
            ASSERT_EQ(last.frame.length, size) << "frame completed before its last byte arrived";
            buffer = c.input;  // later bytes cannot change a complete frame
            last.complete = framer.tryExtract(buffer, c.headRequest, c.peerClosed, last.frame);
            break;
        }
    }
    expectOutcome(c, last, buffer.size());
}

TEST_P(ResponseFramingTest, ParsingTheFrameAgrees) {
    const FramingCase& c = GetParam();
    const Result result = frameStateless(c.input, c.headRequest, c.peerClosed);
    if (!result.complete) {
        return;
    }
    const std::string frameText = c.input.substr(0, result.frame.length);
    if (result.frame.malformed) {
        ASSERT_NE(result.frame.error, nullptr);
        try {
            HttpClientBase::parseHttpResponse(frameText);
            ADD_FAILURE() << "parsing a malformed frame succeeded";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), result.frame.error);
        }
        return;
    }
    const HttpResponse response = HttpClientBase::parseHttpResponse(frameText);
    EXPECT_EQ(response.statusCode, c.status);
    EXPECT_EQ(response.body, c.body);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResponseFramingTest, ::testing::ValuesIn(framingCases()),
                         [](const auto& info) { return info.param.name; });

// A response head whose text (status line and fields, without the blank
// line) is `size` bytes long.
std::string headOfSize(std::size_t size) {
    const std::string start = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-Fill: ";
    return start + std::string(size - start.size(), 'a');
}

std::string headWithFields(std::size_t count) {
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0";
    for (std::size_t i = 1; i < count; ++i) {
        head += "\r\nX-F: v";
    }
    return head;
}

std::string repeated(const std::string& text, std::size_t count) {
    std::string all;
    for (std::size_t i = 0; i < count; ++i) {
        all += text;
    }
    return all;
}

struct HeadLimitCase {
    std::string name;
    testsupport::net::SharedText input;
    const char* error;  // null: the input frames as one complete response

    friend void PrintTo(const HeadLimitCase& c, std::ostream* out) { *out << c.name; }
};

std::vector<HeadLimitCase> headLimitCases() {
    const char* tooLarge = "Response head exceeds 262144 bytes";
    const std::string blank = "\r\n\r\n";
    return {
        {"HeadAtTheLimit", [blank] { return headOfSize(262144) + blank; }, nullptr},
        {"HeadPastTheLimit", [blank] { return headOfSize(262145) + blank; }, tooLarge},
        {"UnfinishedHeadPastTheLimit", [] { return headOfSize(262145) + "\r\n\r"; }, tooLarge},
        {"FiveHundredFields", headWithFields(500) + blank, nullptr},
        {"FiveHundredAndOneFields", headWithFields(501) + blank, "Response head has more than 500 fields"},
        {"TenInterimHeads", repeated(kContinue, 10) + kNext, nullptr},
        {"ElevenInterimHeads", repeated(kContinue, 11) + kNext, "More than 10 interim responses"},
    };
}

class ResponseHeadLimits : public ::testing::TestWithParam<HeadLimitCase> {};

// Fed whole and in pieces; past a limit the frame is malformed with the reason.
TEST_P(ResponseHeadLimits, HoldInEveryPieceOfTheInput) {
    const HeadLimitCase& c = GetParam();
    for (const std::size_t piece : {c.input.size(), std::size_t{4093}}) {
        ResponseFramer framer;
        ResponseFrame frame;
        bool complete = false;
        for (std::size_t size = piece; !complete && size < c.input.size() + piece; size += piece) {
            complete = framer.tryExtract(std::string_view(c.input).substr(0, size), false, false, frame);
        }
        ASSERT_TRUE(complete) << "pieces of " << piece;
        EXPECT_EQ(frame.malformed, c.error != nullptr);
        EXPECT_STREQ(frame.error, c.error);
        EXPECT_EQ(frame.length, c.input.size());
    }
}

TEST(ResponseHeadLimits, UnfinishedHeadAtTheLimitMayStillComplete) {
    ResponseFrame frame;
    EXPECT_FALSE(ResponseFramer{}.tryExtract(headOfSize(262144) + "\r\n\r", false, false, frame));
}

INSTANTIATE_TEST_SUITE_P(Cases, ResponseHeadLimits, ::testing::ValuesIn(headLimitCases()),
                         [](const auto& info) { return info.param.name; });

// How a reactor uses it: frame, take the bytes out, reset, frame again.
TEST(ResponseFramerTest, FramesPipelinedResponsesOneAfterAnother) {
    const std::string first = kOk5 + "hello";
    const std::string second = kChunked + "3\r\nabc\r\n0\r\n\r\n";
    std::string buffer = first + second.substr(0, 10);
    ResponseFramer framer;
    ResponseFrame frame;
    ASSERT_TRUE(framer.tryExtract(buffer, false, false, frame));
    ASSERT_EQ(frame.length, first.size());
    buffer.erase(0, frame.length);
    framer.reset();
    EXPECT_FALSE(framer.tryExtract(buffer, false, false, frame));
    buffer += second.substr(10);
    ASSERT_TRUE(framer.tryExtract(buffer, false, false, frame));
    EXPECT_EQ(frame.length, second.size());
}

TEST(ResponseFramerTest, StartsOverWhenTheMethodChanges) {
    ResponseFramer framer;
    ResponseFrame frame;
    ASSERT_TRUE(framer.tryExtract(kOk5, true, false, frame));
    EXPECT_EQ(frame.length, kOk5.size());
    EXPECT_FALSE(framer.tryExtract(kOk5, false, false, frame));
}

TEST(ResponseFramerTest, StartsOverWhenTheBufferShrinks) {
    ResponseFramer framer;
    ResponseFrame frame;
    const std::string big = kOk5 + "hello";
    ASSERT_TRUE(framer.tryExtract(big, false, false, frame));
    ASSERT_TRUE(framer.tryExtract(kNext, false, false, frame));
    EXPECT_EQ(frame.length, kNext.size());
}

struct ChunkLengthCase {
    std::string name;
    std::string buffer;
    std::size_t bodyStart;
    std::optional<std::size_t> length;
};

void PrintTo(const ChunkLengthCase& c, std::ostream* out) { *out << c.name; }

class ChunkedMessageLengthTest : public ::testing::TestWithParam<ChunkLengthCase> {};

TEST_P(ChunkedMessageLengthTest, MatchesExpectation) {
    const ChunkLengthCase& c = GetParam();
    std::size_t length = 12345;
    const bool complete = HttpClientBase::tryParseChunkedMessageLength(c.buffer, c.bodyStart, length);
    ASSERT_EQ(complete, c.length.has_value());
    if (complete) {
        EXPECT_EQ(length, *c.length);
    } else {
        EXPECT_EQ(length, 12345u) << "length must stay untouched when incomplete";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChunkedMessageLengthTest,
    ::testing::Values(ChunkLengthCase{"OffsetCountsFromBufferStart", "XYZ2\r\nab\r\n0\r\n\r\nrest", 3, 15},
                      ChunkLengthCase{"StartPastEnd", "0\r\n\r\n", 9, std::nullopt},
                      ChunkLengthCase{"OneByteLeft", "0\r\n\r\nX", 5, std::nullopt},
                      ChunkLengthCase{"BadSizeIsNotComplete", "zz\r\n\r\n", 0, std::nullopt},
                      ChunkLengthCase{"Trailers", "0\r\nA: b\r\nC: d\r\n\r\n", 0, 17}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zorvik
