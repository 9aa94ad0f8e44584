#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "e2e/process_runner.hpp"
#include "support/quil/fake_platform.hpp"
#include "support/quil/temporary_directory.hpp"

namespace quarlino::quil::e2e {

using testsupport::quil::FakePlatform;
using testsupport::quil::RecordedRequest;
using testsupport::quil::TemporaryDirectory;

// What one run of quil should have produced.
struct Outcome {
    int exitCode;
    std::string out;
    std::string err;
};

void expectOutcome(const ProcessResult& result, const Outcome& expected);

// One table line: each cell left-adjusted in its field width (the column's
// widest text plus two), then "\n".
std::string columns(const std::vector<std::size_t>& widths, const std::vector<std::string>& cells);

// The one-line JSON error record on standard error.
std::string jsonError(const std::string& code, std::optional<int> httpStatus, const std::string& message);

// A loopback URL on which nothing listens.
std::string refusedUrl();

// Runs the built quil binary with a temporary HOME against a fake platform
// that the test scripts. Plain HTTP is allowed; the environment is exactly
// what the fixture holds, so the caller's own settings never leak in.
class QuilEndToEnd : public testing::Test {
protected:
    QuilEndToEnd();

    ProcessResult quil(std::vector<std::string> arguments, std::string input = {}) const;
    // quil started by the shell with these redirections of its descriptors
    // ("<&-" closes standard input), its output watched as it arrives; the
    // input late on a non-blocking pipe if asked (ProcessRequest).
    ProcessResult quil(std::vector<std::string> arguments, std::string input, const std::string& redirections,
                       OutputWatcher onOutput, bool inputComesLate = false) const;
    // quil with the file-size limit (`ulimit -f`) at zero: every write to a file fails.
    ProcessResult quilWithFileSizeLimit(std::vector<std::string> arguments) const;

    void setEnvironment(const std::string& name, const std::string& value) { environment_[name] = value; }
    void unsetEnvironment(const std::string& name) { environment_.erase(name); }

    const std::filesystem::path& home() const { return home_.path(); }
    std::filesystem::path configDirectory() const;
    std::filesystem::path profilesFile() const { return configDirectory() / "profiles.json"; }
    std::filesystem::path credentialsFile() const { return configDirectory() / "credentials.json"; }

    void writeConfig(const std::string& fileName, const std::string& text) const;
    static std::string readFile(const std::filesystem::path& path);

    // Stores the profile "default" for the fake platform, active, with a
    // token and optionally a workspace.
    void signIn(const std::string& token = "tok-stored", std::optional<std::string> workspaceId = std::nullopt) const;

    // The only request the platform received (fails the test otherwise).
    RecordedRequest onlyRequest() const;

    FakePlatform platform;

private:
    TemporaryDirectory home_;
    std::map<std::string, std::string> environment_;
};

// "User-Agent" always; "Authorization" and "quarlino-token" exactly when a
// token is expected; "quarlino-workspace-id" exactly when a workspace is.
void expectIdentity(const RecordedRequest& request, const std::optional<std::string>& token,
                    const std::optional<std::string>& workspaceId);

// The stored form of profiles.json, as the program writes it.
struct StoredProfile {
    std::string name;
    std::string serverUrl;
    std::optional<std::string> workspaceId;
};
std::string profilesDocument(const std::optional<std::string>& active, const std::vector<StoredProfile>& profiles);
std::string credentialsDocument(const std::map<std::string, std::string>& tokens);

}  // namespace quarlino::quil::e2e
