#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <random>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/net/SharedText.hpp"
#include "zorvik/HttpClientBase.hpp"
#include "zorvik/detail/ResponseHead.hpp"
#include "zorvik/detail/ResponseParser.hpp"

namespace zorvik {
namespace {

using Headers = std::map<std::string, std::string>;

struct ParseCase {
    std::string name;
    testsupport::net::SharedText text;
    int status;
    std::string reason;
    Headers headers;
    testsupport::net::SharedText body;
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

const std::string kChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

// Past the size from which a body is taken out of a buffer given up rather
// than copied; varied bytes, so that a shifted body is noticed.
const std::string kLarge = [] {
    std::string text(50000, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char>('A' + i * 5 % 26);
    }
    return text;
}();

std::string largeChunked(bool finished) {
    std::string text = kChunkedHead + "4e20;ext=1\r\n" + kLarge.substr(0, 20000) + "\r\n1\r\n" + kLarge.substr(20000, 1) +
                       "\r\n752f\r\n" + kLarge.substr(20001) + "\r\n";
    return finished ? text + "0\r\nX-Trailer: t\r\n\r\n" : text + "10\r\nabc";
}

std::vector<ParseCase> parseCases() {
    return {
        {"Plain", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, "OK", {{"Content-Length", "5"}}, "hello"},
        {"Http10", "HTTP/1.0 404 Not Found\r\n\r\n", 404, "Not Found", {}, ""},
        {"ReasonTrimmed", "HTTP/1.1 500   Internal  Error  \r\n\r\n", 500, "Internal  Error", {}, ""},
        {"TwoSpacesNoReason", "HTTP/1.1  204\r\n\r\n", 204, "", {}, ""},
        {"VersionTwoIsUnknown", "HTTP/2 200 OK\r\nA: 1\r\n\r\nbody", 0, "", {{"A", "1"}}, "body"},
        {"NamesKeptAsSent", "HTTP/1.1 200 OK\r\nX-Id: 1\r\nx-id: 2\r\n\r\n", 200, "OK", {{"X-Id", "1"}, {"x-id", "2"}},
         ""},
        {"LaterEqualNameWins", "HTTP/1.1 200 OK\r\nX-Id: 1\r\nX-Id: 2\r\n\r\n", 200, "OK", {{"X-Id", "2"}}, ""},
        {"ValueTrimmedNameNot", "HTTP/1.1 200 OK\r\nX-Id :  a b \r\n\r\n", 200, "OK", {{"X-Id ", "a b"}}, ""},
        {"LineWithoutColonSkipped", "HTTP/1.1 200 OK\r\nnonsense\r\nA: 1\r\n\r\n", 200, "OK", {{"A", "1"}}, ""},
        {"CarriageReturnLineSkipped", "HTTP/1.1 200 OK\r\nA: 1\n\r\nB: 2\r\n\r\n", 200, "OK", {{"A", "1"}, {"B", "2"}},
         ""},
        {"BareLineFeedsBetweenHeaders", "HTTP/1.1 200 OK\nA: 1\nB: 2\r\n\r\n", 200, "OK", {{"A", "1"}, {"B", "2"}}, ""},
        {"EmptyLineEndsHeaders", "HTTP/1.1 200 OK\r\nA: 1\n\nB: 2\r\n\r\n", 200, "OK", {{"A", "1"}}, ""},
        {"BodyKeptAsReceived", "HTTP/1.1 200 OK\r\n\r\nabc\r\n\r\ndef", 200, "OK", {}, "abc\r\n\r\ndef"},
        {"Chunked", kChunkedHead + "5;ext=1\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", 200, "OK",
         {{"Transfer-Encoding", "chunked"}}, "hello world"},
        {"ChunkedTrailersDropped", kChunkedHead + "3\r\nabc\r\n0\r\nX-Trailer: t\r\n\r\n", 200, "OK",
         {{"Transfer-Encoding", "chunked"}}, "abc"},
        {"ChunkedUnfinishedKeepsWhatArrived", kChunkedHead + "3\r\nabc\r\n5\r\nde", 200, "OK",
         {{"Transfer-Encoding", "chunked"}}, "abc"},
        {"ChunkedNameInAnyCase", "HTTP/1.1 200 OK\r\ntransfer-encoding: Chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n", 200, "OK",
         {{"transfer-encoding", "Chunked"}}, "ok"},
        {"InterimHeadsSkipped",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\nHTTP/1.1 201 Created\r\nA: 1\r\n\r\nx",
         201, "Created", {{"A", "1"}}, "x"},
        {"InterimAloneIsKept", "HTTP/1.1 100 Continue\r\n\r\n", 100, "Continue", {}, ""},
        {"SwitchingProtocolsIsTheAnswer", "HTTP/1.1 101 Switching Protocols\r\n\r\nraw", 101, "Switching Protocols", {},
         "raw"},
        {"LargeBody", "HTTP/1.1 200 OK\r\nContent-Length: 50000\r\n\r\n" + kLarge, 200, "OK",
         {{"Content-Length", "50000"}}, kLarge},
        {"LargeChunked", largeChunked(true), 200, "OK", {{"Transfer-Encoding", "chunked"}}, kLarge},
        {"LargeChunkedUnfinished", largeChunked(false), 200, "OK", {{"Transfer-Encoding", "chunked"}}, kLarge},
        {"LargeAfterInterimHead", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\n" + kLarge, 200, "OK", {},
         kLarge},
        {"Empty", "", 0, "Empty response", {}, ""},
        {"NoHeadEnd", "HTTP/1.1 200 OK\r\nA: 1\r\n", 0, "Invalid response format", {}, ""},
        {"InterimThenTruncatedAnswer", "HTTP/1.1 103 Early Hints\r\n\r\nHTTP/1.1 200", 0, "Invalid response format", {},
         ""},
    };
}

class ParseResponseTest : public ::testing::TestWithParam<ParseCase> {};

// Taking the response out of a buffer given up (a large body moved or
// de-chunked in place) gives the same response and leaves the buffer empty.
TEST_P(ParseResponseTest, GivesStatusHeadersAndBody) {
    const ParseCase& c = GetParam();
    std::string buffer = c.text;
    for (const HttpResponse& response : {HttpClientBase::parseHttpResponse(c.text), detail::takeHttpResponse(buffer)}) {
        EXPECT_EQ(response.statusCode, c.status);
        EXPECT_EQ(response.statusMessage, c.reason);
        EXPECT_EQ(response.headers, c.headers);
        EXPECT_EQ(response.body, c.body);
    }
    EXPECT_TRUE(buffer.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseResponseTest, ::testing::ValuesIn(parseCases()),
                         [](const auto& info) { return info.param.name; });

struct RejectCase {
    std::string name;
    std::string text;
    std::string message;
};

void PrintTo(const RejectCase& c, std::ostream* out) { *out << c.name; }

class RejectResponseTest : public ::testing::TestWithParam<RejectCase> {};

TEST_P(RejectResponseTest, ThrowsWithReason) {
    const RejectCase& c = GetParam();
    try {
        HttpClientBase::parseHttpResponse(c.text);
        FAIL() << "expected a parse failure";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), c.message);
    }
    std::string buffer = c.text;
    EXPECT_THROW(detail::takeHttpResponse(buffer), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RejectResponseTest,
    ::testing::Values(
        RejectCase{"NegativeLength", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", "Invalid Content-Length header"},
        RejectCase{"OverflowingLength", "HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551616\r\n\r\n",
                   "Invalid Content-Length header"},
        RejectCase{"ConflictingLengths", "HTTP/1.1 200 OK\r\ncontent-length: 1\r\nContent-Length: 2\r\n\r\nab",
                   "Conflicting Content-Length headers"},
        RejectCase{"ChunkSizeNotHex", kChunkedHead + "zz\r\nhello\r\n0\r\n\r\n", "Invalid chunk size"},
        RejectCase{"ChunkSizeOverflows", kChunkedHead + "1ffffffffffffffff\r\n", "Invalid chunk size"},
        RejectCase{"ChunkDataUnterminated", kChunkedHead + "2\r\nabc\r\n0\r\n\r\n", "Chunk data is not followed by CRLF"},
        RejectCase{"LargeChunkDataUnterminated", kChunkedHead + "4e20\r\n" + kLarge + "\r\n0\r\n\r\n",
                   "Chunk data is not followed by CRLF"}),
    [](const auto& info) { return info.param.name; });

// The status line is matched by hand; it must agree with the pattern
// "^HTTP/1\.[01]\s+(\d{3})(?:\s*(.*?))?\r?$" (reason trimmed) on every line.
detail::StatusLine statusByPattern(const std::string& line) {
    static const std::regex pattern(R"(^HTTP/1\.[01]\s+(\d{3})(?:\s*(.*?))?\r?$)", std::regex::ECMAScript);
    std::smatch match;
    if (!std::regex_search(line, match, pattern)) {
        return {};
    }
    return {std::stoi(match[1].str()), HttpClientBase::trimCopy(match[2].matched ? match[2].str() : "")};
}

TEST(StatusLineTest, AgreesWithThePatternOnListedLines) {
    const std::vector<std::string> lines = {
        "HTTP/1.1 200 OK",  "HTTP/1.1 200 OK\r", "HTTP/1.0 404", "HTTP/1.1  204", "HTTP/1.1\t301\tMoved",
        "HTTP/1.1 2000 OK", "HTTP/1.1 20 OK",   "HTTP/1.2 200 OK", "HTTP/2 200",  "http/1.1 200 OK",
        "HTTP/1.1200 OK",   "HTTP/1.1 200 a\rb", "HTTP/1.1 200\r\r", "HTTP/1.1 200 OK\r\r", " HTTP/1.1 200 OK",
        "HTTP/1.1 abc",     "HTTP/1.1 200\v\fOK", "HTTP/1.1 \r 200 x", "HTTP/1.1 200 x\n", "",
    };
    for (const std::string& line : lines) {
        const auto expected = statusByPattern(line);
        const auto actual = detail::parseStatusLine(line);
        EXPECT_EQ(actual.code, expected.code) << line;
        EXPECT_EQ(actual.reason, expected.reason) << line;
    }
}

TEST(StatusLineTest, AgreesWithThePatternOnGeneratedLines) {
    const std::vector<std::string> pieces = {"HTTP/1.", "HTTP/1.1", "0", "1", "2", "9", " ", "\t", "\r", "\n", "\v",
                                             "OK", "x", "/", "."};
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> count(0, 9);
    for (int i = 0; i < 20000; ++i) {
        std::string line = i % 2 == 0 ? "HTTP/1.1" : "";
        for (int n = count(random); n > 0; --n) {
            line += pieces[pick(random)];
        }
        const auto expected = statusByPattern(line);
        const auto actual = detail::parseStatusLine(line);
        ASSERT_EQ(actual.code, expected.code) << testing::PrintToString(line);
        ASSERT_EQ(actual.reason, expected.reason) << testing::PrintToString(line);
    }
}

// A pattern engine that recurses per byte would exhaust the stack here.
TEST(StatusLineTest, HugeStatusLineIsMatched) {
    const std::string line = "HTTP/1.1 200 " + std::string(4 * 1024 * 1024, 'a');
    EXPECT_EQ(detail::parseStatusLine(line).code, 200);
}

}  // namespace
}  // namespace zorvik
