#include "platform/process_setup.hpp"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace quarlino::quil::platform {

void claimStandardDescriptors() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free number is this one: the lower ones are open by now.
        // Opened the wrong way round, the stream fails as on the closed
        // descriptor: a result written to a closed standard output is no
        // success.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) {
            ::close(opened);
        }
    }
}

void ignoreProgramSignals() {
    for (const int signal : ignoredSignals) {
        std::signal(signal, SIG_IGN);
    }
}

}  // namespace quarlino::quil::platform
