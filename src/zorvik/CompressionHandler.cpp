#include "zorvik/CompressionHandler.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <stdexcept>

#include "zorvik/detail/AsciiText.hpp"
#include "zorvik/detail/DecodeCapacity.hpp"

namespace zorvik {
namespace {

constexpr int kCompressionLevel = 6;
constexpr std::size_t kDecompressionFloor = 65536;
constexpr std::size_t kDecompressionFactor = 100;

using Type = CompressionHandler::CompressionType;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};
struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;
using Decompressor = std::unique_ptr<libdeflate_decompressor, DecompressorDeleter>;

const char* formatName(Type type) { return type == Type::Gzip ? "gzip" : "deflate"; }

template <typename Output>
Output compressWith(const void* input, std::size_t size, Type type) {
    if (size == 0) {
        return {};
    }
    const Compressor compressor(libdeflate_alloc_compressor(kCompressionLevel));
    if (!compressor) {
        throw std::runtime_error(std::string("Failed to allocate ") + formatName(type) + " compressor");
    }
    const bool gzip = type == Type::Gzip;
    Output output(gzip ? libdeflate_gzip_compress_bound(compressor.get(), size)
                       : libdeflate_deflate_compress_bound(compressor.get(), size),
                  0);
    const std::size_t written = gzip ? libdeflate_gzip_compress(compressor.get(), input, size, output.data(),
                                                                output.size())
                                     : libdeflate_deflate_compress(compressor.get(), input, size, output.data(),
                                                                   output.size());
    if (written == 0) {
        throw std::runtime_error(std::string("Failed to compress data with ") + formatName(type));
    }
    output.resize(written);
    return output;
}

using DecodeStep = libdeflate_result (*)(libdeflate_decompressor*, const void*, std::size_t, void*, std::size_t,
                                         std::size_t*);

// False when the data does not decode or does not fit the limit.
template <typename Output>
bool decodeWithStep(libdeflate_decompressor* decompressor, DecodeStep step, const std::string& input,
                    std::size_t limit, Output& output) {
    return detail::decodeGrowing(
        input.size(), limit, output, [&](void* buffer, std::size_t capacity, std::size_t& written) {
            switch (step(decompressor, input.data(), input.size(), buffer, capacity, &written)) {
                case LIBDEFLATE_SUCCESS:
                    return detail::DecodeOutcome::Done;
                case LIBDEFLATE_INSUFFICIENT_SPACE:
                    return detail::DecodeOutcome::NeedsMoreSpace;
                default:
                    return detail::DecodeOutcome::Corrupt;
            }
        });
}

template <typename Output>
Output decompressWith(const std::string& input, Type type,
                      std::size_t maxOutput = std::numeric_limits<std::size_t>::max()) {
    if (input.empty()) {
        return {};
    }
    const Decompressor decompressor(libdeflate_alloc_decompressor());
    if (!decompressor) {
        throw std::runtime_error(std::string("Failed to allocate ") + formatName(type) + " decompressor");
    }
    const std::size_t limit = std::min(CompressionHandler::getMaxDecompressedSize(input.size()), maxOutput);
    Output output;
    bool decoded = false;
    if (type == Type::Gzip) {
        decoded = decodeWithStep(decompressor.get(), libdeflate_gzip_decompress, input, limit, output);
    } else {
        // HTTP "deflate" is meant to be zlib-wrapped, yet some servers send raw DEFLATE.
        decoded = decodeWithStep(decompressor.get(), libdeflate_zlib_decompress, input, limit, output) ||
                  decodeWithStep(decompressor.get(), libdeflate_deflate_decompress, input, limit, output);
    }
    if (!decoded) {
        throw std::runtime_error(std::string("Failed to decompress ") + formatName(type) + " data");
    }
    return output;
}

}  // namespace

CompressionHandler::CompressionType CompressionHandler::detectType(const std::string& headerValue) {
    const std::string lowered = detail::toLowerCopy(headerValue);
    const auto gzipAt = lowered.find("gzip");
    const auto deflateAt = lowered.find("deflate");
    if (gzipAt == std::string::npos && deflateAt == std::string::npos) {
        return Type::None;
    }
    return gzipAt < deflateAt ? Type::Gzip : Type::Deflate;
}

std::string CompressionHandler::getEncodingName(CompressionType type) {
    return isSupported(type) ? formatName(type) : "";
}

bool CompressionHandler::isSupported(CompressionType type) {
    return type == Type::Gzip || type == Type::Deflate;
}

std::size_t CompressionHandler::getMaxCompressedSize(std::size_t size, CompressionType type) {
    switch (type) {
    case Type::Gzip:
        return libdeflate_gzip_compress_bound(nullptr, size);
    case Type::Deflate:
        return libdeflate_deflate_compress_bound(nullptr, size);
    default:
        return size;
    }
}

std::size_t CompressionHandler::getMaxDecompressedSize(std::size_t size) {
    return std::max(size * kDecompressionFactor, kDecompressionFloor);
}

std::string CompressionHandler::compressGzip(const std::string& data) {
    return compressWith<std::string>(data.data(), data.size(), Type::Gzip);
}

std::string CompressionHandler::compressDeflate(const std::string& data) {
    return compressWith<std::string>(data.data(), data.size(), Type::Deflate);
}

std::string CompressionHandler::compress(const std::string& data, CompressionType type) {
    return isSupported(type) ? compressWith<std::string>(data.data(), data.size(), type) : data;
}

std::string CompressionHandler::decompressGzip(const std::string& data) {
    return decompressWith<std::string>(data, Type::Gzip);
}

std::string CompressionHandler::decompressDeflate(const std::string& data) {
    return decompressWith<std::string>(data, Type::Deflate);
}

std::string CompressionHandler::decompress(const std::string& data, CompressionType type) {
    return isSupported(type) ? decompressWith<std::string>(data, type) : data;
}

std::string CompressionHandler::decompress(const std::string& data, CompressionType type, std::size_t maxOutput) {
    return isSupported(type) ? decompressWith<std::string>(data, type, maxOutput) : data;
}

CompressionHandler::Bytes CompressionHandler::compressGzipToBytes(const Bytes& data) {
    return compressWith<Bytes>(data.data(), data.size(), Type::Gzip);
}

CompressionHandler::Bytes CompressionHandler::compressDeflateToBytes(const Bytes& data) {
    return compressWith<Bytes>(data.data(), data.size(), Type::Deflate);
}

std::string CompressionHandler::compress(const Bytes& data, CompressionType type) {
    if (!isSupported(type)) {
        return std::string(data.begin(), data.end());
    }
    return compressWith<std::string>(data.data(), data.size(), type);
}

CompressionHandler::Bytes CompressionHandler::decompressGzipToBytes(const std::string& data) {
    return decompressWith<Bytes>(data, Type::Gzip);
}

CompressionHandler::Bytes CompressionHandler::decompressDeflateToBytes(const std::string& data) {
    return decompressWith<Bytes>(data, Type::Deflate);
}

CompressionHandler::Bytes CompressionHandler::decompressToBytes(const std::string& data, CompressionType type) {
    if (!isSupported(type)) {
        return Bytes(data.begin(), data.end());
    }
    return decompressWith<Bytes>(data, type);
}

}  // namespace zorvik
