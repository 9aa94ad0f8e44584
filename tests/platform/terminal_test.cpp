#include "platform/terminal.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using quarlino::quil::platform::readSecret;

constexpr const char* prompt = "Password: ";

// Piped input: nothing to hide, nothing to restore.
class PipedSecretTest : public testing::Test {
protected:
    PipedSecretTest() {
        if (pipe(fds_.data()) != 0) {
            throw std::runtime_error("pipe failed");
        }
    }
    ~PipedSecretTest() override {
        close(fds_[0]);
        close(fds_[1]);
    }

    std::string read(const std::string& input) {
        std::istringstream in(input);
        return readSecret(prompt, in, fds_[0], err_);
    }

    std::ostringstream err_;

private:
    std::array<int, 2> fds_{};
};

struct PipedCase {
    std::string input;
    std::string secret;
};

class PipedSecretLineTest : public PipedSecretTest, public testing::WithParamInterface<PipedCase> {};

TEST_P(PipedSecretLineTest, ReadsOneLineAndWritesOnlyThePrompt) {
    EXPECT_EQ(read(GetParam().input), GetParam().secret);
    EXPECT_EQ(err_.str(), prompt);
}

INSTANTIATE_TEST_SUITE_P(Lines, PipedSecretLineTest,
                         testing::Values(PipedCase{"hunter2\n", "hunter2"}, PipedCase{"first\nsecond\n", "first"},
                                         PipedCase{"with\r\n", "with\r"}, PipedCase{"\n", ""},
                                         PipedCase{"no line end", "no line end"},
                                         PipedCase{"  spaced  \n", "  spaced  "}));

TEST_F(PipedSecretTest, EndOfInputIsAnError) {
    try {
        read("");
        FAIL() << "end of input gave a secret";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cannot read password");
    }
    EXPECT_EQ(err_.str(), prompt);
}

// Standard input that notes whether echo was on when the read began and tells
// the test, through a pipe, that the secret may now be typed.
class ProbingInput : public std::streambuf {
public:
    ProbingInput(int fd, int readyFd) : fd_(fd), readyFd_(readyFd) {}

    bool echoWhileReading() const { return echoWhileReading_; }

protected:
    int_type underflow() override {
        termios attributes{};
        if (tcgetattr(fd_, &attributes) == 0 && (attributes.c_lflag & ECHO) != 0) {
            echoWhileReading_ = true;
        }
        if (readyFd_ >= 0) {
            [[maybe_unused]] const ssize_t written = ::write(readyFd_, "R", 1);
            close(readyFd_);
            readyFd_ = -1;
        }
        ssize_t count = 0;
        do {
            count = ::read(fd_, buffer_.data(), buffer_.size());
        } while (count < 0 && errno == EINTR);
        if (count <= 0) {
            return traits_type::eof();
        }
        setg(buffer_.data(), buffer_.data(), buffer_.data() + count);
        return traits_type::to_int_type(buffer_[0]);
    }

private:
    int fd_;
    int readyFd_;
    bool echoWhileReading_ = false;
    std::array<char, 256> buffer_{};
};

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return;
        }
        done += static_cast<std::size_t>(count);
    }
}

std::string readAll(int fd) {
    std::string text;
    std::array<char, 256> buffer{};
    for (;;) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return text;
        }
        text.append(buffer.data(), static_cast<std::size_t>(count));
    }
}

// The child: a session of its own on the pseudo-terminal, default signal
// handling, and the real readSecret over its standard streams.
[[noreturn]] void runReader(int slave, int readyFd, int reportFd) {
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);
    for (const int signal : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) {
        std::signal(signal, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Ctrl-\ would otherwise leave a core file behind.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    ProbingInput input(STDIN_FILENO, readyFd);
    std::cin.rdbuf(&input);
    std::string report;
    try {
        report = "line:" + readSecret(prompt) + "\n";
    } catch (const std::exception& error) {
        report = std::string("error:") + error.what() + "\n";
    }
    report += std::string("echo-while-reading:") + (input.echoWhileReading() ? "on" : "off") + "\n";
    struct sigaction interrupt {};
    sigaction(SIGINT, nullptr, &interrupt);
    report += std::string("interrupt-handler:") + (interrupt.sa_handler == SIG_DFL ? "default" : "other") + "\n";
    writeAll(reportFd, report);
    _exit(0);
}

struct TerminalOutcome {
    int waitStatus = 0;
    std::string report;
    std::string terminalOutput;
    tcflag_t localModesBefore = 0;
    tcflag_t localModesAfter = 0;
};

// Runs readSecret in a child whose terminal is a fresh pseudo-terminal and,
// once the child waits for input, lets `act` type or signal.
TerminalOutcome readFromTerminal(const std::function<void(int master, pid_t child)>& act) {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        throw std::runtime_error(std::string("openpty failed: ") + std::strerror(errno));
    }
    termios attributes{};
    tcgetattr(slave, &attributes);
    attributes.c_lflag |= ECHO | ICANON | ISIG;
    tcsetattr(slave, TCSANOW, &attributes);

    std::array<int, 2> ready{};
    std::array<int, 2> report{};
    if (pipe(ready.data()) != 0 || pipe(report.data()) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = fork();
    if (child == 0) {
        close(master);
        close(ready[0]);
        close(report[0]);
        runReader(slave, ready[1], report[1]);
    }
    close(ready[1]);
    close(report[1]);

    TerminalOutcome outcome;
    outcome.localModesBefore = attributes.c_lflag;
    char signal = 0;
    if (::read(ready[0], &signal, 1) == 1) {
        act(master, child);
    }
    waitpid(child, &outcome.waitStatus, 0);
    outcome.report = readAll(report[0]);

    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    outcome.terminalOutput = readAll(master);
    termios after{};
    tcgetattr(slave, &after);
    outcome.localModesAfter = after.c_lflag;

    for (const int fd : {master, slave, ready[0], report[0]}) {
        close(fd);
    }
    return outcome;
}

TEST(TerminalSecretTest, HidesTheTypedSecretAndRestoresEcho) {
    const TerminalOutcome outcome = readFromTerminal([](int master, pid_t) { writeAll(master, "hunter2\n"); });

    ASSERT_TRUE(WIFEXITED(outcome.waitStatus));
    EXPECT_EQ(outcome.report, "line:hunter2\necho-while-reading:off\ninterrupt-handler:default\n");
    // The prompt, no echo of the secret, then the line end that Enter did not echo.
    EXPECT_EQ(outcome.terminalOutput, "Password: \r\n");
    EXPECT_EQ(outcome.localModesAfter, outcome.localModesBefore);
}

TEST(TerminalSecretTest, EndOfInputRestoresEchoBeforeFailing) {
    const TerminalOutcome outcome = readFromTerminal([](int master, pid_t) { writeAll(master, "\x04"); });

    ASSERT_TRUE(WIFEXITED(outcome.waitStatus));
    EXPECT_EQ(outcome.report, "error:cannot read password\necho-while-reading:off\ninterrupt-handler:default\n");
    EXPECT_EQ(outcome.terminalOutput, "Password: \r\n");
    EXPECT_EQ(outcome.localModesAfter, outcome.localModesBefore);
}

struct InterruptCase {
    std::string name;
    int signal;
    // Typed on the terminal; empty means the signal is sent with kill.
    std::string keys;
};

void PrintTo(const InterruptCase& test, std::ostream* out) { *out << test.name; }

class InterruptedSecretTest : public testing::TestWithParam<InterruptCase> {};

TEST_P(InterruptedSecretTest, RestoresEchoAndStillEndsBySignal) {
    const InterruptCase& test = GetParam();
    const TerminalOutcome outcome = readFromTerminal([&test](int master, pid_t child) {
        if (test.keys.empty()) {
            kill(child, test.signal);
        } else {
            writeAll(master, test.keys);
        }
    });

    ASSERT_TRUE(WIFSIGNALED(outcome.waitStatus)) << "wait status " << outcome.waitStatus;
    EXPECT_EQ(WTERMSIG(outcome.waitStatus), test.signal);
    EXPECT_EQ(outcome.report, "");
    EXPECT_EQ(outcome.localModesAfter, outcome.localModesBefore);
    EXPECT_NE(outcome.localModesAfter & ECHO, 0U);
    // Nothing typed shows; the prompt line is ended on the way out.
    EXPECT_EQ(outcome.terminalOutput, "Password: \r\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedSecretTest,
                         testing::Values(InterruptCase{"CtrlC", SIGINT, "hunt\x03"},
                                         InterruptCase{"CtrlBackslash", SIGQUIT, "\x1c"},
                                         InterruptCase{"Terminate", SIGTERM, ""},
                                         InterruptCase{"HangUp", SIGHUP, ""}),
                         [](const testing::TestParamInfo<InterruptCase>& info) { return info.param.name; });

}  // namespace
