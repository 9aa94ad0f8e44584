#include "platform/terminal.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <utility>

#include <termios.h>
#include <unistd.h>

#include "platform/standard_input.hpp"

namespace quarlino::quil::platform {

namespace {

// The signals that take the terminal away while the secret is typed: Ctrl-C,
// Ctrl-\, a closed terminal and a polite kill end the program, Ctrl-Z
// suspends it. None of them may leave the terminal without echo.
constexpr std::array<int, 5> guardedSignals{SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGTSTP};

// What the signal handler needs; written before any handler is installed.
struct SuppressedTerminal {
    int fd = -1;
    termios saved{};
    termios hidden{};
    struct sigaction guard {};
    std::array<struct sigaction, guardedSignals.size()> previous{};
    std::array<bool, guardedSignals.size()> installed{};
};

SuppressedTerminal suppressed;
volatile std::sig_atomic_t suppressionActive = 0;

std::size_t guardIndex(int signal) {
    std::size_t index = 0;
    while (index < guardedSignals.size() && guardedSignals[index] != signal) {
        ++index;
    }
    return index;
}

// Everything below runs inside the signal handler and is async-signal-safe.

// Gives the terminal back as it was and ends the hidden input line.
void releaseTerminal() {
    tcsetattr(suppressed.fd, TCSAFLUSH, &suppressed.saved);
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, "\n", 1);
}

// Stops with the usual disposition; once continued, guards and hides again.
void suspendUntilContinued(std::size_t index) {
    sigaction(SIGTSTP, &suppressed.previous[index], nullptr);
    raise(SIGTSTP);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    sigaction(SIGTSTP, &suppressed.guard, nullptr);
    tcsetattr(suppressed.fd, TCSAFLUSH, &suppressed.hidden);
}

// Any other guarded signal is re-raised under the disposition the program had,
// so it takes its usual course once this handler returns.
void onGuardedSignal(int signal) {
    const int savedErrno = errno;
    releaseTerminal();
    const std::size_t index = guardIndex(signal);
    if (signal == SIGTSTP) {
        suspendUntilContinued(index);
    } else {
        sigaction(signal, &suppressed.previous[index], nullptr);
        raise(signal);
    }
    errno = savedErrno;
}

void installHandlers() {
    struct sigaction& guard = suppressed.guard;
    guard = {};
    guard.sa_handler = onGuardedSignal;
    guard.sa_flags = SA_RESTART;
    sigemptyset(&guard.sa_mask);
    for (const int signal : guardedSignals) {
        sigaddset(&guard.sa_mask, signal);
    }
    for (std::size_t index = 0; index < guardedSignals.size(); ++index) {
        const int signal = guardedSignals[index];
        suppressed.installed[index] = false;
        if (sigaction(signal, nullptr, &suppressed.previous[index]) != 0 ||
            suppressed.previous[index].sa_handler == SIG_IGN) {
            // An ignored signal cannot take the terminal away; keep it ignored.
            continue;
        }
        suppressed.installed[index] = sigaction(signal, &guard, nullptr) == 0;
    }
}

void uninstallHandlers() {
    for (std::size_t index = 0; index < guardedSignals.size(); ++index) {
        if (suppressed.installed[index]) {
            sigaction(guardedSignals[index], &suppressed.previous[index], nullptr);
            suppressed.installed[index] = false;
        }
    }
}

// Holds the guarded signals back while the terminal and the handlers change
// together, so that no handler sees them half switched.
class GuardedSignalsHeld {
public:
    GuardedSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : guardedSignals) {
            sigaddset(&held, signal);
        }
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~GuardedSignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

    GuardedSignalsHeld(const GuardedSignalsHeld&) = delete;
    GuardedSignalsHeld& operator=(const GuardedSignalsHeld&) = delete;

private:
    sigset_t previous_{};
};

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
        suppressed.hidden = attributes;
        suppressed.hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        const GuardedSignalsHeld held;
        installHandlers();
        suppressionActive = 1;
        tcsetattr(fd, TCSAFLUSH, &suppressed.hidden);
    }

    ~EchoSuppression() {
        if (suppressionActive == 0) {
            return;
        }
        // A signal held back here meets the program's own disposition and a
        // terminal that is already restored.
        const GuardedSignalsHeld held;
        tcsetattr(suppressed.fd, TCSAFLUSH, &suppressed.saved);
        uninstallHandlers();
        suppressionActive = 0;
    }

    EchoSuppression(const EchoSuppression&) = delete;
    EchoSuppression& operator=(const EchoSuppression&) = delete;

    bool active() const { return suppressionActive != 0; }
};

// The Enter key of a hidden line was not echoed, so the prompt line is ended
// on the way out.
struct HiddenLineEnd {
    explicit HiddenLineEnd(std::ostream& err) : err(err) {}
    ~HiddenLineEnd() {
        if (needed) {
            err << '\n';
            err.flush();
        }
    }
    HiddenLineEnd(const HiddenLineEnd&) = delete;
    HiddenLineEnd& operator=(const HiddenLineEnd&) = delete;

    std::ostream& err;
    bool needed = false;
};

}  // namespace

std::string readSecret(std::string_view prompt) { return readSecret(prompt, std::cin, STDIN_FILENO, std::cerr); }

std::string readSecret(std::string_view prompt, std::istream& in, int inputFd, std::ostream& err) {
    err << prompt;
    err.flush();

    std::optional<std::string> line;
    {
        // Destroyed after the suppression, so the terminal is back first,
        // also when the input cannot be read.
        HiddenLineEnd lineEnd(err);
        const EchoSuppression suppression(inputFd);
        lineEnd.needed = suppression.active();
        try {
            line = readInputLine(in);
        } catch (const std::runtime_error&) {
            // A secret that cannot be read is as missing as one never typed.
        }
    }
    if (!line) {
        throw std::runtime_error("cannot read password");
    }
    return std::move(*line);
}

}  // namespace quarlino::quil::platform
