#include "zorvik/CompressionHandler.hpp"
#include "zorvik/detail/DecodeCapacity.hpp"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvik {
namespace {

using Type = CompressionHandler::CompressionType;
using namespace std::string_literals;

struct DetectCase {
    std::string header;
    Type type;
};

class DetectType : public testing::TestWithParam<DetectCase> {};

TEST_P(DetectType, PicksTheEarlierNameWithoutRegardToCase) {
    EXPECT_EQ(CompressionHandler::detectType(GetParam().header), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Table, DetectType,
                         testing::Values(DetectCase{"gzip", Type::Gzip}, DetectCase{"GZIP", Type::Gzip},
                                         DetectCase{"x-gzip", Type::Gzip}, DetectCase{"Deflate", Type::Deflate},
                                         DetectCase{"deflate, gzip", Type::Deflate},
                                         DetectCase{"gzip, deflate", Type::Gzip}, DetectCase{"br", Type::None},
                                         DetectCase{"identity", Type::None}, DetectCase{"", Type::None}));

TEST(CompressionNames, OnlyGzipAndDeflateAreSupported) {
    EXPECT_EQ(CompressionHandler::getEncodingName(Type::Gzip), "gzip");
    EXPECT_EQ(CompressionHandler::getEncodingName(Type::Deflate), "deflate");
    EXPECT_EQ(CompressionHandler::getEncodingName(Type::None), "");
    EXPECT_TRUE(CompressionHandler::isSupported(Type::Gzip));
    EXPECT_TRUE(CompressionHandler::isSupported(Type::Deflate));
    EXPECT_FALSE(CompressionHandler::isSupported(Type::None));
    EXPECT_EQ(CompressionHandler::getMaxCompressedSize(123, Type::None), 123U);
    EXPECT_GE(CompressionHandler::getMaxCompressedSize(1000, Type::Gzip), 1000U + 18U);
}

std::string pseudoRandomText(std::size_t size, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::string text(size, '\0');
    for (char& c : text) {
        c = static_cast<char>(generator() & 0xFF);
    }
    return text;
}

std::string zlibCompress(const std::string& text) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    std::string out(libdeflate_zlib_compress_bound(compressor, text.size()), '\0');
    out.resize(libdeflate_zlib_compress(compressor, text.data(), text.size(), out.data(), out.size()));
    libdeflate_free_compressor(compressor);
    return out;
}

const std::string kSamples[] = {
    "x",
    "hello, hello, hello, hello world",
    "binary\0with\0nuls\xff\xfe"s,
    std::string(60000, 'a') + "tail",  // within the 65536-byte floor
    pseudoRandomText(5000, 7),  // incompressible
};

TEST(CompressionRoundTrip, GzipTextAndBytes) {
    for (const std::string& sample : kSamples) {
        const std::string packed = CompressionHandler::compressGzip(sample);
        ASSERT_GE(packed.size(), 2U);
        EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x1F);  // a real gzip member
        EXPECT_EQ(CompressionHandler::decompressGzip(packed), sample);
        EXPECT_EQ(CompressionHandler::decompress(CompressionHandler::compress(sample, Type::Gzip), Type::Gzip),
                  sample);
        const CompressionHandler::Bytes bytes(sample.begin(), sample.end());
        const CompressionHandler::Bytes packedBytes = CompressionHandler::compressGzipToBytes(bytes);
        EXPECT_EQ(CompressionHandler::decompressGzipToBytes(std::string(packedBytes.begin(), packedBytes.end())),
                  bytes);
        EXPECT_EQ(CompressionHandler::decompressToBytes(CompressionHandler::compress(bytes, Type::Gzip), Type::Gzip),
                  bytes);
    }
}

TEST(CompressionRoundTrip, RawDeflateTextAndBytes) {
    for (const std::string& sample : kSamples) {
        const std::string packed = CompressionHandler::compressDeflate(sample);
        EXPECT_EQ(CompressionHandler::decompressDeflate(packed), sample);
        const CompressionHandler::Bytes bytes(sample.begin(), sample.end());
        const CompressionHandler::Bytes packedBytes = CompressionHandler::compressDeflateToBytes(bytes);
        EXPECT_EQ(
            CompressionHandler::decompressDeflateToBytes(std::string(packedBytes.begin(), packedBytes.end())),
            bytes);
    }
}

TEST(CompressionRoundTrip, DeflateAcceptsZlibWrappedStreams) {
    for (const std::string& sample : kSamples) {
        EXPECT_EQ(CompressionHandler::decompressDeflate(zlibCompress(sample)), sample);
        EXPECT_EQ(CompressionHandler::decompress(zlibCompress(sample), Type::Deflate), sample);
    }
}

TEST(CompressionRoundTrip, EmptyStaysEmptyAndUnknownTypesCopy) {
    EXPECT_EQ(CompressionHandler::compressGzip(""), "");
    EXPECT_EQ(CompressionHandler::compressDeflate(""), "");
    EXPECT_EQ(CompressionHandler::decompressGzip(""), "");
    EXPECT_EQ(CompressionHandler::decompressDeflate(""), "");
    EXPECT_EQ(CompressionHandler::compress("as is", Type::None), "as is");
    EXPECT_EQ(CompressionHandler::decompress("as is", Type::None), "as is");
}

struct CorruptCase {
    std::string name;
    std::string data;
    Type type;
    std::string message;
};

class CorruptInput : public testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptInput, ThrowsTheFormatsMessage) {
    try {
        (void)CompressionHandler::decompress(GetParam().data, GetParam().type);
        ADD_FAILURE() << "decoded corrupt data";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(error.what(), GetParam().message);
    }
}

std::string truncated(std::string data) {
    data.resize(data.size() / 2);
    return data;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CorruptInput,
    testing::Values(
        CorruptCase{"GarbageAsGzip", "not compressed at all", Type::Gzip, "Failed to decompress gzip data"},
        CorruptCase{"TruncatedGzip", truncated(CompressionHandler::compressGzip(std::string(5000, 'z') + "end")),
                    Type::Gzip, "Failed to decompress gzip data"},
        CorruptCase{"GzipGivenAsDeflate", CompressionHandler::compressGzip("payload"), Type::Deflate,
                    "Failed to decompress deflate data"},
        CorruptCase{"TruncatedZlib", truncated(zlibCompress(pseudoRandomText(2000, 3))), Type::Deflate,
                    "Failed to decompress deflate data"}),
    [](const testing::TestParamInfo<CorruptCase>& info) { return info.param.name; });

std::size_t packedSize(const std::string& text, Type type) { return CompressionHandler::compress(text, type).size(); }

// A text whose compressed form of n bytes expands to exactly max(100 n, 65536)
// bytes, while one byte more keeps n: the two sides of the limit.
std::string textAtTheLimit(std::size_t randomPrefix, Type type) {
    const std::string prefix = pseudoRandomText(randomPrefix, 11);
    std::string text = prefix;
    for (int round = 0; round < 50; ++round) {
        const std::size_t limit = CompressionHandler::getMaxDecompressedSize(packedSize(text, type));
        text = prefix + std::string(limit - prefix.size(), '\0');
        const std::size_t packed = packedSize(text, type);
        if (CompressionHandler::getMaxDecompressedSize(packed) == text.size() &&
            packedSize(text + '\0', type) == packed) {
            return text;
        }
    }
    return {};
}

struct LimitCase {
    std::size_t randomPrefix;
    Type type;
};

class DecompressionLimit : public testing::TestWithParam<LimitCase> {};

TEST_P(DecompressionLimit, GrowsUpToTheLimitAndNoFurther) {
    const Type type = GetParam().type;
    const std::string atLimit = textAtTheLimit(GetParam().randomPrefix, type);
    ASSERT_FALSE(atLimit.empty()) << "no boundary text found";
    EXPECT_EQ(CompressionHandler::decompress(CompressionHandler::compress(atLimit, type), type), atLimit);

    const std::string overLimit = atLimit + '\0';
    EXPECT_THROW((void)CompressionHandler::decompress(CompressionHandler::compress(overLimit, type), type),
                 std::runtime_error);
}

// A small prefix meets the 65536-byte floor; a large one the hundredfold limit.
INSTANTIATE_TEST_SUITE_P(FloorAndFactor, DecompressionLimit,
                         testing::Values(LimitCase{16, Type::Gzip}, LimitCase{1000, Type::Gzip},
                                         LimitCase{16, Type::Deflate}, LimitCase{1000, Type::Deflate}));

TEST(DecompressionLimit, ReportedLimitIsHundredfoldWithAFloor) {
    EXPECT_EQ(CompressionHandler::getMaxDecompressedSize(0), 65536U);
    EXPECT_EQ(CompressionHandler::getMaxDecompressedSize(655), 65536U);
    EXPECT_EQ(CompressionHandler::getMaxDecompressedSize(1000), 100000U);
}

}  // namespace
}  // namespace zorvik

namespace zorvik::detail {
namespace {

// A stand-in decoder that needs `needed` bytes of output and records the
// capacity of every buffer it is offered.
struct RecordingDecoder {
    explicit RecordingDecoder(std::size_t neededBytes, bool corruptData = false)
        : needed(neededBytes), corrupt(corruptData) {}

    std::size_t needed;
    bool corrupt;
    std::vector<std::size_t> offered;

    DecodeOutcome operator()(void*, std::size_t capacity, std::size_t& written) {
        offered.push_back(capacity);
        if (corrupt) {
            return DecodeOutcome::Corrupt;
        }
        if (capacity < needed) {
            return DecodeOutcome::NeedsMoreSpace;
        }
        written = needed;
        return DecodeOutcome::Done;
    }
};

TEST(DecodeCapacity, StartsWellBelowTheLimitAndDoublesUntilTheOutputFits) {
    const std::size_t limit = CompressionHandler::getMaxDecompressedSize(1000);
    RecordingDecoder decoder(70000);
    std::string output;
    ASSERT_TRUE(decodeGrowing(1000, limit, output, std::ref(decoder)));
    EXPECT_EQ(output.size(), 70000U);
    EXPECT_EQ(decoder.offered, (std::vector<std::size_t>{4096, 8192, 16384, 32768, 65536, limit}));
}

TEST(DecodeCapacity, GivesUpOnceTheLimitItselfIsTooSmall) {
    const std::size_t limit = CompressionHandler::getMaxDecompressedSize(1000);
    RecordingDecoder decoder(limit + 1);
    std::vector<std::uint8_t> output;
    EXPECT_FALSE(decodeGrowing(1000, limit, output, std::ref(decoder)));
    ASSERT_FALSE(decoder.offered.empty());
    EXPECT_EQ(decoder.offered.back(), limit);
    EXPECT_LE(*std::max_element(decoder.offered.begin(), decoder.offered.end()), limit);
}

TEST(DecodeCapacity, CorruptDataIsNotRetried) {
    RecordingDecoder decoder(10, true);
    std::string output;
    EXPECT_FALSE(decodeGrowing(1000, 100000, output, std::ref(decoder)));
    EXPECT_EQ(decoder.offered.size(), 1U);
}

TEST(DecodeCapacity, NeverStartsAboveTheLimit) {
    EXPECT_EQ(initialDecodeCapacity(10, 65536), 4096U);
    EXPECT_EQ(initialDecodeCapacity(100000, 65536), 65536U);
}

}  // namespace
}  // namespace zorvik::detail
