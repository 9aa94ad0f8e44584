#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zorvik::detail {

// The size of a chunk from its size line (without CR LF): an optional
// extension after ';' is dropped, surrounding blanks are allowed, and what is
// left must be hexadecimal digits only whose value fits in 64 bits.
std::optional<std::uint64_t> parseChunkSize(std::string_view sizeLine);

// Walks a chunked body that may arrive in pieces. Each call resumes where the
// previous one stopped, so feeding a body byte by byte costs linear time; the
// buffer handed in may only have grown (same leading bytes) since the last call.
class ChunkScanner {
public:
    enum class Status { Incomplete, Complete, Malformed };

    explicit ChunkScanner(std::size_t bodyStart = 0);

    // Appends the data of every chunk completed by this call to `decoded`
    // when it is given.
    Status scan(std::string_view buffer, std::string* decoded = nullptr);
    // De-chunks in place: moves the data of every chunk completed by this
    // call down to buffer[written...], over bytes already scanned, and adds
    // its size to `written` (which starts at or before the body).
    Status scanInPlace(std::span<char> buffer, std::size_t& written);

    // Offset just past the body's final blank line, once Complete.
    std::size_t end() const { return pos_; }

    // Why the body is Malformed.
    const char* error() const { return error_; }

private:
    enum class Stage { SizeLine, Data, Trailers, Done, Failed };
    // Where chunk data goes: nowhere, appended to a string, or moved down.
    struct Output {
        std::string* decoded = nullptr;
        char* inPlace = nullptr;
        std::size_t* written = nullptr;
    };

    Status run(std::string_view buffer, Output output);
    Status scanSizeLine(std::string_view buffer);
    Status scanData(std::string_view buffer, Output output);
    Status scanTrailers(std::string_view buffer);
    Status fail(const char* error);

    Stage stage_ = Stage::SizeLine;
    std::size_t pos_;          // start of the element being read
    std::size_t searchFrom_;   // where the search for its terminator resumes
    std::uint64_t chunkSize_ = 0;
    const char* error_ = nullptr;
};

}  // namespace zorvik::detail
