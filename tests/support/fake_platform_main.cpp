// Serves a canned scenario on loopback until SIGTERM/SIGINT or until standard
// input closes, then reports unexpected requests and unused replies.
//
//   fake_platform [--tls] [--port-file PATH] SCENARIO.json

#include "support/quil/fake_platform.hpp"
#include "support/quil/fake_platform_scenario.hpp"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fake = testsupport::quil;

struct Arguments {
    bool tls = false;
    std::optional<std::string> portFile;
    std::string scenario;
};

Arguments parseArguments(const std::vector<std::string>& words) {
    Arguments arguments;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--tls") {
            arguments.tls = true;
        } else if (words[i] == "--port-file" && i + 1 < words.size()) {
            arguments.portFile = words[++i];
        } else if (arguments.scenario.empty() && !words[i].empty() && words[i][0] != '-') {
            arguments.scenario = words[i];
        } else {
            throw std::invalid_argument("unexpected argument: " + words[i]);
        }
    }
    if (arguments.scenario.empty()) {
        throw std::invalid_argument("a scenario file is required");
    }
    return arguments;
}

// Blocks the stop signals in every thread (the server's threads inherit the
// mask) and returns a descriptor that reports them.
int stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        throw std::runtime_error("cannot block the stop signals");
    }
    ::signal(SIGPIPE, SIG_IGN);
    const int fd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("cannot watch the stop signals");
    }
    return fd;
}

// Returns when a stop signal arrives or standard input reaches its end.
void waitForStop(int signalFd) {
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        if (fds[1].revents != 0) {
            char buffer[256];
            if (::read(STDIN_FILENO, buffer, sizeof(buffer)) <= 0) {
                return;
            }
        }
    }
}

int serve(const Arguments& arguments) {
    const int signalFd = stopSignals();
    fake::FakePlatform platform(fake::FakePlatform::Options{arguments.tls});
    try {
        fake::loadScenarioFile(platform, arguments.scenario);
    } catch (...) {
        // The stubs loaded so far are no test's concern: report nothing for them.
        platform.finish();
        throw;
    }
    if (arguments.portFile) {
        std::ofstream(*arguments.portFile) << platform.port() << '\n';
    }
    std::cout << "listening on " << platform.url() << std::endl;
    waitForStop(signalFd);
    ::close(signalFd);
    const auto problems = platform.finish();
    for (const auto& problem : problems) {
        std::cerr << "fake_platform: " << problem << '\n';
    }
    return problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return serve(parseArguments(std::vector<std::string>(argv + 1, argv + argc)));
    } catch (const std::exception& error) {
        std::cerr << "fake_platform: " << error.what() << '\n'
                  << "usage: fake_platform [--tls] [--port-file PATH] SCENARIO.json\n";
        return 2;
    }
}
