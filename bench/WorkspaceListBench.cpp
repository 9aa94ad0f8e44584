// `quil workspace list` as a whole process beside curl fetching the same
// resource from the same loopback server, over HTTP and over HTTPS with the
// same trust on both sides: the system store plus a test CA, added the way a
// system-wide CA is (to a copy of the bundle and, hashed, to a directory), or
// (the "file" line) as a file of its own named as the certificate file.
// Runs alternate (quil, curl, quil, ...) so that drift of a shared machine
// hits both; the medians and their ratio are printed.
//
//   workspace_list_bench [RUNS]      (default 21)
#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "support/net/TestCertificates.hpp"
#include "support/net/TlsLoopbackServer.hpp"

#include <openssl/x509.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::net::LoopbackServer;
using testsupport::net::Reply;

const std::string kToken = "bench-token";
const std::string kWorkspaces =
    R"([{"id":"ws-1","name":"Platform","slug":"platform","personal":false,"role":"OWNER"},)"
    R"({"id":"ws-22","name":"Dana's space","slug":"dana","personal":true,"role":"MEMBER"}])";

struct Run {
    double milliseconds = 0;
    long peakKilobytes = 0;
};

// One whole process, its output discarded; throws unless it exits with 0.
Run runProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& variable : environment) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + arguments[0]);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(arguments[0] + " failed (status " + std::to_string(status) + ")");
    }
    return Run{elapsed.count(), usage.ru_maxrss};
}

bool readAll(int fd, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, bytes, size);
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size) == static_cast<ssize_t>(size);
}

// Starts the measured processes from a small process forked before the
// certificates and servers exist: the peak resident set the kernel reports
// for a process includes that of the process it was started from.
class Launcher {
public:
    Launcher() {
        int sockets[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
            throw std::runtime_error("cannot create the launcher's socket");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(sockets[0]);
            serve(sockets[1]);
            ::_exit(0);
        }
        ::close(sockets[1]);
        fd_ = sockets[0];
    }
    ~Launcher() {
        ::close(fd_);
        ::waitpid(pid_, nullptr, 0);
    }
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // Arguments, then environment, each string ended by a NUL.
    Run run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
        std::string message = std::to_string(arguments.size()) + '\0';
        for (const auto& word : arguments) {
            message += word + '\0';
        }
        for (const auto& word : environment) {
            message += word + '\0';
        }
        const std::size_t size = message.size();
        Answer answer;
        if (!writeAll(fd_, &size, sizeof size) || !writeAll(fd_, message.data(), size) ||
            !readAll(fd_, &answer, sizeof answer)) {
            throw std::runtime_error("the launcher has gone");
        }
        if (!answer.succeeded) {
            throw std::runtime_error(arguments[0] + " failed");
        }
        return answer.run;
    }

private:
    struct Answer {
        bool succeeded;
        Run run;
    };

    static void serve(int fd) {
        std::size_t size = 0;
        while (readAll(fd, &size, sizeof size)) {
            std::string message(size, '\0');
            if (!readAll(fd, message.data(), size)) {
                return;
            }
            std::vector<std::string> words;
            for (std::size_t start = 0; start < size;) {
                const std::size_t end = message.find('\0', start);
                words.push_back(message.substr(start, end - start));
                start = end + 1;
            }
            const auto count = static_cast<std::ptrdiff_t>(std::stoul(words[0]));
            Answer answer{true, {}};
            try {
                answer.run = runProcess({words.begin() + 1, words.begin() + 1 + count},
                                        {words.begin() + 1 + count, words.end()});
            } catch (const std::exception&) {
                answer.succeeded = false;
            }
            writeAll(fd, &answer, sizeof answer);
        }
    }

    pid_t pid_ = -1;
    int fd_ = -1;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The system trust plus the test CA, in a bundle and in a hashed directory
// searched before the system's.
struct Trust {
    std::string bundle;
    std::string directories;
};

Trust addTestAuthority(const fs::path& root, const testsupport::net::TestCertificates& certificates) {
    const fs::path bundle = root / "ca-bundle.crt";
    writeFile(bundle, readFile(X509_get_default_cert_file()) + readFile(certificates.caFile()));
    return Trust{bundle.string(), certificates.caDirectory() + ":" + X509_get_default_cert_dir()};
}

struct Scenario {
    std::string name;
    std::vector<std::string> quil;
    std::vector<std::string> curl;
    std::vector<std::string> environment;
};

void signIn(const fs::path& home, const std::string& serverUrl) {
    const fs::path config = home / ".config" / "quil";
    writeFile(config / "profiles.json", R"({"activeProfile":"default","profiles":[{"name":"default","serverUrl":")" +
                                            serverUrl + R"(","workspaceId":null}]})");
    writeFile(config / "credentials.json", R"({"default":")" + kToken + R"("})");
}

Scenario workspaceList(const std::string& name, const fs::path& home, const std::string& serverUrl,
                       const Trust& trust) {
    signIn(home, serverUrl);
    Scenario scenario{name,
                      {QUIL_BINARY, "workspace", "list"},
                      {"curl", "-sS", "-o", "/dev/null", "--cacert", trust.bundle, "--capath", trust.directories,
                       "-H", "Accept: application/json", "-H", "Authorization: Bearer " + kToken, "-H",
                       "quarlino-token: " + kToken, serverUrl + "/api/workspaces"},
                      {"HOME=" + home.string(), "PATH=/usr/bin:/bin", "LANG=C", "QUARLINO_ALLOW_INSECURE_HTTP=true",
                       "SSL_CERT_FILE=" + trust.bundle, "SSL_CERT_DIR=" + trust.directories}};
    return scenario;
}

double mebibytes(long kilobytes) {
    return static_cast<double>(kilobytes) / 1024.0;
}

void measure(Launcher& launcher, const Scenario& scenario, int runs) {
    launcher.run(scenario.quil, scenario.environment);  // warm-up, and a check that both succeed
    launcher.run(scenario.curl, scenario.environment);
    std::vector<double> quil;
    std::vector<double> curl;
    std::vector<double> ratios;
    long quilPeak = 0;
    long curlPeak = 0;
    for (int i = 0; i < runs; ++i) {
        const Run a = launcher.run(scenario.quil, scenario.environment);
        const Run b = launcher.run(scenario.curl, scenario.environment);
        quil.push_back(a.milliseconds);
        curl.push_back(b.milliseconds);
        ratios.push_back(a.milliseconds / b.milliseconds);
        quilPeak = std::max(quilPeak, a.peakKilobytes);
        curlPeak = std::max(curlPeak, b.peakKilobytes);
    }
    std::printf("%-6s %9.2f %9.2f %7.2f %7.2f %9.1f %9.1f\n", scenario.name.c_str(), median(quil), median(curl),
                median(quil) / median(curl), median(ratios), mebibytes(quilPeak), mebibytes(curlPeak));
}

bool haveCurl() {
    return std::system("curl --version >/dev/null 2>&1") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    if (!haveCurl()) {
        std::cout << "workspace_list_bench: curl is not installed (apt-get install -y curl); skipped\n";
        return 0;
    }
    Launcher launcher;
    const fs::path root = fs::temp_directory_path() / ("quil-bench-" + std::to_string(::getpid()));
    int exitCode = 0;
    try {
        const Trust trust = addTestAuthority(root, testsupport::net::TestCertificates::shared());
        const std::string reply = testsupport::net::okResponse(kWorkspaces, {{"Content-Type", "application/json"}});
        const auto answer = [reply](const std::string&) { return Reply{reply}; };
        LoopbackServer plain;
        plain.setHandler(answer);
        testsupport::net::TlsLoopbackServer secure;
        secure.http().setHandler(answer);

        std::printf("quil workspace list beside curl, whole processes, %d alternating runs each\n", runs);
        std::printf("%-6s %9s %9s %7s %7s %9s %9s\n", "", "quil ms", "curl ms", "ratio", "pairs", "quil MiB",
                    "curl MiB");
        measure(launcher, workspaceList("http", root / "http", plain.url(""), trust), runs);
        measure(launcher, workspaceList("https", root / "https", secure.url(""), trust), runs);
        const Trust caFile{testsupport::net::TestCertificates::shared().caFile(), X509_get_default_cert_dir()};
        measure(launcher, workspaceList("file", root / "file", secure.url(""), caFile), runs);
        std::printf("ms: median wall time; ratio: quil median / curl median; pairs: median of quil/curl per pair;\n"
                    "MiB: largest peak resident set of any run\n");
    } catch (const std::exception& error) {
        std::cerr << "workspace_list_bench: " << error.what() << '\n';
        exitCode = 1;
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return exitCode;
}
