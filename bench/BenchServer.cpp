#include "BenchServer.hpp"

#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"
#include "support/net/TestCertificates.hpp"
#include "support/net/TlsLoopbackServer.hpp"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace bench {
namespace {

namespace fs = std::filesystem;
using testsupport::net::Reply;

std::string document(std::size_t size) {
    std::string text(size, 'x');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

// A port nobody listens on right now: bound to 0, read back, released.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("no free loopback port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

std::string findNginx() {
    for (const char* path : {"/usr/sbin/nginx", "/usr/local/sbin/nginx", "/usr/bin/nginx"}) {
        if (::access(path, X_OK) == 0) {
            return path;
        }
    }
    return {};
}

}  // namespace

struct BenchServer::State {
    testsupport::net::TestCertificates certificates;
    std::string root;
    pid_t nginx = -1;
    int httpPort = 0;
    int httpsPort = 0;
    std::unique_ptr<testsupport::net::LoopbackServer> plain;
    std::unique_ptr<testsupport::net::TlsLoopbackServer> secure;

    void writeDocuments() {
        fs::create_directories(root + "/www");
        for (const auto& [name, size] : {std::pair{"small.json", kSmallBytes}, std::pair{"large.bin", kLargeBytes},
                                         std::pair{"huge.bin", kHugeBytes}}) {
            std::ofstream(root + "/www/" + name, std::ios::binary) << document(size);
        }
    }

    void startNginx(const std::string& binary) {
        httpPort = freePort();
        httpsPort = freePort();
        const auto& cert = certificates.localhost();
        std::ofstream(root + "/nginx.conf")
            << "worker_processes 2;\ndaemon off;\npid " << root << "/nginx.pid;\nerror_log " << root
            << "/error.log;\nevents { worker_connections 1024; }\nhttp {\n access_log off;\n"
            << " client_body_temp_path " << root << "/tmp;\n proxy_temp_path " << root << "/tmp;\n"
            << " fastcgi_temp_path " << root << "/tmp;\n uwsgi_temp_path " << root << "/tmp;\n"
            << " scgi_temp_path " << root << "/tmp;\n keepalive_requests 100000000;\n keepalive_timeout 300s;\n"
            << " server {\n  listen 127.0.0.1:" << httpPort << ";\n  listen 127.0.0.1:" << httpsPort << " ssl;\n"
            << "  ssl_certificate " << cert.certificate << ";\n  ssl_certificate_key " << cert.privateKey << ";\n"
            << "  root " << root << "/www;\n }\n}\n";
        fs::create_directories(root + "/tmp");
        nginx = ::fork();
        if (nginx == 0) {
            const std::string conf = root + "/nginx.conf";
            const std::string log = root + "/error.log";
            ::execl(binary.c_str(), binary.c_str(), "-q", "-p", root.c_str(), "-e", log.c_str(), "-c", conf.c_str(),
                    static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        for (int i = 0; i < 500 && !(accepts(httpPort) && accepts(httpsPort)); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!accepts(httpPort) || !accepts(httpsPort)) {
            stopNginx();
            throw std::runtime_error("nginx did not start; see " + root + "/error.log");
        }
    }

    void stopNginx() {
        if (nginx > 0) {
            ::kill(nginx, SIGTERM);
            ::waitpid(nginx, nullptr, 0);
            nginx = -1;
        }
    }

    void startLoopback() {
        auto serve = [](testsupport::net::LoopbackServer& server) {
            auto small = testsupport::net::okResponse(document(kSmallBytes));
            auto large = testsupport::net::okResponse(document(kLargeBytes));
            server.setHandler([small, large](const std::string& request) {
                if (request.find("huge.bin") != std::string::npos) {
                    return Reply{testsupport::net::okResponse(document(kHugeBytes))};
                }
                return Reply{request.find("large.bin") != std::string::npos ? large : small};
            });
        };
        plain = std::make_unique<testsupport::net::LoopbackServer>();
        serve(*plain);
        httpPort = plain->port();
        testsupport::net::TlsServerOptions options;
        options.certificate = certificates.localhost();
        secure = std::make_unique<testsupport::net::TlsLoopbackServer>(options);
        serve(secure->http());
        httpsPort = secure->port();
    }
};

BenchServer::BenchServer() : state_(std::make_unique<State>()) {
    // Readable by the unprivileged user nginx's workers run as.
    char root[] = "/tmp/zorvik-bench-XXXXXX";
    if (::mkdtemp(root) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    state_->root = root;
    fs::permissions(state_->root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    const std::string nginx = findNginx();
    if (nginx.empty()) {
        state_->startLoopback();
        return;
    }
    state_->writeDocuments();
    state_->startNginx(nginx);
}

BenchServer::~BenchServer() {
    state_->stopNginx();
    std::error_code ignored;
    fs::remove_all(state_->root, ignored);
}

std::string BenchServer::url(const std::string& name, bool tls) const {
    return (tls ? "https://127.0.0.1:" + std::to_string(state_->httpsPort)
                : "http://127.0.0.1:" + std::to_string(state_->httpPort)) +
           "/" + name;
}

const std::string& BenchServer::caFile() const { return state_->certificates.caFile(); }

const char* BenchServer::kind() const { return state_->nginx > 0 ? "nginx" : "loopback"; }

}  // namespace bench
