#include "platform/pseudo_terminal_reader.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <streambuf>

#include <fcntl.h>
#include <pty.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/terminal.hpp"

namespace platformtest {

namespace {

void writeAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = ::write(fd, bytes + done, size - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return;
        }
        done += static_cast<std::size_t>(count);
    }
}

// False at end of input before `size` bytes.
bool readExactly(int fd, void* data, std::size_t size) {
    char* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = ::read(fd, bytes + done, size - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

// Until end of input, or until nothing more is ready on a non-blocking one.
std::string readAvailable(int fd) {
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
            writeAll(readyFd_, "R", 1);
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

constexpr std::array<int, 5> jobSignals{SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGTSTP};

// A foreground job on the terminal with default signal handling.
void becomeForegroundJob(int slave) {
    setpgid(0, 0);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);
    sigset_t quietOutput;
    sigemptyset(&quietOutput);
    sigaddset(&quietOutput, SIGTTOU);
    sigprocmask(SIG_BLOCK, &quietOutput, nullptr);
    tcsetpgrp(STDIN_FILENO, getpid());
    for (const int signal : jobSignals) {
        std::signal(signal, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Ctrl-\ would otherwise leave a core file behind.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}

[[noreturn]] void runReader(int slave, int readyFd, int reportFd) {
    becomeForegroundJob(slave);
    ProbingInput input(STDIN_FILENO, readyFd);
    std::cin.rdbuf(&input);
    std::string report;
    try {
        report = "line:" + quarlino::quil::platform::readSecret(PseudoTerminalReader::prompt) + "\n";
    } catch (const std::exception& error) {
        report = std::string("error:") + error.what() + "\n";
    }
    report += std::string("echo-while-reading:") + (input.echoWhileReading() ? "on" : "off") + "\n";
    struct sigaction interrupt {};
    sigaction(SIGINT, nullptr, &interrupt);
    report += std::string("interrupt-handler:") + (interrupt.sa_handler == SIG_DFL ? "default" : "other") + "\n";
    writeAll(reportFd, report.data(), report.size());
    _exit(0);
}

// Leads the terminal's session, starts the reader and passes on its pid and
// every wait status until it ends.
[[noreturn]] void runSupervisor(int slave, int readyFd, int reportFd, int statusFd) {
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    const pid_t reader = fork();
    if (reader == 0) {
        close(statusFd);
        runReader(slave, readyFd, reportFd);
    }
    close(readyFd);
    close(reportFd);
    writeAll(statusFd, &reader, sizeof reader);
    for (;;) {
        int status = 0;
        if (waitpid(reader, &status, WUNTRACED) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        writeAll(statusFd, &status, sizeof status);
        if (!WIFSTOPPED(status)) {
            break;
        }
    }
    _exit(0);
}

}  // namespace

PseudoTerminalReader::PseudoTerminalReader() {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        throw std::runtime_error(std::string("openpty failed: ") + std::strerror(errno));
    }
    termios attributes{};
    tcgetattr(slave_, &attributes);
    attributes.c_lflag |= ECHO | ICANON | ISIG;
    tcsetattr(slave_, TCSANOW, &attributes);
    initialLocalModes_ = attributes.c_lflag;

    std::array<int, 2> ready{};
    std::array<int, 2> report{};
    std::array<int, 2> status{};
    if (pipe(ready.data()) != 0 || pipe(report.data()) != 0 || pipe(status.data()) != 0) {
        throw std::runtime_error("pipe failed");
    }
    supervisor_ = fork();
    if (supervisor_ == 0) {
        close(master_);
        close(ready[0]);
        close(report[0]);
        close(status[0]);
        runSupervisor(slave_, ready[1], report[1], status[1]);
    }
    close(ready[1]);
    close(report[1]);
    close(status[1]);
    reportFd_ = report[0];
    statusFd_ = status[0];
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    if (!readExactly(statusFd_, &reader_, sizeof reader_)) {
        ended_ = true;
    }
    char signal = 0;
    static_cast<void>(readExactly(ready[0], &signal, 1));
    close(ready[0]);
}

PseudoTerminalReader::~PseudoTerminalReader() {
    if (!ended_ && reader_ > 0) {
        kill(reader_, SIGKILL);
    }
    while (!ended_ && nextStatus() != -1) {
    }
    waitpid(supervisor_, nullptr, 0);
    for (const int fd : {master_, slave_, reportFd_, statusFd_}) {
        close(fd);
    }
}

void PseudoTerminalReader::type(const std::string& keys) const { writeAll(master_, keys.data(), keys.size()); }

void PseudoTerminalReader::signal(int number) const { kill(reader_, number); }

int PseudoTerminalReader::nextStatus() {
    int status = 0;
    if (!readExactly(statusFd_, &status, sizeof status)) {
        ended_ = true;
        return -1;
    }
    ended_ = !WIFSTOPPED(status);
    return status;
}

bool PseudoTerminalReader::awaitHidden() const {
    // Bounded so that a reader that never hides again fails instead of hanging.
    for (int attempt = 0; attempt < 1'000'000; ++attempt) {
        if ((localModes() & ECHO) == 0) {
            return true;
        }
        sched_yield();
    }
    return false;
}

tcflag_t PseudoTerminalReader::localModes() const {
    termios attributes{};
    tcgetattr(slave_, &attributes);
    return attributes.c_lflag;
}

std::string PseudoTerminalReader::report() const { return readAvailable(reportFd_); }

std::string PseudoTerminalReader::terminalOutput() const { return readAvailable(master_); }

}  // namespace platformtest
