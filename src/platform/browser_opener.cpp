#include "platform/browser_opener.hpp"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/process_setup.hpp"

namespace quarlino::quil::platform {

namespace {

constexpr std::string_view unstartableMessage = "cannot open the browser; set QUIL_BROWSER to a browser command";

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

// What the browser starts with besides its arguments and environment: the
// standard streams and nothing else that this process holds (descriptors it
// inherited without close-on-exec included), and the default disposition of
// the signals this process ignores for itself.
class BrowserSpawnSetup {
public:
    BrowserSpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : ignoredSignals) {
            sigaddset(&defaults, signal);
        }
        complete_ = posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0 &&
                    posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
                    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF) == 0;
    }
    ~BrowserSpawnSetup() {
        posix_spawnattr_destroy(&attributes_);
        posix_spawn_file_actions_destroy(&actions_);
    }
    BrowserSpawnSetup(const BrowserSpawnSetup&) = delete;
    BrowserSpawnSetup& operator=(const BrowserSpawnSetup&) = delete;

    // False when the set-up could not be recorded (no memory for it).
    bool complete() const { return complete_; }
    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
    bool complete_ = false;
};

}  // namespace

void PlatformBrowserOpener::open(std::string_view url, std::ostream& out) {
    std::string program = browserProgram();
    std::string argument(url);
    out << "Opening Quarlino login in your browser...\n";
    out.flush();

    char* const argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    std::vector<char*> environment = browserEnvironment();
    const BrowserSpawnSetup setup;
    if (!setup.complete() ||
        posix_spawnp(&child, program.c_str(), setup.actions(), setup.attributes(), argv, environment.data()) != 0) {
        throw std::runtime_error(std::string(unstartableMessage));
    }
    // Reaps a launcher that has already handed over to a running browser;
    // a browser still running is left alone.
    int status = 0;
    static_cast<void>(waitpid(child, &status, WNOHANG));
}

}  // namespace quarlino::quil::platform
