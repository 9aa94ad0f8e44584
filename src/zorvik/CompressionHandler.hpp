#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorvik {

// Whole-body gzip and deflate in memory. Stateless: every call makes and frees
// its own compressor or decompressor. Failures are std::runtime_error.
//
// "deflate" bodies are compressed as raw DEFLATE; on decompression a
// zlib-wrapped stream (what HTTP "deflate" normally carries) is accepted first
// and raw DEFLATE second. Decompressed output may reach
// getMaxDecompressedSize(input size) bytes; the buffer grows towards that limit
// instead of being allocated at the limit up front.
class CompressionHandler {
public:
    enum class CompressionType : std::uint32_t {
        None = 0,
        Gzip = 1,
        Deflate = 2,
    };

    using Bytes = std::vector<std::uint8_t>;

    // Case-insensitive substring search; when both names occur, the earlier wins.
    static CompressionType detectType(const std::string& headerValue);
    static std::string getEncodingName(CompressionType type);
    static bool isSupported(CompressionType type);
    static std::size_t getMaxCompressedSize(std::size_t size, CompressionType type);
    static std::size_t getMaxDecompressedSize(std::size_t size);

    static std::string compressGzip(const std::string& data);
    static std::string compressDeflate(const std::string& data);
    static std::string compress(const std::string& data, CompressionType type);
    static std::string decompressGzip(const std::string& data);
    static std::string decompressDeflate(const std::string& data);
    static std::string decompress(const std::string& data, CompressionType type);
    // As above, failing also when the output would pass maxOutput bytes.
    static std::string decompress(const std::string& data, CompressionType type, std::size_t maxOutput);

    static Bytes compressGzipToBytes(const Bytes& data);
    static Bytes compressDeflateToBytes(const Bytes& data);
    static std::string compress(const Bytes& data, CompressionType type);
    static Bytes decompressGzipToBytes(const std::string& data);
    static Bytes decompressDeflateToBytes(const std::string& data);
    static Bytes decompressToBytes(const std::string& data, CompressionType type);
};

}  // namespace zorvik
