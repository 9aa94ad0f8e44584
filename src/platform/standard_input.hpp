#pragma once

#include <array>
#include <istream>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

namespace quarlino::quil::platform {

inline constexpr std::string_view unreadableInputMessage = "cannot read command input";

// Reads a descriptor for a stream and fails loudly: a read error (a closed or
// write-only descriptor, a directory) leaves the stream bad instead of at its
// end, which is all the standard input of the C library would report. Only a
// read of zero bytes is the end of input; a read that would block, on a
// descriptor its producer left non-blocking, waits for the data.
class DescriptorInputBuffer final : public std::streambuf {
public:
    explicit DescriptorInputBuffer(int fd) : fd_(fd) {}

    DescriptorInputBuffer(const DescriptorInputBuffer&) = delete;
    DescriptorInputBuffer& operator=(const DescriptorInputBuffer&) = delete;

protected:
    int_type underflow() override;

private:
    int fd_;
    std::array<char, 4096> buffer_{};
};

// The one way command input is read. Both throw std::runtime_error "cannot
// read command input" when the stream failed rather than ended, so that input
// that could not be read is never taken for input that was empty.

// One line without its "\n" (a "\r" stays; a last line without "\n" counts);
// nothing when the input ends before any character.
std::optional<std::string> readInputLine(std::istream& in);

// Everything up to the end of input.
std::string readRemainingInput(std::istream& in);

}  // namespace quarlino::quil::platform
