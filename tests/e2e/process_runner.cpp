#include "e2e/process_runner.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

namespace quarlino::quil::e2e {
namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        reset(std::exchange(other.fd_, -1));
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

struct Pipe {
    Descriptor read;
    Descriptor write;
};

Pipe makePipe() {
    std::array<int, 2> fds{};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0) {
        fail("pipe2");
    }
    return {Descriptor(fds[0]), Descriptor(fds[1])};
}

// An in-memory file holds the input, so the child reads it at its own pace and
// an early exit never leaves this side blocked on a full pipe or hit by SIGPIPE.
Descriptor inputFile(const std::string& input) {
    Descriptor file(::memfd_create("quil-test-stdin", MFD_CLOEXEC));
    if (file.get() < 0) {
        fail("memfd_create");
    }
    for (std::size_t written = 0; written < input.size();) {
        const ssize_t count = ::write(file.get(), input.data() + written, input.size() - written);
        if (count < 0 && errno != EINTR) {
            fail("write test input");
        }
        written += count > 0 ? static_cast<std::size_t>(count) : 0;
    }
    if (::lseek(file.get(), 0, SEEK_SET) != 0) {
        fail("lseek test input");
    }
    return file;
}

class SpawnSetup {
public:
    SpawnSetup(int in, int out, int err) {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawn_file_actions_adddup2(&actions_, in, STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions_, out, STDOUT_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions_, err, STDERR_FILENO);
        // Whatever this process holds open (say, from the test runner) is not
        // the child's to inherit, so any other descriptor it has is its own.
        ::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
        ::posix_spawnattr_init(&attributes_);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        ::posix_spawnattr_setsigmask(&attributes_, &none);
        ::posix_spawnattr_setsigdefault(&attributes_, &defaults);
        ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        ::posix_spawnattr_destroy(&attributes_);
        ::posix_spawn_file_actions_destroy(&actions_);
    }

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
};

std::vector<char*> nullTerminated(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Drains both pipes together so that neither stream can fill up and stall the
// child while the other is being read.
void collect(Descriptor& out, Descriptor& err, ProcessResult& result, const OutputWatcher& onOutput) {
    std::array<pollfd, 2> watched{pollfd{out.get(), POLLIN, 0}, pollfd{err.get(), POLLIN, 0}};
    std::array<std::string*, 2> sinks{&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("poll");
        }
        for (std::size_t index = 0; index < watched.size(); ++index) {
            if (watched[index].fd < 0 || watched[index].revents == 0) {
                continue;
            }
            std::array<char, 4096> buffer{};
            const ssize_t count = ::read(watched[index].fd, buffer.data(), buffer.size());
            if (count > 0) {
                sinks[index]->append(buffer.data(), static_cast<std::size_t>(count));
                if (index == 0 && onOutput) {
                    onOutput(result.out);
                }
            } else if (count == 0 || errno != EINTR) {
                watched[index].fd = -1;
                --open;
            }
        }
    }
}

// The child runs in this process's memory until its exec, and the kernel
// starts the child's peak at this process's: bring that down to what is
// resident now, so that an earlier case's peak does not show in this one.
void resetPeakResidentSize() {
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        (void)!::write(fd, "5", 1);
        ::close(fd);
    }
}

void awaitExit(pid_t child, ProcessResult& result) {
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            fail("wait4");
        }
    }
    result.peakResidentKilobytes = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
}

}  // namespace

ProcessResult runProcess(const ProcessRequest& request) {
    // Late input: this side holds the read end until the input is written, so
    // that an early exit of the child raises no SIGPIPE here.
    Pipe late;
    std::jthread writer;
    if (request.inputComesLate) {
        late = makePipe();
        if (::fcntl(late.read.get(), F_SETFL, O_NONBLOCK) != 0) {
            fail("fcntl");
        }
        writer = std::jthread([&late, &request] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            const std::string& input = request.input;
            [[maybe_unused]] const ssize_t written = ::write(late.write.get(), input.data(), input.size());
            late.write.reset();
        });
    }
    Descriptor in = request.inputComesLate ? Descriptor(::dup(late.read.get())) : inputFile(request.input);
    Pipe out = makePipe();
    Pipe err = makePipe();

    std::vector<std::string> argv{request.program};
    argv.insert(argv.end(), request.arguments.begin(), request.arguments.end());
    std::vector<std::string> envp;
    for (const auto& [name, value] : request.environment) {
        envp.push_back(name + "=" + value);
    }
    std::vector<char*> argvPointers = nullTerminated(argv);
    std::vector<char*> envpPointers = nullTerminated(envp);

    resetPeakResidentSize();
    pid_t child = 0;
    {
        const SpawnSetup setup(in.get(), out.write.get(), err.write.get());
        const int error = ::posix_spawn(&child, request.program.c_str(), setup.actions(), setup.attributes(),
                                        argvPointers.data(), envpPointers.data());
        if (error != 0) {
            errno = error;
            fail("posix_spawn " + request.program);
        }
    }
    in.reset();
    out.write.reset();
    err.write.reset();

    ProcessResult result;
    collect(out.read, err.read, result, request.onOutput);
    awaitExit(child, result);
    return result;
}

}  // namespace quarlino::quil::e2e
