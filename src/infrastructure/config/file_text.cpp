#include "infrastructure/config/file_text.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quarlino::quil::infrastructure::config {

std::optional<std::string> readFileText(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            ::close(descriptor);
            return std::nullopt;
        }
        if (count == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(descriptor);
    return text;
}

}  // namespace quarlino::quil::infrastructure::config
