#include "platform/standard_input.hpp"

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

namespace quarlino::quil::platform {

std::streambuf::int_type DescriptorInputBuffer::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    ssize_t count = 0;
    do {
        count = ::read(fd_, buffer_.data(), buffer_.size());
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        // The reading istream catches this and sets badbit.
        throw std::system_error(errno, std::generic_category(), "read");
    }
    if (count == 0) {
        return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + count);
    return traits_type::to_int_type(*gptr());
}

namespace {

void requireReadable(const std::istream& in) {
    if (in.bad()) {
        throw std::runtime_error(std::string(unreadableInputMessage));
    }
}

}  // namespace

std::optional<std::string> readInputLine(std::istream& in) {
    std::string line;
    const bool read = static_cast<bool>(std::getline(in, line));
    requireReadable(in);
    if (!read) {
        return std::nullopt;
    }
    return line;
}

std::string readRemainingInput(std::istream& in) {
    std::string text;
    std::array<char, 16384> chunk{};
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    }
    requireReadable(in);
    return text;
}

}  // namespace quarlino::quil::platform
