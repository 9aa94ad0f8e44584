#include "platform/terminal.hpp"

#include <array>
#include <csignal>
#include <cstddef>
#include <iostream>
#include <stdexcept>

#include <termios.h>
#include <unistd.h>

namespace quarlino::quil::platform {

namespace {

// The signals that end the program while it waits for the secret: Ctrl-C,
// Ctrl-\, a closed terminal and a polite kill. Any of them must leave the
// terminal echoing again.
constexpr std::array<int, 4> interruptingSignals{SIGINT, SIGQUIT, SIGHUP, SIGTERM};

// What the signal handler needs; written before any handler is installed.
struct SuppressedTerminal {
    int fd = -1;
    termios saved{};
    std::array<struct sigaction, interruptingSignals.size()> previous{};
    std::array<bool, interruptingSignals.size()> installed{};
};

SuppressedTerminal suppressed;
volatile std::sig_atomic_t suppressionActive = 0;

// Async-signal-safe: restores the terminal, ends the hidden input line, puts
// back the disposition the program had and re-raises, so the signal takes its
// usual course once this handler returns.
void restoreTerminalAndReraise(int signal) {
    tcsetattr(suppressed.fd, TCSAFLUSH, &suppressed.saved);
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, "\n", 1);
    for (std::size_t index = 0; index < interruptingSignals.size(); ++index) {
        if (interruptingSignals[index] == signal) {
            sigaction(signal, &suppressed.previous[index], nullptr);
        }
    }
    raise(signal);
}

void installHandlers() {
    struct sigaction action {};
    action.sa_handler = restoreTerminalAndReraise;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : interruptingSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (std::size_t index = 0; index < interruptingSignals.size(); ++index) {
        const int signal = interruptingSignals[index];
        suppressed.installed[index] = false;
        if (sigaction(signal, nullptr, &suppressed.previous[index]) != 0 ||
            suppressed.previous[index].sa_handler == SIG_IGN) {
            // An ignored signal cannot interrupt the read; keep it ignored.
            continue;
        }
        suppressed.installed[index] = sigaction(signal, &action, nullptr) == 0;
    }
}

void uninstallHandlers() {
    for (std::size_t index = 0; index < interruptingSignals.size(); ++index) {
        if (suppressed.installed[index]) {
            sigaction(interruptingSignals[index], &suppressed.previous[index], nullptr);
            suppressed.installed[index] = false;
        }
    }
}

// Switches echo off on a terminal for its lifetime and guards the way out by
// signal. Does nothing for a descriptor that is not a terminal or whose
// attributes cannot be read (piped input).
class EchoSuppression {
public:
    explicit EchoSuppression(int fd) {
        if (suppressionActive != 0) {
            throw std::logic_error("terminal echo is already suppressed");
        }
        termios attributes{};
        if (isatty(fd) == 0 || tcgetattr(fd, &attributes) != 0) {
            return;
        }
        suppressed.fd = fd;
        suppressed.saved = attributes;
        installHandlers();
        suppressionActive = 1;
        attributes.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &attributes);
    }

    ~EchoSuppression() {
        if (suppressionActive == 0) {
            return;
        }
        // Terminal first: a signal arriving in between finds its handler
        // still installed and restores again, which is harmless.
        tcsetattr(suppressed.fd, TCSAFLUSH, &suppressed.saved);
        uninstallHandlers();
        suppressionActive = 0;
    }

    EchoSuppression(const EchoSuppression&) = delete;
    EchoSuppression& operator=(const EchoSuppression&) = delete;

    bool active() const { return suppressionActive != 0; }
};

}  // namespace

std::string readSecret(std::string_view prompt) { return readSecret(prompt, std::cin, STDIN_FILENO, std::cerr); }

std::string readSecret(std::string_view prompt, std::istream& in, int inputFd, std::ostream& err) {
    err << prompt;
    err.flush();

    std::string line;
    bool hidden = false;
    bool read = false;
    {
        const EchoSuppression suppression(inputFd);
        hidden = suppression.active();
        read = static_cast<bool>(std::getline(in, line));
    }
    if (hidden) {
        // The Enter key was not echoed, so end the prompt line here.
        err << '\n';
        err.flush();
    }
    if (!read) {
        throw std::runtime_error("cannot read password");
    }
    return line;
}

}  // namespace quarlino::quil::platform
