#include "platform/standard_input.hpp"

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include <poll.h>
#include <unistd.h>

namespace quarlino::quil::platform {

namespace {

// A producer may leave the descriptor non-blocking with its data still to
// come: a read that would block waits until the descriptor is readable, so
// only data, the end of input or a real error ends it.
ssize_t readWhenReady(int fd, char* data, std::size_t size) {
    for (;;) {
        const ssize_t count = ::read(fd, data, size);
        if (count >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            return count;
        }
        if (errno == EINTR) {
            continue;
        }
        pollfd watched{fd, POLLIN, 0};
        if (::poll(&watched, 1, -1) < 0 && errno != EINTR) {
            return -1;
        }
    }
}

}  // namespace

std::streambuf::int_type DescriptorInputBuffer::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    const ssize_t count = readWhenReady(fd_, buffer_.data(), buffer_.size());
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
