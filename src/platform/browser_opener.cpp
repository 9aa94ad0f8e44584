#include "platform/browser_opener.hpp"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

// The browser gets the environment without the access token: it is a
// program of the user's choosing and needs no credentials of ours.
std::vector<char*> browserEnvironment() {
    constexpr std::string_view hidden = "QUARLINO_ACCESS_TOKEN=";
    std::vector<char*> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string_view(*entry).substr(0, hidden.size()) != hidden) {
            entries.push_back(*entry);
        }
    }
    entries.push_back(nullptr);
    return entries;
}

}  // namespace

void PlatformBrowserOpener::open(std::string_view url, std::ostream& out) {
    std::string program = browserProgram();
    std::string argument(url);
    out << "Opening Quarlino login in your browser...\n";
    out.flush();

    char* const argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    std::vector<char*> environment = browserEnvironment();
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environment.data()) != 0) {
        throw std::runtime_error("cannot open the browser; set QUIL_BROWSER to a browser command");
    }
    // Reaps a launcher that has already handed over to a running browser;
    // a browser still running is left alone.
    int status = 0;
    static_cast<void>(waitpid(child, &status, WNOHANG));
}

}  // namespace quarlino::quil::platform
