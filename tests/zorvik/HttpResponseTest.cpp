#include "zorvik/HttpResponse.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "zorvik/CompressionHandler.hpp"

namespace zorvik {
namespace {

using Type = CompressionHandler::CompressionType;

HttpResponse withHeaders(const HttpResponse::HeaderMap& headers, const std::string& body = "0123456789") {
    return HttpResponse(200, "OK", headers, body);
}

struct LookupCase {
    std::string asked;
    std::string value;
    bool found;
};

class HeaderLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(HeaderLookup, IgnoresCaseButNotLength) {
    const HttpResponse response = withHeaders(
        {{"Content-Type", "text/plain"}, {"content-typeX", "longer"}, {"X-Empty", ""}, {"ETag", "\"v1\""}});
    EXPECT_EQ(response.getHeader(GetParam().asked), GetParam().value);
    EXPECT_EQ(response.hasHeader(GetParam().asked), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(Table, HeaderLookup,
                         testing::Values(LookupCase{"content-type", "text/plain", true},
                                         LookupCase{"CONTENT-TYPE", "text/plain", true},
                                         LookupCase{"Content-Typ", "", false},
                                         LookupCase{"content-typex", "longer", true},
                                         LookupCase{"x-empty", "", true}, LookupCase{"etag", "\"v1\"", true},
                                         LookupCase{"", "", false}, LookupCase{"missing", "", false}));

TEST(HeaderLookup, NamesDifferingOnlyInCaseYieldTheFirstInMapOrder) {
    const HttpResponse response = withHeaders({{"x-a", "lower"}, {"X-A", "upper"}});
    EXPECT_EQ(response.getHeader("x-a"), "upper");  // "X-A" sorts before "x-a"
    EXPECT_EQ(response.headers.size(), 2U);         // both kept as received
}

TEST(HeaderLookup, ContentTypeComesFromTheHeader) {
    EXPECT_EQ(withHeaders({{"content-TYPE", "application/json"}}).getContentType(), "application/json");
    EXPECT_EQ(withHeaders({}).getContentType(), "");
}

struct LengthCase {
    const char* header;  // null: no header
    std::uint64_t length;
};

class ContentLength : public testing::TestWithParam<LengthCase> {};

TEST_P(ContentLength, ConvertsLeadingDigitsElseUsesTheBodySize) {
    HttpResponse::HeaderMap headers;
    if (GetParam().header != nullptr) {
        headers["Content-Length"] = GetParam().header;
    }
    EXPECT_EQ(withHeaders(headers, "0123456789").getContentLength(), GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(Table, ContentLength,
                         testing::Values(LengthCase{"12", 12}, LengthCase{"12abc", 12}, LengthCase{" 7", 7},
                                         LengthCase{"abc", 10}, LengthCase{"", 10},
                                         LengthCase{"99999999999999999999999", 10}, LengthCase{nullptr, 10}));

TEST(ContentLength, CountsTheReceivedBytesNotTheDecodedOnes) {
    const std::string packed = CompressionHandler::compressGzip(std::string(5000, 'a'));
    const HttpResponse response = withHeaders({{"Content-Encoding", "gzip"}}, packed);
    EXPECT_EQ(response.getBody().size(), 5000U);
    EXPECT_EQ(response.getContentLength(), packed.size());
}

TEST(ErrorFuture, IsReadyWithAStatusZeroResponse) {
    std::future<HttpResponse> future = HttpResponse::createErrorFuture("Connection refused");
    ASSERT_EQ(future.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    const HttpResponse response = future.get();
    EXPECT_EQ(response.statusCode, 0);
    EXPECT_EQ(response.statusMessage, "Connection refused");
    EXPECT_TRUE(response.headers.empty());
    EXPECT_EQ(response.getBody(), "");
    EXPECT_EQ(response.getContentLength(), 0U);
}

TEST(BodyDecoding, GzipInCapitalsIsDecodedOnceOnFirstRead) {
    const std::string text = "{\"items\":[1,2,3]}";
    HttpResponse response = withHeaders({{"Content-Encoding", "GZIP"}}, CompressionHandler::compressGzip(text));
    EXPECT_EQ(response.getCompressionType(), Type::Gzip);
    const std::string& first = response.getBody();
    EXPECT_EQ(first, text);
    // Replacing the raw bytes behind the cache shows the second read does not decode again.
    response.body = "no longer gzip";
    const std::string& second = response.getBody();
    EXPECT_EQ(second, text);
    EXPECT_EQ(&first, &second);
}

TEST(BodyDecoding, ZlibAndRawDeflateBodiesAreDecoded) {
    const std::string text(2000, 'q');
    const HttpResponse raw = withHeaders({{"content-encoding", "deflate"}}, CompressionHandler::compressDeflate(text));
    EXPECT_EQ(raw.getBody(), text);
    // zlib wrapper: header 78 9C, the raw stream, Adler-32 of the text (big-endian).
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const char c : text) {
        a = (a + static_cast<unsigned char>(c)) % 65521;
        b = (b + a) % 65521;
    }
    const std::uint32_t adler = (b << 16) | a;
    std::string zlib = "\x78\x9C" + CompressionHandler::compressDeflate(text);
    for (int shift = 24; shift >= 0; shift -= 8) {
        zlib += static_cast<char>((adler >> shift) & 0xFF);
    }
    const HttpResponse wrapped = withHeaders({{"Content-Encoding", "deflate"}}, zlib);
    EXPECT_EQ(wrapped.getBody(), text);
}

TEST(BodyDecoding, UndecodableBodyIsReturnedAsReceived) {
    const HttpResponse response = withHeaders({{"Content-Encoding", "gzip"}}, "plain text, not gzip");
    EXPECT_EQ(response.getBody(), "plain text, not gzip");
}

TEST(BodyDecoding, BodyBeyondTheExpansionLimitIsReturnedAsReceived) {
    const std::string packed = CompressionHandler::compressGzip(std::string(10'000'000, '\0'));
    ASSERT_LT(CompressionHandler::getMaxDecompressedSize(packed.size()), 10'000'000U);
    const HttpResponse response = withHeaders({{"Content-Encoding", "gzip"}}, packed);
    EXPECT_EQ(response.getBody(), packed);
}

TEST(BodyDecoding, DecodedLimitIsInclusiveAndPastItTheBodyStaysAsReceived) {
    const std::string text(5000, 'z');
    const std::string packed = CompressionHandler::compressGzip(text);
    for (const auto& [limit, expected] : {std::pair{text.size(), text}, std::pair{text.size() - 1, packed}}) {
        HttpResponse response = withHeaders({{"Content-Encoding", "gzip"}}, packed);
        response.limitDecodedBody(limit);
        EXPECT_EQ(response.getBody(), expected) << "limit " << limit;
    }
}

TEST(BodyDecoding, UnknownEncodingLeavesTheBodyAlone) {
    const HttpResponse response = withHeaders({{"Content-Encoding", "br"}}, "\x1b\x02raw");
    EXPECT_EQ(response.getCompressionType(), Type::None);
    EXPECT_EQ(response.getBody(), "\x1b\x02raw");
}

TEST(BodyDecoding, SetBodyAndSetCompressedBodyReplaceTheCache) {
    HttpResponse response = withHeaders({{"Content-Encoding", "gzip"}}, CompressionHandler::compressGzip("old"));
    EXPECT_EQ(response.getBody(), "old");
    response.setBody("new");
    EXPECT_EQ(response.getCompressionType(), Type::None);
    EXPECT_EQ(response.getBody(), "new");
    response.setCompressedBody(CompressionHandler::compressDeflate("packed"), Type::Deflate);
    EXPECT_EQ(response.getBody(), "packed");
}

}  // namespace
}  // namespace zorvik
