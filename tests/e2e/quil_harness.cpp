#include "e2e/quil_harness.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace quarlino::quil::e2e {

void expectOutcome(const ProcessResult& result, const Outcome& expected) {
    EXPECT_EQ(result.exitCode, expected.exitCode) << "stderr: " << result.err;
    EXPECT_EQ(result.out, expected.out);
    EXPECT_EQ(result.err, expected.err);
}

std::string columns(const std::vector<std::size_t>& widths, const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        line += cells[i];
        const std::size_t width = i < widths.size() ? widths[i] : 0;
        if (cells[i].size() < width) {
            line.append(width - cells[i].size(), ' ');
        }
    }
    return line + "\n";
}

std::string jsonError(const std::string& code, std::optional<int> httpStatus, const std::string& message) {
    const nlohmann::json status = httpStatus ? nlohmann::json(*httpStatus) : nlohmann::json(nullptr);
    return nlohmann::json{{"code", code}, {"httpStatus", status}, {"message", message}}.dump() + "\n";
}

std::string refusedUrl() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot reserve a loopback port");
    }
    // Bound but never listening: connections to it are refused.
    ::close(fd);
    return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

QuilEndToEnd::QuilEndToEnd()
    : environment_{{"HOME", home_.path().string()},
                   {"PATH", "/usr/bin:/bin"},
                   {"LANG", "C"},
                   {"QUARLINO_ALLOW_INSECURE_HTTP", "true"}} {}

ProcessResult QuilEndToEnd::quil(std::vector<std::string> arguments, std::string input) const {
    return runProcess({QUIL_BINARY, std::move(arguments), environment_, std::move(input)});
}

ProcessResult QuilEndToEnd::quil(std::vector<std::string> arguments, std::string input,
                                 const std::string& redirections, OutputWatcher onOutput,
                                 bool inputComesLate) const {
    if (redirections.empty()) {
        return runProcess(
            {QUIL_BINARY, std::move(arguments), environment_, std::move(input), std::move(onOutput), inputComesLate});
    }
    arguments.insert(arguments.begin(), {"-c", "exec \"$0\" \"$@\" " + redirections, QUIL_BINARY});
    return runProcess(
        {"/bin/sh", std::move(arguments), environment_, std::move(input), std::move(onOutput), inputComesLate});
}

ProcessResult QuilEndToEnd::quilWithFileSizeLimit(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"-c", "ulimit -f 0 && exec \"$0\" \"$@\"", QUIL_BINARY});
    return runProcess({"/bin/sh", std::move(arguments), environment_, {}});
}

std::filesystem::path QuilEndToEnd::configDirectory() const {
    return home_.path() / ".config" / "quil";
}

void QuilEndToEnd::writeConfig(const std::string& fileName, const std::string& text) const {
    std::filesystem::create_directories(configDirectory());
    std::ofstream(configDirectory() / fileName, std::ios::binary) << text;
}

std::string QuilEndToEnd::readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return "<missing " + path.filename().string() + ">";
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void QuilEndToEnd::signIn(const std::string& token, std::optional<std::string> workspaceId) const {
    writeConfig("profiles.json", profilesDocument("default", {{"default", platform.url(), std::move(workspaceId)}}));
    writeConfig("credentials.json", credentialsDocument({{"default", token}}));
}

RecordedRequest QuilEndToEnd::onlyRequest() const {
    const auto requests = platform.requests();
    EXPECT_EQ(requests.size(), 1U);
    return requests.empty() ? RecordedRequest{} : requests.front();
}

void expectIdentity(const RecordedRequest& request, const std::optional<std::string>& token,
                    const std::optional<std::string>& workspaceId) {
    SCOPED_TRACE(request.line());
    EXPECT_EQ(request.header("User-Agent"), "Quil/0.1.0");
    EXPECT_EQ(request.headerCount("User-Agent"), 1U);
    if (token) {
        EXPECT_EQ(request.header("Authorization"), "Bearer " + *token);
        EXPECT_EQ(request.header("quarlino-token"), *token);
    } else {
        EXPECT_EQ(request.header("Authorization"), std::nullopt);
        EXPECT_EQ(request.header("quarlino-token"), std::nullopt);
    }
    EXPECT_EQ(request.header("quarlino-workspace-id"), workspaceId);
}

std::string profilesDocument(const std::optional<std::string>& active, const std::vector<StoredProfile>& profiles) {
    auto entries = nlohmann::json::array();
    for (const auto& profile : profiles) {
        entries.push_back({{"name", profile.name},
                           {"serverUrl", profile.serverUrl},
                           {"workspaceId", profile.workspaceId ? nlohmann::json(*profile.workspaceId) : nullptr}});
    }
    const nlohmann::json document{{"activeProfile", active ? nlohmann::json(*active) : nullptr},
                                  {"profiles", entries}};
    return document.dump(2) + "\n";
}

std::string credentialsDocument(const std::map<std::string, std::string>& tokens) {
    return nlohmann::json(tokens).dump(2) + "\n";
}

}  // namespace quarlino::quil::e2e
