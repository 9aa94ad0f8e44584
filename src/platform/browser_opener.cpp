#include "platform/browser_opener.hpp"

#include <cstdlib>
#include <stdexcept>
#include <string>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quarlino::quil::platform {

namespace {

// One program name or path, never split into words: the variable cannot smuggle
// in extra arguments.
std::string browserProgram() {
    const char* configured = std::getenv("QUIL_BROWSER");
    if (configured != nullptr && *configured != '\0') {
        return configured;
    }
    return "xdg-open";
}

}  // namespace

void PlatformBrowserOpener::open(std::string_view url, std::ostream& out) {
    std::string program = browserProgram();
    std::string argument(url);
    out << "Opening Quarlino login in your browser...\n";
    out.flush();

    char* const argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        throw std::runtime_error("cannot open the browser; set QUIL_BROWSER to a browser command");
    }
    // Reaps a launcher that has already handed over to a running browser;
    // a browser still running is left alone.
    int status = 0;
    static_cast<void>(waitpid(child, &status, WNOHANG));
}

}  // namespace quarlino::quil::platform
