#pragma once

#include <string>
#include <string_view>

#include "application/port/http_transport.hpp"
#include "application/program_version.hpp"

namespace quarlino::quil::application {

// A release that passed every check of the manifest, with the one artifact
// this build can run.
struct UpdateCheckResult {
    std::string currentVersion;
    std::string latestVersion;
    std::string publishedAt;
    bool updateAvailable = false;
    std::string os;
    std::string arch;
    std::string url;
    std::string sha256;
    std::string signatureUrl;
    std::string sbomUrl;
};

// Reads the release manifest from a release server and tells whether it
// offers a newer version than this program. Downloads and installs nothing.
class UpdateService {
public:
    static constexpr std::string_view currentVersion = programVersion;
    static constexpr std::string_view targetOs = "linux";
    static constexpr std::string_view targetArch = "amd64";

    // The transport must outlive the service.
    explicit UpdateService(port::HttpTransport& transport) : transport_(transport) {}

    // Throws std::invalid_argument for a path that is not absolute,
    // ApiError for a non-2xx answer and std::runtime_error (or the JSON
    // library's type error) for a manifest that fails a check.
    UpdateCheckResult check(std::string_view manifestPath) const;

private:
    port::HttpTransport& transport_;
};

}  // namespace quarlino::quil::application
